// The command line of setup.exe and the ends of a run, without Win32.
//
//   (nothing)           the wizard, as the user starts it from the disc
//   /S                  an unattended installation into the wizard's
//                       default folder: no wizard page, message or disc
//                       prompt; the progress window shows
//   /S /D=<folder>      the same into "<folder>\Vintal\Sorvane"
//
// Switches are read in any ASCII case and order. Words are separated by
// blanks; a part in double quotes may hold blanks, and the quotes are
// dropped ("/D=C:\Program Files" in quotes, or /D="C:\Program Files").
// Anything else is malformed: an unknown word, /D= without a folder or
// twice, /D= without /S, or a folder of more than 259 characters.
#pragma once

#include <cstddef>

#include "framework/system/path_text.h"

enum class SetupMode { kInteractive, kUnattended, kInvalid };

struct SetupCommand {
    SetupMode mode = SetupMode::kInteractive;
    // kUnattended: the base folder of /D= (UTF-16, as given); empty for the
    // default.
    char16_t folder[kMaxPath] = {};
};

// Reads a whole command line as the system gives it (GetCommandLineW): the
// program's name first, then the arguments.
SetupCommand ParseSetupCommand(const char16_t* commandLine);

// How a run of setup.exe ends. An unattended run ends with the exit code;
// the wizard's run ends with 0 whatever happened.
enum class SetupOutcome {
    kInstalled = 0,
    kCancelled = 1,               // the window was closed, or elevation declined
    kDiscMissing = 2,             // a disc was in no drive
    kFolderRefused = 3,           // invalid, too little free space, or not writable
    kCopyFailed = 4,
    kRegistrationIncomplete = 5,  // installed, but a registration step failed
    kAlreadyRunning = 6,          // another setup runs: nothing done
    kBadArguments = 7,            // a malformed argument: nothing done or written
    kGameStarted = 8,             // the wizard's run found the game and started it
};

// The exit code of an unattended run that ends so (kGameStarted, which only
// the wizard's run knows, is 0).
int UnattendedExitCode(SetupOutcome outcome);

// A few words for the log ("installed", "a disc was not found", ...).
const char* SetupOutcomeText(SetupOutcome outcome);
