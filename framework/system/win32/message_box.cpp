#include "framework/system/win32/message_box.h"

#include <string>

#include "framework/system/win32/wide_text.h"

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    return ShowMessageBox(owner, Widen(text).c_str(), caption, type);
}

int ShowMessageBox(HWND owner, const wchar_t* text, const char* caption, UINT type) {
    return MessageBoxW(owner, text, Widen(caption).c_str(), type);
}
