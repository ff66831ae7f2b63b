// Takes the timer's lock during static initialisation, before the statics
// of the timer's own file are set up, and keeps it across their set-up: a
// first Begin (on a thread of its own) stays inside the lock until main lets
// it go. main then checks that a second Begin waits for the first. Exit code
// 0 when it did; 2 when the set-up went wrong; 3 when the second Begin got
// in while the first held the lock.
#include <windows.h>

#include "framework/app/win32/timer.h"

namespace {

HANDLE g_entered = nullptr;
HANDLE g_release = nullptr;
volatile LONG g_capsCalls = 0;

// The first caller stays inside Begin, holding the lock, until released.
MMRESULT WINAPI HoldingGetDevCaps(LPTIMECAPS caps, UINT) {
    caps->wPeriodMin = 1;
    caps->wPeriodMax = 1000;
    if (InterlockedIncrement(&g_capsCalls) == 1) {
        SetEvent(g_entered);
        WaitForSingleObject(g_release, 10000);
    }
    return TIMERR_NOERROR;
}
MMRESULT WINAPI NoPeriod(UINT) { return TIMERR_NOERROR; }
DWORD WINAPI Now() { return 0; }
const TimerSystemCalls kHolding = {&HoldingGetDevCaps, &NoPeriod, &NoPeriod, &Now};

DWORD WINAPI BeginOnce(void*) {
    ProcessTimer.Begin();
    return 0;
}

struct HoldDuringStaticInit {
    HANDLE first = nullptr;
    bool held = false;
    HoldDuringStaticInit() {
        g_entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        g_release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        SetTimerSystemCalls(&kHolding);
        ProcessTimer.End();  // no users left: the next Begin reads the caps
        first = CreateThread(nullptr, 0, &BeginOnce, nullptr, 0, nullptr);
        held = first && WaitForSingleObject(g_entered, 10000) == WAIT_OBJECT_0;
    }
};

// Right after ProcessTimer (1001), before every static without a priority.
HoldDuringStaticInit g_hold __attribute__((init_priority(1002)));

}  // namespace

int main() {
    if (!g_hold.held) return 2;
    HANDLE second = CreateThread(nullptr, 0, &BeginOnce, nullptr, 0, nullptr);
    if (!second) return 2;
    const DWORD early = WaitForSingleObject(second, 500);
    SetEvent(g_release);
    const bool ended = WaitForSingleObject(g_hold.first, 10000) == WAIT_OBJECT_0 &&
                       WaitForSingleObject(second, 10000) == WAIT_OBJECT_0;
    if (!ended) return 2;
    if (early != WAIT_TIMEOUT) return 3;
    // The second Begin found the first's user counted: the caps were read once.
    return TimerUsers == 2 && g_capsCalls == 1 ? 0 : 3;
}
