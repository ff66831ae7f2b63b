#include "installer/install_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct FolderCase {
    std::u16string text;
    FolderText result;
    std::u16string folder;
};

TEST(InstallFolder, FormsTheFolderFromTheEditText) {
    const std::u16string games = u"D:\\Games";
    const FolderCase cases[] = {
        {u"", FolderText::Empty, u""},
        {u"D:\\", FolderText::Formed, u"D:\\Vintal\\Sorvane"},
        {u"D:", FolderText::Formed, u"D:\\Vintal\\Sorvane"},
        {games, FolderText::Formed, games + u"\\Vintal\\Sorvane"},
        // Only one trailing backslash is dropped.
        {games + u"\\\\", FolderText::Formed, games + u"\\\\Vintal\\Sorvane"},
        // Characters of no code page but UTF-16's stay as they are.
        {u"D:\\ゲーム\\Jürgen\\", FolderText::Formed, u"D:\\ゲーム\\Jürgen\\Vintal\\Sorvane"},
        {u"\\\\server\\share", FolderText::Formed, u"\\\\server\\share\\Vintal\\Sorvane"},
    };
    for (const auto& c : cases) {
        char16_t out[kMaxPath] = u"stale";
        EXPECT_EQ(FormInstallFolder(out, kMaxPath, c.text), c.result) << testing::PrintToString(c.text);
        EXPECT_EQ(std::u16string(out), c.folder) << testing::PrintToString(c.text);
    }
}

TEST(InstallFolder, RefusesFoldersWhoseFilePathsWouldNotFit) {
    // "<folder>\UnInstall.exe", the longest installed path, must stay within
    // 259 characters: the folder may have 245, so the typed base 230. The
    // limit counts characters, not bytes: "ü" is one.
    ASSERT_EQ(LongestInstalledFileName(), std::strlen("UnInstall.exe"));
    const std::size_t longestBase = 259 - 1 - LongestInstalledFileName() -
                                    std::strlen("\\Vintal\\Sorvane");
    ASSERT_EQ(longestBase, 230u);
    const struct {
        std::size_t length;
        bool trailingSeparator;
        FolderText result;
    } cases[] = {
        {longestBase, false, FolderText::Formed},
        {longestBase + 1, false, FolderText::TooLong},
        // The dropped backslash does not count.
        {longestBase + 1, true, FolderText::Formed},
        {259, false, FolderText::TooLong},
        {600, false, FolderText::TooLong},
    };
    for (const auto& c : cases) {
        std::u16string text = u"D:\\" + std::u16string(c.length - 3 - c.trailingSeparator, u'ü');
        if (c.trailingSeparator) text += u"\\";
        ASSERT_EQ(text.size(), c.length);
        char16_t out[kMaxPath] = u"stale";
        EXPECT_EQ(FormInstallFolder(out, kMaxPath, text), c.result) << c.length;
        if (c.result == FolderText::TooLong) {
            EXPECT_EQ(std::u16string(out), u"");
        } else {
            char16_t path[kMaxPath];
            EXPECT_TRUE(FormInstalledFilePath(path, kMaxPath, out, u"UnInstall.exe"));
        }
    }
}

TEST(InstallFolder, DriveTestAndRoot) {
    const struct {
        std::u16string folder;
        bool drive;
        std::u16string root;
    } cases[] = {
        {u"D:\\Vintal\\Sorvane", true, u"D:\\"},
        {u"z:\\x", true, u"z:\\"},
        // Drive-relative: would name a folder below that drive's current
        // directory, and end up relative in the registry and the shortcuts.
        {u"D:Games\\Vintal\\Sorvane", false, u""},
        {u"D:", false, u""},
        {u"D:/Games", false, u""},
        // A full-width letter is no drive.
        {u"Ａ:\\x", false, u""},
        {u"\\\\server\\share\\Vintal", false, u""},
        {u"\\Vintal\\Sorvane", false, u""},
        {u"1:\\x", false, u""},
        {u"", false, u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HasDriveRoot(c.folder), c.drive) << testing::PrintToString(c.folder);
        if (!c.drive) continue;
        char16_t root[8];
        ASSERT_TRUE(FormDriveRoot(root, 8, c.folder));
        EXPECT_EQ(std::u16string(root), c.root);
    }
}

TEST(InstallFolder, FreeSpaceThresholdIsTheTotalSizePlusOne) {
    EXPECT_FALSE(IsEnoughFreeSpace(0));
    EXPECT_FALSE(IsEnoughFreeSpace(3979031201ull));
    EXPECT_TRUE(IsEnoughFreeSpace(3979031202ull));
    EXPECT_TRUE(IsEnoughFreeSpace(5ull << 40));
}

TEST(InstallFolder, InstalledFilePathsFailInsteadOfTruncating) {
    char16_t out[kMaxPath];
    ASSERT_TRUE(FormInstalledFilePath(out, kMaxPath, u"D:\\Vintal\\Sorvane", u"Sorvane.exe"));
    EXPECT_EQ(std::u16string(out), u"D:\\Vintal\\Sorvane\\Sorvane.exe");
    const std::u16string folder = u"D:\\" + std::u16string(250, u'a');
    EXPECT_FALSE(FormInstalledFilePath(out, kMaxPath, folder, u"UnInstall.exe"));
    EXPECT_EQ(std::u16string(out), u"");
}

}  // namespace
