// Fuzz target: the single packed file reader over arbitrary file contents.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "framework/file/memory_file.h"
#include "framework/file/single_packed_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    CMemoryFile file;
    if (!file.Assign(std::vector<uint8_t>(data, data + size))) return 0;
    std::vector<uint8_t> fromFile, fromMemory;
    bool a = ReadSinglePackedFile(file, &fromFile);
    bool b = DecodeSinglePackedFile(data, size, &fromMemory);
    if (a != b || fromFile != fromMemory) std::abort();
    if (a) {
        uint32_t declared = uint32_t{data[0]} | (uint32_t{data[1]} << 8) | (uint32_t{data[2]} << 16) |
                            (uint32_t{data[3]} << 24);
        if (fromFile.size() != declared) std::abort();
        // Serve it as the packed classes do.
        CMemoryFile decoded;
        if (!decoded.Assign(fromFile)) std::abort();
        uint8_t buffer[64];
        while (decoded.Read(buffer, 3, sizeof buffer / 3) != 0) {
        }
    }
    return 0;
}
