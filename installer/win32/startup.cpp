#include "installer/win32/startup.h"

#include <windows.h>

#include "framework/system/win32/file_finder.h"
#include "framework/system/path_text.h"
#include "framework/system/win32/single_instance_guard.h"
#include "framework/system/win32/system_services.h"
#include "installer/installer_state.h"

namespace {

CSingleInstanceGuard& InstanceGuard() {
    static CSingleInstanceGuard guard;
    return guard;
}

bool DriveHasVolume(const char* root) {
    char volume[kMaxPath];
    return GetVolumeInformationA(root, volume, sizeof volume, nullptr, nullptr, nullptr,
                                 nullptr, 0) != FALSE;
}

}  // namespace

bool FindInstallDisc() { return FindDiscHolding(kDiscMarkerFile); }

bool FindDiscHolding(const char* fileName) {
    for (char letter = 'c'; letter <= 'z'; ++letter) {
        char root[8];
        FormatText(root, sizeof root, "%c:\\", letter);
        if (!DriveHasVolume(root)) continue;

        char marker[kMaxPath];
        if (!FormatText(marker, sizeof marker, "%c:\\data\\data\\%s", letter, fileName)) {
            return false;
        }
        CFileFinder finder;
        if (!finder.Find(marker)) continue;
        finder.Close();

        SetCurrentDirectoryA(root);
        CopyText(InstallerState.SourceRoot, root);
        FormatText(InstallerState.DataPath, sizeof InstallerState.DataPath, "%c:\\data\\data",
                   letter);
        return true;
    }
    return false;
}

bool RunStartupChecks() {
    CSingleInstanceGuard& guard = InstanceGuard();
    guard.Acquire();
    if (!guard.IsFirstInstance()) return false;

    FindInstallDisc();

    CSystemServices services;
    if (services.LaunchInstalledApp(kGameProgramFile)) return false;
    return true;
}

void EndStartup() { InstanceGuard().Release(); }
