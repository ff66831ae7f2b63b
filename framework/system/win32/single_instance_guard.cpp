#include "framework/system/win32/single_instance_guard.h"

#include <algorithm>

#include "framework/system/path_text.h"
#include "framework/system/win32/elevation.h"

const wchar_t kHandOverOffer[] = L"#offer";
const wchar_t kHandOverTaken[] = L"#taken";

std::wstring CSingleInstanceGuard::MutexNameFor(const wchar_t* programPath) {
    std::wstring name = programPath;
    std::replace(name.begin(), name.end(), L'\\', L'/');
    return name;
}

void CSingleInstanceGuard::Acquire() {
    mutex_.reset();
    tookOver_ = false;
    wchar_t path[kMaxPath] = {};
    GetModuleFileNameW(nullptr, path, kMaxPath - 1);
    const std::wstring name = MutexNameFor(path);

    mutex_.reset(CreateMutexW(nullptr, TRUE, name.c_str()));
    const DWORD error = GetLastError();
    if (!mutex_ && error == ERROR_ACCESS_DENIED) {
        // The mutex exists, made by a process whose access list keeps this
        // one out (an elevated instance, seen from one without elevation):
        // another instance. Taking over a hand-over needs no more than
        // waiting on the mutex and releasing it.
        mutex_.reset(OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str()));
        tookOver_ = mutex_ && TakeOver(name);
        firstInstance_ = tookOver_;
        return;
    }
    tookOver_ = error == ERROR_ALREADY_EXISTS && TakeOver(name);
    firstInstance_ = error != ERROR_ALREADY_EXISTS || tookOver_;
}

void CSingleInstanceGuard::Release() {
    if (mutex_ && firstInstance_) ReleaseMutex(mutex_.get());
    mutex_.reset();
}

std::wstring CSingleInstanceGuard::HandOverEventName(const std::wstring& mutexName,
                                                     const wchar_t* suffix) {
    return mutexName + suffix;
}

bool CSingleInstanceGuard::TakeOver(const std::wstring& name) {
    if (!mutex_) return false;
    unique_handle offer(
        OpenEventW(SYNCHRONIZE, FALSE, HandOverEventName(name, kHandOverOffer).c_str()));
    if (!offer) return false;
    // Only the elevated copy is meant; an ordinary second start stays second.
    if (!QueryElevation().elevated) return false;
    if (WaitForSingleObject(offer.get(), 0) != WAIT_OBJECT_0) return false;
    unique_handle taken(
        OpenEventW(EVENT_MODIFY_STATE, FALSE, HandOverEventName(name, kHandOverTaken).c_str()));
    if (!taken || !SetEvent(taken.get())) return false;
    DWORD wait = WaitForSingleObject(mutex_.get(), kHandOverWaitMs);
    return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}
