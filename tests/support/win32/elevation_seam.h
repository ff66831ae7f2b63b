// Elevation played through the environment for the probe programs of setup
// and UnInstall.exe, since every Wine process is elevated. With
// SETUP_PROBE_LIMITED set the process is not elevated on a system with
// elevation. Its "runas" removes the variable and starts the copy through
// the system (Wine starts the program directly), just as a real elevation
// gives the copy a full token; with SETUP_PROBE_STAYS_LIMITED it keeps the
// variable (a "runas" that does not elevate), and with SETUP_PROBE_DECLINE
// the user says No.
#pragma once

#include <windows.h>

#include "framework/system/win32/elevation.h"

namespace elevation_seam {

inline bool Has(const char* variable) { return GetEnvironmentVariableA(variable, nullptr, 0) != 0; }

// How often this process asked for "runas".
inline int& RunAsCalls() {
    static int calls = 0;
    return calls;
}

inline ElevationState Query() {
    if (Has("SETUP_PROBE_LIMITED")) return ElevationState{true, false};
    return SystemQueryElevation();
}

inline BOOL WINAPI RunAs(SHELLEXECUTEINFOW* info) {
    ++RunAsCalls();
    if (Has("SETUP_PROBE_DECLINE")) {
        SetLastError(ERROR_CANCELLED);
        return FALSE;
    }
    if (!Has("SETUP_PROBE_STAYS_LIMITED")) SetEnvironmentVariableA("SETUP_PROBE_LIMITED", nullptr);
    return ShellExecuteExW(info);
}

// Makes the elevation step of this process use the calls above.
inline void Install() {
    static const ElevationCalls calls = {&Query, &RunAs, &SystemStartAsShellUser};
    SetElevationCalls(&calls);
}

}  // namespace elevation_seam
