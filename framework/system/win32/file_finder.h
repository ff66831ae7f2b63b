// Tells whether a file or folder exists through a directory search.
#pragma once

#include <windows.h>

#include "framework/system/win32/unique_handle.h"

class CFileFinder {
public:
    // True when something matches `path`, a path of the disc's data in
    // Shift-JIS; the search handle is kept until Close, the next Find or
    // destruction.
    bool Find(const char* path);
    void Close() { handle_.reset(); }
    bool IsOpen() const { return handle_.valid(); }

private:
    unique_hfind handle_;
};
