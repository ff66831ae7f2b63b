// Whole-file reads and writes for the tools and tests: of a CFileImpl, and
// of a file named by its path (through the C library, so on every build).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/file/file_impl.h"

// Up to Size() bytes; fewer when the file ends early.
std::string ReadAllOf(CFileImpl& file);

// Reads the whole file at `path`; false when it cannot be opened or read or
// holds more than `limit` bytes (nothing beyond limit + 1 bytes is held).
bool ReadWholeFile(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>* bytes);
// Creates or truncates `path` and writes `bytes`; false when any byte or
// the close fails.
bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
