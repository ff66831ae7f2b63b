// The single packed file: one file compressed on its own, stored under its
// own name with ".dat" appended.
//
//   offset  width           field
//   0       4               decoded size in bytes, unsigned little-endian
//   4       file length - 4 LZSS stream (lzss_decoder.h)
//
// Limits enforced when reading, as the file comes from a disc and is not
// trusted: the file must hold at least the 4-byte header; the decoded size
// must be below 2 GiB (sizes are signed 32-bit in the file layer) and no
// larger than the stream can produce (9 bytes per stream byte), which also
// bounds the allocation by the file's real length; every byte the length
// promises must really be read. A stream that ends before the decoded size
// is reached leaves the rest of the contents zero.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/file/file_impl.h"

constexpr std::size_t kSinglePackedHeaderSize = 4;

// Reads the whole packed file `file` (open, at any position) and decodes it
// into `data`. False, `data` empty, when the file breaks one of the limits.
bool ReadSinglePackedFile(CFileImpl& file, std::vector<uint8_t>* data);

// Decodes a whole packed file held in memory; the same limits.
bool DecodeSinglePackedFile(const uint8_t* bytes, std::size_t length, std::vector<uint8_t>* data);
