// The packed archive: the files of one folder, compressed one by one and
// gathered in a file named like the folder with ".dat" appended, beside it.
//
// The archive starts with its index, a sequence of 140-byte records:
//
//   offset  width  field
//   0       128    entry name, relative to the archive's folder, with '\'
//                  or '/' between folders, zero-terminated
//   128     4      decoded size          XOR 0x006D6D6D
//   132     4      compressed size       XOR 0x006D6D6D
//   136     4      offset of the stream  XOR 0x006D6D6D
//
// The integers are little-endian and stored exclusive-or'ed with the fixed
// mask 0x006D6D6D (the top byte zero, the three low bytes 0x6D); the same
// exclusive-or recovers them. The index ends with a record whose three
// stored fields are all zero, tested before the mask is removed. Each entry
// is an LZSS stream (lzss_decoder.h) of the compressed size at the offset,
// anywhere after the index.
//
// Limits enforced when reading, as the archive comes from a disc and is not
// trusted: a name without its terminating zero is compared within its 128
// bytes only; the index also ends at the end of the file (a missing
// terminator or a cut record means the name is not there); the stream must
// lie wholly inside the archive; the decoded size must be below 2 GiB and no
// larger than the stream can produce (9 bytes per stream byte); every byte
// must really be read. Names are compared byte for byte: letter case
// matters, and '\' and '/' are told apart only as separators (the lookup
// tries several forms, FindArchiveEntry). A stream that ends before the
// decoded size leaves the rest of the contents zero.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/file/file_impl.h"
#include "framework/system/path_text.h"

constexpr std::size_t kArchiveNameSize = 128;
constexpr std::size_t kArchiveRecordSize = 140;
constexpr uint32_t kArchiveMask = 0x006D6D6D;

// One index record with the mask removed.
struct ArchiveEntry {
    char name[kArchiveNameSize];  // as stored: not necessarily terminated
    uint32_t decodedSize;
    uint32_t compressedSize;
    uint32_t offset;
};

// Parses one stored record. False when it is the terminating record.
bool ParseArchiveRecord(const uint8_t (&record)[kArchiveRecordSize], ArchiveEntry* entry);

// True when the stored name equals `name` byte for byte. A stored name
// without terminator fills its 128 bytes and matches only a name of exactly
// those 128 bytes.
bool ArchiveNameEquals(const ArchiveEntry& entry, const char* name);

// `name` with every '\' separator turned into '/' (slash true) or every '/'
// into '\'; characters of the code page `lead` describes are kept whole.
// False when it would not fit in `cap` bytes.
bool ArchiveNameForm(char* out, std::size_t cap, const char* name, bool slash, const LeadByteTable& lead);

// `name` with every byte 0x5C turned into '/' (slash true) or every '/'
// into '\', second bytes of double-byte characters included, as tools that
// swap bytes store names. False when it would not fit in `cap` bytes.
bool ArchiveNameByteForm(char* out, std::size_t cap, const char* name, bool slash);

// Walks the index of `archive` from offset 0 for `name`. The first record
// equal to one of the byte forms (every separator byte '\', every one '/',
// the name as given) is the entry; only when none is, the first record equal
// to one of the character forms (ArchiveNameForm) is. False when neither is
// there before the terminator or the end of the file.
bool FindArchiveEntry(CFileImpl& archive, const char* name, const LeadByteTable& lead,
                      ArchiveEntry* entry);

// Reads and decodes `entry` from `archive`. False, `data` empty, when the
// entry breaks one of the limits.
bool ReadArchiveEntry(CFileImpl& archive, const ArchiveEntry& entry, std::vector<uint8_t>* data);

// FindArchiveEntry and ReadArchiveEntry in one.
bool ReadArchiveFile(CFileImpl& archive, const char* name, const LeadByteTable& lead,
                     std::vector<uint8_t>* data);
