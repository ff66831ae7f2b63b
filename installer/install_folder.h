// The text rules of the setup wizard's target folder and of the paths formed
// from it, without Win32: forming "<base>\Vintal\Sorvane" from what the user
// typed, the drive test, the drive root for the free-space query, and the
// free-space threshold. The folder comes from the system (the edit box, the
// folder picker, "ProgramFilesDir") and stays UTF-16 throughout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "framework/system/wide_path_text.h"
#include "installer/progress_math.h"

// Bytes the installed files need on the target drive (one more than the
// progress divisor); a drive with fewer bytes free to the caller is refused.
constexpr std::uint64_t kRequiredFreeBytes = kInstallTotalBytes + 1;
static_assert(kRequiredFreeBytes == 3979031202ull, "free-space threshold");

enum class FolderText {
    Formed,    // `out` holds the final folder
    Empty,     // nothing was typed
    TooLong,   // the final folder, or a file inside it, would not fit a path
};

// Forms the install folder from the edit text: one trailing '\' is dropped
// and "\Vintal\Sorvane" appended. The result must leave room for "\" and the
// longest installed file name within 259 characters, so every path formed
// later from it fits; otherwise TooLong and `out` is left empty. Never
// truncates.
FolderText FormInstallFolder(char16_t* out, std::size_t cap, std::u16string_view editText);

// True when the folder starts with an ASCII drive letter, a colon and a
// backslash ("X:\"). A drive-relative folder ("X:Games") is refused: it
// would name a place below that drive's current directory and be stored
// relative in the registry and the shortcuts. (A bare "X:" typed into the
// wizard is completed to "X:\Vintal\Sorvane" before this test.)
bool HasDriveRoot(std::u16string_view folder);

// "X:\" from the first character of `folder`, which HasDriveRoot accepted.
// False when it does not fit.
bool FormDriveRoot(char16_t* out, std::size_t cap, std::u16string_view folder);

bool IsEnoughFreeSpace(std::uint64_t bytesFreeToCaller);

// "<folder>\<name>" of an installed file. False (and `out` empty) when it
// would not fit in `cap` code units.
bool FormInstalledFilePath(char16_t* out, std::size_t cap, std::u16string_view folder,
                           std::u16string_view name);

// The longest name of the installable files, in bytes: a bound on its
// length in UTF-16 too (a Shift-JIS character has one or two bytes and is
// one UTF-16 code unit).
std::size_t LongestInstalledFileName();
