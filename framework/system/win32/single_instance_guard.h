// Keeps a program to one running instance through a mutex named after the
// program's own path.
//
// A process that restarts itself elevated hands its instance over on
// purpose (RelaunchElevated): it offers the mutex through an event named
// "<mutex name>#offer" and waits until the copy has set "<mutex name>#taken".
// The elevated copy, finding the mutex held and the offer open, takes the
// offer and waits for the mutex, which its parent releases as it ends. So the
// copy never mistakes its parent for another running instance, and the mutex
// exists throughout: a further start in between still finds it held.
#pragma once

#include <windows.h>

#include <string>

#include "framework/system/win32/unique_handle.h"

class CSingleInstanceGuard {
public:
    CSingleInstanceGuard() = default;
    ~CSingleInstanceGuard() { Release(); }
    CSingleInstanceGuard(const CSingleInstanceGuard&) = delete;
    CSingleInstanceGuard& operator=(const CSingleInstanceGuard&) = delete;

    // Creates (and owns) the mutex named after the running program file (as
    // the system names it, in UTF-16), every '\' turned into '/'. Sets the first-instance flag unless the mutex
    // already existed and no hand-over to this (elevated) process was offered
    // and completed. A mutex that exists but may not be opened is another
    // instance's too. The handle is kept whenever it could be had.
    void Acquire();
    // Gives up ownership of the mutex (so a waiting elevated copy gets it at
    // once) and closes the handle, if any.
    void Release();

    bool IsFirstInstance() const { return firstInstance_; }
    // True when the instance was handed over to this process by its parent.
    bool TookOver() const { return tookOver_; }
    bool IsHeld() const { return mutex_.valid(); }

    // The mutex name for a program path: "C:\x\setup.exe" gives
    // "C:/x/setup.exe".
    static std::wstring MutexNameFor(const wchar_t* programPath);
    // "<mutexName><suffix>".
    static std::wstring HandOverEventName(const std::wstring& mutexName, const wchar_t* suffix);

private:
    // Takes a hand-over offered to this process for the mutex `name`, whose
    // handle is already kept: true once the mutex is owned.
    bool TakeOver(const std::wstring& name);

    unique_handle mutex_;
    bool firstInstance_ = false;
    bool tookOver_ = false;
};

// Suffixes of the hand-over events' names.
extern const wchar_t kHandOverOffer[];
extern const wchar_t kHandOverTaken[];
