#include "framework/file/archive_writer.h"

#include <cstring>
#include <limits>

#include "framework/file/archive_index.h"
#include "framework/file/lzss_encoder.h"
#include "framework/file/single_packed_file.h"

namespace {

constexpr uint64_t kMaxSize = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());

void StoreLittleEndian32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

std::vector<uint8_t> MakeSinglePackedFile(const std::vector<uint8_t>& data) {
    if (data.size() > kMaxSize) return {};
    std::vector<uint8_t> stream = LzssEncode(data);
    std::vector<uint8_t> file(kSinglePackedHeaderSize);
    StoreLittleEndian32(file.data(), static_cast<uint32_t>(data.size()));
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}

bool CArchiveWriter::Add(const std::string& name, const std::vector<uint8_t>& data) {
    if (name.empty() || name.size() >= kArchiveNameSize || data.size() > kMaxSize) return false;
    if (name.find('\0') != std::string::npos) return false;
    entries_.push_back(Entry{name, static_cast<uint32_t>(data.size()), LzssEncode(data)});
    return true;
}

std::vector<uint8_t> CArchiveWriter::Build() const {
    uint64_t indexSize = (uint64_t{entries_.size()} + 1) * kArchiveRecordSize;
    uint64_t total = indexSize;
    for (const Entry& e : entries_) total += e.stream.size();
    if (total > kMaxSize) return {};

    std::vector<uint8_t> archive(static_cast<std::size_t>(indexSize), 0);
    uint32_t offset = static_cast<uint32_t>(indexSize);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        uint8_t* record = archive.data() + i * kArchiveRecordSize;
        std::memcpy(record, e.name.data(), e.name.size());
        // Sizes and an offset all equal to the mask would be stored as zeros
        // and read as the terminator: such an archive cannot be written.
        uint32_t stored = static_cast<uint32_t>(e.stream.size());
        if (e.decodedSize == kArchiveMask && stored == kArchiveMask && offset == kArchiveMask) return {};
        StoreLittleEndian32(record + 128, e.decodedSize ^ kArchiveMask);
        StoreLittleEndian32(record + 132, static_cast<uint32_t>(e.stream.size()) ^ kArchiveMask);
        StoreLittleEndian32(record + 136, offset ^ kArchiveMask);
        offset += static_cast<uint32_t>(e.stream.size());
    }
    for (const Entry& e : entries_) archive.insert(archive.end(), e.stream.begin(), e.stream.end());
    return archive;
}
