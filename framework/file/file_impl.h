// The one stream interface of the file layer. Every source of file data (a
// loose file, a single packed file, an entry of an archive, a file found on a
// disc) is read through it, so callers cannot tell them apart.
//
// Sizes and positions are signed 32-bit, as the data discs never hold a file
// of 2 GiB or more. This header needs no Win32, so pure code (the packed
// file readers) can read from any implementation, and tests can hand them an
// in-memory one.
#pragma once

#include <cstddef>
#include <cstdint>

class CFileImpl {
public:
    // Seek origins.
    enum : int { kFromStart = 0, kFromCurrent = 1, kFromEnd = 2 };

    // Creates or truncates `path` for reading and writing. False on failure,
    // leaving the object closed.
    virtual bool Create(const char* path) = 0;
    // Opens `path` for reading. False on failure, leaving the object closed.
    virtual bool Open(const char* path) = 0;
    // Closes whatever is open; harmless when closed.
    virtual void Close() = 0;
    // Length in bytes; 0 when closed.
    virtual int32_t Size() = 0;
    // Reads up to `count` elements of `size` bytes into `buffer`; returns the
    // number of whole elements read (short at the end or on error, 0 when
    // closed).
    virtual std::size_t Read(void* buffer, std::size_t size, std::size_t count) = 0;
    // Writes `count` elements of `size` bytes; returns whole elements written.
    virtual std::size_t Write(const void* buffer, std::size_t size, std::size_t count) = 0;
    // Moves the position by `offset` from `origin` (kFromStart, kFromCurrent,
    // kFromEnd). False on failure or an unknown origin.
    virtual bool Seek(int32_t offset, int origin) = 0;
    // The current position; 0 when closed.
    virtual int32_t Tell() = 0;
    // Back to position 0, error state cleared.
    virtual void Rewind() = 0;
    virtual ~CFileImpl() = default;
};
