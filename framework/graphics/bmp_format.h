// Reading 24-bit BMP files and raw alpha-mask files.
//
// BMP: a 14-byte file header (BITMAPFILEHEADER) and a 40-byte info header
// (BITMAPINFOHEADER), then the pixels, always read from offset 54 whatever
// bfOffBits says. Only biBitCount 24 is taken. Pixels stay as stored:
// blue, green, red, rows bottom-up, each row padded to a multiple of 4 bytes.
// Limits: biWidth and biHeight 1..kMaxBmpDimension (top-down files, with a
// negative height, are refused) and at most kMaxBmpPixelBytes of pixels. A
// file that ends early leaves the missing pixel bytes 0.
//
// Alpha mask: exactly width x height bytes, no header, one byte per pixel
// (0 transparent, 255 opaque), rows top to bottom. In memory the mask has the
// pixel layout of its surface without row padding: one byte per pixel for 15
// and 16 bits (rows as in the file), three or four equal bytes per pixel for
// 24 and 32 bits with rows bottom-up like the pixels. Bytes the file does not
// supply stay 255.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "framework/file/file_impl.h"

constexpr std::size_t kBmpFileHeaderBytes = 14;
constexpr std::size_t kBmpInfoHeaderBytes = 40;
constexpr std::size_t kBmpHeaderBytes = kBmpFileHeaderBytes + kBmpInfoHeaderBytes;
constexpr std::int32_t kMaxBmpDimension = 16384;
constexpr std::uint32_t kMaxBmpPixelBytes = 64u << 20;

struct BmpLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t stride = 0;      // bytes per row
    std::uint32_t pixelBytes = 0;  // stride x height
};

// Row stride of a 24-bit picture: width x 3 rounded up to a multiple of 4.
std::uint32_t BmpStride24(std::int32_t width);

// Checks the 54 header bytes. False for any depth but 24 and for sizes out of
// the limits above.
bool ParseBmpHeaders(const std::uint8_t (&headers)[kBmpHeaderBytes], BmpLayout* layout);

// Reads the headers and the pixels that follow them from the file's current
// position. On success `headers`
// holds the 54 bytes as read and `pixels` layout.pixelBytes bytes.
bool ReadBmp(CFileImpl& source, std::uint8_t (&headers)[kBmpHeaderBytes], BmpLayout* layout,
             std::unique_ptr<std::uint8_t[]>* pixels);

// Size of a mask for a surface of the given size and depth; 0 for other
// depths, sizes below 1, or a mask over kMaxBmpPixelBytes x 4 / 3 bytes.
std::size_t AlphaMaskBytes(std::int32_t width, std::int32_t height, int depth);

// A fully opaque mask (every byte 255), or null where AlphaMaskBytes is 0.
std::unique_ptr<std::uint8_t[]> MakeOpaqueAlphaMask(std::int32_t width, std::int32_t height, int depth);

// Reads a mask file for a surface of the given size and depth into an opaque
// mask. Null where MakeOpaqueAlphaMask gives null.
std::unique_ptr<std::uint8_t[]> ReadAlphaMask(CFileImpl& source, std::int32_t width, std::int32_t height,
                                              int depth);
