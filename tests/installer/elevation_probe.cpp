// Runs setup's start as the entry point does (start-up checks, then the
// elevation step) and reports what happened in "<folder>\<process id>.txt":
// "<checks passed>|<runs here>|<arguments>|<current folder at start>".
// Arguments: "<folder> [hold]"; with "hold" a process that runs the
// installer keeps its instance until the event "SetupElevationProbeRelease"
// is set (at most 30 seconds). Exit code 10 + runs here.
//
// Elevation is played through the environment, since every Wine process is
// elevated: with SETUP_PROBE_LIMITED set the process reports itself as not
// elevated on a system with elevation. Its "runas" removes the variable and
// starts the copy through the system (Wine starts the program directly),
// just as a real elevation gives the copy a full token; with
// SETUP_PROBE_STAYS_LIMITED it keeps the variable (a "runas" that does not
// elevate), and with SETUP_PROBE_DECLINE the user says No.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "framework/system/elevation.h"
#include "framework/system/elevation_rules.h"
#include "installer/elevated_start.h"
#include "installer/startup.h"

namespace {

bool Has(const char* variable) { return GetEnvironmentVariableA(variable, nullptr, 0) != 0; }

ElevationState ProbeQuery() {
    if (Has("SETUP_PROBE_LIMITED")) return ElevationState{true, false};
    return SystemQueryElevation();
}

BOOL WINAPI ProbeRunAs(SHELLEXECUTEINFOA* info) {
    if (Has("SETUP_PROBE_DECLINE")) {
        SetLastError(ERROR_CANCELLED);
        return FALSE;
    }
    if (!Has("SETUP_PROBE_STAYS_LIMITED")) SetEnvironmentVariableA("SETUP_PROBE_LIMITED", nullptr);
    return ShellExecuteExA(info);
}

const ElevationCalls kProbeCalls = {&ProbeQuery, &ProbeRunAs};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    bool hold = argc > 2 && std::strcmp(argv[2], "hold") == 0;
    SetElevationCalls(&kProbeCalls);

    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof folder, folder);
    bool checks = RunStartupChecks();
    bool here = checks && InstallerRunsHere();

    char report[MAX_PATH];
    std::snprintf(report, sizeof report, "%s\\%lu.txt", argv[1], GetCurrentProcessId());
    if (FILE* f = std::fopen(report, "wb")) {
        std::fprintf(f, "%d|%d|%s|%s", checks ? 1 : 0, here ? 1 : 0,
                     CommandLineArguments(GetCommandLineA()), folder);
        std::fclose(f);
    }
    if (here && hold) {
        HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "SetupElevationProbeRelease");
        WaitForSingleObject(release, 30000);
        CloseHandle(release);
    }
    EndStartup();
    return 10 + (here ? 1 : 0);
}
