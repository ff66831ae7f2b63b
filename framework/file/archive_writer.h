// Writers of the packed formats read by single_packed_file.h and
// archive_index.h: they compress with LzssEncode and lay the bytes out as
// the readers expect. Used to make test data and by the disc-authoring tool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A single packed file holding `data`: the 4-byte decoded size and the
// stream. Empty result when `data` is 2 GiB or more.
std::vector<uint8_t> MakeSinglePackedFile(const std::vector<uint8_t>& data);

class CArchiveWriter {
public:
    // Adds an entry. `name` is relative to the archive's folder, with '\' or
    // '/' separators, as it will be stored. False when it is empty or does
    // not fit the 127 bytes of a record's name.
    bool Add(const std::string& name, const std::vector<uint8_t>& data);

    // The archive: the index with its terminating record, then the streams
    // in the order the entries were added. Empty when it would not fit the
    // 32-bit sizes and offsets, or an entry's record would read as the
    // terminator.
    std::vector<uint8_t> Build() const;

    std::size_t Count() const { return entries_.size(); }

private:
    struct Entry {
        std::string name;
        uint32_t decodedSize;
        std::vector<uint8_t> stream;
    };
    std::vector<Entry> entries_;
};
