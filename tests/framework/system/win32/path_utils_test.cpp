#include "framework/system/win32/path_utils.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/system/win32/file_finder.h"
#include "tools/automation/win32/scratch.h"

namespace {

// "ソフト" and "表示": ソ is 83 5C and 表 is 95 5C.
const std::string kSoft = "\x83\x5C\x83\x74\x83\x67";
const std::string kDisplay = "\x95\x5C\x8E\xA6";

TEST(PathUtils, GetFullPathOfDrivePaths) {
    char out[kMaxPath];
    ASSERT_TRUE(GetFullPath(out, "C:/x//y\\\\z/"));
    EXPECT_STREQ(out, "C:\\x\\y\\z\\");
    std::string japanese = "D:\\" + kSoft + "\\" + kDisplay;
    ASSERT_TRUE(GetFullPath(out, japanese.c_str()));
    EXPECT_EQ(std::string(out), japanese);
}

// The current directory comes from the system: a Shift-JIS path below one
// that code page 932 cannot hold ("ü") cannot be named, the wide one can.
TEST(PathUtils, GetFullPathOfRelativePathsUsesTheCurrentDirectory) {
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\windows"));
    char out[kMaxPath];
    EXPECT_TRUE(GetFullPath(out, "system32\\x.dll"));
    EXPECT_STREQ(out, "C:\\windows\\system32\\x.dll");
    const std::string japanese = kSoft + "\\x.dll";
    EXPECT_TRUE(GetFullPath(out, japanese.c_str()));
    EXPECT_EQ(std::string(out), "C:\\windows\\" + japanese);

    ScratchDir scratch;
    const std::wstring outside = scratch / L"J\xFCrgen";
    ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryW(outside.c_str()));
    std::strcpy(out, "stale");
    EXPECT_FALSE(GetFullPath(out, "x.dll"));
    EXPECT_STREQ(out, "");
    std::wstring wide;
    EXPECT_TRUE(GetFullPath(&wide, L"x.dll"));
    EXPECT_EQ(wide, outside + L"\\x.dll");
    SetCurrentDirectoryW(saved);
}

TEST(PathUtils, GetFullPathRefusesResultsOverTheLimit) {
    char out[kMaxPath];
    std::string fits = "C:\\" + std::string(256, 'a');   // 259 characters
    std::string over = "C:\\" + std::string(257, 'a');   // 260 characters
    EXPECT_TRUE(GetFullPath(out, fits.c_str()));
    EXPECT_EQ(std::string(out), fits);
    EXPECT_FALSE(GetFullPath(out, over.c_str()));
    EXPECT_STREQ(out, "");
    // Characters, not bytes: "ü" is one.
    std::wstring wide;
    const std::wstring wideFits = L"C:/" + std::wstring(256, L'\xFC');
    EXPECT_TRUE(GetFullPath(&wide, wideFits.c_str()));
    EXPECT_EQ(wide, L"C:\\" + std::wstring(256, L'\xFC'));
    EXPECT_FALSE(GetFullPath(&wide, (wideFits + L"x").c_str()));
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

TEST(PathUtils, SplitWidePath) {
    struct Case { std::wstring path; bool ok; std::wstring dir; std::wstring name; };
    const Case cases[] = {
        {L"C:\\a\\b.txt", true, L"C:\\a", L"b.txt"},
        {L"C:\\", false, L"", L""},
        {L"C:/ゲーム//J\xFCrgen\\", true, L"C:\\ゲーム", L"J\xFCrgen"},
        {L"C:\\file", true, L"C:", L"file"},
    };
    for (const Case& c : cases) {
        std::wstring dir = L"untouched";
        std::wstring name = L"untouched";
        EXPECT_EQ(SplitPath(&dir, &name, c.path.c_str()), c.ok) << c.path;
        EXPECT_EQ(dir, c.ok ? c.dir : L"untouched") << c.path;
        EXPECT_EQ(name, c.ok ? c.name : L"untouched") << c.path;
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
    const std::wstring soft = L"ソフト";
    const std::wstring display = L"表示";
    // The Shift-JIS path of the data: the 5C bytes of ソ and 表 make no
    // folders of their own, whatever the system's code page.
    const std::string deep = ShiftJisPath(scratch.path()) + "\\" + kSoft + "\\" + kDisplay + "/x//y";
    CreateDirectoryTree(deep.c_str());
    EXPECT_TRUE(PathExists(scratch / (soft + L"\\" + display + L"\\x\\y")));
    EXPECT_EQ(FolderEntries(scratch.path()), std::vector<std::wstring>{soft});
    EXPECT_EQ(FolderEntries(scratch / soft), std::vector<std::wstring>{display});

    // Again over existing folders: nothing reported, nothing changed.
    CreateDirectoryTree(deep.c_str());
    EXPECT_TRUE(PathExists(scratch / (soft + L"\\" + display + L"\\x\\y")));

    // A path from the system, with a character of no code page but UTF-16.
    const std::wstring user = L"J\xFCrgen";
    CreateDirectoryTree((scratch / (user + L"/a//b")).c_str());
    EXPECT_TRUE(PathExists(scratch / (user + L"\\a\\b")));
    EXPECT_EQ(FolderEntries(scratch / user), std::vector<std::wstring>{L"a"});
}

TEST(PathUtils, LowercaseLettersKeepsSecondBytes) {
    // ア is 83 41: its second byte is 'A' and must stay upper case.
    char s[] = "C:\\ABC\\\x83\x41Z";
    LowercaseLetters(s);
    EXPECT_STREQ(s, "c:\\abc\\\x83\x41z");
}

TEST(FileFinder, FindsFilesAndFoldersAndKeepsTheHandleUntilClosed) {
    ScratchDir scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"a.txt", "x"));
    ASSERT_TRUE(WriteFileBytes(scratch / L"表示.txt", "x"));
    const std::string folder = ShiftJisPath(scratch.path());
    CFileFinder finder;
    EXPECT_FALSE(finder.IsOpen());
    EXPECT_TRUE(finder.Find((folder + "\\a.txt").c_str()));
    EXPECT_TRUE(finder.IsOpen());
    EXPECT_TRUE(finder.Find(folder.c_str()));
    EXPECT_TRUE(finder.Find((folder + "\\" + kDisplay + ".txt").c_str()));
    EXPECT_FALSE(finder.Find((folder + "\\missing.txt").c_str()));
    EXPECT_FALSE(finder.IsOpen());
    EXPECT_TRUE(finder.Find((folder + "\\*.txt").c_str()));
    finder.Close();
    EXPECT_FALSE(finder.IsOpen());
}

}  // namespace
