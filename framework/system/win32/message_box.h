// Message boxes with the programs' texts, drawn from UTF-16 on every system
// whatever its code page.
#pragma once

#include <windows.h>

// The program's own Shift-JIS `text` and `caption`, converted with code
// page 932. Returns MessageBoxW's answer.
int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type);
// A text already in UTF-16 (one that names a path from the system).
int ShowMessageBox(HWND owner, const wchar_t* text, const char* caption, UINT type);
