// Runs setup's start as the entry point does (start-up checks, then the
// elevation step) and reports what happened in "<folder>\<process id>.txt":
// "<checks passed>|<runs here>|<arguments>|<current folder at start>", in
// UTF-8.
// Arguments: "<folder> [hold]"; with "hold" a process that runs the
// installer keeps its instance until the event "SetupElevationProbeRelease"
// is set (at most 30 seconds). Exit code 10 + runs here.
//
// Elevation is played through the environment (tests/support/win32/elevation_seam.h).
#include <windows.h>

#include <cstdio>
#include <cstring>

#include <string>

#include "framework/system/elevation_rules.h"
#include "framework/system/win32/unique_handle.h"
#include "framework/system/win32/wide_text.h"
#include "installer/win32/elevated_start.h"
#include "installer/win32/startup.h"
#include "tests/support/win32/elevation_seam.h"
#include "tools/automation/win32/scratch.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    bool hold = argc > 2 && std::strcmp(argv[2], "hold") == 0;
    elevation_seam::Install();

    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    bool checks = RunStartupChecks(false) == StartupResult::kRunInstaller;
    int exitCode = 0;
    bool here = checks && InstallerRunsHere(false, &exitCode);

    char report[MAX_PATH];
    std::snprintf(report, sizeof report, "%s\\%lu.txt", argv[1], GetCurrentProcessId());
    if (FILE* f = std::fopen(report, "wb")) {
        const std::wstring arguments = AsWide(CommandLineArguments(AsUtf16(GetCommandLineW())));
        std::fprintf(f, "%d|%d|%s|%s", checks ? 1 : 0, here ? 1 : 0, Utf8(arguments).c_str(),
                     Utf8(folder).c_str());
        std::fclose(f);
    }
    if (here && hold) {
        unique_handle release(CreateEventW(nullptr, TRUE, FALSE, L"SetupElevationProbeRelease"));
        WaitForSingleObject(release.get(), 30000);
    }
    EndStartup();
    return 10 + (here ? 1 : 0);
}
