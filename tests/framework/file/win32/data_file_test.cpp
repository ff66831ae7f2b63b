#include "framework/file/win32/data_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/file/archive_writer.h"
#include "framework/file/win32/comp_file.h"
#include "framework/file/win32/comp_once_file.h"
#include "framework/file/plain_file.h"
#include "framework/system/win32/wide_text.h"
#include "tests/support/win32/dialog_watcher.h"
#include "tools/automation/win32/scratch.h"
#include "tools/support/file_bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }
Bytes AsBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// No drive is a CD-ROM drive for these tests: the disc search has its own.
unsigned NoCdrom(const char*) { return DRIVE_FIXED; }

class DataFile : public testing::Test {
protected:
    void SetUp() override {
        ResetDiscSearch();
        SetDriveTypeQuery(NoCdrom);
    }
    void TearDown() override {
        SetDriveTypeQuery(nullptr);
        ResetDiscSearch();
    }

    // `relative` (ASCII) in the test's folder, to write it, and as the file
    // layer is given the data's paths, in Shift-JIS.
    std::wstring At(const std::string& relative) const { return dir_ / Widen(relative); }
    std::string Named(const std::string& relative) const {
        return ShiftJisPath(dir_.path()) + "\\" + relative;
    }

    bool WritePacked(const std::wstring& path, const std::string& contents) {
        return WriteFileBytes(path, AsString(MakeSinglePackedFile(AsBytes(contents))));
    }
    bool WriteArchive(const std::wstring& path,
                      const std::vector<std::pair<std::string, std::string>>& entries) {
        CArchiveWriter writer;
        for (const auto& e : entries)
            if (!writer.Add(e.first, AsBytes(e.second))) return false;
        return WriteFileBytes(path, AsString(writer.Build()));
    }

    ScratchDir dir_;
};

TEST_F(DataFile, OpensALooseFileAsPlainFile) {
    ASSERT_TRUE(WriteFileBytes(At("loose.bin"), "loose bytes"));
    CDataFile file;
    ASSERT_TRUE(file.Open(Named("loose.bin").c_str()));
    EXPECT_NE(dynamic_cast<CPlainFile*>(file.Implementation()), nullptr);
    EXPECT_EQ(ReadAllOf(file), "loose bytes");
    file.Close();
    EXPECT_EQ(file.Implementation(), nullptr);
    EXPECT_EQ(file.Size(), 0);
}

TEST_F(DataFile, LooseFileBeatsAPackedFileOfTheSameStem) {
    ASSERT_TRUE(WriteFileBytes(At("pic.bmp"), "loose"));
    ASSERT_TRUE(WritePacked(At("pic.bmp.dat"), "packed"));
    ASSERT_TRUE(WriteArchive(dir_.path() + L".dat", {{"pic.bmp", "archived"}}));
    CDataFile file;
    ASSERT_TRUE(file.Open(Named("pic.bmp").c_str()));
    EXPECT_EQ(ReadAllOf(file), "loose");
}

TEST_F(DataFile, NameWithDatAppendedOpensAsSinglePackedFile) {
    std::string contents(5000, 'z');
    contents += "tail";
    ASSERT_TRUE(WritePacked(At("t000_001.bmp.dat"), contents));
    CDataFile file;
    ASSERT_TRUE(file.Open(Named("t000_001.bmp").c_str()));
    EXPECT_NE(dynamic_cast<CCompOnceFile*>(file.Implementation()), nullptr);
    EXPECT_EQ(file.Size(), static_cast<int32_t>(contents.size()));
    EXPECT_EQ(ReadAllOf(file), contents);
    // Seek to the end, then Read: nothing.
    ASSERT_TRUE(file.Seek(0, CFileImpl::kFromEnd));
    char c;
    EXPECT_EQ(file.Read(&c, 1, 1), 0u);
}

TEST_F(DataFile, ArchiveEntriesMatchEitherSeparatorButNotOtherCase) {
    ASSERT_TRUE(CreateDirectoryW(At("data").c_str(), nullptr));
    ASSERT_TRUE(WriteArchive(At("data\\obj.dat"),
                             {{"t000_000.bmp", "first"}, {"sub\\a.bmp", "back"}, {"sub/b.bmp", "fore"}}));
    struct Case {
        std::string name;
        bool found;
        std::string contents;
    };
    const Case cases[] = {
        {"data\\obj\\t000_000.bmp", true, "first"},
        {"data\\obj\\sub\\a.bmp", true, "back"},
        {"data/obj/sub/a.bmp", true, "back"},
        {"data\\obj\\sub\\b.bmp", true, "fore"},
        {"data\\obj\\SUB\\a.bmp", false, ""},
        {"data\\obj\\T000_000.bmp", false, ""},
        {"data\\obj\\missing.bmp", false, ""},
    };
    for (const Case& c : cases) {
        CDataFile file;
        EXPECT_EQ(file.Open(Named(c.name).c_str()), c.found) << c.name;
        EXPECT_EQ(ReadAllOf(file), c.contents) << c.name;
        if (c.found) EXPECT_NE(dynamic_cast<CCompFile*>(file.Implementation()), nullptr) << c.name;
        else EXPECT_EQ(file.Implementation(), nullptr) << c.name;
    }
}

TEST_F(DataFile, NearestParentArchiveWins) {
    ASSERT_TRUE(CreateDirectoryW(At("data").c_str(), nullptr));
    ASSERT_TRUE(WriteArchive(At("data.dat"), {{"obj\\a.bmp", "outer"}, {"obj\\only_outer.bmp", "o"}}));
    ASSERT_TRUE(WriteArchive(At("data\\obj.dat"), {{"a.bmp", "inner"}}));
    CDataFile file;
    ASSERT_TRUE(file.Open(Named("data\\obj\\a.bmp").c_str()));
    EXPECT_EQ(ReadAllOf(file), "inner");
    // The nearest archive is the one searched: an entry only in the outer
    // one is not found through it.
    EXPECT_FALSE(file.Open(Named("data\\obj\\only_outer.bmp").c_str()));
    // With the inner archive gone the outer one serves.
    ASSERT_TRUE(DeleteFileA(Named("data\\obj.dat").c_str()));
    ASSERT_TRUE(file.Open(Named("data\\obj\\a.bmp").c_str()));
    EXPECT_EQ(ReadAllOf(file), "outer");
}

TEST_F(DataFile, RelativeNamesResolveAgainstTheCurrentDirectory) {
    wchar_t saved[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, saved), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(dir_.path().c_str()));
    ASSERT_TRUE(WritePacked(At("rel.txt.dat"), "relative"));
    ASSERT_TRUE(CreateDirectoryW(At("data").c_str(), nullptr));
    ASSERT_TRUE(WriteArchive(At("data.dat"), {{"obj\\x.txt", "in archive"}}));
    CDataFile file;
    bool packed = file.Open("rel.txt");
    std::string packedText = ReadAllOf(file);
    bool archived = file.Open("data\\obj\\x.txt");
    std::string archivedText = ReadAllOf(file);
    SetCurrentDirectoryW(saved);
    EXPECT_TRUE(packed);
    EXPECT_EQ(packedText, "relative");
    EXPECT_TRUE(archived);
    EXPECT_EQ(archivedText, "in archive");
}

TEST_F(DataFile, OverlongPathsFailToOpen) {
    const std::string folder = ShiftJisPath(dir_.path());
    std::string longName = folder + "\\" + std::string(300, 'a');
    CDataFile file;
    EXPECT_FALSE(file.Open(longName.c_str()));
    // Just fitting the path buffer but not with ".dat" appended.
    std::string nearLimit = folder + "\\" + std::string(257 - folder.size(), 'b');
    ASSERT_EQ(nearLimit.size(), 258u);
    EXPECT_FALSE(file.Open(nearLimit.c_str()));
    EXPECT_EQ(file.Implementation(), nullptr);
}

TEST_F(DataFile, CreateAndWriteOnPackedFilesShowTheirMessageAndFail) {
    ASSERT_TRUE(WritePacked(At("once.txt.dat"), "packed"));
    ASSERT_TRUE(WriteArchive(dir_.path() + L".dat", {{"entry.txt", "archived"}}));
    DialogWatcher watcher(DialogWatcher::Always(IDOK));
    const std::wstring caption = L"アプリケーションエラー";

    CCompOnceFile once;
    EXPECT_FALSE(once.Create(Named("x").c_str()));
    ASSERT_TRUE(once.Open(Named("once.txt").c_str()));
    EXPECT_EQ(once.Write("x", 1, 1), 0u);
    CCompFile entry;
    EXPECT_FALSE(entry.Create(Named("x").c_str()));
    ASSERT_TRUE(entry.Open(Named("entry.txt").c_str()));
    EXPECT_EQ(entry.Write("x", 1, 1), 0u);
    EXPECT_EQ(ReadAllOf(entry), "archived");

    ASSERT_TRUE(watcher.WaitForCount(4, 10000));
    std::vector<SeenDialog> seen = watcher.Seen();
    const wchar_t* texts[] = {
        L"CCompOnceFile::Create()\nファイルの作成に対応していません",
        L"CCompFile::Create()\nファイルの書き出しは対応していません",
        L"CCompFile::Create()\nファイルの作成に対応していません",
        L"CCompFile::Create()\nファイルの書き出しは対応していません",
    };
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(seen[i].caption, caption) << i;
        EXPECT_EQ(seen[i].text, texts[i]) << i;
        EXPECT_EQ(seen[i].answer, IDOK) << i;
    }
    EXPECT_FALSE(PathExists(At("x")));
}

TEST_F(DataFile, CreateMakesAPlainFile) {
    CDataFile file;
    ASSERT_TRUE(file.Create(Named("made.bin").c_str()));
    EXPECT_NE(dynamic_cast<CPlainFile*>(file.Implementation()), nullptr);
    EXPECT_EQ(file.Write("xyz", 1, 3), 3u);
    file.Close();
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(At("made.bin"), &bytes));
    EXPECT_EQ(bytes, "xyz");
    EXPECT_FALSE(file.Create(Named("no folder\\made.bin").c_str()));
    EXPECT_EQ(file.Implementation(), nullptr);
}

TEST_F(DataFile, ClosedFrontEndAnswersZero) {
    CDataFile file;
    EXPECT_FALSE(file.Open(Named("nowhere.bin").c_str()));
    char c;
    EXPECT_EQ(file.Size(), 0);
    EXPECT_EQ(file.Read(&c, 1, 1), 0u);
    EXPECT_EQ(file.Write(&c, 1, 1), 0u);
    EXPECT_FALSE(file.Seek(0, CFileImpl::kFromStart));
    EXPECT_EQ(file.Tell(), 0);
    file.Rewind();
}

}  // namespace
