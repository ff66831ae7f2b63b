// The command line of UnInstall.exe, without Win32.
//
//   (nothing)                     asks, removes, tells
//   /S                            removes without questions or messages
//   /cleanup <handle> "<folder>"  the temporary copy: waits on the inherited
//                                 process handle of the uninstaller that
//                                 started it, then removes that uninstaller's
//                                 file and the folder when empty
#pragma once

#include <cstdint>

#include "framework/system/path_text.h"

enum class UninstallMode { kInteractive, kQuiet, kCleanup, kInvalid };

struct UninstallCommand {
    UninstallMode mode = UninstallMode::kInteractive;
    std::uint64_t waitHandle = 0;   // kCleanup: the inherited handle value
    char folder[kMaxPath] = {};     // kCleanup: the installation folder
};

// Reads the arguments (the command line without the program name). Words
// are separated by spaces; a word in double quotes may hold spaces. An
// unknown word is ignored; "/cleanup" without a number and a folder that
// fits is kInvalid.
UninstallCommand ParseUninstallCommand(const char* arguments, const LeadByteTable& lead);

// Whether the program at `modulePath` may do the cleanup work for the
// installation in `installFolder`: only the temporary copy may, which runs
// from the temporary folder `tempFolder`, never from the installation.
bool RunsAsCleanupCopy(const char* modulePath, const char* tempFolder,
                       const char* installFolder, const LeadByteTable& lead);

// Whether `imagePath` is the installed uninstaller of `installFolder`
// ("<installFolder>\UnInstall.exe", ASCII letters in any case).
bool IsInstalledUninstaller(const char* imagePath, const char* installFolder,
                            const LeadByteTable& lead);

// The arguments of the cleanup copy into `out`. False when they do not fit.
bool FormatCleanupArguments(char* out, std::size_t cap, std::uint64_t waitHandle,
                            const char* folder);
