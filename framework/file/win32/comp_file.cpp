#include "framework/file/win32/comp_file.h"

#include <cstring>

#include "framework/file/archive_index.h"
#include "framework/file/plain_file.h"
#include "framework/system/win32/file_finder.h"
#include "framework/system/path_text.h"
#include "framework/system/win32/path_utils.h"

bool LocateArchive(const char* path, char (&full)[kMaxPath], char (&archive)[kMaxPath], std::size_t* entryAt) {
    if (!GetFullPath(full, path)) return false;
    char folder[kMaxPath];
    if (!CopyText(folder, full)) return false;
    CFileFinder finder;
    for (;;) {
        char parent[kMaxPath];
        if (!GetParentDirectory(parent, folder)) return false;
        if (FormatText(archive, sizeof archive, "%s.dat", parent) && finder.Find(archive)) {
            // The parent was cut from the full path at a separator.
            *entryAt = std::strlen(parent) + 1;
            return *entryAt < std::strlen(full);
        }
        if (!CopyText(folder, parent)) return false;
    }
}

CCompFile::CCompFile() : CPackedFile("CCompFile::Create()\nファイルの作成に対応していません") {}

bool CCompFile::Open(const char* path) {
    Close();
    if (path == nullptr) return false;
    char full[kMaxPath];
    char archivePath[kMaxPath];
    std::size_t entryAt = 0;
    if (!LocateArchive(path, full, archivePath, &entryAt)) return false;

    CPlainFile archive;
    if (!archive.Open(archivePath)) return false;
    std::vector<uint8_t> data;
    if (!ReadArchiveFile(archive, full + entryAt, Cp932LeadBytes(), &data)) return false;
    return Assign(std::move(data));
}
