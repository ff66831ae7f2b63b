// Elevation of the running process, and handing its work to an elevated copy
// of itself.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "framework/system/win32/unique_handle.h"

class CSingleInstanceGuard;

struct ElevationState {
    bool available;  // the system has elevation (it answers the token query)
    bool elevated;   // this process runs with a full administrator token
};

// Asks the process token for its elevation. Systems before Windows Vista do
// not know the query: not available, not elevated.
ElevationState QueryElevation();

enum class RelaunchResult {
    HandedOver,  // the elevated copy runs and has taken over: end this process
    Declined,    // the user refused elevation: end quietly, as on Cancel
    Failed,      // no elevated copy took over: this process may go on
};

// Starts the running program again with the "runas" verb, with the same
// arguments in the same current folder, and offers it the single-instance
// guard of this process (see CSingleInstanceGuard). Waits, bounded, until the
// copy has taken the offer or has ended. On HandedOver the caller releases its
// guard and ends; the copy then owns the instance mutex. A caller that waits
// for the copy's end passes `copy`: on HandedOver it receives the copy's
// process handle (empty when the system gave none). On Failed the thread's
// last error says why.
RelaunchResult RelaunchElevated(unique_handle* copy = nullptr);

// RelaunchElevated, then on HandedOver releases `guard` for the copy and
// waits for the copy's end, as long as it runs (it may wait for the user's
// answers): `*exitCode` is then the copy's exit code, or `unknown` when the
// system gave no handle of the copy and so its end cannot be learnt.
RelaunchResult RunInElevatedCopy(CSingleInstanceGuard& guard, DWORD unknown, DWORD* exitCode);

enum class ShellStart {
    kStarted,  // the desktop shell was asked to start the program
    kNoShell,  // no desktop shell runs in this session
    kFailed,   // a shell runs but did not take the request
};

// Starts `program` in `folder` as the signed-in user without elevation, the
// way a double click does: through the desktop shell, which runs with the
// user's own token even when this process is elevated. A program started
// directly by an elevated process would inherit its full token.
ShellStart StartAsShellUser(const wchar_t* program, const wchar_t* folder);

// The system calls behind the above, replaceable so that tests can play a
// process without elevation, a user who declines, or a desktop shell.
struct ElevationCalls {
    ElevationState (*query)();
    BOOL(WINAPI* shellExecute)(SHELLEXECUTEINFOW* info);
    ShellStart (*shellStart)(const wchar_t* program, const wchar_t* folder);
};
// Null restores the system's calls.
void SetElevationCalls(const ElevationCalls* calls);
ElevationState SystemQueryElevation();
ShellStart SystemStartAsShellUser(const wchar_t* program, const wchar_t* folder);

// How long each side of a hand-over waits for the other.
constexpr DWORD kHandOverWaitMs = 30000;
