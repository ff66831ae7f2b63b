// Where the process finds the DLLs it loads by name.
//
// A setup program is often started from a download or temporary folder,
// where a planted DLL with the name of a system DLL would be found before the
// real one. The program statically imports only DLLs the system keeps in its
// known-DLL list (always taken from the system folder); anything else is
// loaded with LoadSystemLibrary, by its full path in the system folder.
#pragma once

#include <windows.h>

// Takes the program's folder and the current folder out of the search for
// DLLs loaded later by name: SetDefaultDllDirectories with the system folder
// only, where the system has it (looked up at run time), and
// SetDllDirectory(""). The entry point calls it first of all.
void RestrictDllSearch();

// Loads `fileName` (for example "winmm.dll") from the system folder by its
// full path; the DLLs it needs in turn are looked for in that folder first.
// Null when the DLL is not there. The caller owns the reference.
HMODULE LoadSystemLibrary(const wchar_t* fileName);
