#include "framework/file/memory_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

CMemoryFile* Filled(CMemoryFile& file, const std::string& text) {
    EXPECT_TRUE(file.Assign(std::vector<uint8_t>(text.begin(), text.end())));
    return &file;
}

TEST(MemoryFile, ReadClampsToWhatIsLeft) {
    struct Case {
        const char* what;
        int32_t start;
        std::size_t size, count;
        std::size_t elements;
        std::string copied;
        int32_t after;
    };
    const Case cases[] = {
        {"whole elements", 0, 2, 3, 3, "012345", 6},
        {"a cut element is copied but not counted", 7, 2, 3, 1, "789", 10},
        {"at the end nothing", 10, 1, 1, 0, "", 10},
        {"past the end nothing", 15, 1, 4, 0, "", 15},
        {"before the start nothing", -3, 1, 4, 0, "", -3},
        {"element size 0", 0, 0, 5, 0, "", 0},
        {"size times count overflows", 4, 2, SIZE_MAX / 2 + 5, 3, "456789", 10},
        {"one huge element", 0, SIZE_MAX, 1, 0, "0123456789", 10},
    };
    for (const Case& c : cases) {
        CMemoryFile file;
        Filled(file, "0123456789");
        ASSERT_TRUE(file.Seek(c.start, CFileImpl::kFromStart));
        char buffer[32] = {};
        EXPECT_EQ(file.Read(buffer, c.size, c.count), c.elements) << c.what;
        EXPECT_EQ(std::string(buffer), c.copied) << c.what;
        EXPECT_EQ(file.Tell(), c.after) << c.what;
    }
}

TEST(MemoryFile, SeekOrigins) {
    struct Case {
        int32_t offset;
        int origin;
        bool ok;
        int32_t position;
    };
    // Applied one after another.
    const Case cases[] = {
        {4, CFileImpl::kFromStart, true, 4},   {-1, CFileImpl::kFromCurrent, true, 3},
        {0, CFileImpl::kFromEnd, true, 10},    {-10, CFileImpl::kFromEnd, true, 0},
        {2, 3, false, 0},                      {-5, CFileImpl::kFromStart, true, -5},
        {INT32_MIN, CFileImpl::kFromCurrent, false, -5},
        {INT32_MAX, CFileImpl::kFromEnd, false, -5},
    };
    CMemoryFile file;
    Filled(file, "0123456789");
    for (const Case& c : cases) {
        EXPECT_EQ(file.Seek(c.offset, c.origin), c.ok) << c.offset << "/" << c.origin;
        EXPECT_EQ(file.Tell(), c.position) << c.offset << "/" << c.origin;
    }
    file.Rewind();
    char c = 0;
    EXPECT_EQ(file.Read(&c, 1, 1), 1u);
    EXPECT_EQ(c, '0');
}

TEST(MemoryFile, IsReadOnlyAndCloses) {
    CMemoryFile file;
    Filled(file, "abc");
    EXPECT_EQ(file.Write("x", 1, 1), 0u);
    EXPECT_FALSE(file.Create("anything"));
    EXPECT_EQ(file.Size(), 3);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Size(), 0);
    EXPECT_EQ(file.Tell(), 0);
    char c;
    EXPECT_EQ(file.Read(&c, 1, 1), 0u);
}

}  // namespace
