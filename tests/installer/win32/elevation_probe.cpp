// Runs setup's start as the entry point does (start-up checks, then the
// elevation step) and reports what happened in "<folder>\<process id>.txt":
// "<checks passed>|<runs here>|<arguments>|<current folder at start>".
// Arguments: "<folder> [hold]"; with "hold" a process that runs the
// installer keeps its instance until the event "SetupElevationProbeRelease"
// is set (at most 30 seconds). Exit code 10 + runs here.
//
// Elevation is played through the environment (tests/support/win32/elevation_seam.h).
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "framework/system/elevation_rules.h"
#include "framework/system/win32/unique_handle.h"
#include "installer/win32/elevated_start.h"
#include "installer/win32/startup.h"
#include "tests/support/win32/elevation_seam.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    bool hold = argc > 2 && std::strcmp(argv[2], "hold") == 0;
    elevation_seam::Install();

    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof folder, folder);
    bool checks = RunStartupChecks(false) == StartupResult::kRunInstaller;
    int exitCode = 0;
    bool here = checks && InstallerRunsHere(false, &exitCode);

    char report[MAX_PATH];
    std::snprintf(report, sizeof report, "%s\\%lu.txt", argv[1], GetCurrentProcessId());
    if (FILE* f = std::fopen(report, "wb")) {
        std::fprintf(f, "%d|%d|%s|%s", checks ? 1 : 0, here ? 1 : 0,
                     CommandLineArguments(GetCommandLineA()), folder);
        std::fclose(f);
    }
    if (here && hold) {
        unique_handle release(CreateEventA(nullptr, TRUE, FALSE, "SetupElevationProbeRelease"));
        WaitForSingleObject(release.get(), 30000);
    }
    EndStartup();
    return 10 + (here ? 1 : 0);
}
