// The uninstaller's command line and its folder arithmetic over Shift-JIS
// paths.
#include "uninstaller/uninstall_command.h"

#include <gtest/gtest.h>

#include <string>

#include "uninstaller/uninstall_sequence.h"

namespace {

TEST(UninstallCommand, ReadsTheModesAndTheCleanupArguments) {
    struct Case {
        const char* arguments;
        UninstallMode mode;
        std::uint64_t handle;
        const char* folder;
    };
    const std::string longFolder = "\"C:\\" + std::string(kMaxPath, 'x') + "\"";
    const std::string tooLong = "/cleanup 5 " + longFolder;
    const Case cases[] = {
        {"", UninstallMode::kInteractive, 0, ""},
        {"/S", UninstallMode::kQuiet, 0, ""},
        {"  /s  ", UninstallMode::kQuiet, 0, ""},
        {"/x /S", UninstallMode::kQuiet, 0, ""},
        {"/Silent", UninstallMode::kInteractive, 0, ""},
        {"\"/S\"", UninstallMode::kQuiet, 0, ""},
        {"/cleanup 1234 \"C:\\a b\\Vintal\\Sorvane\"", UninstallMode::kCleanup, 1234,
         "C:\\a b\\Vintal\\Sorvane"},
        {"/CLEANUP 18446744073709551615 C:\\x", UninstallMode::kCleanup,
         18446744073709551615ull, "C:\\x"},
        // "ソ" (83 5C) and "表" (95 5C) end in the byte of '\'; a quote
        // after them still closes the word.
        {"/cleanup 7 \"C:\\\x83\x5C\\\x95\x5C\"", UninstallMode::kCleanup, 7,
         "C:\\\x83\x5C\\\x95\x5C"},
        {"/cleanup 12", UninstallMode::kInvalid, 0, ""},
        {"/cleanup abc C:\\x", UninstallMode::kInvalid, 0, ""},
        {"/cleanup 0 C:\\x", UninstallMode::kInvalid, 0, ""},
        {"/cleanup 99999999999999999999 C:\\x", UninstallMode::kInvalid, 0, ""},
        {"/cleanup 5 C:\\x extra", UninstallMode::kInvalid, 0, ""},
        {"/cleanup 5 \"\"", UninstallMode::kInvalid, 0, ""},
        {tooLong.c_str(), UninstallMode::kInvalid, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const UninstallCommand command = ParseUninstallCommand(c.arguments, Cp932LeadBytes());
        EXPECT_EQ(command.mode, c.mode);
        if (c.mode != UninstallMode::kCleanup) continue;
        EXPECT_EQ(command.waitHandle, c.handle);
        EXPECT_STREQ(command.folder, c.folder);
    }
}

TEST(UninstallCommand, CleanupArgumentsReadBackAsWritten) {
    const char folder[] = "C:\\Program Files\\\x83\x5C\\Vintal\\Sorvane";
    char arguments[kMaxPath + 64];
    ASSERT_TRUE(FormatCleanupArguments(arguments, sizeof arguments, 0x7ffe1234u, folder));
    const UninstallCommand command = ParseUninstallCommand(arguments, Cp932LeadBytes());
    EXPECT_EQ(command.mode, UninstallMode::kCleanup);
    EXPECT_EQ(command.waitHandle, 0x7ffe1234u);
    EXPECT_STREQ(command.folder, folder);
    char small[16];
    EXPECT_FALSE(FormatCleanupArguments(small, sizeof small, 1, folder));
}

// Only the temporary copy cleans up, and only after the installed
// uninstaller of the folder it names.
TEST(UninstallCommand, CleanupIsTheTemporaryCopysWorkForTheInstalledUninstaller) {
    const char kTemp[] = "C:\\Users\\me\\Temp\\";
    const char kInstall[] = "C:\\Games\\Vintal\\Sorvane";
    struct Case {
        const char* path;
        bool copy;       // RunsAsCleanupCopy with the path as the module
        bool installed;  // IsInstalledUninstaller with the path as the image
    };
    const Case cases[] = {
        {"C:\\Users\\me\\Temp\\uni1A2B.tmp", true, false},
        {"c:\\USERS\\me\\TEMP\\uni1A2B.tmp", true, false},
        {"C:\\Games\\Vintal\\Sorvane\\UnInstall.exe", false, true},
        {"C:\\GAMES\\Vintal\\Sorvane\\uninstall.EXE", false, true},
        {"C:\\Games\\Vintal\\Sorvane\\Sorvane.exe", false, false},
        {"C:\\Games\\Vintal\\UnInstall.exe", false, false},
        {"C:\\Users\\me\\Temp\\Sub\\uni1A2B.tmp", false, false},
        {"C:\\Users\\me\\Temp\\UnInstall.exe", true, false},
        {"uni1A2B.tmp", false, false},
        // "ソ" (83 5C): its second byte is no separator.
        {"C:\\Games\\Vintal\\Sorvane\x83\x5CUnInstall.exe", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(RunsAsCleanupCopy(c.path, kTemp, kInstall, Cp932LeadBytes()), c.copy);
        EXPECT_EQ(IsInstalledUninstaller(c.path, kInstall, Cp932LeadBytes()), c.installed);
    }
    // A temporary folder that is the installation folder is no proof.
    EXPECT_FALSE(RunsAsCleanupCopy("C:\\Games\\Vintal\\Sorvane\\uni1.tmp", kInstall, kInstall,
                                   Cp932LeadBytes()));
}

TEST(UninstallFolders, CompareWholeCharactersIgnoringAsciiCaseAndSeparators) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    const Case cases[] = {
        {"C:\\Games\\Vintal\\Sorvane", "c:\\games\\VINTAL\\sorvane", true},
        {"C:\\Games\\Vintal\\Sorvane", "C:/Games//Vintal/Sorvane\\", true},
        {"C:\\Games\\Vintal\\Sorvane", "C:\\Games\\Vintal\\Sorvane2", false},
        {"C:\\Games\\Vintal", "C:\\Games\\Vintal\\Sorvane", false},
        // "ア" (83 41) and "ャ" (83 61) differ only in the case of their
        // second byte: not the same folder.
        {"C:\\\x83\x41", "C:\\\x83\x61", false},
        // "ソ" (83 5C) at the end is no trailing separator.
        {"C:\\\x83\x5C", "C:\\\x83", false},
        {"C:\\\x83\x5C\\", "c:\\\x83\x5C", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " | " + c.b);
        EXPECT_EQ(SameFolder(c.a, c.b, Cp932LeadBytes()), c.same);
    }
}

TEST(UninstallFolders, FolderOfAPathAndTheNameOfAFolder) {
    char folder[kMaxPath];
    ASSERT_TRUE(FolderOfPath(folder, sizeof folder, "C:\\\x95\x5C\\UnInstall.exe", Cp932LeadBytes()));
    EXPECT_STREQ(folder, "C:\\\x95\x5C");
    EXPECT_FALSE(FolderOfPath(folder, sizeof folder, "\x95\x5C", Cp932LeadBytes()));
    char tiny[4];
    EXPECT_FALSE(FolderOfPath(tiny, sizeof tiny, "C:\\abcd\\x", Cp932LeadBytes()));

    EXPECT_TRUE(FolderNameIs("C:\\Program Files\\Vintal", "Vintal", Cp932LeadBytes()));
    EXPECT_TRUE(FolderNameIs("C:\\x\\VINTAL\\", "Vintal", Cp932LeadBytes()));
    EXPECT_FALSE(FolderNameIs("C:\\x\\MyVintal", "Vintal", Cp932LeadBytes()));
    EXPECT_FALSE(FolderNameIs("Vintal", "Vintal", Cp932LeadBytes()));
}

}  // namespace
