// The removal sequence of UnInstall.exe, without Win32: where it runs from,
// the question, the in-use check, what it removes and keeps, the final
// message. It works over six small interfaces (registry, files, shell
// folders, prompts, elevation, the widening of its Shift-JIS texts and
// names) so that its order and failure paths are tested with fakes;
// uninstall_system.h has the real ones.
//
// Paths come from the system (the program's own file, the registered
// program, the shell's folders) and are UTF-16 throughout, up to 259
// characters; the installation's names and the messages are Shift-JIS and
// are widened where they join a path or a message.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "framework/system/text_widener.h"
#include "framework/system/wide_path_text.h"

// The process exit codes of UnInstall.exe.
enum class UninstallResult : int {
    kRemoved = 0,         // removed; other files of the folder may have been kept
    kCancelled = 1,       // the user answered No
    kNotInstalled = 2,    // no installation registered in this folder: nothing removed
    kInvalidEntry = 3,    // a registration that cannot be trusted: nothing removed
    kInUse = 4,           // an installed file in use, not retried: nothing removed
    kIncomplete = 5,      // removed, but some items could not be removed
    kAlreadyRunning = 6,  // another uninstaller runs: nothing done
    kBadCommandLine = 7,  // the cleanup copy was started with unusable arguments
    kNoRights = 8,        // an installed file this user may not remove: nothing removed
};

enum class AppPathRead { kFound, kMissing, kNotString, kTooLong };

class IUninstallRegistry {
public:
    virtual ~IUninstallRegistry() = default;
    // The default value of App Paths\<programName> into `out` (at most
    // kMaxPath - 1 characters) when kFound; `out` is undefined otherwise.
    virtual AppPathRead ReadAppPath(const char* programName, std::u16string* out) = 0;
    // Delete App Paths\<programName> / Uninstall\<keyName>. True when the
    // key is gone afterwards, also when it was never there.
    virtual bool DeleteAppPath(const char* programName) = 0;
    virtual bool DeleteUninstallEntry(const char* keyName) = 0;
};

// kInUse: open elsewhere (a sharing or lock violation), may be freed by
// ending the game; kNoAccess: this user may not remove it (no
// administrator rights, or any other refusal that a retry cannot cure).
enum class FileState { kMissing, kRemovable, kInUse, kNoAccess };

class IUninstallFiles {
public:
    virtual ~IUninstallFiles() = default;
    virtual bool FolderExists(const std::u16string& folder) = 0;
    // Whether the file could be deleted now; deletes nothing.
    virtual FileState Probe(const std::u16string& path) = 0;
    // True when the file is gone afterwards, also when it was never there.
    virtual bool RemoveFile(const std::u16string& path) = 0;
    // Removes the folder only when it is empty. True when it is gone.
    virtual bool RemoveEmptyFolder(const std::u16string& folder) = 0;
    // True when `folder` holds anything besides the file named `except`.
    virtual bool HoldsOtherThan(const std::u16string& folder, const std::u16string& except) = 0;
    // Makes the temporary copy of the running uninstaller that removes the
    // uninstaller itself and then the empty folder once this process ended.
    // False when it cannot be made.
    virtual bool PrepareSelfRemoval(const std::u16string& folder) = 0;
    // Starts the prepared copy. Called last, after the final message, so the
    // copy's wait for this process is short however long the user reads.
    virtual void StartSelfRemoval() = 0;
};

class IUninstallShell {
public:
    virtual ~IUninstallShell() = default;
    // The current user's desktop folder and the Start menu's Programs
    // folder into `out`. False when unknown.
    virtual bool DesktopFolder(std::u16string* out) = 0;
    virtual bool ProgramsFolder(std::u16string* out) = 0;
};

enum class MessageIcon { kInformation, kWarning, kError };

class IUninstallPrompts {
public:
    virtual ~IUninstallPrompts() = default;
    // The Yes/No question; true for Yes.
    virtual bool ConfirmRemoval() = 0;
    // Retry/Cancel about a file in use; true for Retry.
    virtual bool RetryInUse(const std::u16string& text) = 0;
    virtual void ShowMessage(const std::u16string& text, MessageIcon icon) = 0;
};

// Quiet mode (/S): yes to the question, no retry, no message.
class CQuietPrompts : public IUninstallPrompts {
public:
    bool ConfirmRemoval() override { return true; }
    bool RetryInUse(const std::u16string&) override { return false; }
    void ShowMessage(const std::u16string&, MessageIcon) override {}
};

// Where the removal runs once it is known there is something to remove: in
// this process, or in an elevated copy of the program.
class IUninstallElevation {
public:
    virtual ~IUninstallElevation() = default;
    // True when the removal runs in this process. False when it does not;
    // `*result` is then this process's exit code: the elevated copy's own,
    // or kCancelled when the user declined elevation.
    virtual bool RunsHere(UninstallResult* result) = 0;
};

struct UninstallServices {
    IUninstallRegistry& registry;
    IUninstallFiles& files;
    IUninstallShell& shell;
    IUninstallPrompts& prompts;
    IUninstallElevation& elevation;
    const ITextWidener& text;
};

// Removes the installation that `modulePath` (the running uninstaller's own
// file) belongs to, when it is the one registered.
UninstallResult RunUninstall(std::u16string_view modulePath, UninstallServices& services);

// The folder part of `path` (before its last inner '\') into `out`. False
// when `path` has no such separator.
bool FolderOfPath(std::u16string* out, std::u16string_view path);

// True when both name the same folder: ASCII letters in any case, '/' or
// '\', one trailing separator or none. Other characters compare exactly.
bool SameFolder(std::u16string_view a, std::u16string_view b);

// True when the last name of `folder` is `name` in any ASCII case.
bool FolderNameIs(std::u16string_view folder, std::u16string_view name);
