#include "tools/support/bmp_writer.h"

namespace {

void Put16(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    v[at] = static_cast<std::uint8_t>(x);
    v[at + 1] = static_cast<std::uint8_t>(x >> 8);
}

void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    Put16(v, at, x & 0xFFFF);
    Put16(v, at + 2, x >> 16);
}

}  // namespace

std::uint32_t BmpRowStride(std::int32_t width, std::uint16_t bits) {
    return ((static_cast<std::uint32_t>(width) * bits + 31) / 32) * 4;
}

std::vector<std::uint8_t> BmpHeaders(std::int32_t width, std::int32_t height, std::uint16_t bits,
                                     std::uint32_t pixelBytes, std::uint32_t pixelsPerMetre) {
    std::vector<std::uint8_t> h(kBmpWriterHeaderBytes, 0);
    h[0] = 'B';
    h[1] = 'M';
    Put32(h, 2, kBmpWriterHeaderBytes + pixelBytes);
    Put32(h, 10, kBmpWriterHeaderBytes);
    Put32(h, 14, 40);
    Put32(h, 18, static_cast<std::uint32_t>(width));
    Put32(h, 22, static_cast<std::uint32_t>(height));
    Put16(h, 26, 1);
    Put16(h, 28, bits);
    Put32(h, 34, pixelBytes);
    Put32(h, 38, pixelsPerMetre);
    Put32(h, 42, pixelsPerMetre);
    return h;
}
