#include "tools/automation/win32/shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "framework/system/win32/unique_handle.h"

ShortcutInfo ReadShortcut(const std::string& linkPath) {
    ShortcutInfo info;
    const HRESULT initialized = CoInitialize(nullptr);
    {
        com_ptr<IShellLinkA> link;
        com_ptr<IPersistFile> file;
        WCHAR wide[MAX_PATH] = {};
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                       link.put_void())) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put_void())) &&
            MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH) != 0 &&
            SUCCEEDED(file->Load(wide, STGM_READ))) {
            char buffer[MAX_PATH] = {};
            info.loaded = SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH));
            info.target = buffer;
            buffer[0] = '\0';
            link->GetWorkingDirectory(buffer, MAX_PATH);
            info.workingFolder = buffer;
        }
    }
    if (SUCCEEDED(initialized)) CoUninitialize();
    return info;
}
