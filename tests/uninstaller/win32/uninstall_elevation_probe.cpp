// UnInstall.exe's program with its elevation played through the environment,
// since every Wine process is elevated; installed as "UnInstall.exe" by the
// test (see tests/support/win32/elevation_seam.h).
// Each process reports into the folder named by UNINSTALL_PROBE_REPORTS, in
// "<process id>.txt": "<not elevated>|<runas calls>|<exit code>|<arguments>".
#include <windows.h>

#include <cstdio>

#include "framework/system/elevation_rules.h"
#include "tests/support/win32/elevation_seam.h"
#include "uninstaller/win32/uninstall_system.h"

int main() {
    elevation_seam::Install();
    const bool limited = elevation_seam::Has("SETUP_PROBE_LIMITED");
    const char* arguments = CommandLineArguments(GetCommandLineA());
    const int code = RunUninstaller(arguments);

    char folder[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("UNINSTALL_PROBE_REPORTS", folder, sizeof folder);
    char report[MAX_PATH + 32];
    if (length > 0 && length < sizeof folder &&
        std::snprintf(report, sizeof report, "%s\\%lu.txt", folder, GetCurrentProcessId()) > 0) {
        if (FILE* f = std::fopen(report, "wb")) {
            std::fprintf(f, "%d|%d|%d|%s", limited ? 1 : 0, elevation_seam::RunAsCalls(), code, arguments);
            std::fclose(f);
        }
    }
    return code;
}
