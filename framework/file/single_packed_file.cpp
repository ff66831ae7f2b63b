#include "framework/file/single_packed_file.h"

#include <limits>

#include "framework/file/lzss_decoder.h"

namespace {

uint32_t LoadLittleEndian32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

bool DecodedSizeFits(uint32_t decoded, std::size_t streamLength) {
    return decoded <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max()) &&
           decoded <= LzssMaxDecodedSize(streamLength);
}

bool Decode(const uint8_t* stream, std::size_t streamLength, uint32_t decoded,
            std::vector<uint8_t>* data) {
    data->assign(decoded, 0);
    LzssDecode(stream, streamLength, data->data(), data->size());
    return true;
}

}  // namespace

bool DecodeSinglePackedFile(const uint8_t* bytes, std::size_t length, std::vector<uint8_t>* data) {
    data->clear();
    if (bytes == nullptr || length < kSinglePackedHeaderSize) return false;
    uint32_t decoded = LoadLittleEndian32(bytes);
    std::size_t streamLength = length - kSinglePackedHeaderSize;
    if (!DecodedSizeFits(decoded, streamLength)) return false;
    return Decode(bytes + kSinglePackedHeaderSize, streamLength, decoded, data);
}

bool ReadSinglePackedFile(CFileImpl& file, std::vector<uint8_t>* data) {
    data->clear();
    int32_t length = file.Size();
    if (length < static_cast<int32_t>(kSinglePackedHeaderSize)) return false;
    if (!file.Seek(0, CFileImpl::kFromStart)) return false;

    uint8_t header[kSinglePackedHeaderSize];
    if (file.Read(header, 1, sizeof header) != sizeof header) return false;
    uint32_t decoded = LoadLittleEndian32(header);
    std::size_t streamLength = static_cast<std::size_t>(length) - kSinglePackedHeaderSize;
    if (!DecodedSizeFits(decoded, streamLength)) return false;

    std::vector<uint8_t> stream(streamLength);
    if (streamLength != 0 && file.Read(stream.data(), 1, streamLength) != streamLength) return false;
    return Decode(stream.data(), streamLength, decoded, data);
}
