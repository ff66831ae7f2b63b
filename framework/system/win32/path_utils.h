// Path utilities over ANSI (Shift-JIS) paths of at most 259 characters.
// They walk paths character by character in the ANSI code page, so the
// second byte of a double-byte character is never taken for a separator.
#pragma once

#include <cstddef>

#include "framework/system/path_text.h"

// Lead bytes of the process's ANSI code page (932 on a Japanese system).
const LeadByteTable& AnsiLeadBytes();

// Full path of `path`. A path with a drive letter ("X:...") is copied with
// '/' turned into '\' and runs of '\' shrunk to one; any other path is made
// full against the current directory by the system. False (and `out` empty)
// when the result does not fit in `cap` bytes.
bool GetFullPath(char* out, std::size_t cap, const char* path);

// Splits the full path of `path` at its last '\' that is followed by a
// further character: `dir` gets what stands before it, `name` what follows,
// without a trailing '\'. False, outputs untouched, when there is no such
// separator or a part would not fit.
bool SplitPath(char* dir, std::size_t dirCap, char* name, std::size_t nameCap, const char* path);

// Splits the name part of `path` at its last dot. Outputs untouched when the
// name has no dot (or the path no name).
void SplitExtension(char* base, std::size_t baseCap, char* ext, std::size_t extCap, const char* path);

// The directory part of the full path of `path`. False when there is none or
// it is a lone '\'.
bool GetParentDirectory(char* dir, std::size_t cap, const char* path);

// Creates every folder of `path`, outermost first. Existing folders and
// other failures are ignored.
void CreateDirectoryTree(const char* path);

// Lower-cases the ASCII letters of `s` in place.
void LowercaseLetters(char* s);

// The UTF-16 `text` in code page 932 (Shift-JIS), whatever the system's code
// page, into `out` (capacity `cap`). False, `out` empty, when a character
// has no form there (no look-alike is taken for it) or the result does not
// fit.
bool ShiftJisFromUtf16(char* out, std::size_t cap, const wchar_t* text);

template <std::size_t N>
bool GetFullPath(char (&out)[N], const char* path) { return GetFullPath(out, N, path); }
template <std::size_t N, std::size_t M>
bool SplitPath(char (&dir)[N], char (&name)[M], const char* path) {
    return SplitPath(dir, N, name, M, path);
}
template <std::size_t N, std::size_t M>
void SplitExtension(char (&base)[N], char (&ext)[M], const char* path) {
    SplitExtension(base, N, ext, M, path);
}
template <std::size_t N>
bool GetParentDirectory(char (&dir)[N], const char* path) { return GetParentDirectory(dir, N, path); }
