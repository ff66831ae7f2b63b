// Millisecond clock. While any timer exists, the system timer runs at the
// finest period the machine offers.
#pragma once

#include <windows.h>
#include <mmsystem.h>

class ITimer {
public:
    // Joins the users of the raised timer resolution (raising it for the
    // first user).
    virtual void Begin() = 0;
    // Leaves them (lowering it again after the last user).
    virtual void End() = 0;
    // Start time = 0.
    virtual void Reset() = 0;
    // Start time = now; returns it.
    virtual DWORD Restart() = 0;
    // Milliseconds since the start time, wrapping at 2^32.
    virtual DWORD Elapsed() = 0;
    virtual ~ITimer() = default;
};

class CTimer : public ITimer {
public:
    // Begin, then Reset.
    CTimer();
    // End.
    ~CTimer() override;
    CTimer(const CTimer&) = delete;
    CTimer& operator=(const CTimer&) = delete;

    void Begin() override;
    void End() override;
    void Reset() override { start_ = 0; }
    DWORD Restart() override;
    DWORD Elapsed() override;

private:
    TIMECAPS caps_{};
    DWORD start_ = 0;
};

// Begin calls not yet matched by End, over the whole process.
extern int TimerUsers;

// Holds the raised resolution from before the entry point until exit.
extern CTimer ProcessTimer;

// The multimedia timer calls, replaceable so that tests can count them.
struct TimerSystemCalls {
    MMRESULT(WINAPI* getDevCaps)(LPTIMECAPS caps, UINT size);
    MMRESULT(WINAPI* beginPeriod)(UINT period);
    MMRESULT(WINAPI* endPeriod)(UINT period);
    DWORD(WINAPI* getTime)();
};
// Null restores the system's calls.
void SetTimerSystemCalls(const TimerSystemCalls* calls);
