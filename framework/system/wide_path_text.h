// UTF-16 path text without Win32: the paths that come from the system (the
// program's own file, the special folders, the registry, the folder the
// user chose). Each code unit is a character of its own here, so no walk by
// lead bytes is needed: '\' and letters are never part of another
// character. char16_t rather than wchar_t, which has 32 bits on the host.
//
// The same limit as for the Shift-JIS paths of path_text.h holds: at most
// kMaxPath - 1 (259) characters plus the terminating zero.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "framework/system/path_text.h"

// The length of the zero-terminated `text`.
std::size_t WideLength(const char16_t* text);

// Copies `text` into `out` (capacity `cap` code units) and terminates it.
// False (and `out` empty) when it does not fit.
bool CopyWide(char16_t* out, std::size_t cap, std::u16string_view text);
template <std::size_t N>
bool CopyWide(char16_t (&out)[N], std::u16string_view text) { return CopyWide(out, N, text); }

// True when the path is at most kMaxPath - 1 characters long.
inline bool FitsPath(std::u16string_view path) { return path.size() < kMaxPath; }

// True when the last character is a '\'.
bool EndsWithSeparator(std::u16string_view path);

// '/' turned into '\', runs of '\' shrunk to one.
std::u16string NormalizeSeparators(std::u16string_view path);

// Position of the last '\' that is followed by a further character, or npos.
std::size_t LastInnerSeparator(std::u16string_view path);

// Lower-cases the ASCII letters; every other character stays.
void LowercaseAscii(std::u16string* text);

// `text` made of ASCII characters only, in UTF-16 (the same characters in
// every code page the programs meet). False, `out` empty, for any other byte.
bool WidenAscii(std::string_view text, std::u16string* out);
