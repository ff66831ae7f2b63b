#include "framework/graphics/bmp_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "tests/framework/graphics/bmp_bytes.h"

TEST(BmpFormat, StrideRoundsThreeBytesPerPixelUpToFour) {
    EXPECT_EQ(BmpStride24(800), 2400u);
    EXPECT_EQ(BmpStride24(801), 2404u);
    EXPECT_EQ(BmpStride24(3), 12u);
    EXPECT_EQ(BmpStride24(1), 4u);
}

TEST(BmpFormat, HeaderChecksRefuseWhatCannotBeDrawnSafely) {
    const struct {
        const char* what;
        std::int32_t width, height;
        std::uint16_t bits;
        bool ok;
        std::uint32_t pixelBytes;
    } cases[] = {
        {"3 x 2 at 24 bits", 3, 2, 24, true, 24},
        {"800 x 600", 800, 600, 24, true, 1440000},
        {"8 bits", 3, 2, 8, false, 0},
        {"32 bits", 3, 2, 32, false, 0},
        {"top-down rows", 3, -2, 24, false, 0},
        {"zero width", 0, 2, 24, false, 0},
        {"negative width", -3, 2, 24, false, 0},
        {"zero height", 3, 0, 24, false, 0},
        {"stride x height overflows 32 bits", 0x7FFFFFFF, 0x7FFFFFFF, 24, false, 0},
        {"over the pixel limit", kMaxBmpDimension, kMaxBmpDimension, 24, false, 0},
        {"largest width, one row", kMaxBmpDimension, 1, 24, true, BmpStride24(kMaxBmpDimension)},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> file = MakeBmpFile(c.width, c.height, c.bits, {});
        std::uint8_t headers[kBmpHeaderBytes];
        std::memcpy(headers, file.data(), kBmpHeaderBytes);
        BmpLayout layout;
        EXPECT_EQ(ParseBmpHeaders(headers, &layout), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(layout.pixelBytes, c.pixelBytes) << c.what;
        }
    }
}

TEST(BmpFormat, PixelsAreReadFromOffset54AndShortFilesLeaveZeros) {
    std::vector<std::uint8_t> pixels(24);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i + 1);
    std::vector<std::uint8_t> file = MakeBmpFile(3, 2, 24, pixels);
    file[10] = 200;  // bfOffBits says 200; the pixels still come from 54
    {
        CMemorySource source(file, 5);
        std::uint8_t headers[kBmpHeaderBytes];
        BmpLayout layout;
        std::unique_ptr<std::uint8_t[]> bits;
        ASSERT_TRUE(ReadBmp(source, headers, &layout, &bits));
        EXPECT_EQ(layout.stride, 12u);
        EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), bits.get()));
        EXPECT_EQ(std::memcmp(headers, file.data(), kBmpHeaderBytes), 0);
    }
    file.resize(kBmpHeaderBytes + 10);
    CMemorySource shortSource(file, 64);
    std::uint8_t headers[kBmpHeaderBytes];
    BmpLayout layout;
    std::unique_ptr<std::uint8_t[]> bits;
    ASSERT_TRUE(ReadBmp(shortSource, headers, &layout, &bits));
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.begin() + 10, bits.get()));
    EXPECT_TRUE(std::all_of(bits.get() + 10, bits.get() + 24, [](std::uint8_t b) { return b == 0; }));

    file.resize(40);  // not even the headers
    CMemorySource truncated(file, 64);
    EXPECT_FALSE(ReadBmp(truncated, headers, &layout, &bits));
}

TEST(BmpFormat, MaskRowsAreFlippedAndWidenedByDepth) {
    // A 4 x 2 mask file: its first row lands in the top row, which is the
    // second row in memory for 24 and 32 bits.
    const std::vector<std::uint8_t> file = {1, 2, 3, 4, 5, 6, 7, 8};
    CMemorySource s24(file, 3);
    const auto m24 = ReadAlphaMask(s24, 4, 2, 24);
    ASSERT_TRUE(m24);
    const std::vector<std::uint8_t> expect24 = {5, 5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8,
                                                1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    EXPECT_TRUE(std::equal(expect24.begin(), expect24.end(), m24.get()));

    CMemorySource s32(file, 8);
    const auto m32 = ReadAlphaMask(s32, 4, 2, 32);
    ASSERT_TRUE(m32);
    EXPECT_EQ(m32[0], 5);
    EXPECT_EQ(m32[3], 5);
    EXPECT_EQ(m32[16], 1);
    EXPECT_EQ(m32[31], 4);

    CMemorySource s16(file, 8);
    const auto m16 = ReadAlphaMask(s16, 4, 2, 16);
    ASSERT_TRUE(m16);
    EXPECT_TRUE(std::equal(file.begin(), file.end(), m16.get()));
}

TEST(BmpFormat, MissingMaskBytesStayOpaque) {
    const std::vector<std::uint8_t> file = {9, 9, 9};
    CMemorySource source(file, 8);
    const auto mask = ReadAlphaMask(source, 4, 2, 24);
    ASSERT_TRUE(mask);
    // File row 0 (three bytes) sits in memory row 1; memory row 0 stays 255.
    for (int i = 0; i < 12; ++i) EXPECT_EQ(mask[i], 255) << i;
    for (int i = 12; i < 21; ++i) EXPECT_EQ(mask[i], 9) << i;
    for (int i = 21; i < 24; ++i) EXPECT_EQ(mask[i], 255) << i;
}

TEST(BmpFormat, OpaqueMaskSizesFollowTheDepth) {
    const struct {
        int depth;
        std::size_t bytes;
    } cases[] = {{15, 8}, {16, 8}, {24, 24}, {32, 32}, {8, 0}, {0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(AlphaMaskBytes(4, 2, c.depth), c.bytes) << c.depth;
        const auto mask = MakeOpaqueAlphaMask(4, 2, c.depth);
        EXPECT_EQ(mask != nullptr, c.bytes != 0) << c.depth;
        for (std::size_t i = 0; mask && i < c.bytes; ++i) EXPECT_EQ(mask[i], 255);
    }
    EXPECT_EQ(AlphaMaskBytes(0, 2, 24), 0u);
    EXPECT_EQ(AlphaMaskBytes(4, -2, 24), 0u);
}
