// File and process helpers of the disc-authoring tool (POSIX). Large files
// are streamed in 1 MiB pieces and never held whole in memory; offsets and
// sizes are 64-bit in every build (the host builds compile with
// _FILE_OFFSET_BITS=64, which disc_io.cpp checks). A failure's `error`
// names the file and gives the system's reason.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/support/file_bytes.h"  // ReadWholeFile, WriteWholeFile

// Called with the bytes done so far while a long copy or hash runs; false
// stops it ("interrupted").
using ByteProgress = std::function<bool(std::uint64_t)>;
// One line a program printed.
using LineSink = std::function<void(const std::string&)>;

// Owns a file descriptor (-1: none) and closes it.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    // Closes now; false when the close failed (a write's last error).
    bool Close();

private:
    int fd_;
};

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
               const ByteProgress& progress, std::string* sha256, std::string* error);
// SHA-256 of bytes [offset, offset + size) of `path`; false when the file is
// shorter or unreadable.
bool HashRange(const std::string& path, std::uint64_t offset, std::uint64_t size, std::string* sha256,
               const ByteProgress& progress = {}, std::string* error = nullptr);
std::string HashBytes(const std::vector<std::uint8_t>& bytes);
// Reads `bytes` bytes at `offset` of an open file; false when it ends before.
bool ReadAt(int fd, std::uint64_t offset, std::uint8_t* buffer, std::size_t bytes);
// WriteWholeFile with the reason of a failure.
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error);
// Bytes an unprivileged writer may still put on the file system of `path`.
bool FreeBytes(const std::string& path, std::uint64_t* bytes, std::string* error);
// The system's text for error number `code`.
std::string SystemReason(int code);

// Runs `argv` (looked up in PATH) and waits. Each line it prints (output
// and errors alike) goes to `onLine`. When `stop` turns true while it runs,
// it is asked to end. False with `error` when it cannot start or does not
// exit with 0.
bool RunProgram(const std::vector<std::string>& argv, const LineSink& onLine, std::string* error,
                const std::function<bool()>& stop = {});
