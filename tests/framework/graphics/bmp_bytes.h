// Builds BMP files in memory and reads them back through a CFileImpl in memory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "framework/file/memory_file.h"
#include "framework/graphics/bmp_format.h"
#include "tools/support/bmp_writer.h"

// A file with the two headers (bfOffBits 54) followed by `pixels`.
inline std::vector<std::uint8_t> MakeBmpFile(std::int32_t width, std::int32_t height, std::uint16_t bits,
                                             const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> f = BmpHeaders(width, height, bits, static_cast<std::uint32_t>(pixels.size()));
    f.insert(f.end(), pixels.begin(), pixels.end());
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
