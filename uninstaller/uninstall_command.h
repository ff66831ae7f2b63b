// The command line of UnInstall.exe, without Win32.
//
//   (nothing)                     asks, removes, tells
//   /S                            removes without questions or messages
//   /cleanup <handle> "<folder>"  the temporary copy: waits on the inherited
//                                 process handle of the uninstaller that
//                                 started it, then removes that uninstaller's
//                                 file and the folder when empty
//
// The command line and the paths come from the system in UTF-16.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/system/wide_path_text.h"

enum class UninstallMode { kInteractive, kQuiet, kCleanup, kInvalid };

struct UninstallCommand {
    UninstallMode mode = UninstallMode::kInteractive;
    std::uint64_t waitHandle = 0;  // kCleanup: the inherited handle value
    std::u16string folder;         // kCleanup: the installation folder (259 at most)
};

// Reads the arguments (the command line without the program name). Words
// are separated by spaces; a word in double quotes may hold spaces. An
// unknown word is ignored; "/cleanup" without a number and a folder that
// fits is kInvalid.
UninstallCommand ParseUninstallCommand(std::u16string_view arguments);

// Whether the program at `modulePath` may do the cleanup work for the
// installation in `installFolder`: only the temporary copy may, which runs
// from the temporary folder `tempFolder`, never from the installation.
bool RunsAsCleanupCopy(std::u16string_view modulePath, std::u16string_view tempFolder,
                       std::u16string_view installFolder);

// Whether `imagePath` is the installed uninstaller of `installFolder`
// ("<installFolder>\UnInstall.exe", ASCII letters in any case).
bool IsInstalledUninstaller(std::u16string_view imagePath, std::u16string_view installFolder);

// The arguments of the cleanup copy.
std::u16string FormatCleanupArguments(std::uint64_t waitHandle, std::u16string_view folder);
