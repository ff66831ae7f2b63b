#include "tests/support/dialog_watcher.h"

#include <algorithm>
#include <chrono>

namespace {

std::string WindowText(HWND hwnd) {
    char buffer[4096] = {};
    GetWindowTextA(hwnd, buffer, sizeof buffer);
    return buffer;
}

bool IsDialogClass(HWND hwnd) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return lstrcmpA(name, "#32770") == 0;
}

}  // namespace

std::string MessageBoxText(HWND dialog) {
    HWND text = GetDlgItem(dialog, 0xFFFF);
    return text ? WindowText(text) : std::string();
}

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
    DWORD start = GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            if (seen_.size() >= count) return true;
        }
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(10);
    }
}

DialogWatcher::Policy DialogWatcher::Always(int button) {
    return [button](const SeenDialog&) { return button; };
}

void DialogWatcher::Look(HWND hwnd) {
    if (!IsWindowVisible(hwnd) || !IsDialogClass(hwnd)) return;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);

    Policy policy;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (processId_ != 0 && pid != processId_) return;
        if (std::find(handled_.begin(), handled_.end(), hwnd) != handled_.end()) return;
        policy = policy_;
    }

    SeenDialog seen{hwnd, WindowText(hwnd), MessageBoxText(hwnd), 0, 0};
    // A message box shows its icon in static control 20 (0x440 under Wine).
    HWND icon = GetDlgItem(hwnd, 20);
    if (icon == nullptr) icon = GetDlgItem(hwnd, 0x440);
    if (icon != nullptr) {
        HICON shown = reinterpret_cast<HICON>(SendMessageA(icon, STM_GETICON, 0, 0));
        const struct { LPCSTR id; UINT style; } icons[] = {
            {IDI_HAND, MB_ICONHAND}, {IDI_QUESTION, MB_ICONQUESTION},
            {IDI_EXCLAMATION, MB_ICONEXCLAMATION}, {IDI_ASTERISK, MB_ICONASTERISK}};
        for (const auto& i : icons) {
            if (shown && shown == LoadIconA(nullptr, i.id)) seen.style = i.style;
        }
    }
    seen.answer = policy ? policy(seen) : 0;

    {
        std::lock_guard<std::mutex> hold(mutex_);
        handled_.push_back(hwnd);
        seen_.push_back(seen);
    }
    if (seen.answer != 0) {
        PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(seen.answer, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(hwnd, seen.answer)));
    }
}

BOOL CALLBACK DialogWatcher::Visit(HWND hwnd, LPARAM self) {
    reinterpret_cast<DialogWatcher*>(self)->Look(hwnd);
    return TRUE;
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
        EnumWindows(&DialogWatcher::Visit, reinterpret_cast<LPARAM>(this));
        Sleep(15);
    }
}
