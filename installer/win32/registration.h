// Registration of the installed game and the completion message: App Paths
// and Uninstall entries, a desktop shortcut and two Start-menu shortcuts.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/system/win32/system_services.h"
#include "installer/installer_state.h"

// The system services registration uses; the defaults are those of
// CSystemServices. Results are reported but registration goes on regardless.
// Paths are UTF-16, naming the folder exactly as the user chose it; names
// and texts are the program's own Shift-JIS ones.
class CRegistrationServices {
public:
    virtual ~CRegistrationServices() = default;
    virtual bool WriteAppPath(const char* programName, const wchar_t* programPath);
    virtual bool WriteUninstallEntry(const char* keyName, const wchar_t* uninstallCommand,
                                     const char* displayName);
    // The values beside the name and command that the list of installed
    // programs shows (icon, publisher, folder, size, quiet command).
    virtual bool WriteUninstallDetails(const char* keyName, const UninstallDetails& details);
    // Bytes of the installed files present in `folder`.
    virtual std::uint64_t InstalledBytes(const wchar_t* folder);
    virtual bool CreateDesktopShortcut(const wchar_t* targetPath, const char* linkName);
    virtual bool CreateProgramsShortcut(const wchar_t* targetPath, const char* relativeLink);
};

// Registers the game installed in `state.InstallFolder`: the App Paths
// entry, the uninstall entry with its details and the three shortcuts, each
// step logged with its result. A failed step does not stop the later ones.
// True when every step succeeded.
bool RegisterGame(const InstallerStateData& state, CRegistrationServices& services);

// RegisterGame, then tells the user, with a message box owned by `owner`,
// that setup is complete; when a step failed, one message saying that the
// registration could not be completed comes before the completion message.
// Returns when the user has dismissed the messages; true when every step
// succeeded.
bool RegisterInstallation(HWND owner, const InstallerStateData& state,
                          CRegistrationServices& services);
