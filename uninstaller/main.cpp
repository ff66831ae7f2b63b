// Entry point of UnInstall.exe.
#include <windows.h>

#include "framework/system/dll_search.h"
#include "framework/system/path_utils.h"
#include "framework/system/single_instance_guard.h"
#include "uninstaller/uninstall_system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    // Before anything can load a DLL by name: never from the program's folder
    // or the current folder (the temporary copy runs from the Temp folder).
    RestrictDllSearch();
    SetErrorMode(SEM_FAILCRITICALERRORS);
    const UninstallCommand command = ParseUninstallCommand(commandLine, AnsiLeadBytes());
    if (command.mode == UninstallMode::kInvalid)
        return static_cast<int>(UninstallResult::kBadCommandLine);
    if (command.mode == UninstallMode::kCleanup) return static_cast<int>(RunCleanup(command));

    CSingleInstanceGuard guard;
    guard.Acquire();
    if (!guard.IsFirstInstance()) return static_cast<int>(UninstallResult::kAlreadyRunning);

    char self[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return static_cast<int>(UninstallResult::kNotInstalled);

    CUninstallRegistry registry;
    CUninstallFiles files;
    CUninstallShell shell;
    CMessageBoxPrompts boxes;
    CQuietPrompts quiet;
    UninstallServices services{registry, files, shell,
                               command.mode == UninstallMode::kQuiet
                                   ? static_cast<IUninstallPrompts&>(quiet)
                                   : static_cast<IUninstallPrompts&>(boxes)};
    return static_cast<int>(RunUninstall(self, AnsiLeadBytes(), services));
}
