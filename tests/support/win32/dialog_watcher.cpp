#include "tests/support/win32/dialog_watcher.h"

#include <algorithm>
#include <chrono>

#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/process.h"

DialogWatcher::DialogWatcher(Policy policy, DWORD processId)
    : policy_(std::move(policy)), processId_(processId), thread_([this] { Loop(); }) {}

DialogWatcher::~DialogWatcher() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        quit_ = true;
    }
    thread_.join();
}

void DialogWatcher::SetPolicy(Policy policy) {
    std::lock_guard<std::mutex> hold(mutex_);
    policy_ = std::move(policy);
}

void DialogWatcher::SetProcess(DWORD processId) {
    std::lock_guard<std::mutex> hold(mutex_);
    processId_ = processId;
}

std::vector<SeenDialog> DialogWatcher::Seen() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return seen_;
}

bool DialogWatcher::WaitForCount(std::size_t count, DWORD timeoutMs) const {
    return WaitUntil(
        [&] {
            std::lock_guard<std::mutex> hold(mutex_);
            return seen_.size() >= count;
        },
        timeoutMs);
}

DialogWatcher::Policy DialogWatcher::Always(int button) {
    return [button](const SeenDialog&) { return button; };
}

void DialogWatcher::Look(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);

    Policy policy;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (processId_ != 0 && pid != processId_) return;
        if (std::find(handled_.begin(), handled_.end(), hwnd) != handled_.end()) return;
        policy = policy_;
    }

    SeenDialog seen{hwnd, WindowTextOf(hwnd), MessageBoxTextOf(hwnd), MessageBoxIconOf(hwnd), 0};
    seen.answer = policy ? policy(seen) : 0;

    {
        std::lock_guard<std::mutex> hold(mutex_);
        handled_.push_back(hwnd);
        seen_.push_back(seen);
    }
    if (seen.answer != 0) {
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(seen.answer, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(hwnd, seen.answer)));
    }
}

void DialogWatcher::Loop() {
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            if (quit_) return;
            // A window handle may be reused once its dialog is gone.
            handled_.erase(std::remove_if(handled_.begin(), handled_.end(),
                                          [](HWND h) { return !IsWindow(h); }),
                           handled_.end());
        }
        for (HWND dialog : VisibleWindows(0, L"#32770")) Look(dialog);
        Sleep(15);
    }
}
