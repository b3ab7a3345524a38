#include <gtest/gtest.h>

#include <cstdio>

#include "TestSupport.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "app/ProgramClasses.h"

std::vector<TShownMessage>& ShownMessages()
{
    static std::vector<TShownMessage> shown;
    return shown;
}

std::vector<std::string>& ShownErrors()
{
    static std::vector<std::string> errors;
    return errors;
}

std::function<void()>& WhenMessageShown()
{
    static std::function<void()> then;
    return then;
}

void ClearShown()
{
    ShownMessages().clear();
    ShownErrors().clear();
    WhenMessageShown() = nullptr;
}

bool SetKeyReadOnly(const std::string& path, bool readOnly)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return false;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    alignas(DWORD) BYTE aclBuffer[256];
    auto* acl = reinterpret_cast<ACL*>(aclBuffer);
    InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
    AddAccessAllowedAce(acl, ACL_REVISION, readOnly ? (KEY_READ | WRITE_DAC | DELETE) : KEY_ALL_ACCESS, everyone);
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    bool ok = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
    FreeSid(everyone);
    RegCloseKey(key);
    return ok;
}

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);  // a crash must not swallow the report
    testing::InitGoogleTest(&argc, argv);
    TApplication application;
    TScreen screen;
    RegisterProgramClasses();
    Application->Initialize();
    Application->SetTitle("Tape Wing");
    SetMessageBoxHook([](const std::string& text, const std::string& caption, UINT flags) {
        ShownMessages().push_back({text, caption, flags});
        if (WhenMessageShown()) WhenMessageShown()();
        return IDOK;
    });
    Application->OnException = [](const std::string& message) { ShownErrors().push_back(message); };
    return RUN_ALL_TESTS();
}
