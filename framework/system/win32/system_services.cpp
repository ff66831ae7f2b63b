#include "framework/system/win32/system_services.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>

#include "framework/system/win32/owner_window.h"
#include "framework/system/win32/path_utils.h"
#include "framework/system/win32/unique_handle.h"

const char kAppPathsKeyFormat[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\%s";
const char kUninstallKeyFormat[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s";

namespace {

const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

const CLSID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIidShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Reads a string value into `out` (kMaxPath bytes) and terminates it: the
// registry does not promise a terminating zero.
bool ReadString(HKEY key, const char* name, char* out) {
    DWORD type = 0;
    DWORD size = kMaxPath;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) !=
        ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    if (size >= kMaxPath) {
        // A full buffer holds a value of 259 characters only when its last
        // byte is the terminator.
        if (out[kMaxPath - 1] != '\0') return false;
    } else {
        out[size] = '\0';
    }
    return true;
}

bool WriteString(HKEY key, const char* name, const char* value) {
    DWORD bytes = static_cast<DWORD>(std::strlen(value) + 1);
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes) ==
           ERROR_SUCCESS;
}

bool WriteDword(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value) == ERROR_SUCCESS;
}

bool CreateKey(const char* format, const char* name, unique_hkey& key) {
    char path[kMaxPath * 2];
    if (!FormatText(path, sizeof path, format, name)) return false;
    DWORD disposition = 0;
    char regClass[] = "REG_SZ";
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, regClass, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, key.put(), &disposition) == ERROR_SUCCESS;
}

// A single-threaded COM apartment for the calling thread, for the lifetime
// of the object. A thread that already has one keeps it (the counts stay
// balanced); one in a multi-threaded apartment is refused and left as it was.
class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }

private:
    HRESULT hr_;
};

}  // namespace

bool CSystemServices::LaunchInstalledApp(const char* programName) {
    char keyPath[kMaxPath * 2];
    if (!FormatText(keyPath, sizeof keyPath, kAppPathsKeyFormat, programName)) return false;

    char program[kMaxPath] = {};
    char folder[kMaxPath] = {};
    {
        unique_hkey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, key.put()) !=
            ERROR_SUCCESS)
            return false;
        if (!ReadString(key.get(), nullptr, program) || !ReadString(key.get(), "Path", folder))
            return false;
    }

    unique_hfile file(CreateFileA(program, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    file.reset();

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info = {};
    char commandLine[1] = {};
    // The game gets the system's default error mode, not the installer's
    // SEM_FAILCRITICALERRORS, which a new process would otherwise inherit.
    if (!CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                        nullptr, folder, &startup, &info))
        return false;
    unique_handle process(info.hProcess);
    unique_handle thread(info.hThread);
    return true;
}

bool CSystemServices::WriteAppPath(const char* programName, const char* programPath) {
    unique_hkey key;
    if (!CreateKey(kAppPathsKeyFormat, programName, key)) return false;
    char dir[kMaxPath] = {};
    char name[kMaxPath] = {};
    SplitPath(dir, name, programPath);
    return WriteString(key.get(), nullptr, programPath) && WriteString(key.get(), "Path", dir);
}

bool CSystemServices::WriteUninstallEntry(const char* keyName, const char* uninstallCommand,
                                          const char* displayName) {
    unique_hkey key;
    if (!CreateKey(kUninstallKeyFormat, keyName, key)) return false;
    return WriteString(key.get(), "DisplayName", displayName) &&
           WriteString(key.get(), "UninstallString", uninstallCommand);
}

bool CSystemServices::WriteUninstallDetails(const char* keyName,
                                            const UninstallDetails& details) {
    unique_hkey key;
    if (!CreateKey(kUninstallKeyFormat, keyName, key)) return false;
    return WriteString(key.get(), "DisplayIcon", details.displayIcon) &&
           WriteString(key.get(), "Publisher", details.publisher) &&
           WriteString(key.get(), "InstallLocation", details.installLocation) &&
           WriteDword(key.get(), "EstimatedSize", details.estimatedSizeKiB) &&
           WriteDword(key.get(), "NoModify", 1) && WriteDword(key.get(), "NoRepair", 1) &&
           WriteString(key.get(), "QuietUninstallString", details.quietUninstallString);
}

bool CSystemServices::ReadProgramFilesDir(char* out) {
    unique_hkey key;
    // Query access only: an account without administrator rights may read
    // the value but not open the key for writing.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS)
        return false;
    char value[kMaxPath] = {};
    if (!ReadString(key.get(), "ProgramFilesDir", value)) return false;
    CopyText(out, kMaxPath, value);
    return true;
}

bool CSystemServices::CreateShortcut(const char* targetPath, const char* linkPath) {
    char linkDir[kMaxPath] = {};
    char linkName[kMaxPath] = {};
    if (SplitPath(linkDir, linkName, linkPath)) CreateDirectoryTree(linkDir);

    char workDir[kMaxPath] = {};
    char targetName[kMaxPath] = {};
    SplitPath(workDir, targetName, targetPath);

    ComScope com;
    com_ptr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA,
                                link.put_void())))
        return false;
    if (FAILED(link->SetPath(targetPath)) || FAILED(link->SetWorkingDirectory(workDir)))
        return false;

    com_ptr<IPersistFile> file;
    if (FAILED(link->QueryInterface(kIidPersistFile, file.put_void()))) return false;
    WCHAR wide[kMaxPath];
    return MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wide, kMaxPath) > 0 &&
           SUCCEEDED(file->Save(wide, TRUE));
}

bool CSystemServices::ReadDesktopFolder(char* out) {
    unique_hkey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), "Desktop", nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size > kMaxPath)
        return false;
    return ReadString(key.get(), "Desktop", out);
}

bool CSystemServices::ReadProgramsFolder(char* out) {
    char programs[MAX_PATH + 1] = {};
    if (!SHGetSpecialFolderPathA(OwnerWindowOfThisThread(), programs, CSIDL_PROGRAMS, FALSE))
        return false;
    return CopyText(out, kMaxPath, programs);
}

bool CSystemServices::CreateDesktopShortcut(const char* targetPath, const char* linkName) {
    char desktop[kMaxPath] = {};
    if (!ReadDesktopFolder(desktop)) return false;
    char link[kMaxPath];
    if (!FormatText(link, sizeof link, "%s\\%s.lnk", desktop, linkName)) return false;
    return CreateShortcut(targetPath, link);
}

bool CSystemServices::CreateProgramsShortcut(const char* targetPath, const char* relativeLink) {
    char programs[kMaxPath] = {};
    if (!ReadProgramsFolder(programs)) return false;
    char link[kMaxPath];
    if (!FormatText(link, sizeof link, "%s\\%s.lnk", programs, relativeLink)) return false;
    char dir[kMaxPath] = {};
    char name[kMaxPath] = {};
    if (SplitPath(dir, name, link)) CreateDirectoryTree(dir);
    return CreateShortcut(targetPath, link);
}

bool CSystemServices::BrowseForFolder(const char* title, char* out) {
    // The shell's picker works on COM objects of the calling thread (the
    // application thread, which has no apartment of its own).
    ComScope com;
    BROWSEINFOA info = {};
    info.lpszTitle = title;
    const unique_cotaskmem items(SHBrowseForFolderA(&info));
    if (!items) return false;
    char path[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListA(static_cast<PCIDLIST_ABSOLUTE>(items.get()), path)) return false;
    return CopyText(out, kMaxPath, path);
}

namespace {
OwnerWindowLookup g_ownerLookup = nullptr;
}

void SetOwnerWindowLookup(OwnerWindowLookup lookup) { g_ownerLookup = lookup; }
HWND OwnerWindowOfThisThread() { return g_ownerLookup ? g_ownerLookup() : nullptr; }
