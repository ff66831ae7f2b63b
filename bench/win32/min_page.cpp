// The second yardstick of the first-page benchmark: setup.exe's structure
// and nothing of its own work. An 800 x 600 window and, over it, the
// wizard's first page from the same dialog template, with the same manifest
// (so the same common controls); no disc, no pictures, no start-up checks.
// What setup.exe takes beyond this is its own; what this takes beyond
// min_window is the cost of a second window with a page of controls.
#include <windows.h>

#include "installer/setup_resources.h"
#include "tools/automation/win32/plain_window.h"

namespace {

INT_PTR CALLBACK Page(HWND page, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND) {
        EndDialog(page, LOWORD(wParam));
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    if (!plain_window::Register(instance, L"MinPage", white)) return 1;
    HWND hwnd = CreateWindowW(L"MinPage", L"MinPage", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 800, 600, nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr) return 1;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SETUP_WELCOME), hwnd, &Page, 0);
    return 0;
}
