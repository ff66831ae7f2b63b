#include "framework/file/archive_index.h"

#include <cstring>
#include <limits>

#include "framework/file/lzss_decoder.h"

namespace {

uint32_t LoadLittleEndian32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

}  // namespace

bool ParseArchiveRecord(const uint8_t (&record)[kArchiveRecordSize], ArchiveEntry* entry) {
    uint32_t decoded = LoadLittleEndian32(record + 128);
    uint32_t compressed = LoadLittleEndian32(record + 132);
    uint32_t offset = LoadLittleEndian32(record + 136);
    if (decoded == 0 && compressed == 0 && offset == 0) return false;
    std::memcpy(entry->name, record, kArchiveNameSize);
    entry->decodedSize = decoded ^ kArchiveMask;
    entry->compressedSize = compressed ^ kArchiveMask;
    entry->offset = offset ^ kArchiveMask;
    return true;
}

bool ArchiveNameEquals(const ArchiveEntry& entry, const char* name) {
    for (std::size_t i = 0; i < kArchiveNameSize; ++i) {
        if (entry.name[i] != name[i]) return false;
        if (name[i] == '\0') return true;
    }
    return name[kArchiveNameSize] == '\0';
}

bool ArchiveNameForm(char* out, std::size_t cap, const char* name, bool slash,
                     const LeadByteTable& lead) {
    const char from = slash ? '\\' : '/';
    const char to = slash ? '/' : '\\';
    std::size_t o = 0;
    for (std::size_t i = 0; name[i] != '\0';) {
        std::size_t len = CharLength(name + i, lead);
        if (o + len >= cap) {
            if (cap != 0) out[0] = '\0';
            return false;
        }
        for (std::size_t k = 0; k < len; ++k) out[o + k] = name[i + k];
        if (len == 1 && name[i] == from) out[o] = to;
        o += len;
        i += len;
    }
    if (cap == 0) return false;
    out[o] = '\0';
    return true;
}

bool FindArchiveEntry(CFileImpl& archive, const char* name, const LeadByteTable& lead,
                      ArchiveEntry* entry) {
    // A name longer than a record's field could never be matched anyway.
    char backslashForm[kArchiveNameSize + 1];
    char slashForm[kArchiveNameSize + 1];
    if (!ArchiveNameForm(backslashForm, sizeof backslashForm, name, false, lead) ||
        !ArchiveNameForm(slashForm, sizeof slashForm, name, true, lead))
        return false;
    if (!archive.Seek(0, CFileImpl::kFromStart)) return false;
    uint8_t record[kArchiveRecordSize];
    while (archive.Read(record, 1, sizeof record) == sizeof record) {
        if (!ParseArchiveRecord(record, entry)) return false;
        if (ArchiveNameEquals(*entry, backslashForm) || ArchiveNameEquals(*entry, slashForm))
            return true;
    }
    return false;
}

bool ReadArchiveEntry(CFileImpl& archive, const ArchiveEntry& entry, std::vector<uint8_t>* data) {
    data->clear();
    int32_t length = archive.Size();
    if (length < 0) return false;
    uint64_t end = uint64_t{entry.offset} + entry.compressedSize;
    if (end > static_cast<uint64_t>(length)) return false;
    if (entry.decodedSize > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()) ||
        entry.decodedSize > LzssMaxDecodedSize(entry.compressedSize))
        return false;
    if (!archive.Seek(static_cast<int32_t>(entry.offset), CFileImpl::kFromStart)) return false;

    std::vector<uint8_t> stream(entry.compressedSize);
    if (!stream.empty() && archive.Read(stream.data(), 1, stream.size()) != stream.size()) return false;
    data->assign(entry.decodedSize, 0);
    LzssDecode(stream.data(), stream.size(), data->data(), data->size());
    return true;
}

bool ReadArchiveFile(CFileImpl& archive, const char* name, const LeadByteTable& lead,
                     std::vector<uint8_t>* data) {
    data->clear();
    ArchiveEntry entry;
    return FindArchiveEntry(archive, name, lead, &entry) && ReadArchiveEntry(archive, entry, data);
}
