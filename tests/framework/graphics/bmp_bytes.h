// Builds BMP files in memory and reads them back through a CFileImpl in memory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/file/memory_file.h"
#include "framework/graphics/bmp_format.h"

inline void PutLe32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
}

// A file with the two headers (bfOffBits 54) followed by `pixels`.
inline std::vector<std::uint8_t> MakeBmpFile(std::int32_t width, std::int32_t height, std::uint16_t bits,
                                             const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> f(kBmpHeaderBytes, 0);
    f[0] = 'B';
    f[1] = 'M';
    PutLe32(f, 2, static_cast<std::uint32_t>(kBmpHeaderBytes + pixels.size()));
    PutLe32(f, 10, kBmpHeaderBytes);
    PutLe32(f, 14, 40);
    PutLe32(f, 18, static_cast<std::uint32_t>(width));
    PutLe32(f, 22, static_cast<std::uint32_t>(height));
    f[26] = 1;
    f[28] = static_cast<std::uint8_t>(bits);
    f[29] = static_cast<std::uint8_t>(bits >> 8);
    f.resize(kBmpHeaderBytes + pixels.size());
    if (!pixels.empty()) std::memcpy(f.data() + kBmpHeaderBytes, pixels.data(), pixels.size());
    return f;
}

// A file in memory that hands out at most `chunk` bytes per read, like a
// file read in pieces.
class CMemorySource : public CMemoryFile {
public:
    CMemorySource(const std::vector<std::uint8_t>& data, std::size_t chunk) : chunk_(chunk) { Assign(data); }
    CMemorySource(const std::uint8_t* data, std::size_t size, std::size_t chunk) : chunk_(chunk) {
        Assign(std::vector<std::uint8_t>(data, data + size));
    }
    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override {
        if (size == 0) return 0;
        return CMemoryFile::Read(buffer, size, std::min(count, std::max<std::size_t>(chunk_ / size, 1)));
    }

private:
    std::size_t chunk_;
};
