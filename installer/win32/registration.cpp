#include "installer/win32/registration.h"

#include "framework/log/win32/run_log.h"
#include "framework/system/path_text.h"
#include "framework/system/win32/system_services.h"
#include "installer/install_folder.h"
#include "installer/installation_names.h"
#include "installer/installer_texts.h"

namespace {

using namespace installation_name;

const char kQuietSwitch[] = "/S";

// "EstimatedSize" is in KiB, rounded up, and a 32-bit value.
std::uint32_t KiBytes(std::uint64_t bytes) {
    const std::uint64_t kib = bytes / 1024 + (bytes % 1024 != 0);
    return kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(kib);
}

// The values beside the name and command; false when one was not written
// or its text could not be formed.
bool WriteDetails(const InstallerStateData& state, const char* program, const char* uninstaller,
                  CRegistrationServices& services) {
    char quiet[kMaxPath + 8];
    if (!FormatText(quiet, sizeof quiet, "\"%s\" %s", uninstaller, kQuietSwitch)) return false;
    const UninstallDetails details = {program, kPublisher, state.InstallFolder, quiet,
                                      KiBytes(services.InstalledBytes(state.InstallFolder))};
    return services.WriteUninstallDetails(FileTable[0], details);
}

// Logs a step that has just ended; passes its result on.
bool Logged(bool done, const char* step, const char* what) {
    const SystemError error{GetLastError()};
    CLogLine line;
    line << "registration: " << step << " " << what << ": ";
    if (done) {
        line << "done";
    } else {
        line << "failed, " << error;
    }
    return done;
}

}  // namespace

bool CRegistrationServices::WriteAppPath(const char* programName, const char* programPath) {
    return CSystemServices().WriteAppPath(programName, programPath);
}

bool CRegistrationServices::WriteUninstallEntry(const char* keyName,
                                                const char* uninstallCommand,
                                                const char* displayName) {
    return CSystemServices().WriteUninstallEntry(keyName, uninstallCommand, displayName);
}

bool CRegistrationServices::WriteUninstallDetails(const char* keyName,
                                                  const UninstallDetails& details) {
    return CSystemServices().WriteUninstallDetails(keyName, details);
}

std::uint64_t CRegistrationServices::InstalledBytes(const char* folder) {
    std::uint64_t total = 0;
    for (const char* name : InstalledFileTable) {
        char path[kMaxPath];
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (FormInstalledFilePath(path, sizeof path, folder, name) &&
            GetFileAttributesExA(path, GetFileExInfoStandard, &data))
            total += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return total;
}

bool CRegistrationServices::CreateDesktopShortcut(const char* targetPath, const char* linkName) {
    return CSystemServices().CreateDesktopShortcut(targetPath, linkName);
}

bool CRegistrationServices::CreateProgramsShortcut(const char* targetPath,
                                                   const char* relativeLink) {
    return CSystemServices().CreateProgramsShortcut(targetPath, relativeLink);
}

bool RegisterGame(const InstallerStateData& state, CRegistrationServices& services) {
    const char* programName = FileTable[0];
    char program[kMaxPath];
    char uninstaller[kMaxPath];
    // The command quoted: a path with spaces ("C:\Program Files (x86)\...")
    // taken apart at the first space would name "C:\Program.exe".
    char command[kMaxPath + 2];
    // The wizard keeps the folder short enough for both paths; should they
    // still not fit, nothing is registered rather than a cut-off path.
    if (!FormInstalledFilePath(program, sizeof program, state.InstallFolder, programName) ||
        !FormInstalledFilePath(uninstaller, sizeof uninstaller, state.InstallFolder,
                               FileTable[1]) ||
        !FormatText(command, sizeof command, "\"%s\"", uninstaller)) {
        CLogLine() << "registration: the paths of " << state.InstallFolder << " do not fit";
        return false;
    }
    // Every step runs whatever the earlier ones did. The further values go
    // only into an entry that has its name and command, never into a key of
    // their own.
    int failed = 0;
    failed += !Logged(services.WriteAppPath(programName, program), "App Paths entry", program);
    if (Logged(services.WriteUninstallEntry(programName, command, kDisplayName),
               "uninstall entry", command))
        failed += !Logged(WriteDetails(state, program, uninstaller, services),
                          "uninstall entry's details of", programName);
    else
        ++failed;
    failed += !Logged(services.CreateDesktopShortcut(program, kDesktopLink), "desktop shortcut",
                      kDesktopLink);
    failed += !Logged(services.CreateProgramsShortcut(program, kGameMenuLink),
                      "Start-menu shortcut", kGameMenuLink);
    failed += !Logged(services.CreateProgramsShortcut(uninstaller, kUninstallerMenuLink),
                      "Start-menu shortcut", kUninstallerMenuLink);
    return failed == 0;
}

bool RegisterInstallation(HWND owner, const InstallerStateData& state,
                          CRegistrationServices& services) {
    const bool complete = RegisterGame(state, services);
    // The files are in place either way, so the end is still announced; but
    // without its entries the next start would not find the game (and offer
    // to install it again), so the user is told first.
    if (!complete) {
        MessageBoxA(owner, installer_text::kRegistrationIncompleteText, installer_text::kErrorCaption,
                    MB_OK | MB_ICONEXCLAMATION);
    }
    MessageBoxA(owner, installer_text::kDoneText, installer_text::kDoneCaption,
                MB_OK | MB_ICONINFORMATION);
    return complete;
}
