#include "framework/system/win32/elevation.h"

#include <utility>

#include "framework/system/elevation_rules.h"
#include "framework/system/path_text.h"
#include "framework/system/win32/single_instance_guard.h"
#include "framework/system/win32/unique_handle.h"
#include "framework/system/win32/wide_text.h"

namespace {

const ElevationCalls kSystemCalls = {&SystemQueryElevation, &ShellExecuteExW,
                                     &SystemStartAsShellUser};
const ElevationCalls* g_calls = &kSystemCalls;

}  // namespace

void SetElevationCalls(const ElevationCalls* calls) { g_calls = calls ? calls : &kSystemCalls; }

ElevationState QueryElevation() { return g_calls->query(); }

ShellStart StartAsShellUser(const wchar_t* program, const wchar_t* folder) {
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
    wchar_t program[kMaxPath] = {};
    DWORD length = GetModuleFileNameW(nullptr, program, kMaxPath);
    if (length == 0 || length >= kMaxPath) return RelaunchResult::Failed;
    wchar_t folder[kMaxPath] = {};
    length = GetCurrentDirectoryW(kMaxPath, folder);
    if (length == 0 || length >= kMaxPath) return RelaunchResult::Failed;

    // The offer is one signal of an auto-reset event: exactly one process
    // can take it. The taker then sets "taken" and waits for the mutex.
    const std::wstring mutexName = CSingleInstanceGuard::MutexNameFor(program);
    const std::wstring offerName = CSingleInstanceGuard::HandOverEventName(mutexName, kHandOverOffer);
    const std::wstring takenName = CSingleInstanceGuard::HandOverEventName(mutexName, kHandOverTaken);
    unique_handle offer(CreateEventW(nullptr, FALSE, TRUE, offerName.c_str()));
    if (!offer || GetLastError() == ERROR_ALREADY_EXISTS) return RelaunchResult::Failed;
    unique_handle taken(CreateEventW(nullptr, TRUE, FALSE, takenName.c_str()));
    if (!taken || GetLastError() == ERROR_ALREADY_EXISTS) return RelaunchResult::Failed;

    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"runas";
    info.lpFile = program;
    info.lpParameters = AsWide(CommandLineArguments(AsUtf16(GetCommandLineW())));
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
