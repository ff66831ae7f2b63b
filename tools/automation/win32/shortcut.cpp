#include "tools/automation/win32/shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "framework/system/win32/unique_handle.h"

namespace {

// The target as the shell resolves it from the link's item list, which
// keeps every name in UTF-16; empty when the link has none. (The link's
// path field that GetPath reads Wine writes in the ANSI code page only, so
// a character that code page lacks comes back as its best fit.)
std::wstring ItemListTarget(IShellLinkW& link) {
    PIDLIST_ABSOLUTE items = nullptr;
    if (FAILED(link.GetIDList(&items)) || items == nullptr) return std::wstring();
    const unique_cotaskmem owned(items);
    wchar_t path[MAX_PATH] = {};
    return SHGetPathFromIDListW(items, path) ? path : L"";
}

}  // namespace

ShortcutInfo ReadShortcut(const std::wstring& linkPath) {
    ShortcutInfo info;
    const HRESULT initialized = CoInitialize(nullptr);
    {
        com_ptr<IShellLinkW> link;
        com_ptr<IPersistFile> file;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                       link.put_void())) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put_void())) &&
            SUCCEEDED(file->Load(linkPath.c_str(), STGM_READ))) {
            wchar_t buffer[MAX_PATH] = {};
            info.loaded = SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH));
            info.target = ItemListTarget(*link.get());
            if (info.target.empty()) info.target = buffer;
            buffer[0] = L'\0';
            link->GetWorkingDirectory(buffer, MAX_PATH);
            info.workingFolder = buffer;
        }
    }
    if (SUCCEEDED(initialized)) CoUninitialize();
    return info;
}
