// A single packed file (see single_packed_file.h): the file "<name>.dat"
// holding one compressed file. Open decodes it whole into memory; every
// read is then served from there. Read-only.
#pragma once

#include "framework/file/win32/packed_file.h"

class CCompOnceFile : public CPackedFile {
public:
    CCompOnceFile();
    // Opens and decodes "<path>.dat". False, and closed, when it is missing,
    // cannot be read whole or breaks the format's limits.
    bool Open(const char* path) override;
};
