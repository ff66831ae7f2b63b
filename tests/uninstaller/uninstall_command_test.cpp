// The uninstaller's command line and its folder arithmetic over UTF-16
// paths.
#include "uninstaller/uninstall_command.h"

#include <gtest/gtest.h>

#include <string>

#include "uninstaller/uninstall_sequence.h"

namespace {

TEST(UninstallCommand, ReadsTheModesAndTheCleanupArguments) {
    struct Case {
        std::u16string arguments;
        UninstallMode mode;
        std::uint64_t handle;
        std::u16string folder;
    };
    const std::u16string longFolder = u"\"C:\\" + std::u16string(kMaxPath, u'x') + u"\"";
    const Case cases[] = {
        {u"", UninstallMode::kInteractive, 0, u""},
        {u"/S", UninstallMode::kQuiet, 0, u""},
        {u"  /s  ", UninstallMode::kQuiet, 0, u""},
        {u"/x /S", UninstallMode::kQuiet, 0, u""},
        {u"/Silent", UninstallMode::kInteractive, 0, u""},
        {u"\"/S\"", UninstallMode::kQuiet, 0, u""},
        {u"/cleanup 1234 \"C:\\a b\\Vintal\\Sorvane\"", UninstallMode::kCleanup, 1234,
         u"C:\\a b\\Vintal\\Sorvane"},
        {u"/CLEANUP 18446744073709551615 C:\\x", UninstallMode::kCleanup,
         18446744073709551615ull, u"C:\\x"},
        // Characters of no code page but UTF-16's ("ü" in a Japanese folder).
        {u"/cleanup 7 \"C:\\ゲーム\\Jürgen\\ソ表\"", UninstallMode::kCleanup, 7,
         u"C:\\ゲーム\\Jürgen\\ソ表"},
        {u"/cleanup 12", UninstallMode::kInvalid, 0, u""},
        {u"/cleanup abc C:\\x", UninstallMode::kInvalid, 0, u""},
        {u"/cleanup 0 C:\\x", UninstallMode::kInvalid, 0, u""},
        {u"/cleanup 18446744073709551616 C:\\x", UninstallMode::kInvalid, 0, u""},
        {u"/cleanup 99999999999999999999 C:\\x", UninstallMode::kInvalid, 0, u""},
        {u"/cleanup 5 C:\\x extra", UninstallMode::kInvalid, 0, u""},
        {u"/cleanup 5 \"\"", UninstallMode::kInvalid, 0, u""},
        {u"/cleanup 5 " + longFolder, UninstallMode::kInvalid, 0, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const UninstallCommand command = ParseUninstallCommand(c.arguments);
        EXPECT_EQ(command.mode, c.mode);
        if (c.mode != UninstallMode::kCleanup) continue;
        EXPECT_EQ(command.waitHandle, c.handle);
        EXPECT_EQ(command.folder, c.folder);
    }
}

TEST(UninstallCommand, CleanupArgumentsReadBackAsWritten) {
    const std::u16string folder = u"C:\\Program Files\\ソ\\Jürgen\\Vintal\\Sorvane";
    const std::u16string arguments = FormatCleanupArguments(0x7ffe1234u, folder);
    EXPECT_EQ(arguments, u"/cleanup 2147357236 \"" + folder + u"\"");
    const UninstallCommand command = ParseUninstallCommand(arguments);
    EXPECT_EQ(command.mode, UninstallMode::kCleanup);
    EXPECT_EQ(command.waitHandle, 0x7ffe1234u);
    EXPECT_EQ(command.folder, folder);
}

// Only the temporary copy cleans up, and only after the installed
// uninstaller of the folder it names.
TEST(UninstallCommand, CleanupIsTheTemporaryCopysWorkForTheInstalledUninstaller) {
    const std::u16string kTemp = u"C:\\Users\\José\\Temp\\";
    const std::u16string kInstall = u"C:\\ゲーム\\Vintal\\Sorvane";
    struct Case {
        std::u16string path;
        bool copy;       // RunsAsCleanupCopy with the path as the module
        bool installed;  // IsInstalledUninstaller with the path as the image
    };
    const Case cases[] = {
        {u"C:\\Users\\José\\Temp\\uni1A2B.tmp", true, false},
        {u"c:\\USERS\\José\\TEMP\\uni1A2B.tmp", true, false},
        // Only ASCII letters compare in any case.
        {u"C:\\Users\\JOSÉ\\Temp\\uni1A2B.tmp", false, false},
        {u"C:\\ゲーム\\Vintal\\Sorvane\\UnInstall.exe", false, true},
        {u"C:\\ゲーム\\VINTAL\\Sorvane\\uninstall.EXE", false, true},
        {u"C:\\ゲーム\\Vintal\\Sorvane\\Sorvane.exe", false, false},
        {u"C:\\ゲーム\\Vintal\\UnInstall.exe", false, false},
        {u"C:\\Users\\José\\Temp\\Sub\\uni1A2B.tmp", false, false},
        {u"C:\\Users\\José\\Temp\\UnInstall.exe", true, false},
        {u"uni1A2B.tmp", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.path));
        EXPECT_EQ(RunsAsCleanupCopy(c.path, kTemp, kInstall), c.copy);
        EXPECT_EQ(IsInstalledUninstaller(c.path, kInstall), c.installed);
    }
    // A temporary folder that is the installation folder is no proof.
    EXPECT_FALSE(RunsAsCleanupCopy(kInstall + u"\\uni1.tmp", kInstall, kInstall));
}

TEST(UninstallFolders, CompareIgnoringAsciiCaseAndSeparators) {
    struct Case {
        std::u16string a;
        std::u16string b;
        bool same;
    };
    const Case cases[] = {
        {u"C:\\Games\\Vintal\\Sorvane", u"c:\\games\\VINTAL\\sorvane", true},
        {u"C:\\Games\\Vintal\\Sorvane", u"C:/Games//Vintal/Sorvane\\", true},
        {u"C:\\Games\\Vintal\\Sorvane", u"C:\\Games\\Vintal\\Sorvane2", false},
        {u"C:\\Games\\Vintal", u"C:\\Games\\Vintal\\Sorvane", false},
        {u"C:\\ゲーム\\Jürgen", u"c:/ゲーム/Jürgen/", true},
        // "ü" and "u" are other characters, as are "Ü" and "ü".
        {u"C:\\ゲーム\\Jürgen", u"C:\\ゲーム\\Jurgen", false},
        {u"C:\\Jürgen", u"C:\\JÜrgen", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.a + u" | " + c.b));
        EXPECT_EQ(SameFolder(c.a, c.b), c.same);
    }
}

TEST(UninstallFolders, FolderOfAPathAndTheNameOfAFolder) {
    std::u16string folder;
    ASSERT_TRUE(FolderOfPath(&folder, u"C:\\表\\UnInstall.exe"));
    EXPECT_EQ(folder, u"C:\\表");
    EXPECT_FALSE(FolderOfPath(&folder, u"表"));

    EXPECT_TRUE(FolderNameIs(u"C:\\Program Files\\Vintal", u"Vintal"));
    EXPECT_TRUE(FolderNameIs(u"C:\\x\\VINTAL\\", u"Vintal"));
    EXPECT_FALSE(FolderNameIs(u"C:\\x\\MyVintal", u"Vintal"));
    EXPECT_FALSE(FolderNameIs(u"Vintal", u"Vintal"));
}

}  // namespace
