// Bringing the setup screen's pictures into the one form setup.exe reads.
//
// setup.exe takes a 24-bit BMP's pixels straight after the classic 54 header
// bytes (a 14-byte file header and a 40-byte BITMAPINFOHEADER) and expects
// them bottom-up with each row padded to four bytes. Image editors and
// converters today write larger info headers (ImageMagick's default is the
// 124-byte BITMAPV5HEADER, pixels at offset 138) or top-down rows (negative
// height). Such files are rewritten here into the classic form, pixels
// unchanged. What cannot be brought over without changing a pixel (another
// depth, compression, a palette picture, a file that ends early) is refused
// with the reason.
//
// Limits: the info header is 40 to 124 bytes, width and height 1 to
// kMaxBmpDimension, the pixels at most kMaxBmpPixelBytes, as the reader takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PreparedPicture {
    std::vector<std::uint8_t> bytes;  // the file as it goes on the disc
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool rewritten = false;           // false: the input was already classic
};

// Reads `file` as a BMP and gives it in the classic form. False with
// `reason` set when it cannot be converted without loss.
bool PrepareBmp(const std::vector<std::uint8_t>& file, PreparedPicture* out, std::string* reason);

// Checks an alpha mask (".alp": width x height bytes) against its picture.
bool CheckAlphaMask(std::uint64_t maskBytes, const PreparedPicture& picture, std::string* reason);
