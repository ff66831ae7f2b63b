// The application object: owns the main window, runs the program's Main on
// the application thread and is the first handler of the window's messages.
// Also the process's one message loop.
#pragma once

#include <windows.h>

#include <atomic>

#include "framework/app/win32/message_handler.h"
#include "framework/app/win32/window.h"
#include "framework/file/win32/lock.h"
#include "framework/file/win32/thread.h"

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
    // Stops the application thread as StopApplicationThread does, then
    // unregisters the object's handler. The Win32 window is not destroyed.
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

    // Application thread (through COpenDialogScope): the modal dialog Main
    // waits in and the command that ends it as a cancel; null when none.
    void SetOpenDialog(HWND dialog, int cancelId);

protected:
    // Main thread: ends the application thread. Clears the running flag,
    // signals the stop request and waits for the thread to end, meanwhile
    // handling the messages other threads send to this thread's windows and
    // ending the dialog the application thread has open (as a cancel, each
    // newly opened one once).
    //
    // Why the main thread ends that dialog at all: Main's dialogs are owned
    // by the main window, which this thread runs. A dialog does not notice
    // the running flag; it ends when the user answers it, and the user can
    // no longer do that while this thread waits for the application thread.
    // Without ending it, both threads would wait for each other for ever.
    void StopApplicationThread();


    // Application thread: records the application, runs Main, then posts
    // WM_DESTROY to the main window.
    void Run() override;

private:
    // Posts the cancel command to a newly recorded open dialog.
    void EndOpenDialog();

    // Set by WM_CLOSE and StopApplicationThread: the running flag reads
    // false from then on.
    std::atomic<bool> closeRequested_{false};
    CAppWindow window_;
    // The open dialog of the application thread; the serial counts each
    // change, so the main thread ends every newly opened dialog once.
    CLock dialogLock_;
    HWND openDialog_ = nullptr;
    int openDialogCancel_ = 0;
    unsigned openDialogSerial_ = 0;
    unsigned endedDialogSerial_ = 0;
};

// Application thread: while the scope lives, a dialog box (a message box or
// a dialog from a template) that the calling thread creates becomes the
// application's open dialog, with `cancelId` as the command that ends it as
// a cancel; a later one replaces it once it is gone. When the scope ends the
// enclosing scope's dialog is the open one again. On a thread without an
// application it records nothing.
class COpenDialogScope {
public:
    explicit COpenDialogScope(int cancelId);
    ~COpenDialogScope();
    COpenDialogScope(const COpenDialogScope&) = delete;
    COpenDialogScope& operator=(const COpenDialogScope&) = delete;

private:
    static LRESULT CALLBACK Watch(int code, WPARAM wParam, LPARAM lParam);
    void Record(HWND dialog);

    CApplication* application_;
    int cancelId_;
    HWND dialog_ = nullptr;
    COpenDialogScope* outer_;
    HHOOK hook_ = nullptr;
};

// A message box of the program's Shift-JIS text and caption
// (ShowMessageBox), recorded as the open dialog: a Yes/No box ends as No, a
// box with a Cancel button as Cancel, an OK box as OK.
int ApplicationMessageBox(HWND owner, const char* text, const char* caption, UINT type);

// Raised by the caller around RunMessageLoop; the loop runs only when it is 1.
extern int MessageLoopCount;

// The message loop of the main thread; returns on WM_QUIT. Shows an error
// and returns at once when MessageLoopCount is not 1.
void RunMessageLoop();

// Caption of the framework's fatal error messages.
extern const char kApplicationErrorCaption[];
