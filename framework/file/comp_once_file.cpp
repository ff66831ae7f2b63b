#include "framework/file/comp_once_file.h"

#include <windows.h>

#include "framework/file/plain_file.h"
#include "framework/file/single_packed_file.h"
#include "framework/system/path_text.h"

const char kPackedWriteError[] = "CCompFile::Create()\nファイルの書き出しは対応していません";

void ShowPackedFileError(const char* text) {
    MessageBoxA(nullptr, text, "アプリケーションエラー", MB_OK);
}

bool CCompOnceFile::Create(const char*) {
    ShowPackedFileError("CCompOnceFile::Create()\nファイルの作成に対応していません");
    return false;
}

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

std::size_t CCompOnceFile::Write(const void*, std::size_t, std::size_t) {
    ShowPackedFileError(kPackedWriteError);
    return 0;
}
