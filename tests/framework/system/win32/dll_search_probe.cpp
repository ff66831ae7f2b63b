// Loads a DLL the way a program of the disc would, from a folder that also
// holds a planted DLL of that name. Arguments: "<dll name> <mode>", mode
// "restricted" (RestrictDllSearch, then LoadLibrary by name), "open" (by
// name, nothing restricted) or "system" (LoadSystemLibrary). Exit code 0 when
// a DLL was loaded, 1 when none, 2 on bad arguments.
#include <windows.h>

#include <cstring>
#include <string>

#include "framework/system/win32/dll_search.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    HMODULE loaded = nullptr;
    if (std::strcmp(argv[2], "system") == 0) {
        // An ASCII name ("winmm.dll").
        loaded = LoadSystemLibrary(std::wstring(argv[1], argv[1] + std::strlen(argv[1])).c_str());
    } else {
        if (std::strcmp(argv[2], "restricted") == 0) RestrictDllSearch();
        loaded = LoadLibraryA(argv[1]);
    }
    return loaded ? 0 : 1;
}
