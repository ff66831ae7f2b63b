#include "framework/app/timer.h"

#include <mutex>

int TimerUsers = 0;

namespace {

const TimerSystemCalls kSystemTimer = {&timeGetDevCaps, &timeBeginPeriod, &timeEndPeriod,
                                       &timeGetTime};
const TimerSystemCalls* g_calls = &kSystemTimer;

// Constant-initialised, so usable by static timers in any order.
std::mutex g_usersMutex;
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
    std::lock_guard<std::mutex> hold(g_usersMutex);
    if (TimerUsers == 0) {
        g_calls->getDevCaps(&caps_, sizeof(caps_));
        g_raisedPeriod = caps_.wPeriodMin;
        g_calls->beginPeriod(g_raisedPeriod);
    }
    ++TimerUsers;
}

void CTimer::End() {
    std::lock_guard<std::mutex> hold(g_usersMutex);
    if (TimerUsers <= 0) return;  // an End without its Begin
    if (--TimerUsers == 0) g_calls->endPeriod(g_raisedPeriod);
}

DWORD CTimer::Restart() {
    start_ = g_calls->getTime();
    return start_;
}

DWORD CTimer::Elapsed() { return g_calls->getTime() - start_; }
