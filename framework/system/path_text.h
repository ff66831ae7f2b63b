// Multi-byte path text without Win32: walking Shift-JIS (or any ANSI code
// page) strings character by character, separators, bounded formatting.
//
// The second byte of a double-byte character may be 0x5C, the backslash
// ("ソ" is 83 5C, "表" is 95 5C), or an ASCII letter. Every routine here steps
// over whole characters so such a byte is never taken for a separator or a
// letter. Which bytes lead a double-byte character depends on the code page
// the text is in; the caller passes that table.
#pragma once

#include <cstdarg>
#include <cstddef>

// Paths hold at most 259 characters plus the terminating zero.
constexpr std::size_t kMaxPath = 260;

struct LeadByteTable {
    bool lead[256];
    bool IsLead(unsigned char c) const { return lead[c]; }
};

// Lead bytes of code page 932 (Shift-JIS): 0x81-0x9F and 0xE0-0xFC.
const LeadByteTable& Cp932LeadBytes();

// Length in bytes of the character at `s` (1 or 2; 1 at a lone lead byte
// that is followed by the terminating zero, and 0 at the terminator).
std::size_t CharLength(const char* s, const LeadByteTable& lead);

// Copies `in` to `out` (capacity `cap`), turning '/' into '\' and shrinking
// runs of '\' to one. False (and `out` empty) when the result does not fit.
bool NormalizeSeparators(char* out, std::size_t cap, const char* in, const LeadByteTable& lead);

// The last '\' of `s` that is followed by a further character, or nullptr.
const char* LastInnerSeparator(const char* s, const LeadByteTable& lead);

// The last '.' of `s`, or nullptr.
const char* LastDot(const char* s, const LeadByteTable& lead);

// True when the last character of `s` is a '\' (a real one, not the second
// byte of a double-byte character).
bool EndsWithSeparator(const char* s, const LeadByteTable& lead);

// Lower-cases the ASCII letters of `s` in place; bytes of double-byte
// characters stay as they are.
void LowercaseAscii(char* s, const LeadByteTable& lead);

// Copies at most `count` bytes of `src` into `out` (capacity `cap`) and
// terminates it. False (and `out` empty) when it does not fit.
bool CopyText(char* out, std::size_t cap, const char* src, std::size_t count);
bool CopyText(char* out, std::size_t cap, const char* src);

// vsnprintf into `out` that fails instead of truncating: false (and `out`
// empty) when the result would not fit in `cap` bytes with its terminator.
bool FormatText(char* out, std::size_t cap, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
bool FormatTextV(char* out, std::size_t cap, const char* format, std::va_list args);

template <std::size_t N>
bool CopyText(char (&out)[N], const char* src) { return CopyText(out, N, src); }
