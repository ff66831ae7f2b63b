#include "framework/file/win32/thread.h"

#include <process.h>

namespace {
constexpr DWORD kNoThread = static_cast<DWORD>(-1);
}

unsigned __stdcall CThread::Entry(void* self) {
    auto* thread = static_cast<CThread*>(self);
    thread->started_.Set();
    thread->Run();
    // Returning ends the thread through the runtime, which frees its
    // per-thread data and then calls ExitThread with this code.
    return 0;
}

void CThread::ReapLocked() {
    if (id_ == kNoThread || id_ == GetCurrentThreadId()) return;
    stop_.Set();
    DWORD wait = WaitForSingleObject(handle_.get(), INFINITE);
    id_ = kNoThread;
    if (wait == WAIT_OBJECT_0) handle_.reset();
}

bool CThread::Start() {
    CLockScope hold(startStop_);
    running_ = false;
    ReapLocked();
    started_.Reset();
    // Cleared before the new thread exists: a request left from reaping the
    // old thread must not end the new thread's first Sleep.
    stop_.Reset();
    running_ = true;

    unsigned id = 0;
    uintptr_t handle = _beginthreadex(nullptr, 0, &CThread::Entry, this, 0, &id);
    if (handle == 0) {
        id_ = kNoThread;
        return false;
    }
    // A handle left by a thread whose wait did not end cleanly is replaced.
    handle_.reset(reinterpret_cast<HANDLE>(handle));
    id_ = id;
    started_.Wait(0);
    return true;
}

void CThread::Stop() {
    if (id_ == GetCurrentThreadId()) {
        running_ = false;
        return;
    }
    CLockScope hold(startStop_);
    running_ = false;
    ReapLocked();
}

void CThread::RequestStop() {
    running_ = false;
    stop_.Set();
}

DWORD CThread::WaitForEnd(DWORD milliseconds, DWORD wakeMask) {
    const DWORD id = id_.load();
    if (id == kNoThread || !handle_) return WAIT_OBJECT_0;
    if (id == GetCurrentThreadId()) return WAIT_FAILED;
    HANDLE thread = handle_.get();
    if (wakeMask == 0) return WaitForSingleObject(thread, milliseconds);
    return MsgWaitForMultipleObjects(1, &thread, FALSE, milliseconds, wakeMask);
}

DWORD CThread::Suspend() { return SuspendThread(handle_.get()); }

DWORD CThread::Resume() { return ResumeThread(handle_.get()); }

int CThread::GetPriority() { return GetThreadPriority(handle_.get()); }

bool CThread::SetPriority(int priority) {
    return SetThreadPriority(handle_.get(), priority) != FALSE;
}

DWORD CThread::Sleep(DWORD milliseconds) {
    if (milliseconds == 0) return 0;
    return stop_.Wait(milliseconds);
}
