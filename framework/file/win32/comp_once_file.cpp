#include "framework/file/win32/comp_once_file.h"

#include "framework/file/plain_file.h"
#include "framework/file/single_packed_file.h"
#include "framework/system/path_text.h"

CCompOnceFile::CCompOnceFile() : CPackedFile("CCompOnceFile::Create()\nファイルの作成に対応していません") {}

bool CCompOnceFile::Open(const char* path) {
    Close();
    if (path == nullptr) return false;
    char packedPath[kMaxPath];
    if (!FormatText(packedPath, sizeof packedPath, "%s.dat", path)) return false;
    CPlainFile packed;
    if (!packed.Open(packedPath)) return false;
    std::vector<uint8_t> data;
    if (!ReadSinglePackedFile(packed, &data)) return false;
    return Assign(std::move(data));
}
