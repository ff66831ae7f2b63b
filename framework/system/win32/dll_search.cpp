#include "framework/system/win32/dll_search.h"

#include <string>

#include "framework/system/path_text.h"

namespace {

// From Windows 8, and Windows 7 with the DLL-search update; not declared for
// the oldest systems the program targets.
const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

}  // namespace

void RestrictDllSearch() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        GetProcAddress(kernel, "SetDefaultDllDirectories"));
    if (setDefault) setDefault(kSearchSystem32);
    SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
    wchar_t folder[kMaxPath];
    UINT length = GetSystemDirectoryW(folder, kMaxPath);
    if (length == 0 || length >= kMaxPath) return nullptr;
    const std::wstring path = std::wstring(folder) + L"\\" + fileName;
    if (path.size() >= kMaxPath) return nullptr;
    // With a full path, LOAD_WITH_ALTERED_SEARCH_PATH looks for the DLL's own
    // dependencies in its folder (the system folder) before anywhere else.
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
