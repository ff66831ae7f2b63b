// The uninstaller's interfaces over Win32: the registry in the program's own
// view (the one setup.exe, built the same way, wrote), the file system, the
// shell folders, message boxes, and the temporary copy that removes the
// running program file.
#pragma once

#include <string>
#include <string_view>

#include "framework/system/win32/single_instance_guard.h"
#include "framework/system/win32/unique_handle.h"
#include "uninstaller/uninstall_command.h"
#include "uninstaller/uninstall_sequence.h"

class CUninstallRegistry : public IUninstallRegistry {
public:
    AppPathRead ReadAppPath(const char* programName, std::u16string* out) override;
    bool DeleteAppPath(const char* programName) override;
    bool DeleteUninstallEntry(const char* keyName) override;
};

class CUninstallFiles : public IUninstallFiles {
public:
    bool FolderExists(const std::u16string& folder) override;
    FileState Probe(const std::u16string& path) override;
    bool RemoveFile(const std::u16string& path) override;
    bool RemoveEmptyFolder(const std::u16string& folder) override;
    bool HoldsOtherThan(const std::u16string& folder, const std::u16string& except) override;
    bool PrepareSelfRemoval(const std::u16string& folder) override;
    void StartSelfRemoval() override;

    // `program`: the file the temporary copy is made of; null for the
    // running program's own (tests give another).
    explicit CUninstallFiles(const wchar_t* program = nullptr) : program_(program) {}
    ~CUninstallFiles() override;  // a copy prepared but not started is deleted
    CUninstallFiles(const CUninstallFiles&) = delete;
    CUninstallFiles& operator=(const CUninstallFiles&) = delete;

    // The prepared temporary copy; empty when none.
    const std::wstring& PreparedCopy() const { return copy_; }

private:
    const wchar_t* program_;
    std::wstring copy_;    // the temporary copy, empty when none
    std::wstring folder_;
    // The copy, open for reading and shared for reading only, from the
    // moment its bytes were checked until its process has started: no
    // other process can change, replace or delete it in between.
    unique_hfile held_;
};

class CUninstallShell : public IUninstallShell {
public:
    bool DesktopFolder(std::u16string* out) override;
    bool ProgramsFolder(std::u16string* out) override;
};

// Message boxes without owner, caption "Sorvane".
class CMessageBoxPrompts : public IUninstallPrompts {
public:
    bool ConfirmRemoval() override;
    bool RetryInUse(const std::u16string& text) override;
    void ShowMessage(const std::u16string& text, MessageIcon icon) override;
};

// A process without elevation on a system with elevation hands the removal
// to an elevated copy of itself (same arguments, same folder), lets the copy
// have the instance `guard`, and waits for the copy's end: its exit code
// becomes this process's, so a caller of "/S" learns the outcome. When no
// elevated copy can be started, the removal runs here as far as the user's
// rights reach.
class CUninstallElevation : public IUninstallElevation {
public:
    explicit CUninstallElevation(CSingleInstanceGuard& guard) : guard_(guard) {}
    bool RunsHere(UninstallResult* result) override;

private:
    CSingleInstanceGuard& guard_;
};

// The whole program but for its process set-up: `arguments` is the command
// line without the program name; returns the exit code.
int RunUninstaller(std::u16string_view arguments);

// The temporary copy's work (/cleanup): waits (bounded) for the process
// behind the inherited handle to end, removes "<folder>\UnInstall.exe", the
// folder and the "Vintal" folder above it when they are empty, and
// schedules its own file for deletion. Refused (kBadCommandLine, nothing
// touched, the handle left open) unless this program is the temporary copy
// and the handle is a process of "<folder>\UnInstall.exe".
UninstallResult RunCleanup(const UninstallCommand& command);
