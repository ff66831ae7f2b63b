#include "framework/file/win32/event.h"

CEvent::CEvent(bool manualReset)
    : handle_(CreateEventW(nullptr, manualReset ? TRUE : FALSE, FALSE, nullptr)) {}

CEvent::~CEvent() { handle_.reset(); }

void CEvent::Set() {
    CLockScope hold(lock_);
    SetEvent(handle_.get());
    state_ = true;
}

void CEvent::Reset() {
    CLockScope hold(lock_);
    ResetEvent(handle_.get());
    state_ = false;
}

DWORD CEvent::Wait(DWORD milliseconds) {
    return WaitForSingleObject(handle_.get(), milliseconds == 0 ? INFINITE : milliseconds);
}

HANDLE CEvent::Handle() { return handle_.get(); }

bool CEvent::IsSet() {
    CLockScope hold(lock_);
    return state_;
}
