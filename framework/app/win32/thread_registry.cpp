#include "framework/app/win32/thread_registry.h"

#include "framework/app/win32/application.h"

ThreadContext* CThreadRegistry::FindLocked(DWORD threadId) {
    for (ThreadContext& entry : entries_) {
        if (entry.threadId == threadId) return &entry;
    }
    return nullptr;
}

ThreadContext* CThreadRegistry::FindOrAppendLocked() {
    DWORD self = GetCurrentThreadId();
    if (ThreadContext* entry = FindLocked(self)) return entry;
    entries_.push_back(ThreadContext{nullptr, nullptr, self, nullptr});
    return &entries_.back();
}

void CThreadRegistry::SetApplication(CApplication* application) {
    CLockScope hold(lock_);
    FindOrAppendLocked()->application = application;
}

void CThreadRegistry::SetTask(CTask* task) {
    CLockScope hold(lock_);
    FindOrAppendLocked()->task = task;
}

CApplication* CThreadRegistry::GetApplication() {
    CLockScope hold(lock_);
    ThreadContext* entry = FindLocked(GetCurrentThreadId());
    return entry ? entry->application : nullptr;
}

HWND CThreadRegistry::GetHwnd() {
    CLockScope hold(lock_);
    CApplication* application = GetApplication();
    return application ? application->GetHwnd() : nullptr;
}

bool CThreadRegistry::AddHandler(CMessageHandler* handler) {
    CLockScope hold(lock_);
    CApplication* application = GetApplication();
    if (!application) return false;
    application->AddMessageHandler(handler);
    return true;
}

bool CThreadRegistry::RemoveHandler(CMessageHandler* handler) {
    // Removing waits for a call to the handler that the window's thread has
    // already begun, and that call may need this lock (handlers look up the
    // registry): the lock is let go before the handler list is entered. The
    // calling thread's application outlives the thread's own use of it.
    CApplication* application = GetApplication();
    if (!application) return false;
    application->RemoveMessageHandler(handler);
    return true;
}

CDisplayController* CThreadRegistry::FindDisplay(CApplication* application) {
    CLockScope hold(lock_);
    for (const ThreadContext& entry : entries_) {
        if (entry.application == application) return entry.display;
    }
    return nullptr;
}

void CThreadRegistry::ClearDisplay(CDisplayController* display) {
    CLockScope hold(lock_);
    for (ThreadContext& entry : entries_) {
        if (entry.display == display) entry.display = nullptr;
    }
}

void CThreadRegistry::ClearTask(CTask* task) {
    CLockScope hold(lock_);
    for (ThreadContext& entry : entries_) {
        if (entry.task == task) entry.task = nullptr;
    }
}

void CThreadRegistry::ClearApplication(CApplication* application) {
    CLockScope hold(lock_);
    for (ThreadContext& entry : entries_) {
        if (entry.application == application) entry.application = nullptr;
    }
}

bool CThreadRegistry::GetContext(ThreadContext* context) {
    CLockScope hold(lock_);
    ThreadContext* entry = FindLocked(GetCurrentThreadId());
    if (!entry) return false;
    *context = *entry;
    return true;
}

size_t CThreadRegistry::EntryCount() {
    CLockScope hold(lock_);
    return entries_.size();
}

CTask::CTask() {
    TheThreadRegistry.SetTask(this);
    application_ = TheThreadRegistry.GetApplication();
}

CTask::~CTask() { TheThreadRegistry.ClearTask(this); }

bool CTask::IsRunning() { return application_ && application_->IsRunning(); }
