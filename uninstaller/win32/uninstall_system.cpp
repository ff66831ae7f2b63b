#include "uninstaller/win32/uninstall_system.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <vector>

#include "framework/log/win32/run_log.h"
#include "framework/system/win32/elevation.h"
#include "framework/system/elevation_rules.h"
#include "framework/system/win32/message_box.h"
#include "framework/system/win32/system_services.h"
#include "framework/system/win32/unique_handle.h"
#include "framework/system/win32/wide_text.h"
#include "installer/installation_names.h"
#include "installer/installer_state.h"
#include "uninstaller/uninstall_texts.h"

// Declared by the system's headers only for builds that require Vista; the
// programs need Vista anyway (see docs/players.md).
extern "C" WINBASEAPI BOOL WINAPI QueryFullProcessImageNameW(HANDLE process, DWORD flags,
                                                             LPWSTR name, PDWORD size);

namespace {

// A program file is a few megabytes; anything larger is not ours.
constexpr DWORD kMaxProgramBytes = 64u << 20;

// The original has usually ended long before; the bounds only keep a copy
// from waiting for ever on a process that hangs.
constexpr DWORD kOriginalEndWait = 60000;
constexpr int kDeleteAttempts = 50;
constexpr DWORD kDeleteRetryMs = 100;

bool IsGone(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

const wchar_t* Path(const std::u16string& path) { return AsWide(path.c_str()); }

// Logs what became of `what` (a file, a folder or a key) that was to go,
// with the system's error when it was kept; passes on whether it is gone.
template <typename Text>
bool LoggedRemoval(const char* what, const Text* path, DWORD error) {
    CLogLine line;
    if (error == ERROR_SUCCESS) {
        line << "removed " << what << " " << path;
    } else if (IsGone(error)) {
        line << "no " << what << " " << path << " to remove";
    } else {
        line << "kept " << what << " " << path << ": " << SystemError{error};
    }
    return error == ERROR_SUCCESS || IsGone(error);
}

DWORD ErrorUnless(BOOL done) { return done ? ERROR_SUCCESS : GetLastError(); }

bool DeleteKey(const char* format, const char* name) {
    char path[kMaxPath * 2];
    char shown[kMaxPath * 2 + 24];
    std::wstring widePath;
    if (!FormatText(path, sizeof path, format, name) || !WidenShiftJis(path, &widePath) ||
        !FormatText(shown, sizeof shown, "HKEY_LOCAL_MACHINE\\%s", path))
        return false;
    const LONG status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, widePath.c_str());
    return LoggedRemoval("key", shown, static_cast<DWORD>(status));
}

const char* ResultText(UninstallResult result) {
    switch (result) {
    case UninstallResult::kRemoved: return "removed";
    case UninstallResult::kCancelled: return "cancelled";
    case UninstallResult::kNotInstalled: return "not installed in this folder";
    case UninstallResult::kInvalidEntry: return "a registration that cannot be trusted";
    case UninstallResult::kInUse: return "a file in use";
    case UninstallResult::kIncomplete: return "removed, but something could not be";
    case UninstallResult::kAlreadyRunning: return "another uninstaller is running";
    case UninstallResult::kBadCommandLine: return "arguments refused";
    case UninstallResult::kNoRights: return "administrator rights are needed";
    }
    return "unknown";
}

// The prompts of the run (message boxes, or the quiet answers of /S) with
// every question, answer and message logged: the messages say why
// something was kept.
class CLoggedPrompts : public IUninstallPrompts {
public:
    explicit CLoggedPrompts(IUninstallPrompts& prompts) : prompts_(prompts) {}
    bool ConfirmRemoval() override {
        const bool yes = prompts_.ConfirmRemoval();
        CLogLine() << "the question whether to remove the game was answered "
                   << (yes ? "Yes" : "No");
        return yes;
    }
    bool RetryInUse(const std::u16string& text) override {
        const bool retry = prompts_.RetryInUse(text);
        CLogLine() << "in use: " << text.c_str() << " (answered " << (retry ? "Retry" : "Cancel")
                   << ")";
        return retry;
    }
    void ShowMessage(const std::u16string& text, MessageIcon icon) override {
        CLogLine() << "message: " << text.c_str();
        prompts_.ShowMessage(text, icon);
    }

private:
    IUninstallPrompts& prompts_;
};

// The system's path into `out`, which `length` characters of kMaxPath
// filled; false when it failed or did not fit.
bool FilledPath(const wchar_t* buffer, DWORD length, std::wstring* out) {
    if (length == 0 || length >= kMaxPath) return false;
    out->assign(buffer, length);
    return true;
}

bool ModulePath(std::wstring* out) {
    wchar_t path[kMaxPath];
    return FilledPath(path, GetModuleFileNameW(nullptr, path, kMaxPath), out);
}

bool TempFolder(std::wstring* out) {
    wchar_t path[kMaxPath];
    return FilledPath(path, GetTempPathW(kMaxPath, path), out);
}

// The whole of an open file from its start; false on a short read.
bool ReadAll(HANDLE file, std::vector<char>* bytes) {
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size) || size.QuadPart > kMaxProgramBytes ||
        SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0)
        return false;
    bytes->resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes->empty() || (ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()),
                                       &read, nullptr) &&
                              read == bytes->size());
}

bool WriteNew(const wchar_t* path, const std::vector<char>& bytes) {
    unique_hfile file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                             nullptr) &&
           written == bytes.size();
}

// Whether `handle` is a process of the installed uninstaller of `folder`,
// other than this one.
bool IsOriginalUninstaller(HANDLE handle, const std::u16string& folder) {
    const DWORD id = GetProcessId(handle);
    if (id == 0 || id == GetCurrentProcessId()) return false;
    wchar_t image[kMaxPath];
    DWORD size = kMaxPath;
    return QueryFullProcessImageNameW(handle, 0, image, &size) && size < kMaxPath &&
           IsInstalledUninstaller(AsUtf16(std::wstring_view(image, size)), folder);
}

// What an open that failed with `error` says of the file: only a sharing
// or lock violation is another process's use.
FileState StateAfterFailedOpen(DWORD error) {
    if (IsGone(error)) return FileState::kMissing;
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return FileState::kInUse;
    return FileState::kNoAccess;
}

bool ReadFolder(bool (CSystemServices::*read)(wchar_t*), std::u16string* out) {
    wchar_t folder[kMaxPath] = {};
    if (!(CSystemServices().*read)(folder)) return false;
    out->assign(AsUtf16(folder));
    return true;
}

}  // namespace

AppPathRead CUninstallRegistry::ReadAppPath(const char* programName, std::u16string* out) {
    char path[kMaxPath * 2];
    std::wstring widePath;
    if (!FormatText(path, sizeof path, kAppPathsKeyFormat, programName) ||
        !WidenShiftJis(path, &widePath))
        return AppPathRead::kMissing;
    unique_hkey key;
    const LONG status =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, widePath.c_str(), 0, KEY_QUERY_VALUE, key.put());
    if (status != ERROR_SUCCESS) {
        CLogLine() << "no registered program: HKEY_LOCAL_MACHINE\\" << path << ", "
                   << SystemError{static_cast<DWORD>(status)};
        return AppPathRead::kMissing;
    }
    wchar_t value[kMaxPath];
    switch (ReadRegistryString(key.get(), nullptr, value)) {
    case RegistryString::kFound:
        CLogLine() << "registered program " << value;
        out->assign(AsUtf16(value));
        return AppPathRead::kFound;
    case RegistryString::kTooLong:
        CLogLine() << "the registered program is longer than a path";
        return AppPathRead::kTooLong;
    case RegistryString::kNoValue:
    case RegistryString::kNotString: break;
    }
    // A key without its program, or a program that is no text.
    CLogLine() << "the registered program is missing or no text";
    return AppPathRead::kNotString;
}

bool CUninstallRegistry::DeleteAppPath(const char* programName) {
    return DeleteKey(kAppPathsKeyFormat, programName);
}

bool CUninstallRegistry::DeleteUninstallEntry(const char* keyName) {
    return DeleteKey(kUninstallKeyFormat, keyName);
}

bool CUninstallFiles::FolderExists(const std::u16string& folder) {
    const DWORD attributes = GetFileAttributesW(Path(folder));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

FileState CUninstallFiles::Probe(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(Path(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) return StateAfterFailedOpen(GetLastError());
    // Opened without any sharing: any other open handle (or a running
    // program's image, which refuses write access) makes this fail.
    DWORD access = GENERIC_READ | DELETE;
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) access |= GENERIC_WRITE;
    unique_hfile file(
        CreateFileW(Path(path), access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return FileState::kRemovable;
    const DWORD error = GetLastError();
    CLogLine() << "cannot be removed now: " << path.c_str() << ", " << SystemError{error};
    return StateAfterFailedOpen(error);
}

bool CUninstallFiles::RemoveFile(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(Path(path));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return LoggedRemoval("file", path.c_str(), GetLastError());
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(Path(path), FILE_ATTRIBUTE_NORMAL);
    return LoggedRemoval("file", path.c_str(), ErrorUnless(DeleteFileW(Path(path))));
}

bool CUninstallFiles::RemoveEmptyFolder(const std::u16string& folder) {
    return LoggedRemoval("folder", folder.c_str(), ErrorUnless(RemoveDirectoryW(Path(folder))));
}

bool CUninstallFiles::HoldsOtherThan(const std::u16string& folder, const std::u16string& except) {
    const std::u16string pattern = folder + u"\\*";
    if (!FitsPath(pattern)) return true;
    WIN32_FIND_DATAW entry;
    unique_hfind search(FindFirstFileW(Path(pattern), &entry));
    if (!search) return false;
    bool others = false;
    // Every one is logged, so the log tells what the folder was kept for.
    do {
        if (lstrcmpW(entry.cFileName, L".") == 0 || lstrcmpW(entry.cFileName, L"..") == 0 ||
            lstrcmpiW(entry.cFileName, Path(except)) == 0)
            continue;
        CLogLine() << "kept " << folder.c_str() << "\\" << entry.cFileName
                   << ": not a file of the installation";
        others = true;
    } while (FindNextFileW(search.get(), &entry));
    return others;
}

CUninstallFiles::~CUninstallFiles() {
    held_.reset();
    if (!copy_.empty()) DeleteFileW(copy_.c_str());
}

// The copy lies in the user's temporary folder, where any process of the
// user may write, and runs with this process's token, elevated or not. So
// its bytes are checked through a handle that shares reading only, and that
// handle is held until the copy's process has started: what runs is this
// program, never a file put in its place.
bool CUninstallFiles::PrepareSelfRemoval(const std::u16string& folder) {
    std::wstring self;
    std::wstring temp;
    wchar_t copy[MAX_PATH];
    std::vector<char> bytes;
    if (program_ != nullptr) self = program_;
    if ((self.empty() && !ModulePath(&self)) || !TempFolder(&temp)) return false;
    folder_ = AsWide(folder.c_str());
    {
        unique_hfile source(CreateFileW(self.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!source || !ReadAll(source.get(), &bytes)) return false;
    }
    if (!GetTempFileNameW(temp.c_str(), L"uni", 0, copy)) return false;
    std::vector<char> held;
    if (WriteNew(copy, bytes)) {
        held_.reset(CreateFileW(copy, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (!held_ || !ReadAll(held_.get(), &held) || held != bytes) {
        const SystemError error{GetLastError()};
        CLogLine() << "no temporary copy to remove the uninstaller could be made: " << error;
        held_.reset();
        DeleteFileW(copy);
        return false;
    }
    copy_ = copy;
    CLogLine() << "the uninstaller's own file is left to the temporary copy " << copy;
    return true;
}

void CUninstallFiles::StartSelfRemoval() {
    if (copy_.empty()) return;
    std::wstring temp;
    // The copy waits on this process through a handle it inherits: a
    // process id could be reused once this process has ended. It also
    // checks that the handle is this program's process.
    HANDLE raw = nullptr;
    bool started = false;
    if (TempFolder(&temp) &&
        DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &raw,
                        SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0)) {
        unique_handle inheritable(raw);
        const std::u16string arguments = FormatCleanupArguments(
            static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(raw)),
            AsUtf16(folder_));
        std::wstring commandLine = L"\"" + copy_ + L"\" " + std::wstring(AsWide(arguments));
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        // The copy runs in the temporary folder, so the installation folder
        // is nobody's current directory when it is removed.
        started = CreateProcessW(copy_.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                                 nullptr, temp.c_str(), &startup, &info) != FALSE;
        if (started) {
            unique_handle process(info.hProcess);
            unique_handle thread(info.hThread);
        }
    }
    const SystemError error{GetLastError()};
    held_.reset();
    if (started) {
        CLogLine() << "the temporary copy was started";
        copy_.clear();  // the copy's own now
        return;
    }
    // No copy runs: at least the program file goes at the next restart.
    CLogLine() << "the temporary copy could not be started: " << error
               << "; the uninstaller goes at the next restart";
    std::wstring self;
    if (ModulePath(&self)) MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

bool CUninstallShell::DesktopFolder(std::u16string* out) {
    return ReadFolder(&CSystemServices::ReadDesktopFolder, out);
}

bool CUninstallShell::ProgramsFolder(std::u16string* out) {
    return ReadFolder(&CSystemServices::ReadProgramsFolder, out);
}

bool CMessageBoxPrompts::ConfirmRemoval() {
    return ShowMessageBox(nullptr, uninstall_text::kConfirm, uninstall_text::kCaption,
                          MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

bool CMessageBoxPrompts::RetryInUse(const std::u16string& text) {
    return ShowMessageBox(nullptr, Path(text), uninstall_text::kCaption,
                          MB_RETRYCANCEL | MB_ICONWARNING | MB_SETFOREGROUND) == IDRETRY;
}

void CMessageBoxPrompts::ShowMessage(const std::u16string& text, MessageIcon icon) {
    UINT style = MB_OK | MB_SETFOREGROUND;
    switch (icon) {
    case MessageIcon::kInformation: style |= MB_ICONINFORMATION; break;
    case MessageIcon::kWarning: style |= MB_ICONWARNING; break;
    case MessageIcon::kError: style |= MB_ICONERROR; break;
    }
    ShowMessageBox(nullptr, Path(text), uninstall_text::kCaption, style);
}

bool CUninstallElevation::RunsHere(UninstallResult* result) {
    const ElevationState state = QueryElevation();
    if (!NeedsElevatedRelaunch(true, state.elevated, state.available)) return true;
    CLogLine() << "removing needs administrator rights: the uninstaller starts itself again "
                  "elevated";
    // Without a process handle the copy's outcome cannot be learnt: this
    // process did nothing while another uninstaller runs.
    DWORD code = 0;
    const RelaunchResult relaunch = RunInElevatedCopy(
        guard_, static_cast<DWORD>(UninstallResult::kAlreadyRunning), &code);
    const SystemError error{GetLastError()};
    switch (relaunch) {
    case RelaunchResult::Failed:
        CLogLine() << "no elevated copy could be started, " << error
                   << "; the removal runs as this user";
        return true;
    case RelaunchResult::Declined:
        CLogLine() << "the user declined elevation";
        *result = UninstallResult::kCancelled;
        return false;
    case RelaunchResult::HandedOver: break;
    }
    CLogLine() << "the elevated copy ended with exit code " << code;
    *result = static_cast<UninstallResult>(code);
    return false;
}

int RunUninstaller(std::u16string_view arguments) {
    const UninstallCommand command = ParseUninstallCommand(arguments);
    if (command.mode == UninstallMode::kInvalid)
        return static_cast<int>(UninstallResult::kBadCommandLine);
    // The cleanup copy is started by an uninstaller that has already done
    // its work, elevated where needed: it never asks for elevation itself.
    if (command.mode == UninstallMode::kCleanup) return static_cast<int>(RunCleanup(command));

    CSingleInstanceGuard guard;
    guard.Acquire();
    if (!guard.IsFirstInstance()) return static_cast<int>(UninstallResult::kAlreadyRunning);
    BeginRunLog(installation_name::kUninstallLog, "Sorvane uninstaller",
                guard.TookOver() ? CRunLog::Start::kContinue : CRunLog::Start::kNew);

    UninstallResult result = UninstallResult::kNotInstalled;
    std::wstring self;
    if (ModulePath(&self)) {
        CUninstallRegistry registry;
        CUninstallFiles files;
        CUninstallShell shell;
        CMessageBoxPrompts boxes;
        CQuietPrompts quiet;
        CLoggedPrompts prompts(command.mode == UninstallMode::kQuiet
                                   ? static_cast<IUninstallPrompts&>(quiet)
                                   : static_cast<IUninstallPrompts&>(boxes));
        CUninstallElevation elevation(guard);
        CShiftJisWidener text;
        UninstallServices services{registry, files, shell, prompts, elevation, text};
        result = RunUninstall(AsUtf16(self), services);
    }
    CLogLine() << "the uninstaller ends with exit code " << static_cast<int>(result) << " ("
               << ResultText(result) << ")";
    return static_cast<int>(result);
}

UninstallResult RunCleanup(const UninstallCommand& command) {
    // Only the temporary copy does this, and only for the uninstaller that
    // started it: a made-up handle value is never closed or waited on, and
    // the installed program started with these arguments touches nothing.
    std::wstring self;
    std::wstring temp;
    if (!ModulePath(&self) || !TempFolder(&temp) ||
        !RunsAsCleanupCopy(AsUtf16(self), AsUtf16(temp), command.folder) ||
        command.waitHandle > UINTPTR_MAX)
        return UninstallResult::kBadCommandLine;
    const HANDLE handle =
        reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(command.waitHandle));
    if (!IsOriginalUninstaller(handle, command.folder)) return UninstallResult::kBadCommandLine;
    {
        unique_handle original(handle);
        WaitForSingleObject(original.get(), kOriginalEndWait);
    }
    // The log of the uninstaller that started this copy goes on.
    BeginRunLog(installation_name::kUninstallLog, "Sorvane uninstaller's temporary copy",
                CRunLog::Start::kContinue);
    std::u16string uninstaller;
    if (!CShiftJisWidener().Widen(FileTable[1], &uninstaller))
        return UninstallResult::kBadCommandLine;
    const std::u16string target = command.folder + u'\\' + uninstaller;
    if (!FitsPath(target)) return UninstallResult::kBadCommandLine;
    // The original's image may stay locked a moment after its end.
    CUninstallFiles files;
    for (int attempt = 0; attempt < kDeleteAttempts && !files.RemoveFile(target); ++attempt)
        Sleep(kDeleteRetryMs);
    files.RemoveEmptyFolder(command.folder);
    std::u16string parent;
    std::u16string vintal;
    if (FolderOfPath(&parent, command.folder) &&
        CShiftJisWidener().Widen(installation_name::kParentFolder, &vintal) &&
        FolderNameIs(parent, vintal)) {
        files.RemoveEmptyFolder(parent);
    }
    MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    CLogLine() << "the temporary copy " << self.c_str() << " goes at the next restart; it ends";
    return UninstallResult::kRemoved;
}
