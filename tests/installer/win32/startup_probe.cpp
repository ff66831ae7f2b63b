// Runs the installer's start-up checks as the entry point does and reports
// what they found: exit code 10 + the result, and a report file
// "<result>|<SourceRoot>|<DataPath>|<current directory>" when a path is
// given. With "hold" it keeps the instance guard until the named event
// "SetupStartupProbeRelease" is set (at most 30 seconds); with "unattended"
// it runs the checks of an unattended installation.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "framework/system/win32/unique_handle.h"
#include "installer/installer_state.h"
#include "installer/win32/startup.h"

int main(int argc, char** argv) {
    bool hold = argc > 1 && std::strcmp(argv[1], "hold") == 0;
    bool unattended = argc > 1 && std::strcmp(argv[1], "unattended") == 0;
    const char* report = argc > 2 ? argv[2] : nullptr;

    bool run = RunStartupChecks(unattended) == StartupResult::kRunInstaller;

    if (report != nullptr) {
        char cwd[MAX_PATH] = {};
        GetCurrentDirectoryA(sizeof cwd, cwd);
        if (FILE* f = std::fopen(report, "wb")) {
            std::fprintf(f, "%d|%s|%s|%s", run ? 1 : 0, InstallerState.SourceRoot,
                         InstallerState.DataPath, cwd);
            std::fclose(f);
        }
    }
    if (hold) {
        unique_handle release(CreateEventA(nullptr, TRUE, FALSE, "SetupStartupProbeRelease"));
        WaitForSingleObject(release.get(), 30000);
    }
    EndStartup();
    return 10 + (run ? 1 : 0);
}
