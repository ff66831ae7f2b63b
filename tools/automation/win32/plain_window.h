// The plainest top-level window: a class whose procedure only ends the
// thread's message loop when the window is destroyed, and that loop. The
// owner window of the dialog tests and the windows of the first-page
// yardsticks (bench/win32/min_window.cpp and min_page.cpp) are such windows.
// Header only, so each yardstick stays a program of its own.
#pragma once

#include <windows.h>

namespace plain_window {

inline LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Registers the class `name` of `instance`; false when that fails (also when
// it is registered already).
inline bool Register(HINSTANCE instance, const wchar_t* name, HBRUSH background = nullptr) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    return RegisterClassW(&windowClass) != 0;
}

// Runs the thread's message loop until WM_QUIT (or an error).
inline void RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace plain_window
