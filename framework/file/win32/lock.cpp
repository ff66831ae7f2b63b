#include "framework/file/win32/lock.h"

CLock::CLock() {
    InitializeCriticalSection(&section_);
    guard_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (guard_) SetEvent(guard_.get());
}

CLock::~CLock() {
    if (guard_) SetEvent(guard_.get());
    DeleteCriticalSection(&section_);
}

void CLock::Enter() { EnterCriticalSection(&section_); }

bool CLock::TryEnter() { return TryEnterCriticalSection(&section_) != FALSE; }

void CLock::Leave() { LeaveCriticalSection(&section_); }

bool CLock::Sleep(CONDITION_VARIABLE& changed, DWORD milliseconds) {
    return SleepConditionVariableCS(&changed, &section_, milliseconds) != FALSE;
}
