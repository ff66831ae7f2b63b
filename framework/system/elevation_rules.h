// When a program of the disc moves its work to an elevated copy of itself.
// No Win32 here: the rules are tested on their own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// What setup does once its start-up checks have passed.
enum class StartAction {
    StartGame,         // the game is installed: start it as the invoking user
    RunHere,           // install in this process
    RelaunchElevated,  // start an elevated copy to install, and end
};

// Work that needs administrator rights moves to an elevated copy only when
// this process is not elevated and the system has elevation at all (systems
// without it run everything as the invoking user).
bool NeedsElevatedRelaunch(bool needsAdministrator, bool elevated, bool elevationAvailable);

// The installed game is always started without elevation: a game must never
// run as administrator because setup was. Installing needs administrator
// rights (machine-wide registry keys).
StartAction ChooseStartAction(bool installed, bool elevated, bool elevationAvailable);

// The arguments part of a full command line (UTF-16, as the system gives
// it): what follows the program name (quoted or not) and the blanks after
// it. Never null.
const char16_t* CommandLineArguments(const char16_t* commandLine);

// The words of `arguments`, split at blanks outside double quotes, the
// quotes dropped: "/D=C:\Program Files" in quotes, or /D="C:\Program Files",
// is one word.
std::vector<std::u16string> CommandLineWords(std::u16string_view arguments);
