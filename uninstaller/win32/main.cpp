// Entry point of UnInstall.exe.
#include <windows.h>

#include "framework/system/elevation_rules.h"
#include "framework/system/win32/dll_search.h"
#include "framework/system/win32/wide_text.h"
#include "uninstaller/win32/uninstall_system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything can load a DLL by name: never from the program's folder
    // or the current folder (the temporary copy runs from the Temp folder).
    RestrictDllSearch();
    SetErrorMode(SEM_FAILCRITICALERRORS);
    // The folder of "/cleanup" comes as the system has it, in UTF-16.
    return RunUninstaller(CommandLineArguments(AsUtf16(GetCommandLineW())));
}
