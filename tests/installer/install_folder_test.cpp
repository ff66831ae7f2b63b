#include "installer/install_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// "表" is 95 5C: its second byte is the backslash.
const std::string kHyo = "\x95\x5C";

struct FolderCase {
    std::string text;
    FolderText result;
    std::string folder;
};

TEST(InstallFolder, FormsTheFolderFromTheEditText) {
    const std::string games = "D:\\Games";
    const FolderCase cases[] = {
        {"", FolderText::Empty, ""},
        {"D:\\", FolderText::Formed, "D:\\Vintal\\Sorvane"},
        {"D:", FolderText::Formed, "D:\\Vintal\\Sorvane"},
        {games, FolderText::Formed, games + "\\Vintal\\Sorvane"},
        // Only one trailing backslash is dropped.
        {games + "\\\\", FolderText::Formed, games + "\\\\Vintal\\Sorvane"},
        // The last byte of "表" is not a separator: the character stays.
        {"D:\\" + kHyo, FolderText::Formed, "D:\\" + kHyo + "\\Vintal\\Sorvane"},
        {"D:\\" + kHyo + "\\", FolderText::Formed, "D:\\" + kHyo + "\\Vintal\\Sorvane"},
        {"\\\\server\\share", FolderText::Formed, "\\\\server\\share\\Vintal\\Sorvane"},
    };
    for (const auto& c : cases) {
        char out[kMaxPath] = "stale";
        EXPECT_EQ(FormInstallFolder(out, sizeof out, c.text.c_str(), Cp932LeadBytes()), c.result)
            << c.text;
        EXPECT_EQ(std::string(out), c.folder) << c.text;
    }
}

TEST(InstallFolder, RefusesFoldersWhoseFilePathsWouldNotFit) {
    // "<folder>\UnInstall.exe", the longest installed path, must stay within
    // 259 characters: the folder may have 245, so the typed base 230.
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
        std::string text = "D:\\" + std::string(c.length - 3 - c.trailingSeparator, 'a');
        if (c.trailingSeparator) text += "\\";
        ASSERT_EQ(text.size(), c.length);
        char out[kMaxPath] = "stale";
        EXPECT_EQ(FormInstallFolder(out, sizeof out, text.c_str(), Cp932LeadBytes()), c.result)
            << c.length;
        if (c.result == FolderText::TooLong) {
            EXPECT_STREQ(out, "");
        } else {
            char path[kMaxPath];
            EXPECT_TRUE(FormInstalledFilePath(path, sizeof path, out, "UnInstall.exe"));
        }
    }
}

TEST(InstallFolder, DriveTestAndRoot) {
    const struct {
        const char* folder;
        bool drive;
        const char* root;
    } cases[] = {
        {"D:\\Vintal\\Sorvane", true, "D:\\"},
        {"z:\\x", true, "z:\\"},
        // Drive-relative: would name a folder below that drive's current
        // directory, and end up relative in the registry and the shortcuts.
        {"D:Games\\Vintal\\Sorvane", false, nullptr},
        {"D:", false, nullptr},
        {"D:/Games", false, nullptr},
        {"\x82\x60:\\x", false, nullptr},
        {"\\\\server\\share\\Vintal", false, nullptr},
        {"\\Vintal\\Sorvane", false, nullptr},
        {"1:\\x", false, nullptr},
        {"\x95\x5C:", false, nullptr},
        {"", false, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HasDriveRoot(c.folder), c.drive) << c.folder;
        if (!c.drive) continue;
        char root[8];
        ASSERT_TRUE(FormDriveRoot(root, sizeof root, c.folder));
        EXPECT_STREQ(root, c.root);
    }
}

TEST(InstallFolder, FreeSpaceThresholdIsTheTotalSizePlusOne) {
    EXPECT_FALSE(IsEnoughFreeSpace(0));
    EXPECT_FALSE(IsEnoughFreeSpace(3979031201ull));
    EXPECT_TRUE(IsEnoughFreeSpace(3979031202ull));
    EXPECT_TRUE(IsEnoughFreeSpace(5ull << 40));
}

TEST(InstallFolder, InstalledFilePathsFailInsteadOfTruncating) {
    char out[kMaxPath];
    ASSERT_TRUE(FormInstalledFilePath(out, sizeof out, "D:\\Vintal\\Sorvane", "Sorvane.exe"));
    EXPECT_STREQ(out, "D:\\Vintal\\Sorvane\\Sorvane.exe");
    std::string folder = "D:\\" + std::string(250, 'a');
    EXPECT_FALSE(FormInstalledFilePath(out, sizeof out, folder.c_str(), "UnInstall.exe"));
    EXPECT_STREQ(out, "");
}

}  // namespace
