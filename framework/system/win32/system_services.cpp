#include "framework/system/win32/system_services.h"

#include <windows.h>
#include <exdisp.h>
#include <objbase.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>

#include "framework/system/win32/elevation.h"
#include "framework/system/win32/owner_window.h"
#include "framework/system/win32/path_utils.h"
#include "framework/system/win32/unique_handle.h"

// The shell API's macro for ShellExecuteA would rename the method of
// IShellDispatch2 below; the function itself is not used here.
#undef ShellExecute

namespace {

const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

const CLSID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIidShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

bool ReadString(HKEY key, const char* name, char* out) {
    return ReadRegistryString(key, name, out) == RegistryString::kFound;
}

// The registry and COM answer with their error instead of setting the
// thread's last error; a failure is left there for the caller's log.
bool RegistryDone(LONG status) {
    if (status != ERROR_SUCCESS) SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS;
}

bool ComDone(HRESULT hr) {
    if (FAILED(hr)) SetLastError(static_cast<DWORD>(hr));
    return SUCCEEDED(hr);
}

bool WriteString(HKEY key, const char* name, const char* value) {
    DWORD bytes = static_cast<DWORD>(std::strlen(value) + 1);
    return RegistryDone(
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes));
}

bool WriteDword(HKEY key, const char* name, DWORD value) {
    return RegistryDone(RegSetValueExA(key, name, 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&value), sizeof value));
}

bool CreateKey(const char* format, const char* name, unique_hkey& key) {
    char path[kMaxPath * 2];
    if (!FormatText(path, sizeof path, format, name)) return false;
    DWORD disposition = 0;
    char regClass[] = "REG_SZ";
    return RegistryDone(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, regClass,
                                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                        key.put(), &disposition));
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

// A BSTR of a text in the ANSI code page, freed with the object; empty when
// the text cannot be converted.
class Bstr {
public:
    explicit Bstr(const char* text) {
        WCHAR wide[kMaxPath];
        if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, kMaxPath) > 0)
            value_ = SysAllocString(wide);
    }
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return value_; }

private:
    BSTR value_ = nullptr;
};

// The desktop window's Shell.Application object, which lives in the shell's
// own process. Empty when no desktop shell runs, or when it would not give
// the object; `found` tells the two apart.
com_ptr<IShellDispatch2> DesktopShell(bool* found) {
    *found = false;
    com_ptr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                IID_IShellWindows, windows.put_void())))
        return {};
    VARIANT location;
    VariantInit(&location);
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT none;
    VariantInit(&none);
    long window = 0;
    com_ptr<IDispatch> desktop;
    if (windows->FindWindowSW(&location, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              desktop.put()) != S_OK ||
        !desktop)
        return {};
    *found = true;
    com_ptr<IServiceProvider> provider;
    com_ptr<IShellBrowser> browser;
    com_ptr<IShellView> view;
    com_ptr<IDispatch> background;
    com_ptr<IShellFolderViewDual> folderView;
    com_ptr<IDispatch> application;
    com_ptr<IShellDispatch2> shell;
    if (FAILED(desktop->QueryInterface(IID_IServiceProvider, provider.put_void())) ||
        FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                      browser.put_void())) ||
        FAILED(browser->QueryActiveShellView(view.put())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.put_void())) ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.put_void())) ||
        FAILED(folderView->get_Application(application.put())) ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, shell.put_void())))
        return {};
    return shell;
}

}  // namespace

RegistryString ReadRegistryString(HKEY key, const char* name, char* out) {
    DWORD type = 0;
    DWORD size = kMaxPath;
    const LONG status =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size);
    if (status == ERROR_MORE_DATA) return RegistryString::kTooLong;
    if (status != ERROR_SUCCESS) return RegistryString::kNoValue;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return RegistryString::kNotString;
    // A full buffer holds a value of 259 characters only when its last byte
    // is the terminator.
    if (size >= kMaxPath)
        return out[kMaxPath - 1] == '\0' ? RegistryString::kFound : RegistryString::kTooLong;
    out[size] = '\0';
    return RegistryString::kFound;
}

ShellStart SystemStartAsShellUser(const char* program, const char* folder) {
    ComScope com;
    bool found = false;
    const com_ptr<IShellDispatch2> shell = DesktopShell(&found);
    if (!shell) return found ? ShellStart::kFailed : ShellStart::kNoShell;
    const Bstr file(program);
    const Bstr directory(folder);
    if (!file.get() || !directory.get()) return ShellStart::kFailed;
    VARIANT arguments;
    VariantInit(&arguments);
    VARIANT verb;
    VariantInit(&verb);
    VARIANT where;
    VariantInit(&where);
    where.vt = VT_BSTR;
    where.bstrVal = directory.get();
    VARIANT show;
    VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return SUCCEEDED(shell->ShellExecute(file.get(), arguments, where, verb, show))
               ? ShellStart::kStarted
               : ShellStart::kFailed;
}

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

    // The game never runs elevated because setup did: an elevated setup
    // leaves the start to the desktop shell, which runs as the signed-in
    // user. Only where no shell runs is the game started directly.
    if (QueryElevation().elevated) {
        // The shell reports no failure of its own start: what the system
        // would refuse to run is refused here.
        DWORD binaryType = 0;
        if (!GetBinaryTypeA(program, &binaryType)) return false;
        switch (StartAsShellUser(program, folder)) {
        case ShellStart::kStarted: return true;
        case ShellStart::kFailed: return false;
        case ShellStart::kNoShell: break;
        }
    }

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
    if (!ComDone(CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA,
                                  link.put_void())))
        return false;
    if (!ComDone(link->SetPath(targetPath)) || !ComDone(link->SetWorkingDirectory(workDir)))
        return false;

    com_ptr<IPersistFile> file;
    if (!ComDone(link->QueryInterface(kIidPersistFile, file.put_void()))) return false;
    WCHAR wide[kMaxPath];
    return MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wide, kMaxPath) > 0 &&
           ComDone(file->Save(wide, TRUE));
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
