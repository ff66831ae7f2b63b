// Watches for dialog boxes (message boxes included) and answers them, so a
// test never waits on a modal box that nobody closes. Runs a thread that
// looks at the top-level "#32770" windows of one process (or of every
// process) every few milliseconds.
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SeenDialog {
    HWND hwnd;
    std::wstring caption;  // as the window shows it
    std::wstring text;     // the message of a message box (static control 0xFFFF)
    UINT style;           // MB_ICON* of a message box, read from its icon control
    int answer;           // the button id pressed, 0 when left open
};

class DialogWatcher {
public:
    // Decides which button to press (IDOK, IDYES, IDNO, IDRETRY, IDCANCEL, a
    // control id) for a dialog; 0 leaves it open, for the test to handle.
    using Policy = std::function<int(const SeenDialog&)>;

    // `processId` 0 watches the dialogs of every process.
    explicit DialogWatcher(Policy policy, DWORD processId = GetCurrentProcessId());
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    void SetPolicy(Policy policy);
    void SetProcess(DWORD processId);

    // Every dialog seen so far, in the order they appeared.
    std::vector<SeenDialog> Seen() const;
    // Waits until at least `count` dialogs were seen; false after `timeoutMs`.
    bool WaitForCount(std::size_t count, DWORD timeoutMs) const;

    // A policy that always presses `button`.
    static Policy Always(int button);

private:
    void Loop();
    void Look(HWND hwnd);

    mutable std::mutex mutex_;
    Policy policy_;
    DWORD processId_;
    std::vector<SeenDialog> seen_;
    std::vector<HWND> handled_;
    bool quit_ = false;
    std::thread thread_;
};
