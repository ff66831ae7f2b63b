// The read contract of CFileImpl, run over every source the file layer
// returns: a loose file, memory, a single packed file, an archive entry and
// the CDataFile front-end. Callers cannot tell them apart, so none may answer
// differently.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "framework/file/archive_writer.h"
#include "framework/file/memory_file.h"
#include "framework/file/plain_file.h"
#include "tools/support/file_bytes.h"
#include "tools/support/temp_folder.h"
#ifdef _WIN32
#include "framework/file/win32/comp_file.h"
#include "framework/file/win32/comp_once_file.h"
#include "framework/file/win32/data_file.h"
#endif

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

// 300 bytes that differ from their neighbours, so a read from the wrong
// position shows.
Bytes Contents() {
    Bytes bytes(300);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    return bytes;
}

struct MemorySource {
    CMemoryFile file;
    bool Open(const Bytes& bytes) { return file.Assign(bytes); }
};

struct PlainSource {
    TempFolder folder;
    CPlainFile file;
    bool Open(const Bytes& bytes) {
        return WriteWholeFile(folder / "loose.bin", bytes) && file.Open((folder / "loose.bin").c_str());
    }
};

#ifdef _WIN32
struct SinglePackedSource {
    TempFolder folder;
    CCompOnceFile file;
    bool Open(const Bytes& bytes) {
        return WriteWholeFile(folder / "once.bin.dat", MakeSinglePackedFile(bytes)) &&
               file.Open((folder / "once.bin").c_str());
    }
};

struct ArchiveEntrySource {
    TempFolder folder;
    CCompFile file;
    bool Open(const Bytes& bytes) {
        CArchiveWriter writer;
        return writer.Add("other.bin", Bytes(17, 1)) && writer.Add("entry.bin", bytes) &&
               WriteWholeFile(folder.path().string() + ".dat", writer.Build()) && file.Open((folder / "entry.bin").c_str());
    }
    ~ArchiveEntrySource() {
        std::error_code ignored;
        fs::remove(folder.path().string() + ".dat", ignored);
    }
};

struct DataFileSource {
    TempFolder folder;
    CDataFile file;
    bool Open(const Bytes& bytes) {
        return WriteWholeFile(folder / "front.bin.dat", MakeSinglePackedFile(bytes)) &&
               file.Open((folder / "front.bin").c_str());
    }
};

using Sources = testing::Types<PlainSource, MemorySource, SinglePackedSource, ArchiveEntrySource, DataFileSource>;
#else
using Sources = testing::Types<PlainSource, MemorySource>;
#endif

template <typename Source>
class FileContract : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(source_.Open(contents_)); }
    CFileImpl& file() { return source_.file; }

    const Bytes contents_ = Contents();
    Source source_;
};

TYPED_TEST_SUITE(FileContract, Sources);

TYPED_TEST(FileContract, OpensAtTheStartWithTheWholeSize) {
    EXPECT_EQ(this->file().Size(), 300);
    EXPECT_EQ(this->file().Tell(), 0);
}

TYPED_TEST(FileContract, ReadsWholeElementsFromWherePositioned) {
    struct Case {
        const char* what;
        int32_t offset;
        int origin;
        std::size_t size, count;
        std::size_t elements;  // whole elements returned
        int32_t from;          // first byte copied
        std::size_t bytes;     // bytes copied
        int32_t after;         // position afterwards
    };
    const Case cases[] = {
        {"from the start", 0, CFileImpl::kFromStart, 1, 10, 10, 0, 10, 10},
        {"from a position", 123, CFileImpl::kFromStart, 4, 5, 5, 123, 20, 143},
        {"relative to the end", -50, CFileImpl::kFromEnd, 10, 2, 2, 250, 20, 270},
        {"cut at the end: short count", 290, CFileImpl::kFromStart, 1, 25, 10, 290, 10, 300},
        {"a cut element is not counted", 296, CFileImpl::kFromStart, 3, 2, 1, 296, 4, 300},
        {"at the end nothing", 0, CFileImpl::kFromEnd, 1, 1, 0, 300, 0, 300},
        {"past the end nothing", 310, CFileImpl::kFromStart, 1, 4, 0, 310, 0, 310},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(this->file().Seek(c.offset, c.origin)) << c.what;
        uint8_t buffer[64] = {};
        EXPECT_EQ(this->file().Read(buffer, c.size, c.count), c.elements) << c.what;
        EXPECT_EQ(Bytes(buffer, buffer + c.bytes),
                  Bytes(this->contents_.begin() + std::min<int32_t>(c.from, 300),
                        this->contents_.begin() + std::min<int32_t>(c.from + int32_t(c.bytes), 300)))
            << c.what;
        EXPECT_EQ(this->file().Tell(), c.after) << c.what;
    }
}

TYPED_TEST(FileContract, SeeksRelativeToTheCurrentPositionAndRewinds) {
    ASSERT_TRUE(this->file().Seek(100, CFileImpl::kFromStart));
    ASSERT_TRUE(this->file().Seek(-30, CFileImpl::kFromCurrent));
    EXPECT_EQ(this->file().Tell(), 70);
    EXPECT_FALSE(this->file().Seek(1, 3)) << "unknown origin";
    EXPECT_EQ(this->file().Tell(), 70);
    this->file().Rewind();
    EXPECT_EQ(this->file().Tell(), 0);
    uint8_t byte = 0;
    ASSERT_EQ(this->file().Read(&byte, 1, 1), 1u);
    EXPECT_EQ(byte, this->contents_[0]);
}

TYPED_TEST(FileContract, NegativePositionNeverReadsFromBeforeTheStart) {
    ASSERT_TRUE(this->file().Seek(40, CFileImpl::kFromStart));
    uint8_t buffer[8] = {};
    if (this->file().Seek(-5, CFileImpl::kFromStart)) {
        EXPECT_EQ(this->file().Read(buffer, 1, sizeof buffer), 0u);
    } else {
        // Refused: the position stays where it was.
        EXPECT_EQ(this->file().Tell(), 40);
        ASSERT_EQ(this->file().Read(buffer, 1, 1), 1u);
        EXPECT_EQ(buffer[0], this->contents_[40]);
    }
}

TYPED_TEST(FileContract, ClosedFileAnswersZero) {
    this->file().Close();
    uint8_t byte = 0;
    EXPECT_EQ(this->file().Size(), 0);
    EXPECT_EQ(this->file().Tell(), 0);
    EXPECT_EQ(this->file().Read(&byte, 1, 1), 0u);
}

}  // namespace
