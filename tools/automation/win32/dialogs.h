// Works the dialogs of another thread of this process the way a user would:
// finds them (class "#32770"), reads their controls, fills edits, presses
// buttons and keys, and captures their pixels. Every wait is bounded. Texts
// are read in UTF-16, as a person sees them, whatever the system's code
// page.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/system/win32/unique_handle.h"

// Visible top-level dialogs (message boxes included) of thread `threadId`.
std::vector<HWND> ThreadDialogs(DWORD threadId);

// The first visible dialog of `threadId` whose caption is `caption`; null
// after `timeoutMs`.
HWND WaitForDialog(DWORD threadId, const std::wstring& caption, DWORD timeoutMs);

// True once `hwnd` no longer exists; false after `timeoutMs`.
bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs);

// The text a window shows (WM_GETTEXT).
std::wstring WindowTextOf(HWND hwnd);
std::wstring ClassNameOf(HWND hwnd);

// The visible top-level windows in Z order, of process `processId` (0: of
// every process) and of class `className` (nullptr: of any class).
std::vector<HWND> VisibleWindows(DWORD processId, const wchar_t* className);

// The message of a message box, and its icon as MB_ICON* (0 when none).
std::wstring MessageBoxTextOf(HWND box);
UINT MessageBoxIconOf(HWND box);

// Posts the command a click on button `id` sends, so a modal box the
// command opens never blocks the caller.
void PressButton(HWND dialog, int id);
// Posts a key press to the control of `dialog` that has the focus (or to its
// first control), where the dialog manager sees it.
void PressKey(HWND dialog, UINT virtualKey);

// The child windows of `dialog` in creation order.
std::vector<HWND> DialogControls(HWND dialog);

// Writes the window's pixels, as the screen shows them, to a 24-bit BMP.
bool SaveWindowBitmap(HWND hwnd, const std::wstring& path);

// Runs a function on a thread of its own. The destructor answers any dialog
// the thread still shows (Yes, OK, Cancel) so it can end, and as a last
// resort terminates it.
class TestThread {
public:
    explicit TestThread(std::function<void()> body);
    ~TestThread();
    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;

    DWORD Id() const { return id_; }
    // True when the thread ended within `timeoutMs`.
    bool Join(DWORD timeoutMs);

private:
    static DWORD WINAPI Entry(void* self);

    std::function<void()> body_;
    unique_handle handle_;
    DWORD id_ = 0;
};

// A plain top-level window on a thread of its own that runs a message loop,
// standing in for a program's main window as the owner of dialogs shown on
// another thread.
class PumpedWindow {
public:
    PumpedWindow();
    ~PumpedWindow();
    PumpedWindow(const PumpedWindow&) = delete;
    PumpedWindow& operator=(const PumpedWindow&) = delete;

    HWND hwnd() const { return hwnd_; }

private:
    void Loop();

    HWND hwnd_ = nullptr;
    unique_handle ready_;
    std::unique_ptr<TestThread> thread_;
};
