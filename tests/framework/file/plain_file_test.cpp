#include "framework/file/plain_file.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/support/temp_folder.h"

namespace {

// A file in a temporary folder of its own.
class TempPath {
public:
    explicit TempPath(const char* name) : path_(folder_ / name) {}
    const char* c_str() const { return path_.c_str(); }

private:
    TempFolder folder_;
    std::string path_;
};

TEST(PlainFile, CreateWriteReadBack) {
    TempPath path("plain_file_test_rw.bin");
    CPlainFile file;
    ASSERT_TRUE(file.Create(path.c_str()));
    EXPECT_EQ(file.Write("abcdefgh", 2, 4), 4u);
    file.Close();
    EXPECT_FALSE(file.IsOpen());

    ASSERT_TRUE(file.Open(path.c_str()));
    char buffer[8] = {};
    // Three elements of 3 bytes ask for 9 of the 8 bytes: two whole elements.
    EXPECT_EQ(file.Read(buffer, 3, 3), 2u);
    EXPECT_EQ(std::string(buffer, 6), "abcdef");
    EXPECT_EQ(file.Write("x", 1, 1), 0u);  // opened for reading only
}

TEST(PlainFile, SizeKeepsThePosition) {
    TempPath path("plain_file_test_size.bin");
    CPlainFile file;
    ASSERT_TRUE(file.Create(path.c_str()));
    ASSERT_EQ(file.Write("0123456789", 1, 10), 10u);
    ASSERT_TRUE(file.Seek(3, CFileImpl::kFromStart));
    EXPECT_EQ(file.Size(), 10);
    EXPECT_EQ(file.Tell(), 3);
    char c = 0;
    ASSERT_EQ(file.Read(&c, 1, 1), 1u);
    EXPECT_EQ(c, '3');
}

TEST(PlainFile, SeekOriginsAndRewind) {
    TempPath path("plain_file_test_seek.bin");
    CPlainFile file;
    ASSERT_TRUE(file.Create(path.c_str()));
    ASSERT_EQ(file.Write("0123456789", 1, 10), 10u);
    struct Case { int32_t offset; int origin; bool ok; int32_t position; };
    const Case cases[] = {
        {2, CFileImpl::kFromStart, true, 2},
        {3, CFileImpl::kFromCurrent, true, 5},
        {-4, CFileImpl::kFromEnd, true, 6},
        {1, 7, false, 6},  // unknown origin leaves the position
    };
    for (const Case& c : cases) {
        EXPECT_EQ(file.Seek(c.offset, c.origin), c.ok) << c.offset << " " << c.origin;
        EXPECT_EQ(file.Tell(), c.position) << c.offset << " " << c.origin;
    }
    file.Rewind();
    EXPECT_EQ(file.Tell(), 0);
}

TEST(PlainFile, ClosedFileAnswersZero) {
    CPlainFile file;
    char c;
    const TempFolder folder;
    EXPECT_FALSE(file.Open((folder / "no such folder/missing.bin").c_str()));
    EXPECT_EQ(file.Size(), 0);
    EXPECT_EQ(file.Tell(), 0);
    EXPECT_EQ(file.Read(&c, 1, 1), 0u);
    EXPECT_FALSE(file.Seek(0, CFileImpl::kFromStart));
}

}  // namespace
