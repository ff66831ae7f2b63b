// Helpers shared by the application framework's tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/app/win32/message_handler.h"

// Records the messages it is offered into a shared log ("name:message") and
// claims the one message it was told to claim.
class RecordingHandler : public CMessageHandler {
public:
    RecordingHandler(std::string name, std::vector<std::string>* log, UINT claims = 0)
        : name_(std::move(name)), log_(log), claims_(claims) {}

    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message >= WM_APP || message == WM_GETTEXTLENGTH || message == WM_ACTIVATE) {
            log_->push_back(name_ + ":" + std::to_string(message));
        }
        return claims_ != 0 && message == claims_;
    }

private:
    std::string name_;
    std::vector<std::string>* log_;
    UINT claims_;
};

// Removes every message waiting for this thread without dispatching it.
inline void DropPendingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

// Dispatches every message waiting for this thread.
inline void PumpPendingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
