// A re-entrant lock over a critical section: the owning thread may Enter
// again and must Leave as often as it entered.
#pragma once

#include <windows.h>

#include "framework/system/win32/unique_handle.h"

class CLock {
public:
    CLock();
    virtual void Enter();
    // Takes the lock when it is free or already ours; never blocks.
    virtual bool TryEnter();
    virtual void Leave();
    // Leaves the lock (entered once by the caller), waits up to
    // `milliseconds` for `changed` to be woken and enters it again. False
    // when the time ran out.
    bool Sleep(CONDITION_VARIABLE& changed, DWORD milliseconds = INFINITE);
    virtual ~CLock();

    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

private:
    CRITICAL_SECTION section_;
    long count_ = 0;
    unsigned char second_ = 0;
    unique_handle guard_;
};

// Holds a CLock for the lifetime of the scope.
class CLockScope {
public:
    explicit CLockScope(CLock& lock) : lock_(lock) { lock_.Enter(); }
    ~CLockScope() { lock_.Leave(); }
    CLockScope(const CLockScope&) = delete;
    CLockScope& operator=(const CLockScope&) = delete;

private:
    CLock& lock_;
};

// Leaves a CLock the caller holds for the lifetime of the scope (a system
// call that may block) and enters it again after.
class CUnlockScope {
public:
    explicit CUnlockScope(CLock& lock) : lock_(lock) { lock_.Leave(); }
    ~CUnlockScope() { lock_.Enter(); }
    CUnlockScope(const CUnlockScope&) = delete;
    CUnlockScope& operator=(const CUnlockScope&) = delete;

private:
    CLock& lock_;
};
