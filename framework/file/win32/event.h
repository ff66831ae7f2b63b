// Win32 events that remember whether they were last Set or Reset. A wait
// that consumes an auto-reset event does not change the remembered state.
#pragma once

#include <windows.h>

#include "framework/file/win32/lock.h"
#include "framework/system/win32/unique_handle.h"

class CEvent {
public:
    virtual void Set();
    virtual void Reset();
    // Waits up to `milliseconds` (0 waits without limit). WAIT_OBJECT_0 (0)
    // when signalled, WAIT_TIMEOUT (258) when the time ran out.
    virtual DWORD Wait(DWORD milliseconds);
    virtual HANDLE Handle();
    virtual bool IsSet();
    virtual ~CEvent();

    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

protected:
    explicit CEvent(bool manualReset);

private:
    unique_handle handle_;
    bool state_ = false;
    CLock lock_;
};

class CAutoResetEvent : public CEvent {
public:
    CAutoResetEvent() : CEvent(false) {}
};

class CManualResetEvent : public CEvent {
public:
    CManualResetEvent() : CEvent(true) {}
};
