#include "framework/system/win32/file_finder.h"

bool CFileFinder::Find(const char* path) {
    handle_.reset();
    WIN32_FIND_DATAA data;
    handle_.reset(FindFirstFileA(path, &data));
    return handle_.valid();
}
