// Keeps a program to one running instance through a mutex named after the
// program's own path.
#pragma once

#include <windows.h>

#include "framework/system/unique_handle.h"

class CSingleInstanceGuard {
public:
    CSingleInstanceGuard() = default;
    ~CSingleInstanceGuard() { Release(); }
    CSingleInstanceGuard(const CSingleInstanceGuard&) = delete;
    CSingleInstanceGuard& operator=(const CSingleInstanceGuard&) = delete;

    // Creates (and owns) the mutex named after the running program file,
    // every '\' turned into '/'. Sets the first-instance flag unless the mutex
    // already existed. The handle is kept either way.
    void Acquire();
    // Closes the mutex handle, if any.
    void Release() { mutex_.reset(); }

    bool IsFirstInstance() const { return firstInstance_; }
    bool IsHeld() const { return mutex_.valid(); }

    // The mutex name for a program path: "C:\x\setup.exe" gives
    // "C:/x/setup.exe". Double-byte characters are kept whole.
    static void MutexNameFor(char* name, std::size_t cap, const char* programPath);

private:
    unique_handle mutex_;
    bool firstInstance_ = false;
};
