#include "installer/win32/startup.h"

#include <windows.h>

#include <string>

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

// "X:\" of a drive letter.
std::wstring DriveRoot(char letter) { return {static_cast<wchar_t>(letter), L':', L'\\'}; }

bool DriveHasVolume(char letter) {
    wchar_t volume[kMaxPath];
    return GetVolumeInformationW(DriveRoot(letter).c_str(), volume, kMaxPath, nullptr, nullptr,
                                 nullptr, nullptr, 0) != FALSE;
}

}  // namespace

bool FindInstallDisc() { return FindDiscHolding(kDiscMarkerFile); }

bool FindDiscHolding(const char* fileName) {
    for (char letter = 'c'; letter <= 'z'; ++letter) {
        if (!DriveHasVolume(letter)) continue;

        char marker[kMaxPath];
        if (!FormatText(marker, sizeof marker, "%c:\\data\\data\\%s", letter, fileName)) {
            return false;
        }
        CFileFinder finder;
        if (!finder.Find(marker)) continue;
        finder.Close();

        SetCurrentDirectoryW(DriveRoot(letter).c_str());
        FormatText(InstallerState.SourceRoot, sizeof InstallerState.SourceRoot, "%c:\\", letter);
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
