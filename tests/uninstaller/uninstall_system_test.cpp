// The uninstaller's Win32 services against the real registry and files of
// the test prefix: how the registered path is read, and what counts as a
// file in use.
#include "uninstaller/uninstall_system.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/registry.h"
#include "tests/support/scratch.h"

namespace {

const char kAppPathsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Sorvane.exe";

void SetDefaultValue(DWORD type, const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

TEST(UninstallRegistry, ReadsTheRegisteredProgramOnlyAsAStringThatFits) {
    RegistryKeyScope scope(HKEY_LOCAL_MACHINE, kAppPathsKey);
    const std::string longest = "C:\\" + std::string(256, 'a');  // 259 characters
    struct Case {
        const char* name;
        bool present;
        DWORD type;
        std::string bytes;
        AppPathRead read;
        std::string value;
    };
    const Case cases[] = {
        {"no key", false, REG_SZ, "", AppPathRead::kMissing, ""},
        {"a path", true, REG_SZ, std::string("C:\\x\\Sorvane.exe") + '\0', AppPathRead::kFound,
         "C:\\x\\Sorvane.exe"},
        {"stored without its zero", true, REG_SZ, "C:\\y", AppPathRead::kFound, "C:\\y"},
        {"259 characters", true, REG_SZ, longest + '\0', AppPathRead::kFound, longest},
        {"260 characters", true, REG_SZ, longest + "b" + '\0', AppPathRead::kTooLong, ""},
        {"259 characters without the zero, then more", true, REG_SZ, longest + "bc",
         AppPathRead::kTooLong, ""},
        {"a number", true, REG_DWORD, std::string("\1\0\0\0", 4), AppPathRead::kNotString, ""},
        {"binary", true, REG_BINARY, "C:\\x", AppPathRead::kNotString, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kAppPathsKey);
        if (c.present) SetDefaultValue(c.type, c.bytes);
        char out[kMaxPath];
        std::memset(out, 'z', sizeof out);
        CUninstallRegistry registry;
        EXPECT_EQ(registry.ReadAppPath("Sorvane.exe", out), c.read);
        if (c.read == AppPathRead::kFound) {
            EXPECT_EQ(std::string(out), c.value);
        }
    }
    CUninstallRegistry registry;
    EXPECT_TRUE(registry.DeleteAppPath("Sorvane.exe"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kAppPathsKey));
    EXPECT_TRUE(registry.DeleteAppPath("Sorvane.exe"));  // already gone
}

TEST(UninstallFiles, AFileOpenWithoutDeleteSharingIsInUseAReadOnlyOneIsRemovable) {
    ScratchDir dir;
    const std::string file = dir / "voice.dat";
    const std::string readOnly = dir / "bg.dat";
    ASSERT_TRUE(WriteFileBytes(file, "data"));
    ASSERT_TRUE(WriteFileBytes(readOnly, "data"));
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    CUninstallFiles files;
    EXPECT_EQ(files.Probe(file.c_str()), FileState::kRemovable);
    EXPECT_EQ(files.Probe(readOnly.c_str()), FileState::kRemovable);
    EXPECT_EQ(files.Probe((dir / "missing.dat").c_str()), FileState::kMissing);
    {
        HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(files.Probe(file.c_str()), FileState::kInUse);
        EXPECT_FALSE(files.RemoveFile(file.c_str()));
        CloseHandle(held);
    }
    EXPECT_TRUE(files.HoldsOtherThan(dir.path().c_str(), "UnInstall.exe"));
    EXPECT_TRUE(files.RemoveFile(file.c_str()));
    EXPECT_TRUE(files.RemoveFile(readOnly.c_str()));
    EXPECT_TRUE(files.RemoveFile(file.c_str()));  // already gone
    ASSERT_TRUE(WriteFileBytes(dir / "UnInstall.exe", "MZ"));
    EXPECT_FALSE(files.HoldsOtherThan(dir.path().c_str(), "uninstall.EXE"));
    ASSERT_TRUE(CreateDirectoryA((dir / "Sub").c_str(), nullptr));
    EXPECT_TRUE(files.HoldsOtherThan(dir.path().c_str(), "UnInstall.exe"));
    EXPECT_TRUE(files.RemoveEmptyFolder((dir / "Sub").c_str()));
    EXPECT_FALSE(files.RemoveEmptyFolder(dir.path().c_str()));  // holds UnInstall.exe
}

}  // namespace
