// Stands in for the game ("Sorvane.exe") on the demo discs: the setup
// program only copies, registers and starts it. It says what it is and
// where it runs, and ends.
#include <windows.h>

#include <cstdio>

#ifndef DEMO_PROGRAM_TEXT
#error "DEMO_PROGRAM_TEXT names the program"
#endif

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof folder, folder);
    char text[512];
    std::snprintf(text, sizeof text, "%s\n\n%s", DEMO_PROGRAM_TEXT, folder);
    MessageBoxA(nullptr, text, "Sorvane～Kelmire～", MB_OK | MB_ICONINFORMATION);
    return 0;
}
