#include "installer/registration.h"

#include "framework/system/path_text.h"
#include "framework/system/system_services.h"
#include "installer/install_folder.h"
#include "installer/installer_texts.h"

namespace {

const char kDisplayName[] = "Sorvane";
const char kDesktopLinkName[] = "Sorvane";
const char kGameMenuLink[] = "VINTAL\\Sorvane\\Sorvane";
const char kUninstallerMenuLink[] = "VINTAL\\Sorvane\\アンインストーラ";

}  // namespace

bool CRegistrationServices::WriteAppPath(const char* programName, const char* programPath) {
    return CSystemServices().WriteAppPath(programName, programPath);
}

bool CRegistrationServices::WriteUninstallEntry(const char* keyName,
                                                const char* uninstallCommand,
                                                const char* displayName) {
    return CSystemServices().WriteUninstallEntry(keyName, uninstallCommand, displayName);
}

bool CRegistrationServices::CreateDesktopShortcut(const char* targetPath, const char* linkName) {
    return CSystemServices().CreateDesktopShortcut(targetPath, linkName);
}

bool CRegistrationServices::CreateProgramsShortcut(const char* targetPath,
                                                   const char* relativeLink) {
    return CSystemServices().CreateProgramsShortcut(targetPath, relativeLink);
}

void RegisterInstallation(HWND owner, const InstallerStateData& state,
                          CRegistrationServices& services) {
    const char* programName = FileTable[0];
    char program[kMaxPath];
    char uninstaller[kMaxPath];
    // The wizard keeps the folder short enough for both paths; should they
    // still not fit, nothing is registered rather than a cut-off path.
    if (FormInstalledFilePath(program, sizeof program, state.InstallFolder, programName) &&
        FormInstalledFilePath(uninstaller, sizeof uninstaller, state.InstallFolder,
                              FileTable[1])) {
        services.WriteAppPath(programName, program);
        services.WriteUninstallEntry(programName, uninstaller, kDisplayName);
        services.CreateDesktopShortcut(program, kDesktopLinkName);
        services.CreateProgramsShortcut(program, kGameMenuLink);
        services.CreateProgramsShortcut(uninstaller, kUninstallerMenuLink);
    }
    MessageBoxA(owner, installer_text::kDoneText, installer_text::kDoneCaption,
                MB_OK | MB_ICONINFORMATION);
}
