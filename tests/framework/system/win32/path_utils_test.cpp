#include "framework/system/win32/path_utils.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/system/win32/file_finder.h"
#include "tools/automation/win32/scratch.h"

namespace {

// "ソフト" and "表示": ソ is 83 5C and 表 is 95 5C.
const std::string kSoft = "\x83\x5C\x83\x74\x83\x67";
const std::string kDisplay = "\x95\x5C\x8E\xA6";

TEST(PathUtils, RunsInTheJapaneseCodePage) {
    // Every multi-byte case below assumes code page 932.
    ASSERT_EQ(GetACP(), 932u);
    EXPECT_TRUE(AnsiLeadBytes().IsLead(0x83));
    EXPECT_FALSE(AnsiLeadBytes().IsLead('\\'));
}

TEST(PathUtils, GetFullPathOfDrivePaths) {
    char out[kMaxPath];
    ASSERT_TRUE(GetFullPath(out, "C:/x//y\\\\z/"));
    EXPECT_STREQ(out, "C:\\x\\y\\z\\");
    std::string japanese = "D:\\" + kSoft + "\\" + kDisplay;
    ASSERT_TRUE(GetFullPath(out, japanese.c_str()));
    EXPECT_EQ(std::string(out), japanese);
}

TEST(PathUtils, GetFullPathOfRelativePathsUsesTheCurrentDirectory) {
    char saved[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\windows"));
    char out[kMaxPath];
    EXPECT_TRUE(GetFullPath(out, "system32\\x.dll"));
    EXPECT_STREQ(out, "C:\\windows\\system32\\x.dll");
    SetCurrentDirectoryA(saved);
}

TEST(PathUtils, GetFullPathRefusesResultsOverTheLimit) {
    char out[kMaxPath];
    std::string fits = "C:\\" + std::string(256, 'a');   // 259 characters
    std::string over = "C:\\" + std::string(257, 'a');   // 260 characters
    EXPECT_TRUE(GetFullPath(out, fits.c_str()));
    EXPECT_EQ(std::string(out), fits);
    EXPECT_FALSE(GetFullPath(out, over.c_str()));
    EXPECT_STREQ(out, "");
}

TEST(PathUtils, SplitPath) {
    struct Case { std::string path; bool ok; std::string dir; std::string name; };
    const Case cases[] = {
        {"C:\\a\\b.txt", true, "C:\\a", "b.txt"},
        {"C:\\", false, "", ""},
        {"C:\\a\\b\\", true, "C:\\a", "b"},
        {"C:\\a\\b\\\\", true, "C:\\a", "b"},
        {"C:/a/b.txt", true, "C:\\a", "b.txt"},
        {"C:\\file", true, "C:", "file"},
        // A name that ends in ソ (83 5C) keeps its last character.
        {"C:\\" + kSoft + "\\" + kDisplay, true, "C:\\" + kSoft, kDisplay},
        {"C:\\x\\" + kSoft, true, "C:\\x", kSoft},
    };
    for (const Case& c : cases) {
        char dir[kMaxPath] = "untouched";
        char name[kMaxPath] = "untouched";
        EXPECT_EQ(SplitPath(dir, name, c.path.c_str()), c.ok) << c.path;
        EXPECT_EQ(std::string(dir), c.ok ? c.dir : "untouched") << c.path;
        EXPECT_EQ(std::string(name), c.ok ? c.name : "untouched") << c.path;
    }
}

TEST(PathUtils, SplitPathFailsWhenAPartDoesNotFit) {
    char dir[8] = "keep";
    char name[kMaxPath] = "keep";
    EXPECT_FALSE(SplitPath(dir, sizeof dir, name, sizeof name, "C:\\a-long-folder\\x"));
    EXPECT_STREQ(dir, "keep");
    EXPECT_STREQ(name, "keep");
}

TEST(PathUtils, SplitExtension) {
    struct Case { const char* path; const char* base; const char* ext; };
    const Case cases[] = {
        {"C:\\d\\x.tar.gz", "x.tar", "gz"},
        {"C:\\d\\noext", "untouched", "untouched"},
        {"C:\\d.x\\noext", "untouched", "untouched"},
        {"C:\\d\\.hidden", "", "hidden"},
        {"C:\\", "untouched", "untouched"},
    };
    for (const Case& c : cases) {
        char base[kMaxPath] = "untouched";
        char ext[kMaxPath] = "untouched";
        SplitExtension(base, ext, c.path);
        EXPECT_STREQ(base, c.base) << c.path;
        EXPECT_STREQ(ext, c.ext) << c.path;
    }
}

TEST(PathUtils, GetParentDirectory) {
    char dir[kMaxPath] = {};
    EXPECT_TRUE(GetParentDirectory(dir, "C:\\a\\b\\c.txt"));
    EXPECT_STREQ(dir, "C:\\a\\b");
    EXPECT_TRUE(GetParentDirectory(dir, "C:\\a"));
    EXPECT_STREQ(dir, "C:");
    EXPECT_FALSE(GetParentDirectory(dir, "C:\\"));
    std::string japanese = "C:\\" + kSoft + "\\" + kDisplay + "\\x";
    EXPECT_TRUE(GetParentDirectory(dir, japanese.c_str()));
    EXPECT_EQ(std::string(dir), "C:\\" + kSoft + "\\" + kDisplay);
}

TEST(PathUtils, CreateDirectoryTreeMakesEveryFolderOfTheChain) {
    ScratchDir scratch;
    std::string deep = scratch / (kSoft + "\\" + kDisplay + "/x//y");
    CreateDirectoryTree(deep.c_str());
    EXPECT_TRUE(PathExists(scratch / kSoft));
    EXPECT_TRUE(PathExists(scratch / (kSoft + "\\" + kDisplay)));
    EXPECT_TRUE(PathExists(scratch / (kSoft + "\\" + kDisplay + "\\x\\y")));
    // The 5C bytes of ソ and 表 made no folders of their own: each level
    // holds exactly the one folder named.
    EXPECT_EQ(FolderEntries(scratch.path()), std::vector<std::string>{kSoft});
    EXPECT_EQ(FolderEntries(scratch / kSoft), std::vector<std::string>{kDisplay});

    // Again over existing folders: nothing reported, nothing changed.
    CreateDirectoryTree(deep.c_str());
    EXPECT_TRUE(PathExists(scratch / (kSoft + "\\" + kDisplay + "\\x\\y")));
}

TEST(PathUtils, LowercaseLettersKeepsSecondBytes) {
    // ア is 83 41: its second byte is 'A' and must stay upper case.
    char s[] = "C:\\ABC\\\x83\x41Z";
    LowercaseLetters(s);
    EXPECT_STREQ(s, "c:\\abc\\\x83\x41z");
}

TEST(FileFinder, FindsFilesAndFoldersAndKeepsTheHandleUntilClosed) {
    ScratchDir scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / "a.txt", "x"));
    CFileFinder finder;
    EXPECT_FALSE(finder.IsOpen());
    EXPECT_TRUE(finder.Find((scratch / "a.txt").c_str()));
    EXPECT_TRUE(finder.IsOpen());
    EXPECT_TRUE(finder.Find(scratch.path().c_str()));
    EXPECT_FALSE(finder.Find((scratch / "missing.txt").c_str()));
    EXPECT_FALSE(finder.IsOpen());
    EXPECT_TRUE(finder.Find((scratch / "*.txt").c_str()));
    finder.Close();
    EXPECT_FALSE(finder.IsOpen());
}

}  // namespace
