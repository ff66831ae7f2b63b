#include "framework/system/win32/elevation.h"

#include <utility>

#include "framework/system/elevation_rules.h"
#include "framework/system/path_text.h"
#include "framework/system/win32/single_instance_guard.h"
#include "framework/system/win32/unique_handle.h"

namespace {

const ElevationCalls kSystemCalls = {&SystemQueryElevation, &ShellExecuteExA,
                                     &SystemStartAsShellUser};
const ElevationCalls* g_calls = &kSystemCalls;

}  // namespace

void SetElevationCalls(const ElevationCalls* calls) { g_calls = calls ? calls : &kSystemCalls; }

ElevationState QueryElevation() { return g_calls->query(); }

ShellStart StartAsShellUser(const char* program, const char* folder) {
    return g_calls->shellStart(program, folder);
}

ElevationState SystemQueryElevation() {
    ElevationState state = {false, false};
    unique_handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return state;
    // TokenElevation (20) and its answer, a DWORD, exist from Windows Vista;
    // older systems fail the query.
    const auto kTokenElevation = static_cast<TOKEN_INFORMATION_CLASS>(20);
    DWORD isElevated = 0;
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), kTokenElevation, &isElevated, sizeof isElevated,
                             &size)) {
        return state;
    }
    state.available = true;
    state.elevated = isElevated != 0;
    return state;
}

RelaunchResult RelaunchElevated(unique_handle* copyOut) {
    char program[kMaxPath] = {};
    DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length == 0 || length >= sizeof program) return RelaunchResult::Failed;
    char folder[kMaxPath] = {};
    length = GetCurrentDirectoryA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder) return RelaunchResult::Failed;

    // The offer is one signal of an auto-reset event: exactly one process
    // can take it. The taker then sets "taken" and waits for the mutex.
    char mutexName[kMaxPath];
    char offerName[kMaxPath];
    char takenName[kMaxPath];
    CSingleInstanceGuard::MutexNameFor(mutexName, sizeof mutexName, program);
    if (!CSingleInstanceGuard::HandOverEventName(offerName, sizeof offerName, mutexName,
                                                 kHandOverOffer) ||
        !CSingleInstanceGuard::HandOverEventName(takenName, sizeof takenName, mutexName,
                                                 kHandOverTaken)) {
        return RelaunchResult::Failed;
    }
    unique_handle offer(CreateEventA(nullptr, FALSE, TRUE, offerName));
    if (!offer || GetLastError() == ERROR_ALREADY_EXISTS) return RelaunchResult::Failed;
    unique_handle taken(CreateEventA(nullptr, TRUE, FALSE, takenName));
    if (!taken || GetLastError() == ERROR_ALREADY_EXISTS) return RelaunchResult::Failed;

    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = "runas";
    info.lpFile = program;
    info.lpParameters = CommandLineArguments(GetCommandLineA());
    info.lpDirectory = folder;
    info.nShow = SW_SHOWNORMAL;
    if (!g_calls->shellExecute(&info)) {
        return GetLastError() == ERROR_CANCELLED ? RelaunchResult::Declined
                                                 : RelaunchResult::Failed;
    }
    unique_handle copy(info.hProcess);

    HANDLE events[2] = {taken.get(), copy.get()};
    DWORD count = copy ? 2 : 1;
    bool handedOver =
        WaitForMultipleObjects(count, events, FALSE, kHandOverWaitMs) == WAIT_OBJECT_0;
    // The copy ended, or is late, without taking over. Take the offer back;
    // when that fails, the copy has just taken it and sets "taken" next.
    if (!handedOver && WaitForSingleObject(offer.get(), 0) != WAIT_OBJECT_0)
        handedOver = WaitForSingleObject(taken.get(), kHandOverWaitMs) == WAIT_OBJECT_0;
    if (!handedOver) {
        SetLastError(WAIT_TIMEOUT);
        return RelaunchResult::Failed;
    }
    if (copyOut) *copyOut = std::move(copy);
    return RelaunchResult::HandedOver;
}

RelaunchResult RunInElevatedCopy(CSingleInstanceGuard& guard, DWORD unknown, DWORD* exitCode) {
    unique_handle copy;
    const RelaunchResult result = RelaunchElevated(&copy);
    if (result != RelaunchResult::HandedOver) return result;
    guard.Release();  // the copy is waiting for the instance
    *exitCode = unknown;
    DWORD code = 0;
    if (copy && WaitForSingleObject(copy.get(), INFINITE) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(copy.get(), &code))
        *exitCode = code;
    return result;
}
