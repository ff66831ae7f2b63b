#include "framework/graphics/bmp_format.h"

#include <cstring>
#include <new>

namespace {

std::int32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                     static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t ReadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// Reads until `bytes` are in or the source ends; returns the count read.
std::size_t ReadFully(CFileImpl& source, std::uint8_t* buffer, std::size_t bytes) {
    std::size_t done = 0;
    while (done < bytes) {
        const std::size_t n = source.Read(buffer + done, 1, bytes - done);
        if (n == 0 || n > bytes - done) break;
        done += n;
    }
    return done;
}

int MaskBytesPerPixel(int depth) {
    switch (depth) {
    case 15:
    case 16: return 1;
    case 24: return 3;
    case 32: return 4;
    default: return 0;
    }
}

}  // namespace

std::uint32_t BmpStride24(std::int32_t width) {
    return (static_cast<std::uint32_t>(width) * 3u + 3u) & ~3u;
}

bool ParseBmpHeaders(const std::uint8_t (&headers)[kBmpHeaderBytes], BmpLayout* layout) {
    const std::uint8_t* info = headers + kBmpFileHeaderBytes;
    const std::int32_t width = ReadLe32(info + 4);
    const std::int32_t height = ReadLe32(info + 8);
    const std::uint16_t bitCount = ReadLe16(info + 14);
    if (bitCount != 24) return false;
    if (width < 1 || height < 1 || width > kMaxBmpDimension || height > kMaxBmpDimension) return false;
    const std::uint64_t stride = BmpStride24(width);
    const std::uint64_t total = stride * static_cast<std::uint64_t>(height);
    if (total > kMaxBmpPixelBytes) return false;
    layout->width = width;
    layout->height = height;
    layout->stride = static_cast<std::uint32_t>(stride);
    layout->pixelBytes = static_cast<std::uint32_t>(total);
    return true;
}

bool ReadBmp(CFileImpl& source, std::uint8_t (&headers)[kBmpHeaderBytes], BmpLayout* layout,
             std::unique_ptr<std::uint8_t[]>* pixels) {
    if (ReadFully(source, headers, kBmpHeaderBytes) != kBmpHeaderBytes) return false;
    BmpLayout parsed;
    if (!ParseBmpHeaders(headers, &parsed)) return false;
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[parsed.pixelBytes]());
    if (!buffer) return false;
    ReadFully(source, buffer.get(), parsed.pixelBytes);  // a short file leaves zeros
    *layout = parsed;
    *pixels = std::move(buffer);
    return true;
}

std::size_t AlphaMaskBytes(std::int32_t width, std::int32_t height, int depth) {
    const int per = MaskBytesPerPixel(depth);
    if (per == 0 || width < 1 || height < 1 || width > kMaxBmpDimension || height > kMaxBmpDimension) return 0;
    const std::uint64_t bytes = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * per;
    if (bytes > static_cast<std::uint64_t>(kMaxBmpPixelBytes) * 4 / 3) return 0;
    return static_cast<std::size_t>(bytes);
}

std::unique_ptr<std::uint8_t[]> MakeOpaqueAlphaMask(std::int32_t width, std::int32_t height, int depth) {
    const std::size_t bytes = AlphaMaskBytes(width, height, depth);
    if (bytes == 0) return nullptr;
    std::unique_ptr<std::uint8_t[]> data(new (std::nothrow) std::uint8_t[bytes]);
    if (data) std::memset(data.get(), 255, bytes);
    return data;
}

std::unique_ptr<std::uint8_t[]> ReadAlphaMask(CFileImpl& source, std::int32_t width, std::int32_t height,
                                              int depth) {
    std::unique_ptr<std::uint8_t[]> data = MakeOpaqueAlphaMask(width, height, depth);
    if (!data) return nullptr;
    const int per = MaskBytesPerPixel(depth);
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (per == 1) {
        ReadFully(source, data.get(), count);
        return data;
    }
    std::unique_ptr<std::uint8_t[]> file(new (std::nothrow) std::uint8_t[count]);
    if (!file) return nullptr;
    const std::size_t got = ReadFully(source, file.get(), count);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * per;
    for (std::size_t k = 0; k < got; ++k) {
        const std::size_t fileRow = k / static_cast<std::size_t>(width);
        const std::size_t column = k % static_cast<std::size_t>(width);
        const std::size_t memoryRow = static_cast<std::size_t>(height) - 1 - fileRow;
        std::memset(data.get() + memoryRow * rowBytes + column * per, file[k], per);
    }
    return data;
}
