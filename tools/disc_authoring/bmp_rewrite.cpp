#include "tools/disc_authoring/bmp_rewrite.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "framework/file/memory_file.h"
#include "framework/graphics/bmp_format.h"
#include "tools/support/bmp_writer.h"

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }


// The program's own reader must take the result and see the same size.
bool ReaderTakes(const PreparedPicture& picture) {
    CMemoryFile source;
    if (!source.Assign(picture.bytes)) return false;
    std::uint8_t headers[kBmpHeaderBytes];
    BmpLayout layout;
    std::unique_ptr<std::uint8_t[]> pixels;
    return ReadBmp(source, headers, &layout, &pixels) && layout.width == picture.width &&
           layout.height == picture.height;
}

}  // namespace

bool PrepareBmp(const std::vector<std::uint8_t>& file, PreparedPicture* out, std::string* reason) {
    *out = PreparedPicture();
    if (file.size() < kBmpFileHeaderBytes + 4 || file[0] != 'B' || file[1] != 'M') {
        *reason = "not a BMP file";
        return false;
    }
    const std::uint8_t* info = file.data() + kBmpFileHeaderBytes;
    const std::uint32_t infoSize = Le32(info);
    if (infoSize < kBmpInfoHeaderBytes || infoSize > 124 || kBmpFileHeaderBytes + infoSize > file.size()) {
        *reason = "unknown BMP header of " + std::to_string(infoSize) + " bytes";
        return false;
    }
    const std::int32_t width = static_cast<std::int32_t>(Le32(info + 4));
    const std::int32_t rawHeight = static_cast<std::int32_t>(Le32(info + 8));
    const std::uint16_t depth = Le16(info + 14);
    const std::uint32_t compression = Le32(info + 16);
    if (depth != 24) {
        *reason = std::to_string(depth) + " bits per pixel (setup.exe shows 24-bit pictures only)";
        return false;
    }
    if (compression != 0) {
        *reason = "compressed pixels (type " + std::to_string(compression) + ")";
        return false;
    }
    const bool topDown = rawHeight < 0;
    const std::int64_t height = topDown ? -static_cast<std::int64_t>(rawHeight) : rawHeight;
    if (width < 1 || width > kMaxBmpDimension || height < 1 || height > kMaxBmpDimension) {
        *reason = "size " + std::to_string(width) + " x " + std::to_string(rawHeight) +
                  " is outside 1 to " + std::to_string(kMaxBmpDimension);
        return false;
    }
    const std::uint64_t stride = BmpStride24(width);
    const std::uint64_t pixelBytes = stride * static_cast<std::uint64_t>(height);
    if (pixelBytes > kMaxBmpPixelBytes) {
        *reason = "more pixel bytes than setup.exe reads";
        return false;
    }
    const std::uint64_t offset = Le32(file.data() + 10);
    if (offset < kBmpFileHeaderBytes + infoSize || offset + pixelBytes > file.size()) {
        *reason = "the pixels do not fit in the file (offset " + std::to_string(offset) + ", " +
                  std::to_string(pixelBytes) + " bytes, file " + std::to_string(file.size()) + ")";
        return false;
    }
    out->width = width;
    out->height = static_cast<std::int32_t>(height);
    if (infoSize == kBmpInfoHeaderBytes && offset == kBmpHeaderBytes && !topDown) {
        out->bytes = file;
    } else {
        out->rewritten = true;
        out->bytes = BmpHeaders(width, static_cast<std::int32_t>(height), 24, static_cast<std::uint32_t>(pixelBytes));
        out->bytes.resize(kBmpHeaderBytes + pixelBytes, 0);
        std::uint8_t* h = out->bytes.data();
        std::memcpy(h + 38, info + 24, 8);  // resolution, kept
        const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
        for (std::int64_t row = 0; row < height; ++row) {
            const std::int64_t from = topDown ? height - 1 - row : row;
            std::memcpy(h + kBmpHeaderBytes + row * stride, file.data() + offset + from * stride, rowBytes);
        }
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
