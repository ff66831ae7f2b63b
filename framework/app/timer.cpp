#include "framework/app/timer.h"

int TimerUsers = 0;

namespace {

const TimerSystemCalls kSystemTimer = {&timeGetDevCaps, &timeBeginPeriod, &timeEndPeriod,
                                       &timeGetTime};
const TimerSystemCalls* g_calls = &kSystemTimer;

// The lock of TimerUsers. Static timers of other files (ProcessTimer among
// them) Begin before the dynamic initialisers of this file run and End after
// its destructors, so the lock must be usable without any of them: a plain
// word, zero from the start, set by an interlocked exchange and never
// destroyed. The lock is only ever held for the few calls of Begin or End.
volatile LONG g_usersLock = 0;

class UsersLockScope {
public:
    UsersLockScope() {
        while (InterlockedCompareExchange(&g_usersLock, 1, 0) != 0) Sleep(1);
    }
    ~UsersLockScope() { InterlockedExchange(&g_usersLock, 0); }
    UsersLockScope(const UsersLockScope&) = delete;
    UsersLockScope& operator=(const UsersLockScope&) = delete;
};

// The period given to timeBeginPeriod when the count last rose from 0.
UINT g_raisedPeriod = 0;

}  // namespace

void SetTimerSystemCalls(const TimerSystemCalls* calls) {
    g_calls = calls ? calls : &kSystemTimer;
}

CTimer::CTimer() {
    Begin();
    Reset();
}

CTimer::~CTimer() { End(); }

void CTimer::Begin() {
    UsersLockScope hold;
    if (TimerUsers == 0) {
        g_calls->getDevCaps(&caps_, sizeof(caps_));
        g_raisedPeriod = caps_.wPeriodMin;
        g_calls->beginPeriod(g_raisedPeriod);
    }
    ++TimerUsers;
}

void CTimer::End() {
    UsersLockScope hold;
    if (TimerUsers <= 0) return;  // an End without its Begin
    if (--TimerUsers == 0) g_calls->endPeriod(g_raisedPeriod);
}

DWORD CTimer::Restart() {
    start_ = g_calls->getTime();
    return start_;
}

DWORD CTimer::Elapsed() { return g_calls->getTime() - start_; }
