// File and process helpers of the disc-authoring tool (POSIX). Large files
// are streamed in 1 MiB pieces and never held whole in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/support/file_bytes.h"  // ReadWholeFile, WriteWholeFile

// Called with the bytes done so far while a long copy or hash runs.
using ByteProgress = std::function<void(std::uint64_t)>;

// Size of a regular file (symbolic links followed); false for anything else.
bool RegularFileSize(const std::string& path, std::uint64_t* size);
bool IsDirectory(const std::string& path);
// Names in a folder, sorted; false when it cannot be read.
bool ListFolder(const std::string& path, std::vector<std::string>* names);
bool MakeFolders(const std::string& path);

// Copies bytes [offset, offset + size) of `from` into the new file `to`,
// leaving holes where the source reads as zeros, and gives the SHA-256 of
// the bytes copied.
bool CopyRange(const std::string& from, std::uint64_t offset, std::uint64_t size, const std::string& to,
               const ByteProgress& progress, std::string* sha256);
// SHA-256 of bytes [offset, offset + size) of `path`; false when the file is
// shorter or unreadable.
bool HashRange(const std::string& path, std::uint64_t offset, std::uint64_t size, std::string* sha256,
               const ByteProgress& progress = {});
std::string HashBytes(const std::vector<std::uint8_t>& bytes);

// Runs `argv` (looked up in PATH) and waits. Its standard output goes to
// `output` when given, else to ours. False when it cannot start or does not
// exit with 0.
bool RunProgram(const std::vector<std::string>& argv, std::string* output = nullptr);
