#include "framework/file/single_packed_file.h"

#include <gtest/gtest.h>

#include <random>

#include "framework/file/archive_writer.h"
#include "tests/framework/file/packed_test_util.h"

namespace {

bool ReadFrom(const Bytes& bytes, Bytes* data) {
    CMemoryFile file;
    EXPECT_TRUE(file.Assign(bytes));
    return ReadSinglePackedFile(file, data);
}

TEST(SinglePackedFile, WrittenFilesReadBack) {
    std::mt19937 random(3);
    for (std::size_t size : {0u, 1u, 100u, 5000u, 70000u}) {
        Bytes data(size);
        for (auto& b : data) b = static_cast<uint8_t>(random() % 7);
        Bytes packed = MakeSinglePackedFile(data);
        Bytes out;
        ASSERT_TRUE(ReadFrom(packed, &out)) << size;
        EXPECT_EQ(out, data) << size;
        ASSERT_TRUE(DecodeSinglePackedFile(packed.data(), packed.size(), &out)) << size;
        EXPECT_EQ(out, data) << size;
    }
}

TEST(SinglePackedFile, HeaderSaysZeroAndStreamEmptyIsAnEmptyFile) {
    Bytes out = {1};
    ASSERT_TRUE(ReadFrom(Bytes{0, 0, 0, 0}, &out));
    EXPECT_TRUE(out.empty());
}

TEST(SinglePackedFile, RejectsFilesThatBreakTheLimits) {
    struct Case {
        const char* what;
        Bytes bytes;
    };
    Bytes huge = {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 'a'};
    Bytes negative = {0x00, 0x00, 0x00, 0x80, 0xFF, 'a'};
    Bytes tooMuch = {19, 0, 0, 0, 0x01, 'a'};  // 2 stream bytes give 18 at most
    const Case cases[] = {
        {"no bytes", {}},
        {"shorter than the header", {5, 0, 0}},
        {"decoded size above what the stream can give", tooMuch},
        {"decoded size near 2 GiB from a short stream", huge},
        {"decoded size of 2 GiB or more", negative},
    };
    for (const Case& c : cases) {
        Bytes out = {1};
        EXPECT_FALSE(ReadFrom(c.bytes, &out)) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;
        EXPECT_FALSE(DecodeSinglePackedFile(c.bytes.data(), c.bytes.size(), &out)) << c.what;
    }
    // The bound itself is accepted: 18 bytes from two stream bytes.
    Bytes edge = {18, 0, 0, 0, 0x00, 'a'};
    Bytes out;
    EXPECT_TRUE(ReadFrom(edge, &out));
}

TEST(SinglePackedFile, ReadShorterThanTheLengthFails) {
    Bytes packed = MakeSinglePackedFile(ToBytes("some text some text some text"));
    ShortReadFile file(packed, static_cast<int32_t>(packed.size() + 10));
    Bytes out;
    EXPECT_FALSE(ReadSinglePackedFile(file, &out));
    ShortReadFile header(Bytes{3, 0}, 8);
    EXPECT_FALSE(ReadSinglePackedFile(header, &out));
}

TEST(SinglePackedFile, StreamShorterThanTheHeaderSaysLeavesZeros) {
    // Two literals, header promising 5 bytes.
    Bytes out;
    ASSERT_TRUE(ReadFrom(Bytes{5, 0, 0, 0, 0x03, 'h', 'i'}, &out));
    EXPECT_EQ(out, (Bytes{'h', 'i', 0, 0, 0}));
}

TEST(SinglePackedFile, ReadsFromTheStartWhateverThePosition) {
    Bytes data = ToBytes("position independent");
    CMemoryFile file;
    ASSERT_TRUE(file.Assign(MakeSinglePackedFile(data)));
    ASSERT_TRUE(file.Seek(3, CFileImpl::kFromStart));
    Bytes out;
    ASSERT_TRUE(ReadSinglePackedFile(file, &out));
    EXPECT_EQ(out, data);
}

}  // namespace
