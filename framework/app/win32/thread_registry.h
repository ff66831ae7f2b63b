// Per-thread context: which application and which task belong to a thread,
// so that objects created deep inside a program find the main window.
#pragma once

#include <windows.h>

#include <list>

#include "framework/file/win32/lock.h"

class CApplication;
class CMessageHandler;
class CTask;

// An exclusive display mode that can be returned to windowed mode. This
// system never creates one; the registry keeps the slot for it.
class CDisplayController {
public:
    virtual void RestoreWindowed() = 0;
    virtual ~CDisplayController() = default;
};

struct ThreadContext {
    CApplication* application;
    CTask* task;
    DWORD threadId;
    CDisplayController* display;
};

// Every operation holds the registry's lock while it runs. GetHwnd and
// AddHandler hold it while they call into the application, so the registry's
// lock is always taken before a window's handler-list lock. RemoveHandler
// finds the application under the lock but removes after leaving it, because
// removing may wait for a handler call that itself takes the registry's lock.
class CThreadRegistry {
public:
    CThreadRegistry() = default;
    virtual ~CThreadRegistry() = default;
    CThreadRegistry(const CThreadRegistry&) = delete;
    CThreadRegistry& operator=(const CThreadRegistry&) = delete;

    // Record for the calling thread, appending its entry when it has none.
    void SetApplication(CApplication* application);
    void SetTask(CTask* task);
    // Null when the calling thread has no entry (the main thread).
    CApplication* GetApplication();
    // The calling thread's main window; null without an application.
    HWND GetHwnd();
    // Forwarded to the calling thread's application; false (nothing done)
    // when the thread has none.
    bool AddHandler(CMessageHandler* handler);
    bool RemoveHandler(CMessageHandler* handler);
    CDisplayController* FindDisplay(CApplication* application);
    void ClearDisplay(CDisplayController* display);
    void ClearTask(CTask* task);
    // Forgets a destroyed application in every entry, so that no thread (nor
    // a later thread with a reused id) can reach it.
    void ClearApplication(CApplication* application);

    // The calling thread's entry, copied; false when it has none.
    bool GetContext(ThreadContext* context);
    size_t EntryCount();

private:
    ThreadContext* FindLocked(DWORD threadId);
    ThreadContext* FindOrAppendLocked();

    std::list<ThreadContext> entries_;
    CLock lock_;
};

// The process's registry, constructed before the other framework statics and
// destroyed after them.
extern CThreadRegistry TheThreadRegistry;

class ITask {
public:
    virtual void Execute() = 0;
    virtual void Main() = 0;
    virtual bool IsRunning() = 0;
    virtual ~ITask() = default;
};

// A unit of work run on the application thread. Construct it on the thread
// that runs it, after that thread's application was recorded.
class CTask : public ITask {
public:
    CTask();
    // Clears the task from the registry; the entry and its application stay.
    ~CTask() override;
    CTask(const CTask&) = delete;
    CTask& operator=(const CTask&) = delete;

    void Execute() override { Main(); }
    // The application thread's running flag; false when the thread had no
    // application at construction.
    bool IsRunning() override;

    CApplication* Application() const { return application_; }

private:
    CApplication* application_;
};
