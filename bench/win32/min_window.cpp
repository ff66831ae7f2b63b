// The yardstick of the first-page benchmark: the least a Win32 program does
// to show one window (register a class, create and show the window, run
// the message loop). scripts/bench-paced.sh times it next to setup.exe.
#include <windows.h>

#include "tools/automation/win32/plain_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    if (!plain_window::Register(instance, L"MinWindow", static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))))
        return 1;
    HWND hwnd = CreateWindowW(L"MinWindow", L"MinWindow", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 800, 600, nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr) return 1;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    plain_window::RunMessageLoop();
    return 0;
}
