// The application object: owns the main window, runs the program's Main on
// the application thread and is the first handler of the window's messages.
// Also the process's one message loop.
#pragma once

#include <windows.h>

#include <atomic>

#include "framework/app/message_handler.h"
#include "framework/app/window.h"
#include "framework/file/thread.h"

class IApplication {
public:
    // Main thread: creates the main window and starts the application thread.
    // Ends the process with exit code -1 when the window cannot be created.
    virtual void Initialize() = 0;
    // Application thread: the program.
    virtual void Main() = 0;
    // False once the program must end (window closed or Stop called).
    virtual bool IsRunning() = 0;
    virtual CAppWindow* GetWindow() = 0;
    // The main window; null before it exists.
    virtual HWND GetHwnd() = 0;
    virtual void AddMessageHandler(CMessageHandler* handler) = 0;
    virtual void RemoveMessageHandler(CMessageHandler* handler) = 0;
    // Application thread: waits without limit until Stop is called from
    // another thread; returns the wait result.
    virtual DWORD WaitForStopRequest() = 0;
    // Lets a program change the window parameters before creation.
    virtual void ConfigureWindow(WindowParams* params) = 0;
    virtual ~IApplication() = default;
};

class CApplication : public IApplication, public CThread, public CMessageHandler {
public:
    CApplication();
    // Stops the application thread and waits for its end, then unregisters
    // the object's handler. The Win32 window is not destroyed.
    ~CApplication() override;

    void Initialize() override;
    void Main() override {}
    bool IsRunning() override;
    CAppWindow* GetWindow() override { return &window_; }
    HWND GetHwnd() override { return window_.Hwnd(); }
    void AddMessageHandler(CMessageHandler* handler) override;
    void RemoveMessageHandler(CMessageHandler* handler) override;
    DWORD WaitForStopRequest() override;
    void ConfigureWindow(WindowParams* params) override {}

    // Main thread: WM_DESTROY ends the loop; WM_CLOSE tells Main to end and
    // lets the default processing destroy the window.
    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    bool Start() override;

protected:
    // Application thread: records the application, runs Main, then posts
    // WM_DESTROY to the main window.
    void Run() override;

private:
    // Set by WM_CLOSE: the running flag reads false from then on, without
    // signalling the stop event.
    std::atomic<bool> closeRequested_{false};
    CAppWindow window_;
};

// Raised by the caller around RunMessageLoop; the loop runs only when it is 1.
extern int MessageLoopCount;

// The message loop of the main thread; returns on WM_QUIT. Shows an error
// and returns at once when MessageLoopCount is not 1.
void RunMessageLoop();

// Caption of the framework's fatal error messages.
extern const char kApplicationErrorCaption[];
