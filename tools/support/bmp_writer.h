// Writes BMP files: the demo's pictures, the authoring tool's rewritten
// pictures, test pictures and window captures all start with these headers.
#pragma once

#include <cstdint>
#include <vector>

constexpr std::uint32_t kBmpWriterHeaderBytes = 54;

// Bytes of one row of `width` pixels of `bits` each, padded to 4 bytes.
std::uint32_t BmpRowStride(std::int32_t width, std::uint16_t bits);

// The 54 bytes of the file header and BITMAPINFOHEADER of a picture whose
// `pixelBytes` follow them directly (bfOffBits 54, no palette). A negative
// height is kept: it marks rows stored top-down.
std::vector<std::uint8_t> BmpHeaders(std::int32_t width, std::int32_t height, std::uint16_t bits,
                                     std::uint32_t pixelBytes, std::uint32_t pixelsPerMetre = 0);
