// UnInstall.exe's program with its elevation played through the environment,
// since every Wine process is elevated; installed as "UnInstall.exe" by the
// test. As for setup's probe: with SETUP_PROBE_LIMITED set the process is not
// elevated on a system with elevation, and its "runas" removes the variable
// and starts the copy through the system, just as a real elevation gives the
// copy a full token; with SETUP_PROBE_DECLINE the user says No.
// Each process reports into the folder named by UNINSTALL_PROBE_REPORTS, in
// "<process id>.txt": "<not elevated>|<runas calls>|<exit code>|<arguments>".
#include <windows.h>

#include <cstdio>

#include "framework/system/elevation.h"
#include "framework/system/elevation_rules.h"
#include "uninstaller/uninstall_system.h"

namespace {

int g_runAsCalls = 0;

bool Has(const char* variable) { return GetEnvironmentVariableA(variable, nullptr, 0) != 0; }

ElevationState ProbeQuery() {
    if (Has("SETUP_PROBE_LIMITED")) return ElevationState{true, false};
    return SystemQueryElevation();
}

BOOL WINAPI ProbeRunAs(SHELLEXECUTEINFOA* info) {
    ++g_runAsCalls;
    if (Has("SETUP_PROBE_DECLINE")) {
        SetLastError(ERROR_CANCELLED);
        return FALSE;
    }
    SetEnvironmentVariableA("SETUP_PROBE_LIMITED", nullptr);
    return ShellExecuteExA(info);
}

const ElevationCalls kProbeCalls = {&ProbeQuery, &ProbeRunAs};

}  // namespace

int main() {
    SetElevationCalls(&kProbeCalls);
    const bool limited = Has("SETUP_PROBE_LIMITED");
    const char* arguments = CommandLineArguments(GetCommandLineA());
    const int code = RunUninstaller(arguments);

    char folder[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("UNINSTALL_PROBE_REPORTS", folder, sizeof folder);
    char report[MAX_PATH + 32];
    if (length > 0 && length < sizeof folder &&
        std::snprintf(report, sizeof report, "%s\\%lu.txt", folder, GetCurrentProcessId()) > 0) {
        if (FILE* f = std::fopen(report, "wb")) {
            std::fprintf(f, "%d|%d|%d|%s", limited ? 1 : 0, g_runAsCalls, code, arguments);
            std::fclose(f);
        }
    }
    return code;
}
