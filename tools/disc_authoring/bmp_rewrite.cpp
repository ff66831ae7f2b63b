#include "tools/disc_authoring/bmp_rewrite.h"

#include <algorithm>
#include <cstring>

#include "framework/graphics/bmp_format.h"
#include "tools/disc_authoring/little_endian.h"
#include "tools/support/bmp_writer.h"

namespace {

constexpr std::uint32_t kBiRgb = 0, kBiBitfields = 3, kBiAlphaBitfields = 6;
constexpr std::uint32_t kMaxInfoHeaderBytes = 124;

std::string BitsPerPixel(unsigned bits) {
    return std::to_string(bits) + (bits == 1 ? " bit per pixel" : " bits per pixel");
}

// The fields of a BMP's headers the rewriting needs.
struct BmpHeader {
    std::uint32_t infoSize = 0;
    std::int32_t width = 0;
    std::int64_t height = 0;  // positive; topDown says how the rows lie
    bool topDown = false;
    std::uint16_t depth = 0;
    std::uint32_t compression = 0;
    std::uint64_t offset = 0;  // of the pixels
    // 32 bits: the bit position of red, green, blue and alpha (-1: none).
    int shifts[4] = {16, 8, 0, -1};
};

// The position of a mask that is one whole byte; -1 for any other mask.
int ByteShift(std::uint32_t mask) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (mask == 0xFFu << shift) return shift;
    }
    return -1;
}

// The channel masks of a 32-bit BI_BITFIELDS or BI_ALPHABITFIELDS picture.
bool ReadChannelMasks(const std::vector<std::uint8_t>& file, BmpHeader* h, std::string* reason) {
    const bool inHeader = h->infoSize >= 52;
    const std::size_t count = inHeader ? (h->infoSize >= 56 ? 4 : 3) : (h->compression == kBiAlphaBitfields ? 4 : 3);
    const std::uint64_t at = kBmpFileHeaderBytes + (inHeader ? 40 : h->infoSize);
    if (!inHeader && (at + 4 * count > h->offset || at + 4 * count > file.size())) {
        *reason = "its channel masks do not fit before the pixels";
        return false;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint32_t mask = i < count ? Le32(file.data() + at + 4 * i) : 0;
        if (i == 3 && mask == 0) {
            h->shifts[3] = -1;
            continue;
        }
        const int shift = ByteShift(mask);
        if (shift < 0 || std::find(h->shifts, h->shifts + i, shift) != h->shifts + i) {
            *reason = "channel masks that are not one byte each (setup.exe's pictures need 8 bits per colour)";
            return false;
        }
        h->shifts[i] = shift;
    }
    return true;
}

bool ReadHeader(const std::vector<std::uint8_t>& file, BmpHeader* h, std::string* reason) {
    if (file.size() < 2 || file[0] != 'B' || file[1] != 'M') {
        *reason = "not a BMP file";
        return false;
    }
    if (file.size() < kBmpFileHeaderBytes + 4) {
        *reason = "the file ends after " + std::to_string(file.size()) + " bytes, inside its headers";
        return false;
    }
    const std::uint8_t* info = file.data() + kBmpFileHeaderBytes;
    h->infoSize = Le32(info);
    if (h->infoSize < kBmpInfoHeaderBytes || h->infoSize > kMaxInfoHeaderBytes) {
        *reason = "unknown BMP header of " + std::to_string(h->infoSize) + " bytes";
        return false;
    }
    if (kBmpFileHeaderBytes + h->infoSize > file.size()) {
        *reason = "the file ends after " + std::to_string(file.size()) + " bytes, inside its " +
                  std::to_string(h->infoSize) + "-byte info header";
        return false;
    }
    h->width = static_cast<std::int32_t>(Le32(info + 4));
    const std::int32_t rawHeight = static_cast<std::int32_t>(Le32(info + 8));
    h->depth = Le16(info + 14);
    h->compression = Le32(info + 16);
    h->offset = Le32(file.data() + 10);
    if (h->depth != 24 && h->depth != 32) {
        *reason = BitsPerPixel(h->depth) + " (setup.exe shows 24-bit pictures; 32-bit ones are rewritten)";
        return false;
    }
    const bool bitfields = h->compression == kBiBitfields || h->compression == kBiAlphaBitfields;
    if (h->compression != kBiRgb && !(h->depth == 32 && bitfields)) {
        *reason = "compressed pixels (type " + std::to_string(h->compression) + ")";
        return false;
    }
    h->topDown = rawHeight < 0;
    h->height = h->topDown ? -static_cast<std::int64_t>(rawHeight) : rawHeight;
    if (h->width < 1 || h->width > kMaxBmpDimension || h->height < 1 || h->height > kMaxBmpDimension) {
        *reason = "size " + std::to_string(h->width) + " x " + std::to_string(rawHeight) + " is outside 1 to " +
                  std::to_string(kMaxBmpDimension);
        return false;
    }
    if (h->offset < kBmpFileHeaderBytes + h->infoSize) {
        *reason = "its pixels start at " + std::to_string(h->offset) + ", inside its headers";
        return false;
    }
    return !bitfields || ReadChannelMasks(file, h, reason);
}

// The program's own reader must take the result's headers and see the same
// size (the pixels are known to follow them in full).
bool ReaderTakes(const PreparedPicture& picture) {
    std::uint8_t headers[kBmpHeaderBytes];
    if (picture.bytes.size() < kBmpHeaderBytes) return false;
    std::copy(picture.bytes.begin(), picture.bytes.begin() + kBmpHeaderBytes, headers);
    BmpLayout layout;
    return ParseBmpHeaders(headers, &layout) && layout.width == picture.width && layout.height == picture.height &&
           picture.bytes.size() - kBmpHeaderBytes >= layout.pixelBytes;
}

// Writes the classic file's rows bottom-up from the source rows, and a
// 32-bit picture's alpha into `out->mask` (top row first).
void CopyPixels(const std::vector<std::uint8_t>& file, const BmpHeader& h, std::uint64_t sourceStride,
                std::uint64_t stride, PreparedPicture* out) {
    std::uint8_t* pixels = out->bytes.data() + kBmpHeaderBytes;
    const std::size_t width = static_cast<std::size_t>(h.width);
    if (h.shifts[3] >= 0) out->mask.assign(width * static_cast<std::size_t>(h.height), 0);
    for (std::int64_t row = 0; row < h.height; ++row) {
        const std::int64_t from = h.topDown ? h.height - 1 - row : row;
        const std::uint8_t* in = file.data() + h.offset + static_cast<std::uint64_t>(from) * sourceStride;
        std::uint8_t* to = pixels + static_cast<std::uint64_t>(row) * stride;
        if (h.depth == 24) {
            std::memcpy(to, in, width * 3);
            continue;
        }
        std::uint8_t* alpha = out->mask.empty() ? nullptr : &out->mask[static_cast<std::size_t>(h.height - 1 - row) * width];
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint32_t v = Le32(in + 4 * x);
            for (int c = 0; c < 3; ++c) to[3 * x + c] = static_cast<std::uint8_t>(v >> h.shifts[2 - c]);
            if (alpha) alpha[x] = static_cast<std::uint8_t>(v >> h.shifts[3]);
        }
    }
    const auto opaque = [](std::uint8_t a) { return a == 255; };
    if (std::all_of(out->mask.begin(), out->mask.end(), opaque)) out->mask.clear();
}

}  // namespace

bool PrepareBmp(const std::vector<std::uint8_t>& file, PreparedPicture* out, std::string* reason) {
    *out = PreparedPicture();
    BmpHeader h;
    if (!ReadHeader(file, &h, reason)) return false;
    const std::uint64_t stride = BmpStride24(h.width);
    const std::uint64_t pixelBytes = stride * static_cast<std::uint64_t>(h.height);
    if (pixelBytes > kMaxBmpPixelBytes) {
        *reason = "more pixel bytes than setup.exe reads";
        return false;
    }
    const std::uint64_t sourceStride = h.depth == 24 ? stride : static_cast<std::uint64_t>(h.width) * 4;
    const std::uint64_t sourceBytes = sourceStride * static_cast<std::uint64_t>(h.height);
    if (h.offset > file.size() || sourceBytes > file.size() - h.offset) {
        *reason = "the pixels do not fit in the file (offset " + std::to_string(h.offset) + ", " +
                  std::to_string(sourceBytes) + " bytes, file " + std::to_string(file.size()) + ")";
        return false;
    }
    out->width = h.width;
    out->height = static_cast<std::int32_t>(h.height);
    out->sourceBits = h.depth;
    out->alphaChannel = h.shifts[3] >= 0;
    if (h.depth == 24 && h.infoSize == kBmpInfoHeaderBytes && h.offset == kBmpHeaderBytes && !h.topDown) {
        out->bytes = file;
    } else {
        out->rewritten = true;
        out->bytes = BmpHeaders(h.width, out->height, 24, static_cast<std::uint32_t>(pixelBytes));
        out->bytes.resize(kBmpHeaderBytes + pixelBytes, 0);
        std::memcpy(out->bytes.data() + 38, file.data() + kBmpFileHeaderBytes + 24, 8);  // resolution, kept
        CopyPixels(file, h, sourceStride, stride, out);
    }
    if (!ReaderTakes(*out)) {
        *reason = "setup.exe's BMP reader does not take it";
        return false;
    }
    return true;
}

bool CheckAlphaMask(std::uint64_t maskBytes, const PreparedPicture& picture, std::string* reason) {
    const std::uint64_t expected = std::uint64_t(picture.width) * std::uint64_t(picture.height);
    if (AlphaMaskBytes(picture.width, picture.height, 24) == 0) {
        *reason = "its picture allows no mask";
        return false;
    }
    if (maskBytes != expected) {
        *reason = "the mask has " + std::to_string(maskBytes) + " bytes, its " +
                  std::to_string(picture.width) + " x " + std::to_string(picture.height) +
                  " picture needs " + std::to_string(expected);
        return false;
    }
    return true;
}
