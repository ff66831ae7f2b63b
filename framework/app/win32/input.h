// Polled input: two frames of the 256 virtual keys plus the mouse wheel, and
// the cursor position in the main window's client area. Created on the
// application thread, which must have its application recorded.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "framework/app/win32/message_handler.h"
#include "framework/app/win32/timer.h"

class CWindow;

// Key codes beyond the virtual keys.
constexpr int WHEEL_UP = 256;    // the wheel was turned away from the user
constexpr int WHEEL_DOWN = 257;  // the wheel was turned toward the user
constexpr int kInputCodeCount = 258;

// States returned by GetKey: bit 0 = down in the latest frame, bit 1 = down
// in the previous one.
enum KeyState { KEY_UP = 0, KEY_PRESSED = 1, KEY_RELEASED = 2, KEY_HELD = 3 };

class IInput {
public:
    // Samples the keys into the current frame; returns the new frame index.
    virtual int Update() = 0;
    // KEY_UP..KEY_HELD for a code 0..257; KEY_UP for any other code or while
    // a block is in force.
    virtual int GetKey(int code) = 0;
    // Both frames read as up.
    virtual void Clear() = 0;
    // Every key reads as up for `milliseconds` (0 ends a block).
    virtual void Block(DWORD milliseconds) = 0;
    virtual bool IsBlocked() = 0;
    virtual ~IInput() = default;
};

class CInput : public IInput, public CMessageHandler {
public:
    CInput();
    ~CInput() override;
    CInput(const CInput&) = delete;
    CInput& operator=(const CInput&) = delete;

    int Update() override;
    int GetKey(int code) override;
    void Clear() override;
    void Block(DWORD milliseconds) override;
    bool IsBlocked() override { return blocked_; }

    // Main thread: notes wheel turns; never claims a message.
    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ClearButtonsOutsideClient(std::uint8_t* frame);

    std::uint8_t frames_[2][kInputCodeCount] = {};
    int frameIndex_ = 0;
    HWND hwnd_ = nullptr;
    CWindow* window_ = nullptr;
    bool blocked_ = false;
    DWORD blockLength_ = 0;
    CTimer timer_;
    std::atomic<bool> wheelUpPending_{false};
    std::atomic<bool> wheelDownPending_{false};
};

class IMouse {
public:
    // Fills `point` with the cursor in client coordinates (it may lie outside
    // the client area), or (-1, -1) while disabled; returns `point`.
    virtual POINT* GetPosition(POINT* point) = 0;
    virtual void Disable() = 0;
    virtual void Enable() = 0;
    virtual ~IMouse() = default;
};

class CMouse : public IMouse {
public:
    CMouse();
    POINT* GetPosition(POINT* point) override;
    void Disable() override { disabled_ = true; }
    void Enable() override { disabled_ = false; }

private:
    HWND hwnd_;
    bool disabled_ = false;
};

// The system calls input reads, replaceable so that tests can observe them.
struct InputSystemCalls {
    SHORT(WINAPI* getAsyncKeyState)(int key);
    int(WINAPI* getSystemMetrics)(int index);
    BOOL(WINAPI* getCursorPos)(POINT* point);
    BOOL(WINAPI* screenToClient)(HWND hwnd, POINT* point);
};
// Null restores the system's calls.
void SetInputSystemCalls(const InputSystemCalls* calls);
