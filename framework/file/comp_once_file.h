// A single packed file (see single_packed_file.h): the file "<name>.dat"
// holding one compressed file. Open decodes it whole into memory; every
// read is then served from there. Read-only.
#pragma once

#include "framework/file/memory_file.h"

class CCompOnceFile : public CMemoryFile {
public:
    // Shows "creating files is not supported" and returns false.
    bool Create(const char* path) override;
    // Opens and decodes "<path>.dat". False, and closed, when it is missing,
    // cannot be read whole or breaks the format's limits.
    bool Open(const char* path) override;
    // Shows "writing files is not supported" and returns 0.
    std::size_t Write(const void* buffer, std::size_t size, std::size_t count) override;
};

// The message boxes of write attempts on packed files (no owner, OK).
void ShowPackedFileError(const char* text);
extern const char kPackedWriteError[];
