// Registry and shell services of the installer: App Paths and Uninstall
// entries, the program-files folder, shell shortcuts and the folder picker.
// Nothing is kept between calls; failures are only reported, never shown,
// and the writes leave the system's error number of a failure as the
// thread's last error.
//
// Paths are UTF-16 as the system gives them, up to 259 characters (buffers
// of kMaxPath wide characters); the names the programs give (registry keys,
// display names, link names) are their own Shift-JIS texts, converted with
// code page 932. Everything goes through the wide functions.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "framework/system/registry_keys.h"

// How a string value read from the registry came out.
enum class RegistryString { kFound, kNoValue, kNotString, kTooLong };

// Reads the string value `name` of `key` into `out` (kMaxPath wide
// characters) and terminates it: the registry does not promise a
// terminating zero. kFound only for a REG_SZ or REG_EXPAND_SZ value of at
// most 259 characters; `out` is undefined otherwise.
RegistryString ReadRegistryString(HKEY key, const wchar_t* name, wchar_t* out);

// The values of an uninstall entry that the system's list of programs shows
// besides its name and command.
struct UninstallDetails {
    const wchar_t* displayIcon;           // "DisplayIcon": the program whose icon is shown
    const char* publisher;                // "Publisher" (the program's own name)
    const wchar_t* installLocation;       // "InstallLocation"
    const wchar_t* quietUninstallString;  // "QuietUninstallString"
    std::uint32_t estimatedSizeKiB;       // "EstimatedSize" (REG_DWORD)
};

class CSystemServices {
public:
    virtual ~CSystemServices() = default;

    // Starts the program registered under App Paths\<programName> in its
    // registered working folder, with the system's default error mode. An
    // elevated process has the desktop shell start it as the signed-in user
    // (StartAsShellUser), and starts it itself only where no shell runs.
    // True when it was started; false when a value is missing, the program
    // file is gone or the system or the shell refused to start it (the
    // installer then runs, so a damaged installation can be repaired).
    bool LaunchInstalledApp(const char* programName);

    // App Paths\<programName>: default value = `programPath`, "Path" = its
    // folder. True when the key and both values were written.
    bool WriteAppPath(const char* programName, const wchar_t* programPath);

    // Uninstall\<keyName>: "DisplayName" and "UninstallString".
    bool WriteUninstallEntry(const char* keyName, const wchar_t* uninstallCommand,
                             const char* displayName);

    // Uninstall\<keyName>: the values of `details`, and "NoModify" and
    // "NoRepair" as the REG_DWORD 1. True when the key and every value were
    // written.
    bool WriteUninstallDetails(const char* keyName, const UninstallDetails& details);

    // "ProgramFilesDir" of the local machine into `out` (kMaxPath wide
    // characters). False, `out` unchanged, when it cannot be read.
    bool ReadProgramFilesDir(wchar_t* out);

    // Writes a shell link to `targetPath` at `linkPath`, working folder = the
    // target's folder, creating the link's folders. True when the link file
    // was saved.
    bool CreateShortcut(const wchar_t* targetPath, const wchar_t* linkPath);

    // "<Desktop>\<linkName>.lnk". False when the desktop folder cannot be
    // read, the link path would not fit or the link was not saved.
    bool CreateDesktopShortcut(const wchar_t* targetPath, const char* linkName);

    // "<Programs>\<relativeLink>.lnk"; `relativeLink` may name sub-folders,
    // which are created. True when the link was saved.
    bool CreateProgramsShortcut(const wchar_t* targetPath, const char* relativeLink);

    // The current user's desktop folder as the shell records it ("Desktop"
    // of Shell Folders), where CreateDesktopShortcut puts its links, into
    // `out` (kMaxPath wide characters). False when it cannot be read or
    // would not fit.
    bool ReadDesktopFolder(wchar_t* out);

    // The Start menu's Programs folder of the current user, where
    // CreateProgramsShortcut puts its links, into `out` (kMaxPath wide
    // characters).
    bool ReadProgramsFolder(wchar_t* out);

    // Shows the shell folder picker with the title `title`. True with the
    // chosen folder in `out` (kMaxPath wide characters); false when the user
    // cancelled.
    bool BrowseForFolder(const char* title, wchar_t* out);
};

