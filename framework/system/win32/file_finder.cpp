#include "framework/system/win32/file_finder.h"

#include <string>

#include "framework/system/win32/wide_text.h"

bool CFileFinder::Find(const char* path) {
    handle_.reset();
    std::wstring wide;
    if (!WidenShiftJis(path, &wide)) return false;
    WIN32_FIND_DATAW data;
    handle_.reset(FindFirstFileW(wide.c_str(), &data));
    return handle_.valid();
}
