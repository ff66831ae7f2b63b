#include "uninstaller/win32/uninstall_system.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>

#include "framework/system/win32/elevation.h"
#include "framework/system/elevation_rules.h"
#include "framework/system/win32/path_utils.h"
#include "framework/system/win32/system_services.h"
#include "framework/system/win32/unique_handle.h"
#include "installer/installer_state.h"
#include "uninstaller/uninstall_texts.h"

namespace {

// The original has usually ended long before; the bounds only keep a copy
// from waiting for ever on a process that hangs.
constexpr DWORD kOriginalEndWait = 60000;
constexpr int kDeleteAttempts = 50;
constexpr DWORD kDeleteRetryMs = 100;

const char kInstallParentName[] = "Vintal";

bool IsGone(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool DeleteKey(const char* format, const char* name) {
    char path[kMaxPath * 2];
    if (!FormatText(path, sizeof path, format, name)) return false;
    const LONG status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
    return status == ERROR_SUCCESS || IsGone(static_cast<DWORD>(status));
}

bool ModulePath(char* out) {
    const DWORD length = GetModuleFileNameA(nullptr, out, kMaxPath);
    return length > 0 && length < kMaxPath;
}

// What an open that failed with `error` says of the file: only a sharing
// or lock violation is another process's use.
FileState StateAfterFailedOpen(DWORD error) {
    if (IsGone(error)) return FileState::kMissing;
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return FileState::kInUse;
    return FileState::kNoAccess;
}

}  // namespace

AppPathRead CUninstallRegistry::ReadAppPath(const char* programName, char* out) {
    char path[kMaxPath * 2];
    if (!FormatText(path, sizeof path, kAppPathsKeyFormat, programName))
        return AppPathRead::kMissing;
    unique_hkey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return AppPathRead::kMissing;
    DWORD type = 0;
    DWORD size = kMaxPath;
    const LONG status =
        RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(out), &size);
    if (status == ERROR_MORE_DATA) return AppPathRead::kTooLong;
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return AppPathRead::kNotString;
    // The registry does not promise a terminator: 259 characters fit only
    // when the last byte is one.
    if (size >= kMaxPath) return out[kMaxPath - 1] == '\0' ? AppPathRead::kFound
                                                           : AppPathRead::kTooLong;
    out[size] = '\0';
    return AppPathRead::kFound;
}

bool CUninstallRegistry::DeleteAppPath(const char* programName) {
    return DeleteKey(kAppPathsKeyFormat, programName);
}

bool CUninstallRegistry::DeleteUninstallEntry(const char* keyName) {
    return DeleteKey(kUninstallKeyFormat, keyName);
}

bool CUninstallFiles::FolderExists(const char* folder) {
    const DWORD attributes = GetFileAttributesA(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

FileState CUninstallFiles::Probe(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return StateAfterFailedOpen(GetLastError());
    // Opened without any sharing: any other open handle (or a running
    // program's image, which refuses write access) makes this fail.
    DWORD access = GENERIC_READ | DELETE;
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) access |= GENERIC_WRITE;
    unique_hfile file(
        CreateFileA(path, access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return FileState::kRemovable;
    return StateAfterFailedOpen(GetLastError());
}

bool CUninstallFiles::RemoveFile(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return IsGone(GetLastError());
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path) || IsGone(GetLastError());
}

bool CUninstallFiles::RemoveEmptyFolder(const char* folder) {
    return RemoveDirectoryA(folder) || IsGone(GetLastError());
}

bool CUninstallFiles::HoldsOtherThan(const char* folder, const char* except) {
    char pattern[kMaxPath];
    if (!FormatText(pattern, sizeof pattern, "%s\\*", folder)) return true;
    WIN32_FIND_DATAA entry;
    unique_hfind search(FindFirstFileA(pattern, &entry));
    if (!search) return false;
    do {
        if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0)
            continue;
        if (lstrcmpiA(entry.cFileName, except) != 0) return true;
    } while (FindNextFileA(search.get(), &entry));
    return false;
}

CUninstallFiles::~CUninstallFiles() {
    if (copy_[0] != '\0') DeleteFileA(copy_);
}

bool CUninstallFiles::PrepareSelfRemoval(const char* folder) {
    char self[kMaxPath];
    char temp[kMaxPath];
    char copy[MAX_PATH];
    if (!ModulePath(self) || !CopyText(folder_, folder)) return false;
    const DWORD tempLength = GetTempPathA(sizeof temp, temp);
    if (tempLength == 0 || tempLength >= sizeof temp) return false;
    if (!GetTempFileNameA(temp, "uni", 0, copy)) return false;
    if (!CopyFileA(self, copy, FALSE) || !CopyText(copy_, copy)) {
        DeleteFileA(copy);
        return false;
    }
    return true;
}

void CUninstallFiles::StartSelfRemoval() {
    if (copy_[0] == '\0') return;
    char temp[kMaxPath];
    const DWORD tempLength = GetTempPathA(sizeof temp, temp);
    // The copy waits on this process through a handle it inherits: a
    // process id could be reused once this process has ended.
    HANDLE raw = nullptr;
    bool started = false;
    if (tempLength > 0 && tempLength < sizeof temp &&
        DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &raw,
                        SYNCHRONIZE, TRUE, 0)) {
        unique_handle inheritable(raw);
        char arguments[kMaxPath + 64];
        char commandLine[kMaxPath * 2 + 64];
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        // The copy runs in the temporary folder, so the installation folder
        // is nobody's current directory when it is removed.
        started =
            FormatCleanupArguments(arguments, sizeof arguments,
                                   static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(raw)),
                                   folder_) &&
            FormatText(commandLine, sizeof commandLine, "\"%s\" %s", copy_, arguments) &&
            CreateProcessA(copy_, commandLine, nullptr, nullptr, TRUE, 0, nullptr, temp, &startup,
                           &info);
        if (started) {
            unique_handle process(info.hProcess);
            unique_handle thread(info.hThread);
        }
    }
    if (started) {
        copy_[0] = '\0';  // the copy's own now
        return;
    }
    // No copy runs: at least the program file goes at the next restart.
    char self[kMaxPath];
    if (ModulePath(self)) MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

bool CUninstallShell::DesktopFolder(char* out) { return CSystemServices().ReadDesktopFolder(out); }

bool CUninstallShell::ProgramsFolder(char* out) {
    return CSystemServices().ReadProgramsFolder(out);
}

bool CMessageBoxPrompts::ConfirmRemoval() {
    return MessageBoxA(nullptr, uninstall_text::kConfirm, uninstall_text::kCaption,
                       MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

bool CMessageBoxPrompts::RetryInUse(const char* text) {
    return MessageBoxA(nullptr, text, uninstall_text::kCaption,
                       MB_RETRYCANCEL | MB_ICONWARNING | MB_SETFOREGROUND) == IDRETRY;
}

void CMessageBoxPrompts::ShowMessage(const char* text, MessageIcon icon) {
    UINT style = MB_OK | MB_SETFOREGROUND;
    switch (icon) {
    case MessageIcon::kInformation: style |= MB_ICONINFORMATION; break;
    case MessageIcon::kWarning: style |= MB_ICONWARNING; break;
    case MessageIcon::kError: style |= MB_ICONERROR; break;
    }
    MessageBoxA(nullptr, text, uninstall_text::kCaption, style);
}

bool CUninstallElevation::RunsHere(UninstallResult* result) {
    const ElevationState state = QueryElevation();
    if (!NeedsElevatedRelaunch(true, state.elevated, state.available)) return true;
    unique_handle copy;
    switch (RelaunchElevated(&copy)) {
    case RelaunchResult::Failed: return true;
    case RelaunchResult::Declined:
        *result = UninstallResult::kCancelled;
        return false;
    case RelaunchResult::HandedOver: break;
    }
    guard_.Release();  // the copy is waiting for the instance
    // Without a process handle the copy's outcome cannot be learnt: this
    // process did nothing while another uninstaller runs.
    *result = UninstallResult::kAlreadyRunning;
    DWORD code = 0;
    // As long as the copy runs: it may wait for the user's answers.
    if (copy && WaitForSingleObject(copy.get(), INFINITE) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(copy.get(), &code))
        *result = static_cast<UninstallResult>(code);
    return false;
}

int RunUninstaller(const char* arguments) {
    const UninstallCommand command = ParseUninstallCommand(arguments, AnsiLeadBytes());
    if (command.mode == UninstallMode::kInvalid)
        return static_cast<int>(UninstallResult::kBadCommandLine);
    // The cleanup copy is started by an uninstaller that has already done
    // its work, elevated where needed: it never asks for elevation itself.
    if (command.mode == UninstallMode::kCleanup) return static_cast<int>(RunCleanup(command));

    CSingleInstanceGuard guard;
    guard.Acquire();
    if (!guard.IsFirstInstance()) return static_cast<int>(UninstallResult::kAlreadyRunning);

    char self[kMaxPath] = {};
    if (!ModulePath(self)) return static_cast<int>(UninstallResult::kNotInstalled);

    CUninstallRegistry registry;
    CUninstallFiles files;
    CUninstallShell shell;
    CMessageBoxPrompts boxes;
    CQuietPrompts quiet;
    CUninstallElevation elevation(guard);
    UninstallServices services{registry, files, shell,
                               command.mode == UninstallMode::kQuiet
                                   ? static_cast<IUninstallPrompts&>(quiet)
                                   : static_cast<IUninstallPrompts&>(boxes),
                               elevation};
    return static_cast<int>(RunUninstall(self, AnsiLeadBytes(), services));
}

UninstallResult RunCleanup(const UninstallCommand& command) {
    {
        unique_handle original(reinterpret_cast<HANDLE>(
            static_cast<std::uintptr_t>(command.waitHandle)));
        WaitForSingleObject(original.get(), kOriginalEndWait);
    }
    char target[kMaxPath];
    if (!FormatText(target, sizeof target, "%s\\%s", command.folder, FileTable[1]))
        return UninstallResult::kBadCommandLine;
    // The original's image may stay locked a moment after its end.
    CUninstallFiles files;
    for (int attempt = 0; attempt < kDeleteAttempts && !files.RemoveFile(target); ++attempt)
        Sleep(kDeleteRetryMs);
    files.RemoveEmptyFolder(command.folder);
    char parent[kMaxPath];
    if (FolderOfPath(parent, sizeof parent, command.folder, AnsiLeadBytes()) &&
        FolderNameIs(parent, kInstallParentName, AnsiLeadBytes())) {
        RemoveDirectoryA(parent);
    }
    char self[kMaxPath];
    if (ModulePath(self)) MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return UninstallResult::kRemoved;
}
