// A DLL planted beside a program under the name of a system DLL: when
// anything loads it, it leaves "<its own path>.loaded" behind. It exports the
// winmm timer calls, so that a program importing them would load it. (The
// build defines WIN32_LEAN_AND_MEAN, which keeps their declarations out.)
#include <windows.h>

#include "framework/system/win32/unique_handle.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH + 8] = {};
        DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcatA(path, ".loaded");
            unique_hfile marker(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        }
    }
    return TRUE;
}

__declspec(dllexport) UINT WINAPI timeGetDevCaps(void*, UINT) { return 0; }
__declspec(dllexport) UINT WINAPI timeBeginPeriod(UINT) { return 0; }
__declspec(dllexport) UINT WINAPI timeEndPeriod(UINT) { return 0; }
__declspec(dllexport) DWORD WINAPI timeGetTime() { return 0; }

}  // extern "C"
