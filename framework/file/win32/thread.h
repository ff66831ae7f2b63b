// Base class of worker threads. A derived class overrides Run, which polls
// IsRunning (or calls Sleep) where it can give up its work.
#pragma once

#include <windows.h>

#include <atomic>

#include "framework/file/win32/event.h"
#include "framework/file/win32/lock.h"
#include "framework/system/win32/unique_handle.h"

class CThread {
public:
    CThread() = default;

    // Reaps a previous thread of this object (asking it to stop), then starts
    // a new one running Run. Returns once the new thread has begun; false
    // when it could not be created.
    virtual bool Start();
    // Clears the running flag; from any other thread than the worker, asks
    // the worker to stop and waits for it to end. Called on the worker
    // itself it only clears the flag and takes no lock, so it cannot wait on
    // an owner that holds the lock while it waits for this very thread.
    virtual void Stop();
    // Clears the running flag and signals the stop request without waiting
    // for the worker.
    void RequestStop();
    // Waits up to `milliseconds` for the worker thread to end: WAIT_OBJECT_0
    // when it has ended (or none was started), WAIT_TIMEOUT when the time ran
    // out, WAIT_FAILED on the worker itself. A non-zero `wakeMask` (QS_*)
    // also ends the wait with WAIT_OBJECT_0 + 1 when such a message arrives
    // for the calling thread. Called by the thread that starts and stops
    // this one.
    DWORD WaitForEnd(DWORD milliseconds, DWORD wakeMask = 0);
    virtual DWORD Suspend();
    virtual DWORD Resume();
    virtual int GetPriority();
    virtual bool SetPriority(int priority);
    // Waits up to `milliseconds` for a stop request: 0 when one came (or at
    // once for 0 milliseconds), WAIT_TIMEOUT when the time ran out.
    virtual DWORD Sleep(DWORD milliseconds);
    virtual void Run() {}
    virtual bool IsRunning() { return running_; }
    // Does not stop a running thread: a derived class whose thread may still
    // run stops it in its own destructor.
    virtual ~CThread() = default;

    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    DWORD ThreadId() const { return id_.load(); }

private:
    static unsigned __stdcall Entry(void* self);
    // Asks the current worker (if it is not the caller) to stop and reaps it.
    void ReapLocked();

    unique_handle handle_;
    // Written under the start/stop lock; read without it by Stop to tell
    // whether the caller is the worker.
    std::atomic<DWORD> id_{static_cast<DWORD>(-1)};
    std::atomic<bool> running_{false};
    CAutoResetEvent stop_;
    CManualResetEvent started_;
    CLock startStop_;
};
