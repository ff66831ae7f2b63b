#include "framework/app/win32/timer.h"

#include "framework/system/win32/dll_search.h"

int TimerUsers = 0;

namespace {

// winmm is not one of the system's known DLLs: it is loaded by its full path
// in the system folder (a winmm.dll beside the program is never used), on the
// first call, which comes from a static timer before the entry point runs.
template <typename Fn>
Fn WinmmCall(const char* name) {
    static HMODULE winmm = LoadSystemLibrary(L"winmm.dll");
    return winmm ? reinterpret_cast<Fn>(GetProcAddress(winmm, name)) : nullptr;
}

MMRESULT WINAPI SystemGetDevCaps(LPTIMECAPS caps, UINT size) {
    static auto call = WinmmCall<decltype(&timeGetDevCaps)>("timeGetDevCaps");
    return call ? call(caps, size) : TIMERR_NOCANDO;
}
MMRESULT WINAPI SystemBeginPeriod(UINT period) {
    static auto call = WinmmCall<decltype(&timeBeginPeriod)>("timeBeginPeriod");
    return call ? call(period) : TIMERR_NOCANDO;
}
MMRESULT WINAPI SystemEndPeriod(UINT period) {
    static auto call = WinmmCall<decltype(&timeEndPeriod)>("timeEndPeriod");
    return call ? call(period) : TIMERR_NOCANDO;
}
DWORD WINAPI SystemGetTime() {
    static auto call = WinmmCall<decltype(&timeGetTime)>("timeGetTime");
    return call ? call() : GetTickCount();
}

const TimerSystemCalls kSystemTimer = {&SystemGetDevCaps, &SystemBeginPeriod, &SystemEndPeriod,
                                       &SystemGetTime};
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
