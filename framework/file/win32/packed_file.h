// The base of the read-only packed files (CCompOnceFile, CCompFile): the
// decoded contents are served from memory, and an attempt to create or write
// a file is refused with the framework's error message box (no owner, OK).
#pragma once

#include <cstddef>

#include "framework/file/memory_file.h"

class CPackedFile : public CMemoryFile {
public:
    // Shows the class's "creating files is not supported" and returns false.
    bool Create(const char* path) override;
    // Shows "writing files is not supported" and returns 0.
    std::size_t Write(const void* buffer, std::size_t size, std::size_t count) override;

protected:
    // `createError`: the text shown by Create, naming the class.
    explicit CPackedFile(const char* createError) : createError_(createError) {}

private:
    const char* createError_;
};

// The message box of a refused write or create on a packed file.
void ShowPackedFileError(const char* text);
extern const char kPackedWriteError[];
