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

bool ArchiveNameByteForm(char* out, std::size_t cap, const char* name, bool slash) {
    const char from = slash ? '\\' : '/';
    const char to = slash ? '/' : '\\';
    const std::size_t length = std::strlen(name);
    if (length >= cap) {
        if (cap != 0) out[0] = '\0';
        return false;
    }
    for (std::size_t i = 0; i <= length; ++i) out[i] = name[i] == from ? to : name[i];
    return true;
}

bool FindArchiveEntry(CFileImpl& archive, const char* name, const LeadByteTable& lead,
                      ArchiveEntry* entry) {
    // A name longer than a record's field could never be matched anyway.
    // Archive tools have always swapped separators byte by byte, turning the
    // 5C inside a character such as ソ (83 5C) as well: those forms come
    // first. The forms that keep every character whole find entries stored
    // by tools that read characters, when no byte form is in the index.
    constexpr std::size_t kByteForms = 3, kForms = 5;
    char forms[kForms][kArchiveNameSize + 1];
    if (std::strlen(name) > kArchiveNameSize || !ArchiveNameByteForm(forms[0], sizeof forms[0], name, false) ||
        !ArchiveNameByteForm(forms[1], sizeof forms[1], name, true) ||
        !ArchiveNameForm(forms[3], sizeof forms[3], name, false, lead) ||
        !ArchiveNameForm(forms[4], sizeof forms[4], name, true, lead))
        return false;
    std::memcpy(forms[2], name, std::strlen(name) + 1);
    if (!archive.Seek(0, CFileImpl::kFromStart)) return false;

    bool haveCharacterMatch = false;
    ArchiveEntry characterMatch{};
    uint8_t record[kArchiveRecordSize];
    while (archive.Read(record, 1, sizeof record) == sizeof record) {
        if (!ParseArchiveRecord(record, entry)) break;
        for (std::size_t f = 0; f < kForms; ++f) {
            if (!ArchiveNameEquals(*entry, forms[f])) continue;
            if (f < kByteForms) return true;
            if (!haveCharacterMatch) {
                characterMatch = *entry;
                haveCharacterMatch = true;
            }
            break;
        }
    }
    if (haveCharacterMatch) *entry = characterMatch;
    return haveCharacterMatch;
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
