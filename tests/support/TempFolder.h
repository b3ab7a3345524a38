// A test's own folder under the temp folder: emptied when made and removed with all it holds when the test is
// done, so files left by a run that stopped half-way never decide the next run's results.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

class TTempFolder {
public:
    explicit TTempFolder(const std::string& name)
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        FPath = std::string(temp) + name + "\\";
        Remove();
        CreateDirectoryA(FPath.c_str(), nullptr);
    }
    ~TTempFolder() { Remove(); }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    // The folder, with its closing backslash.
    const std::string& Path() const { return FPath; }

private:
    void Remove()
    {
        std::string from = FPath.substr(0, FPath.size() - 1) + '\0';  // the list ends with two zeros
        SHFILEOPSTRUCTA op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
        SHFileOperationA(&op);
    }
    std::string FPath;
};
