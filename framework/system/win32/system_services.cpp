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

#include <cwchar>
#include <string>

#include "framework/system/win32/elevation.h"
#include "framework/system/win32/owner_window.h"
#include "framework/system/win32/path_utils.h"
#include "framework/system/win32/unique_handle.h"
#include "framework/system/win32/wide_text.h"

// The shell API's macro for ShellExecuteA would rename the method of
// IShellDispatch2 below; the function itself is not used here.
#undef ShellExecute

namespace {

const wchar_t kCurrentVersionKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
const wchar_t kShellFoldersKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

const CLSID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIidShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

bool ReadString(HKEY key, const wchar_t* name, wchar_t* out) {
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

bool WriteString(HKEY key, const wchar_t* name, const wchar_t* value) {
    const DWORD bytes = static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(wchar_t));
    return RegistryDone(
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes));
}

bool WriteDword(HKEY key, const wchar_t* name, DWORD value) {
    return RegistryDone(RegSetValueExW(key, name, 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&value), sizeof value));
}

// "<format with name>" below the local machine, in UTF-16.
bool MachineKeyPath(const char* format, const char* name, std::wstring* out) {
    char path[kMaxPath * 2];
    return FormatText(path, sizeof path, format, name) && WidenShiftJis(path, out);
}

bool CreateKey(const char* format, const char* name, unique_hkey& key) {
    std::wstring path;
    if (!MachineKeyPath(format, name, &path)) return false;
    DWORD disposition = 0;
    wchar_t regClass[] = L"REG_SZ";
    return RegistryDone(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, regClass,
                                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                        key.put(), &disposition));
}

// "<folder>\<name>.lnk" with the program's Shift-JIS link name; false when
// it would pass 259 characters.
bool LinkPath(const wchar_t* folder, const char* name, std::wstring* out) {
    std::wstring wideName;
    if (!WidenShiftJis(name, &wideName)) return false;
    *out = std::wstring(folder) + L"\\" + wideName + L".lnk";
    return out->size() < kMaxPath;
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

// A BSTR of a text, freed with the object.
class Bstr {
public:
    explicit Bstr(const wchar_t* text) : value_(SysAllocString(text)) {}
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

RegistryString ReadRegistryString(HKEY key, const wchar_t* name, wchar_t* out) {
    DWORD type = 0;
    DWORD size = kMaxPath * sizeof(wchar_t);
    const LONG status =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size);
    if (status == ERROR_MORE_DATA) return RegistryString::kTooLong;
    if (status != ERROR_SUCCESS) return RegistryString::kNoValue;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return RegistryString::kNotString;
    // A full buffer holds a value of 259 characters only when its last
    // character is the terminator. (An odd last byte is no character.)
    const std::size_t characters = size / sizeof(wchar_t);
    if (characters >= kMaxPath)
        return out[kMaxPath - 1] == L'\0' ? RegistryString::kFound : RegistryString::kTooLong;
    out[characters] = L'\0';
    return RegistryString::kFound;
}

ShellStart SystemStartAsShellUser(const wchar_t* program, const wchar_t* folder) {
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
    std::wstring keyPath;
    if (!MachineKeyPath(kAppPathsKeyFormat, programName, &keyPath)) return false;

    wchar_t program[kMaxPath] = {};
    wchar_t folder[kMaxPath] = {};
    {
        unique_hkey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.put()) !=
            ERROR_SUCCESS)
            return false;
        if (!ReadString(key.get(), nullptr, program) || !ReadString(key.get(), L"Path", folder))
            return false;
    }

    unique_hfile file(CreateFileW(program, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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
        if (!GetBinaryTypeW(program, &binaryType)) return false;
        switch (StartAsShellUser(program, folder)) {
        case ShellStart::kStarted: return true;
        case ShellStart::kFailed: return false;
        case ShellStart::kNoShell: break;
        }
    }

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info = {};
    wchar_t commandLine[1] = {};
    // The game gets the system's default error mode, not the installer's
    // SEM_FAILCRITICALERRORS, which a new process would otherwise inherit.
    if (!CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                        nullptr, folder, &startup, &info))
        return false;
    unique_handle process(info.hProcess);
    unique_handle thread(info.hThread);
    return true;
}

bool CSystemServices::WriteAppPath(const char* programName, const wchar_t* programPath) {
    unique_hkey key;
    if (!CreateKey(kAppPathsKeyFormat, programName, key)) return false;
    std::wstring dir;
    std::wstring name;
    SplitPath(&dir, &name, programPath);
    return WriteString(key.get(), nullptr, programPath) &&
           WriteString(key.get(), L"Path", dir.c_str());
}

bool CSystemServices::WriteUninstallEntry(const char* keyName, const wchar_t* uninstallCommand,
                                          const char* displayName) {
    unique_hkey key;
    if (!CreateKey(kUninstallKeyFormat, keyName, key)) return false;
    std::wstring display;
    return WidenShiftJis(displayName, &display) &&
           WriteString(key.get(), L"DisplayName", display.c_str()) &&
           WriteString(key.get(), L"UninstallString", uninstallCommand);
}

bool CSystemServices::WriteUninstallDetails(const char* keyName,
                                            const UninstallDetails& details) {
    unique_hkey key;
    if (!CreateKey(kUninstallKeyFormat, keyName, key)) return false;
    std::wstring publisher;
    return WidenShiftJis(details.publisher, &publisher) &&
           WriteString(key.get(), L"DisplayIcon", details.displayIcon) &&
           WriteString(key.get(), L"Publisher", publisher.c_str()) &&
           WriteString(key.get(), L"InstallLocation", details.installLocation) &&
           WriteDword(key.get(), L"EstimatedSize", details.estimatedSizeKiB) &&
           WriteDword(key.get(), L"NoModify", 1) && WriteDword(key.get(), L"NoRepair", 1) &&
           WriteString(key.get(), L"QuietUninstallString", details.quietUninstallString);
}

bool CSystemServices::ReadProgramFilesDir(wchar_t* out) {
    unique_hkey key;
    // Query access only: an account without administrator rights may read
    // the value but not open the key for writing.
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS)
        return false;
    wchar_t value[kMaxPath] = {};
    if (!ReadString(key.get(), L"ProgramFilesDir", value)) return false;
    std::wcscpy(out, value);
    return true;
}

bool CSystemServices::CreateShortcut(const wchar_t* targetPath, const wchar_t* linkPath) {
    std::wstring linkDir;
    std::wstring linkName;
    if (SplitPath(&linkDir, &linkName, linkPath)) CreateDirectoryTree(linkDir.c_str());

    std::wstring workDir;
    std::wstring targetName;
    SplitPath(&workDir, &targetName, targetPath);

    ComScope com;
    com_ptr<IShellLinkW> link;
    if (!ComDone(CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkW,
                                  link.put_void())))
        return false;
    if (!ComDone(link->SetPath(targetPath)) ||
        !ComDone(link->SetWorkingDirectory(workDir.c_str())))
        return false;

    com_ptr<IPersistFile> file;
    if (!ComDone(link->QueryInterface(kIidPersistFile, file.put_void()))) return false;
    return ComDone(file->Save(linkPath, TRUE));
}

bool CSystemServices::ReadDesktopFolder(wchar_t* out) {
    unique_hkey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), L"Desktop", nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size > kMaxPath * sizeof(wchar_t))
        return false;
    return ReadString(key.get(), L"Desktop", out);
}

bool CSystemServices::ReadProgramsFolder(wchar_t* out) {
    wchar_t programs[MAX_PATH + 1] = {};
    if (!SHGetSpecialFolderPathW(OwnerWindowOfThisThread(), programs, CSIDL_PROGRAMS, FALSE) ||
        std::wcslen(programs) >= kMaxPath)
        return false;
    std::wcscpy(out, programs);
    return true;
}

bool CSystemServices::CreateDesktopShortcut(const wchar_t* targetPath, const char* linkName) {
    wchar_t desktop[kMaxPath] = {};
    std::wstring link;
    return ReadDesktopFolder(desktop) && LinkPath(desktop, linkName, &link) &&
           CreateShortcut(targetPath, link.c_str());
}

bool CSystemServices::CreateProgramsShortcut(const wchar_t* targetPath,
                                             const char* relativeLink) {
    wchar_t programs[kMaxPath] = {};
    std::wstring link;
    return ReadProgramsFolder(programs) && LinkPath(programs, relativeLink, &link) &&
           CreateShortcut(targetPath, link.c_str());
}

bool CSystemServices::BrowseForFolder(const char* title, wchar_t* out) {
    // The shell's picker works on COM objects of the calling thread (the
    // application thread, which has no apartment of its own).
    ComScope com;
    const std::wstring wideTitle = Widen(title);
    BROWSEINFOW info = {};
    info.lpszTitle = wideTitle.c_str();
    const unique_cotaskmem items(SHBrowseForFolderW(&info));
    if (!items) return false;
    wchar_t path[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListW(static_cast<PCIDLIST_ABSOLUTE>(items.get()), path) ||
        std::wcslen(path) >= kMaxPath)
        return false;
    std::wcscpy(out, path);
    return true;
}

namespace {
OwnerWindowLookup g_ownerLookup = nullptr;
}

void SetOwnerWindowLookup(OwnerWindowLookup lookup) { g_ownerLookup = lookup; }
HWND OwnerWindowOfThisThread() { return g_ownerLookup ? g_ownerLookup() : nullptr; }
