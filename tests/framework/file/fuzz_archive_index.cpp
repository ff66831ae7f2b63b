// Fuzz target: the archive index reader over arbitrary archives. Looks up
// the names the index itself holds, and a few fixed ones.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/file/archive_index.h"
#include "framework/file/memory_file.h"

namespace {

void Lookup(CFileImpl& archive, const char* name) {
    std::vector<uint8_t> data;
    ArchiveEntry entry;
    bool found = FindArchiveEntry(archive, name, Cp932LeadBytes(), &entry);
    bool read = ReadArchiveFile(archive, name, Cp932LeadBytes(), &data);
    if (read && !found) std::abort();
    if (read && data.size() != entry.decodedSize) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    CMemoryFile archive;
    if (!archive.Assign(std::vector<uint8_t>(data, data + size))) return 0;
    const char* fixed[] = {"a", "sub\\b.bin", "sub/c.txt", "t000_000.bmp", ""};
    for (const char* name : fixed) Lookup(archive, name);
    for (std::size_t at = 0; at + kArchiveRecordSize <= size && at < 16 * kArchiveRecordSize;
         at += kArchiveRecordSize) {
        char name[kArchiveNameSize + 1] = {};
        std::memcpy(name, data + at, kArchiveNameSize);
        Lookup(archive, name);
    }
    return 0;
}
