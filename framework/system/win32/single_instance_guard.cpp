#include "framework/system/win32/single_instance_guard.h"

#include "framework/system/win32/elevation.h"
#include "framework/system/win32/path_utils.h"

const char kHandOverOffer[] = "#offer";
const char kHandOverTaken[] = "#taken";

void CSingleInstanceGuard::MutexNameFor(char* name, std::size_t cap, const char* programPath) {
    if (!CopyText(name, cap, programPath)) return;
    const LeadByteTable& lead = AnsiLeadBytes();
    for (char* p = name; *p != '\0';) {
        std::size_t len = CharLength(p, lead);
        if (len == 1 && *p == '\\') *p = '/';
        p += len;
    }
}

void CSingleInstanceGuard::Acquire() {
    mutex_.reset();
    tookOver_ = false;
    char path[kMaxPath] = {};
    GetModuleFileNameA(nullptr, path, sizeof path - 1);
    char name[kMaxPath] = {};
    MutexNameFor(name, sizeof name, path);

    mutex_.reset(CreateMutexA(nullptr, TRUE, name));
    const DWORD error = GetLastError();
    if (!mutex_ && error == ERROR_ACCESS_DENIED) {
        // The mutex exists, made by a process whose access list keeps this
        // one out (an elevated instance, seen from one without elevation):
        // another instance. Taking over a hand-over needs no more than
        // waiting on the mutex and releasing it.
        mutex_.reset(OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name));
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

bool CSingleInstanceGuard::HandOverEventName(char* out, std::size_t cap, const char* mutexName,
                                             const char* suffix) {
    return FormatText(out, cap, "%s%s", mutexName, suffix);
}

bool CSingleInstanceGuard::TakeOver(const char* name) {
    char offerName[kMaxPath];
    char takenName[kMaxPath];
    if (!mutex_ || !HandOverEventName(offerName, sizeof offerName, name, kHandOverOffer) ||
        !HandOverEventName(takenName, sizeof takenName, name, kHandOverTaken)) {
        return false;
    }
    unique_handle offer(OpenEventA(SYNCHRONIZE, FALSE, offerName));
    if (!offer) return false;
    // Only the elevated copy is meant; an ordinary second start stays second.
    if (!QueryElevation().elevated) return false;
    if (WaitForSingleObject(offer.get(), 0) != WAIT_OBJECT_0) return false;
    unique_handle taken(OpenEventA(EVENT_MODIFY_STATE, FALSE, takenName));
    if (!taken || !SetEvent(taken.get())) return false;
    DWORD wait = WaitForSingleObject(mutex_.get(), kHandOverWaitMs);
    return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}
