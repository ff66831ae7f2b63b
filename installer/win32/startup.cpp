#include "installer/win32/startup.h"

#include <windows.h>

#include <string>

#include "framework/log/win32/run_log.h"
#include "framework/system/win32/file_finder.h"
#include "framework/system/path_text.h"
#include "framework/system/win32/single_instance_guard.h"
#include "framework/system/win32/system_services.h"
#include "installer/installation_names.h"
#include "installer/installer_state.h"

namespace {

// GetDriveType's answers, for the log.
const char* const kDriveTypes[] = {"unknown type", "no drive",  "removable", "fixed disk",
                                   "network",      "CD-ROM",    "RAM disk"};

// "X:\" of a drive letter.
std::wstring DriveRoot(char letter) { return {static_cast<wchar_t>(letter), L':', L'\\'}; }

bool DriveHasVolume(const wchar_t* root) {
    wchar_t volume[kMaxPath];
    return GetVolumeInformationW(root, volume, kMaxPath, nullptr, nullptr, nullptr, nullptr, 0) !=
           FALSE;
}

// Whether drive `letter` has "data\data\<fileName>"; a drive that is there
// at all is logged with its type and what was found.
bool DriveHolds(char letter, const char* fileName, bool* pathFits) {
    const std::wstring root = DriveRoot(letter);
    const UINT type = GetDriveTypeW(root.c_str());
    const char* typeText = type < sizeof kDriveTypes / sizeof kDriveTypes[0] ? kDriveTypes[type]
                                                                           : kDriveTypes[0];
    if (!DriveHasVolume(root.c_str())) {
        const SystemError error{GetLastError()};
        if (type != DRIVE_NO_ROOT_DIR)
            CLogLine() << "  " << root.c_str() << " " << typeText << ": no volume, " << error;
        return false;
    }
    char marker[kMaxPath];
    *pathFits = FormatText(marker, sizeof marker, "%c:\\data\\data\\%s", letter, fileName);
    if (!*pathFits) return false;
    CFileFinder finder;
    if (!finder.Find(marker)) {
        const SystemError error{GetLastError()};
        CLogLine() << "  " << root.c_str() << " " << typeText << ": not there, " << error;
        return false;
    }
    CLogLine() << "  " << root.c_str() << " " << typeText << ": found";
    return true;
}

}  // namespace

CSingleInstanceGuard& SetupInstanceGuard() {
    static CSingleInstanceGuard guard;
    return guard;
}

bool FindInstallDisc() { return FindDiscHolding(kDiscMarkerFile); }

bool FindDiscHolding(const char* fileName) {
    CLogLine() << "looking for data\\data\\" << fileName << " on the drives C: to Z:";
    for (char letter = 'c'; letter <= 'z'; ++letter) {
        bool pathFits = true;
        const bool found = DriveHolds(letter, fileName, &pathFits);
        if (!pathFits) return false;
        if (!found) continue;

        SetCurrentDirectoryW(DriveRoot(letter).c_str());
        FormatText(InstallerState.SourceRoot, sizeof InstallerState.SourceRoot, "%c:\\", letter);
        FormatText(InstallerState.DataPath, sizeof InstallerState.DataPath, "%c:\\data\\data",
                   letter);
        return true;
    }
    CLogLine() << "no drive has data\\data\\" << fileName;
    return false;
}

StartupResult RunStartupChecks(bool unattended) {
    CSingleInstanceGuard& guard = SetupInstanceGuard();
    guard.Acquire();
    // A second start must not touch the running one's log.
    if (!guard.IsFirstInstance()) return StartupResult::kAlreadyRunning;
    BeginRunLog(installation_name::kSetupLog, "Sorvane setup",
                guard.TookOver() ? CRunLog::Start::kContinue : CRunLog::Start::kNew);

    FindInstallDisc();

    if (unattended) {
        CLogLine() << "unattended: an installed game is not started but installed again";
        return StartupResult::kRunInstaller;
    }
    CSystemServices services;
    if (services.LaunchInstalledApp(kGameProgramFile)) {
        CLogLine() << "the installed game was started";
        return StartupResult::kGameStarted;
    }
    CLogLine() << "no installed game was started: setup runs";
    return StartupResult::kRunInstaller;
}

void EndStartup() { SetupInstanceGuard().Release(); }
