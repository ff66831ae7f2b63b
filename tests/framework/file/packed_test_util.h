// Helpers shared by the tests of the packed formats.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/file/memory_file.h"

using Bytes = std::vector<uint8_t>;

inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A memory file that reports a larger size than it holds, as a damaged disc
// whose directory entry promises more than the medium gives back.
class ShortReadFile : public CMemoryFile {
public:
    ShortReadFile(Bytes bytes, int32_t claimed) : claimed_(claimed) { Assign(std::move(bytes)); }
    int32_t Size() override { return claimed_; }

private:
    int32_t claimed_;
};

inline void Store32(Bytes& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
