// The text of the programs' logs, without Win32: UTF-16 as UTF-8, one event
// a line with the time since the program's start, transfer figures.
//
// A log is UTF-8 behind a byte-order mark (so that Notepad of every Windows
// version reads it as UTF-8), one event a line, each ending in CR LF:
//
//       153 ms  copy M:\data\data\bg.dat -> C:\Games\Vintal\Sorvane\bg.dat
//
// The milliseconds stand right-aligned in eight places (wider past 27
// hours). A line never holds a control character: what a text brings along
// (the line end of a system message, a tab, a control character in a file
// name) becomes a blank and blanks at the end are dropped, so one event is
// always exactly one line and no text can forge another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The first bytes of every log file.
inline constexpr char kLogByteOrderMark[] = "\xEF\xBB\xBF";

// Appends the UTF-16 `text` as UTF-8. A unit that is not part of a
// well-formed pair (a lone surrogate) becomes U+FFFD.
void AppendUtf8(std::string& out, std::u16string_view text);

// Appends one line: `milliseconds` and the UTF-8 `text` as described above.
void AppendLogLine(std::string& out, std::uint32_t milliseconds, std::string_view text);

// Appends "<bytes> bytes in <ms> ms" and, when the time is not zero,
// " (<rate> MiB/s)" with one decimal, truncated.
void AppendTransfer(std::string& out, std::uint64_t bytes, std::uint32_t milliseconds);
