// Stands in for an installed program: proves it was started by writing
// "started.txt" (holding its command line) into its current directory.
#include <windows.h>

#include "framework/system/win32/unique_handle.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    unique_hfile file(CreateFileA("started.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 1;
    DWORD written = 0;
    WriteFile(file.get(), commandLine, lstrlenA(commandLine), &written, nullptr);
    return 0;
}
