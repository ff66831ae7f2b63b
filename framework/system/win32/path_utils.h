// Path utilities. Paths of the disc's data (its drive root or folder joined
// with the data's own Shift-JIS names) are walked character by character in
// code page 932, whatever the system's code page, so the second byte of a
// double-byte character is never taken for a separator; paths that come
// from the system are UTF-16 and need no such walk. Every path holds at most
// 259 characters.
#pragma once

#include <cstddef>
#include <string>

#include "framework/system/path_text.h"

// ---- Shift-JIS paths of the disc's data ---------------------------------------

// Full path of `path`. A path with a drive letter ("X:...") is copied with
// '/' turned into '\' and runs of '\' shrunk to one; any other path is made
// full against the current directory by the system. False (and `out` empty)
// when the result does not fit in `cap` bytes, or when the current directory
// holds a character code page 932 has none for.
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

// Lower-cases the ASCII letters of `s` in place.
void LowercaseLetters(char* s);

// CreateDirectoryTree below for a Shift-JIS path.
void CreateDirectoryTree(const char* path);

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

// ---- UTF-16 paths from the system ---------------------------------------------

// As GetFullPath above. False when the result passes 259 characters.
bool GetFullPath(std::wstring* out, const wchar_t* path);

// As SplitPath above.
bool SplitPath(std::wstring* dir, std::wstring* name, const wchar_t* path);

// Creates every folder of `path`, outermost first. Existing folders and
// other failures are ignored.
void CreateDirectoryTree(const wchar_t* path);
