// Feeds arbitrary bytes to the BMP and alpha-mask readers: the headers
// decide the allocation, so every accepted layout must be consistent and
// every read must stay inside its buffer.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/graphics/bmp_format.h"
#include "tests/framework/graphics/bmp_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CMemorySource source(data, size, 4096);
    std::uint8_t headers[kBmpHeaderBytes];
    BmpLayout layout;
    std::unique_ptr<std::uint8_t[]> pixels;
    if (ReadBmp(source, headers, &layout, &pixels)) {
        if (size < kBmpHeaderBytes || std::memcmp(headers, data, kBmpHeaderBytes) != 0) std::abort();
        if (layout.width < 1 || layout.height < 1 || layout.pixelBytes > kMaxBmpPixelBytes ||
            static_cast<std::uint64_t>(layout.stride) * static_cast<std::uint64_t>(layout.height) != layout.pixelBytes ||
            layout.stride < static_cast<std::uint64_t>(layout.width) * 3)
            std::abort();
        // Touch the last byte of the last row as a blit would.
        volatile std::uint8_t last = pixels[layout.pixelBytes - 1];
        (void)last;
    }
    if (size >= 2) {
        // The first two bytes choose a small mask size, the rest is the file.
        CMemorySource maskFile(data + 2, size - 2, 7);
        const int depths[] = {15, 16, 24, 32};
        const int width = data[0] % 40, height = data[1] % 40, depth = depths[data[0] % 4];
        const auto mask = ReadAlphaMask(maskFile, width, height, depth);
        const std::size_t bytes = AlphaMaskBytes(width, height, depth);
        if ((mask == nullptr) != (bytes == 0)) std::abort();
        if (mask) {
            volatile std::uint8_t last = mask[bytes - 1];
            (void)last;
        }
    }
    return 0;
}
