#include "framework/system/win32/dll_search.h"

#include "framework/system/path_text.h"

namespace {

// From Windows 8, and Windows 7 with the DLL-search update; not declared for
// the oldest systems the program targets.
const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

}  // namespace

void RestrictDllSearch() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        GetProcAddress(kernel, "SetDefaultDllDirectories"));
    if (setDefault) setDefault(kSearchSystem32);
    SetDllDirectoryA("");
}

HMODULE LoadSystemLibrary(const char* fileName) {
    char folder[kMaxPath];
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) return nullptr;
    char path[kMaxPath];
    if (!FormatText(path, sizeof path, "%s\\%s", folder, fileName)) return nullptr;
    // With a full path, LOAD_WITH_ALTERED_SEARCH_PATH looks for the DLL's own
    // dependencies in its folder (the system folder) before anywhere else.
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
