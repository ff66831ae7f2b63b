// Bringing the setup screen's pictures into the one form setup.exe reads.
//
// setup.exe takes a 24-bit BMP's pixels straight after the classic 54 header
// bytes (a 14-byte file header and a 40-byte BITMAPINFOHEADER) and expects
// them bottom-up with each row padded to four bytes; transparency comes from
// a separate mask (".alp": one byte per pixel, 0 transparent to 255 opaque,
// top row first). Image editors and converters today write larger info
// headers (ImageMagick's default is the 124-byte BITMAPV5HEADER, pixels at
// offset 138), top-down rows (negative height), and 32 bits per pixel as
// soon as a picture has an alpha channel, which any drawing in ImageMagick
// adds. Such files are rewritten here into the classic form, colours
// unchanged; a 32-bit picture's alpha channel becomes its mask unless it is
// fully opaque. What cannot be brought over without changing a pixel
// (another depth, compression, a palette, channels that are not whole bytes,
// a file that ends early) is refused with the reason.
//
// 32-bit pixels: BI_RGB (blue, green, red and an unused byte: no alpha) or
// BI_BITFIELDS / BI_ALPHABITFIELDS with masks of whole bytes, taken from the
// info header (52 bytes and more; the alpha mask from 56 bytes on) or from
// the 12 or 16 bytes after a 40-byte header.
//
// Limits: the info header is 40 to 124 bytes, width and height 1 to
// kMaxBmpDimension, the rewritten pixels at most kMaxBmpPixelBytes, as the
// reader takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PreparedPicture {
    std::vector<std::uint8_t> bytes;  // the file as it goes on the disc
    std::int32_t width = 0;
    std::int32_t height = 0;
    int sourceBits = 24;              // bits per pixel of the file as given
    bool rewritten = false;           // false: the input was already classic
    bool alphaChannel = false;        // the file had an alpha channel
    // The alpha channel as a mask file (top row first); empty when the
    // picture had none or it was fully opaque.
    std::vector<std::uint8_t> mask;
};

// Reads `file` as a BMP and gives it in the classic form. False with
// `reason` set when it cannot be converted without loss.
bool PrepareBmp(const std::vector<std::uint8_t>& file, PreparedPicture* out, std::string* reason);

// Checks an alpha mask (".alp": width x height bytes) against its picture.
bool CheckAlphaMask(std::uint64_t maskBytes, const PreparedPicture& picture, std::string* reason);
