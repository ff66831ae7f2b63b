// The programs' own Shift-JIS texts and names in UTF-16, for code without
// Win32 that joins them with paths from the system. The Windows programs
// convert with code page 932 (win32/wide_text.h); tests put their own in.
#pragma once

#include <string>
#include <string_view>

class ITextWidener {
public:
    virtual ~ITextWidener() = default;
    // `text` (Shift-JIS) in UTF-16 into `out`; false, `out` empty, when it
    // is no valid Shift-JIS.
    virtual bool Widen(std::string_view text, std::u16string* out) const = 0;
};
