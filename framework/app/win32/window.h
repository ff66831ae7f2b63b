// The framework's main window: its creation parameters, the window interface
// and the application window with its window procedure.
#pragma once

#include <windows.h>

#include <atomic>

#include "framework/app/win32/message_handler.h"
#include "framework/file/win32/lock.h"

// Class record, title, styles and geometry of a window to be created. Filled
// with the defaults by the window's constructor; the application may change
// it until Create runs. The window is a wide (UTF-16) window; its title is
// the program's own Shift-JIS text, converted with code page 932 when the
// window is made.
struct WindowParams {
    WNDCLASSEXW windowClass;
    char title[256];
    DWORD style;
    DWORD exStyle;
    int x;
    int y;
    int width;
    int height;
    HWND parent;
};

// The class name of the framework's windows.
extern const wchar_t kAppWindowClassName[];
// Style of the framework's main window: a popup with caption, system menu and
// minimise box, visible.
constexpr DWORD kAppWindowStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

class CWindow {
public:
    // Lets the window adjust the parameters before Create; nothing by default.
    virtual void Prepare(WindowParams* params) {}
    // Registers the class (unless a class of that name exists) and creates
    // and shows the window. False when registration or creation failed.
    virtual bool Create() = 0;
    virtual void OnCreated() {}
    // Sets the style (0 keeps the stored one) and places the window so that
    // its client area keeps the size it had at creation; centre 1 centres it
    // on the screen, any other value uses x and y. Returns SetWindowPos's result.
    virtual BOOL SetStyle(DWORD style, int centre, int x, int y) = 0;
    virtual bool IsActive() = 0;
    virtual void Activate() = 0;
    // Copies the client rectangle stored at creation into `rect`; returns it.
    virtual RECT* GetClientArea(RECT* rect) = 0;
    // Sees every message first; true hides it from the handlers.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) { return false; }
    virtual ~CWindow() = default;

    WindowParams* Params() { return &params_; }
    HWND Hwnd() const { return hwnd_; }
    CMessageHandlerList* Handlers() { return &handlers_; }

protected:
    WindowParams params_{};
    HWND hwnd_ = nullptr;
    CMessageHandlerList handlers_;
};

class CAppWindow : public CWindow {
public:
    // Needs CurrentInstance; fills the parameters with the defaults.
    CAppWindow();
    // Unbinds the Win32 window (which may live on) from this object, so that
    // its later messages go to the default window procedure.
    ~CAppWindow() override;

    bool Create() override;
    BOOL SetStyle(DWORD style, int centre, int x, int y) override;
    bool IsActive() override { return active_; }
    void Activate() override;
    RECT* GetClientArea(RECT* rect) override;

    CAppWindow(const CAppWindow&) = delete;
    CAppWindow& operator=(const CAppWindow&) = delete;

    // The framework's window procedure.
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Written on the window's thread, read by input on the application thread.
    std::atomic<bool> active_{true};
    RECT client_{};
    CLock createLock_;
};
