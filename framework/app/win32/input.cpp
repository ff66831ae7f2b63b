#include "framework/app/win32/input.h"

#include <cstring>

#include "framework/app/win32/application.h"
#include "framework/app/win32/thread_registry.h"

namespace {

const InputSystemCalls kSystemInput = {&GetAsyncKeyState, &GetSystemMetrics, &GetCursorPos,
                                       &ScreenToClient};
const InputSystemCalls* g_input = &kSystemInput;

// Mouse button codes that read as up while the cursor is outside the client
// area (VK_CANCEL, 3, is a key).
constexpr int kButtonCodes[] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2};

}  // namespace

void SetInputSystemCalls(const InputSystemCalls* calls) {
    g_input = calls ? calls : &kSystemInput;
}

CInput::CInput() {
    TheThreadRegistry.AddHandler(this);
    hwnd_ = TheThreadRegistry.GetHwnd();
    if (CApplication* application = TheThreadRegistry.GetApplication()) {
        window_ = application->GetWindow();
    }
    Clear();
}

CInput::~CInput() { TheThreadRegistry.RemoveHandler(this); }

bool CInput::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOUSEWHEEL) {
        // The delta is the signed high word; read as a signed 32-bit number,
        // wParam is negative exactly when the delta is.
        if (static_cast<std::int32_t>(static_cast<std::uint32_t>(wParam)) < 0) {
            wheelDownPending_ = true;
        } else {
            wheelUpPending_ = true;
        }
    }
    return false;
}

void CInput::ClearButtonsOutsideClient(std::uint8_t* frame) {
    POINT cursor;
    bool inside = false;
    if (g_input->getCursorPos(&cursor) && window_) {
        RECT client;
        window_->GetClientArea(&client);
        inside = g_input->screenToClient(hwnd_, &cursor) && client.left <= cursor.x &&
                 cursor.x < client.right && client.top <= cursor.y && cursor.y < client.bottom;
    }
    if (inside) return;
    for (int code : kButtonCodes) frame[code] = 0;
}

int CInput::Update() {
    std::uint8_t* frame = frames_[frameIndex_];
    if (!window_ || !window_->IsActive()) {
        // Every code reads as up, the wheel codes too: this frame's wheel bytes
        // are two samples old and would otherwise report an old turn again.
        // A turn still pending is reported once the window is active again.
        std::memset(frame, 0, kInputCodeCount);
    } else {
        for (int code = 0; code < 256; ++code) {
            frame[code] = (g_input->getAsyncKeyState(code) & 0x8000) ? 1 : 0;
        }
        frame[WHEEL_UP] = wheelUpPending_.exchange(false) ? 1 : 0;
        frame[WHEEL_DOWN] = wheelDownPending_.exchange(false) ? 1 : 0;
        ClearButtonsOutsideClient(frame);
    }
    frameIndex_ = 1 - frameIndex_;
    return frameIndex_;
}

int CInput::GetKey(int code) {
    if (code < 0 || code >= kInputCodeCount) return KEY_UP;
    if ((code == VK_LBUTTON || code == VK_RBUTTON) &&
        g_input->getSystemMetrics(SM_SWAPBUTTON) != 0) {
        code = code == VK_LBUTTON ? VK_RBUTTON : VK_LBUTTON;
    }
    if (blocked_) {
        if (timer_.Elapsed() < blockLength_) return KEY_UP;
        blocked_ = false;
    }
    bool previous = frames_[frameIndex_][code] != 0;
    bool latest = frames_[1 - frameIndex_][code] != 0;
    return (previous ? KEY_RELEASED : 0) | (latest ? KEY_PRESSED : 0);
}

void CInput::Clear() {
    frameIndex_ = 0;
    std::memset(frames_[0], 0, 256);
    std::memset(frames_[1], 0, 256);
}

void CInput::Block(DWORD milliseconds) {
    if (milliseconds == 0) {
        blocked_ = false;
        return;
    }
    blockLength_ = milliseconds;
    blocked_ = true;
    timer_.Restart();
}

CMouse::CMouse() : hwnd_(TheThreadRegistry.GetHwnd()) {}

POINT* CMouse::GetPosition(POINT* point) {
    point->x = -1;
    point->y = -1;
    if (disabled_) return point;
    g_input->getCursorPos(point);
    g_input->screenToClient(hwnd_, point);
    return point;
}
