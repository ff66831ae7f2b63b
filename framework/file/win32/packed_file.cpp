#include "framework/file/win32/packed_file.h"

#include <windows.h>

#include "framework/system/win32/message_box.h"

const char kPackedWriteError[] = "CCompFile::Create()\nファイルの書き出しは対応していません";

void ShowPackedFileError(const char* text) {
    ShowMessageBox(nullptr, text, "アプリケーションエラー", MB_OK);
}

bool CPackedFile::Create(const char*) {
    ShowPackedFileError(createError_);
    return false;
}

std::size_t CPackedFile::Write(const void*, std::size_t, std::size_t) {
    ShowPackedFileError(kPackedWriteError);
    return 0;
}
