// The disc search of CDataFile over the CD-ROM drives of the test prefix
// (M: to R:, whose media are folders; S: is a fixed drive).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "framework/file/win32/data_file.h"
#include "framework/graphics/win32/surface_proxy.h"
#include "framework/graphics/bmp_format.h"
#include "framework/system/win32/wide_text.h"
#include "tests/framework/graphics/bmp_bytes.h"
#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/disc_drives.h"
#include "tools/automation/win32/scratch.h"
#include "tools/support/file_bytes.h"

namespace {

int DriveTypeQueries = 0;
unsigned SystemDriveType(const char* root) { return GetDriveTypeW(Widen(root).c_str()); }
unsigned CountingQuery(const char* root) {
    ++DriveTypeQueries;
    return SystemDriveType(root);
}
unsigned NothingIsCdrom(const char*) { return DRIVE_FIXED; }
// Counts like CountingQuery, slowly, so that a second thread's search falls
// into the first one's building of the drive table.
std::atomic<int> SlowQueries{0};
unsigned SlowQuery(const char* root) {
    ++SlowQueries;
    Sleep(2);
    return SystemDriveType(root);
}

// Runs each test from an empty current directory, so every name is missing
// locally, with the disc-search state as at process start.
class DiscSearch : public testing::Test {
protected:
    void SetUp() override {
        if (!DiscDrives::Available()) GTEST_SKIP() << "no CD-ROM drives in this prefix";
        GetCurrentDirectoryW(MAX_PATH, saved_);
        SetCurrentDirectoryW(local_.path().c_str());
        ResetDiscSearch();
        DriveTypeQueries = 0;
        SetDriveTypeQuery(CountingQuery);
    }
    void TearDown() override {
        SetCurrentDirectoryW(saved_);
        SetDriveTypeQuery(nullptr);
        ResetDiscSearch();
    }

    // A disc holding `relative` below data\data.
    void MakeDisc(const std::string& name, const std::string& relative, const std::string& bytes) {
        std::wstring disc = drives_.NewDisc(name);
        ASSERT_TRUE(drives_.AddFile(disc, Widen(kDiscDataFolder) + L"\\" + Widen(relative), bytes));
    }

    wchar_t saved_[MAX_PATH] = {};
    ScratchDir local_;
    DiscDrives drives_;
};

// An archive of one entry "a.txt" holding "hi": one index record and the
// terminator, then a stream of two literals.
std::string OneEntryArchive() {
    std::string record(140, '\0');
    record.replace(0, 5, "a.txt");
    auto put = [&](std::size_t at, uint32_t v) {
        v ^= 0x006D6D6D;
        for (int i = 0; i < 4; ++i) record[at + i] = static_cast<char>(v >> (8 * i));
    };
    put(128, 2);
    put(132, 3);
    put(136, 280);
    return record + std::string(140, '\0') + std::string("\x03hi", 3);
}

TEST_F(DiscSearch, FindsAMissingNameBelowDataDataOnACdromDrive) {
    const struct {
        const char* disc;
        const char* stored;  // below data\data on the disc
        std::string bytes;
        char drive;
        const char* name;
        const char* read;
    } cases[] = {
        {"loose", "data\\obj\\t000_001.bmp", "from the disc", 'p', "data\\obj\\t000_001.bmp", "from the disc"},
        // Only the archive data\data\data\obj.dat holds the entry.
        {"packed", "data\\obj.dat", OneEntryArchive(), 'r', "data\\obj\\a.txt", "hi"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.disc);
        ResetDiscSearch();
        MakeDisc(c.disc, c.stored, c.bytes);
        ASSERT_TRUE(drives_.Insert(c.drive, c.disc));
        CDataFile file;
        ASSERT_TRUE(file.Open(c.name));
        EXPECT_EQ(ReadAllOf(file), c.read);
        EXPECT_EQ(RememberedDiscDrive(), c.drive);
    }
}

TEST_F(DiscSearch, RemembersTheDriveAndTriesItFirst) {
    MakeDisc("first", "one.txt", "1");
    ASSERT_TRUE(drives_.Insert('q', "first"));
    CDataFile file;
    ASSERT_TRUE(file.Open("one.txt"));
    ASSERT_EQ(RememberedDiscDrive(), 'q');

    // Both N: and Q: now hold two.txt; the walk from C: upward would take N:.
    MakeDisc("low", "two.txt", "from n");
    MakeDisc("remembered", "two.txt", "from q");
    ASSERT_TRUE(drives_.Insert('n', "low"));
    ASSERT_TRUE(drives_.Insert('q', "remembered"));
    ASSERT_TRUE(file.Open("two.txt"));
    EXPECT_EQ(ReadAllOf(file), "from q");
    EXPECT_EQ(RememberedDiscDrive(), 'q');

    // A name only on N: falls through to the walk and moves the memory.
    MakeDisc("three", "three.txt", "only on n");
    ASSERT_TRUE(drives_.Insert('n', "three"));
    ASSERT_TRUE(file.Open("three.txt"));
    EXPECT_EQ(ReadAllOf(file), "only on n");
    EXPECT_EQ(RememberedDiscDrive(), 'n');
}

TEST_F(DiscSearch, BuildsTheDriveTableOnceAtTheFirstFailure) {
    CDataFile file;
    ASSERT_TRUE(WriteFileBytes(local_ / L"here.txt", "local"));
    ASSERT_TRUE(file.Open("here.txt"));
    EXPECT_EQ(DriveTypeQueries, 0) << "a local success needs no drive table";
    EXPECT_FALSE(file.Open("missing everywhere.txt"));
    EXPECT_EQ(DriveTypeQueries, 23) << "one query per letter c to y";
    EXPECT_FALSE(file.Open("missing again.txt"));
    EXPECT_EQ(DriveTypeQueries, 23);
    EXPECT_EQ(file.Implementation(), nullptr);
    EXPECT_EQ(RememberedDiscDrive(), 0);
}

// Threads that search the discs at the same time build the drive table once,
// and none of them searches a table still being built.
TEST_F(DiscSearch, ThreadsSearchingTogetherShareOneCompleteDriveTable) {
    MakeDisc("late", "late.txt", "on r");
    ASSERT_TRUE(drives_.Insert('r', "late"));
    SetDriveTypeQuery(SlowQuery);
    SlowQueries = 0;
    std::atomic<int> found{0};
    {
        auto search = [&] {
            CDataFile file;
            if (file.Open("late.txt") && ReadAllOf(file) == "on r") ++found;
        };
        TestThread first(search), second(search);
        ASSERT_TRUE(first.Join(30000));
        ASSERT_TRUE(second.Join(30000));
    }
    EXPECT_EQ(found, 2);
    EXPECT_EQ(SlowQueries, 23);
    EXPECT_EQ(RememberedDiscDrive(), 'r');
}

TEST_F(DiscSearch, NeverSearchesDrivesThatAreNotCdrom) {
    // The fixed drive S: holds the name below data\data: it is not searched.
    const std::wstring onFixed =
        DiscDrives::MediumPath('s') + L"\\" + Widen(kDiscDataFolder) + L"\\fixed.txt";
    ASSERT_TRUE(WriteFileBytes(onFixed, "fixed"));
    CDataFile file;
    EXPECT_FALSE(file.Open("fixed.txt"));
    RemoveTree(DiscDrives::MediumPath('s') + L"\\data");

    // A disc in a drive that the table says is no CD-ROM drive is not searched either.
    ResetDiscSearch();
    SetDriveTypeQuery(NothingIsCdrom);
    MakeDisc("hidden", "hidden.txt", "h");
    ASSERT_TRUE(drives_.Insert('m', "hidden"));
    EXPECT_FALSE(file.Open("hidden.txt"));
    ResetDiscSearch();
    SetDriveTypeQuery(CountingQuery);
    EXPECT_TRUE(file.Open("hidden.txt"));
    EXPECT_EQ(RememberedDiscDrive(), 'm');
}

// A picture's mask is looked for beside the picture as it was found: a
// loose picture without a mask costs no disc search (the disc's mask of the
// same name is not taken), a picture found on a disc takes its mask there.
TEST_F(DiscSearch, PictureMasksAreLookedForWhereThePictureWasFound) {
    const std::vector<std::uint8_t> pixels(BmpStride24(2), 0);
    const std::vector<std::uint8_t> bmp = MakeBmpFile(2, 1, 24, pixels);
    const std::string picture(bmp.begin(), bmp.end());
    const std::wstring disc = drives_.NewDisc("masks");
    const std::wstring folder = Widen(kDiscDataFolder) + L"\\";
    ASSERT_TRUE(drives_.AddFile(disc, folder + L"pic.bmp", picture));
    ASSERT_TRUE(drives_.AddFile(disc, folder + L"pic.alp", std::string("\x01\x02", 2)));
    ASSERT_TRUE(drives_.Insert('m', "masks"));
    const struct {
        bool loose;
        int queries;  // of the drive table: 23 when the discs were searched
        int kind;     // 11 plain, 13 masked
    } cases[] = {{true, 0, 11}, {false, 23, 13}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.loose ? "loose picture" : "picture on the disc");
        ResetDiscSearch();
        DriveTypeQueries = 0;
        if (c.loose) ASSERT_TRUE(WriteFileBytes(local_ / L"pic.bmp", picture));
        else DeleteFileW((local_ / L"pic.bmp").c_str());
        CSurfaceProxy surface;
        ASSERT_TRUE(surface.LoadFile("pic.bmp", false, 0, 0));
        EXPECT_EQ(DriveTypeQueries, c.queries);
        EXPECT_EQ(surface.GetKind(), c.kind);
    }
}

TEST_F(DiscSearch, OverlongNamesAreLookedForOnNoDisc) {
    MakeDisc("long", "x.txt", "x");
    ASSERT_TRUE(drives_.Insert('m', "long"));
    std::string name = std::string(250, 'd') + "\\x.txt";
    CDataFile file;
    EXPECT_FALSE(file.Open(name.c_str()));
    EXPECT_EQ(RememberedDiscDrive(), 0);
}

}  // namespace
