#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "app/RegWork.h"
#include "framework/SysUtils.h"
#include "tests/support/ImportPatch.h"
#include "tests/support/TempFolder.h"

namespace {
const char kKey[] = "\\SOFTWARE\\Larkmoor\\TapewingRegTests";

// A store that refuses to take values, and one that lists values but cannot hand their data over.
LONG WINAPI RefuseValue(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD) { return ERROR_ACCESS_DENIED; }
int g_readsBeforeFailure = 0;
decltype(&RegQueryValueExA) g_realQuery = nullptr;
LONG WINAPI UnreadableValue(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    // A bare existence test (no type asked for) still works.
    if (type && g_readsBeforeFailure-- <= 0) return ERROR_ACCESS_DENIED;
    return g_realQuery(key, name, reserved, type, data, size);
}

// Records the error mode each attribute probe runs with.
std::vector<UINT> g_modesSeen;
decltype(&GetFileAttributesA) g_realAttributes = nullptr;
DWORD WINAPI ErrorModeWatcher(LPCSTR path)
{
    UINT mode = SetErrorMode(0);
    SetErrorMode(mode);
    g_modesSeen.push_back(mode);
    return g_realAttributes(path);
}

class RegWorkTest : public testing::Test {
protected:
    void SetUp() override { SHDeleteKeyA(HKEY_CURRENT_USER, kKey + 1); }
    void TearDown() override
    {
        SetKeyReadOnly(kKey + 1, false);
        SHDeleteKeyA(HKEY_CURRENT_USER, kKey + 1);
    }
    void SetDword(const char* name, DWORD value)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey + 1, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        RegCloseKey(key);
    }
};
}  // namespace

TEST_F(RegWorkTest, MissingKeyAndValuesGiveTheDefaults)
{
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kKey));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kKey, "basedir", "C:\\"), "C:\\");
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kKey)) << "reading creates nothing";
    RegWriteString(HKEY_CURRENT_USER, kKey, "basedir", "D:\\");
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kKey, "basename", "Record"), "Record");
}

TEST_F(RegWorkTest, AnAdministratorsReadOnlyKeyIsReadButNotWritten)
{
    RegWriteString(HKEY_CURRENT_USER, kKey, "basedir", "D:\\Takes\\");
    ASSERT_TRUE(SetKeyReadOnly(kKey + 1, true));
    HKEY probe;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey + 1, 0, KEY_ALL_ACCESS, &probe), ERROR_ACCESS_DENIED)
        << "the platform must refuse full access for this test to mean anything";
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, kKey));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kKey, "basedir", "C:\\"), "D:\\Takes\\");
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kKey, "basename", "Record"), "Record");
    EXPECT_FALSE(RegWriteString(HKEY_CURRENT_USER, kKey, "basedir", "E:\\"));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kKey, "basedir", "C:\\"), "D:\\Takes\\");
}

TEST_F(RegWorkTest, AValueOfTheWrongTypeRaisesTheRegistryText)
{
    SetDword("basedir", 42);
    try {
        RegReadString(HKEY_CURRENT_USER, kKey, "basedir", "C:\\");
        FAIL() << "no error";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'basedir'");
    }
}

TEST_F(RegWorkTest, ValuesThatCannotBeWrittenOrReadRaiseTheRegistryTexts)
{
    RegWriteString(HKEY_CURRENT_USER, kKey, "basedir", "D:\\");
    {
        TImportPatch refuse("advapi32.dll", "RegSetValueExA", reinterpret_cast<void*>(&RefuseValue));
        ASSERT_TRUE(refuse.Active());
        try {
            RegWriteString(HKEY_CURRENT_USER, kKey, "basename", "take");
            ADD_FAILURE() << "no error";
        } catch (const ERegistryException& e) {
            EXPECT_STREQ(e.what(), "Failed to set data for 'basename'");
        }
    }
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kKey, "basename", "none"), "none");
    for (int passes : {0, 1}) {
        // The size cannot be had, or the data itself.
        g_readsBeforeFailure = passes;
        TImportPatch unreadable("advapi32.dll", "RegQueryValueExA", reinterpret_cast<void*>(&UnreadableValue));
        ASSERT_TRUE(unreadable.Active());
        g_realQuery = unreadable.Original<decltype(&RegQueryValueExA)>();
        try {
            RegReadString(HKEY_CURRENT_USER, kKey, "basedir", "C:\\");
            ADD_FAILURE() << "no error";
        } catch (const ERegistryException& e) {
            EXPECT_STREQ(e.what(), "Failed to get data for 'basedir'") << passes;
        }
    }
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kKey, "basedir", "C:\\"), "D:\\");
}

TEST_F(RegWorkTest, LongValuesSurviveWholeBothWays)
{
    std::string longName(10000, 'x');
    longName[0] = 'A';
    longName[9999] = 'Z';
    EXPECT_TRUE(RegWriteString(HKEY_CURRENT_USER, kKey, "basename", longName));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kKey, "basename", ""), longName);
}

TEST_F(RegWorkTest, AKeyThatCannotBeOpenedWritesNothingAndReadsTheDefault)
{
    // The same path under the usual root holds a value; the root given is the one used.
    RegWriteString(HKEY_CURRENT_USER, kKey, "basedir", "D:\\");
    HKEY noSuchRoot = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x0BADF00D));
    EXPECT_FALSE(RegWriteString(noSuchRoot, kKey, "basedir", "x"));
    EXPECT_FALSE(RegKeyExists(noSuchRoot, kKey));
    EXPECT_EQ(RegReadString(noSuchRoot, kKey, "basedir", "C:\\"), "C:\\");
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kKey, "basedir", "C:\\"), "D:\\");
}

TEST(PathTests, FoldersAndFilesAreToldApart)
{
    TTempFolder paths("tw_paths");
    const std::string& folder = paths.Path();
    std::string file = folder + "take.wav";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);

    EXPECT_TRUE(FolderExists("C:\\"));
    EXPECT_TRUE(FolderExists(folder));
    EXPECT_FALSE(FolderExists(file));
    EXPECT_FALSE(FolderExists(""));
    EXPECT_FALSE(FolderExists(folder + "missing\\"));
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(folder));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(folder + "*.wav"));  // a pattern is not a file

    // A relative folder is not taken, even where it would be found from the current folder.
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    SetCurrentDirectoryA(TempFolderPath().c_str());
    EXPECT_FALSE(FolderExists("tw_paths\\"));
    EXPECT_FALSE(FolderExists(".\\tw_paths"));
    EXPECT_TRUE(FileExists("tw_paths\\take.wav")) << "take paths are made from a checked folder";
    SetCurrentDirectoryA(current);

    // The probes run without the "insert a disk" prompt and put the caller's error mode back.
    SetErrorMode(SEM_NOOPENFILEERRORBOX);
    TImportPatch watch("kernel32.dll", "GetFileAttributesA", reinterpret_cast<void*>(&ErrorModeWatcher));
    ASSERT_TRUE(watch.Active());
    g_realAttributes = watch.Original<decltype(&GetFileAttributesA)>();
    g_modesSeen.clear();
    EXPECT_TRUE(FolderExists(folder));
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ(g_modesSeen, (std::vector<UINT>{SEM_FAILCRITICALERRORS, SEM_FAILCRITICALERRORS}));
    EXPECT_EQ(SetErrorMode(0), static_cast<UINT>(SEM_NOOPENFILEERRORBOX));

    DeleteFileA(file.c_str());
    RemoveDirectoryA(folder.c_str());
}
