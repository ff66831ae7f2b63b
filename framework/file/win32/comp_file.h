// One entry of a packed archive (see archive_index.h). The archive of a
// file is found by climbing its parent folders: for C:\game\data\obj\a.bmp
// the candidates are C:\game\data\obj.dat, C:\game\data.dat, C:\game.dat and
// C:.dat, the nearest first, and the entry name is the rest of the path
// after that folder (obj\a.bmp in C:\game\data.dat). Open decodes the entry
// whole into memory; every read is then served from there. Read-only.
#pragma once

#include <cstddef>

#include "framework/file/win32/packed_file.h"
#include "framework/system/path_text.h"

class CCompFile : public CPackedFile {
public:
    CCompFile();
    // Finds the nearest archive and the entry of `path` in it, and decodes
    // the entry. False, and closed, when there is no archive in any parent
    // folder, no entry of that name (in the first archive found), or the
    // entry cannot be read whole or breaks the format's limits.
    bool Open(const char* path) override;
};

// The archive that would hold `path`: the nearest parent folder with a file
// "<folder>.dat" beside it. Gives the archive's path and the offset of the
// entry name in `full` (the full path of `path`). False when none exists or
// a path does not fit.
bool LocateArchive(const char* path, char (&full)[kMaxPath], char (&archive)[kMaxPath], std::size_t* entryAt);
