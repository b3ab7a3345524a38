// Paths under the temp folder for tests, and a test's own folder there: emptied when made and removed with all
// it holds when the test is done, so files left by a run that stopped half-way never decide the next run's results.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

// The temp folder, with its closing backslash.
inline std::string TempFolderPath()
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    return temp;
}

// A path of this test process's own under the temp folder; a file left there by an earlier run (Wine hands
// out process numbers again soon) goes first.
inline std::string TempPath(const std::string& name)
{
    std::string path = TempFolderPath() + "tapewing_" + std::to_string(GetCurrentProcessId()) + "_" + name;
    DeleteFileA(path.c_str());
    return path;
}

class TTempFolder {
public:
    explicit TTempFolder(const std::string& name)
    {
        FPath = TempFolderPath() + name + "\\";
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
