// Where text crosses into Windows and back. The programs keep their texts and
// the data's own names (file, entry and picture names) as Shift-JIS bytes;
// Windows is handed UTF-16 only, through its wide ("W") functions, so that
// the system's own code page never reads them. Every conversion between the
// two is made here, with code page 932 named explicitly, never the system's
// ANSI code page. Paths that come from the system stay UTF-16 throughout and
// are not converted at all.
//
// The pure code keeps UTF-16 as char16_t (wchar_t has 32 bits on the host);
// AsWide and AsUtf16 view the same code units as the other type at the
// Win32 boundary.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "framework/system/text_widener.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t),
              "Windows' wide characters are UTF-16 code units");

inline const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* AsUtf16(const wchar_t* text) {
    return reinterpret_cast<const char16_t*>(text);
}
inline char16_t* AsUtf16(wchar_t* text) { return reinterpret_cast<char16_t*>(text); }
inline std::u16string_view AsUtf16(std::wstring_view text) {
    return {AsUtf16(text.data()), text.size()};
}
inline std::wstring_view AsWide(std::u16string_view text) { return {AsWide(text.data()), text.size()}; }

// The code page of the programs' texts and of the game.
constexpr UINT kShiftJisCodePage = 932;

// `text` (Shift-JIS) as UTF-16 into `out`. False, `out` empty, when it holds
// a byte sequence that code page 932 has no character for.
inline bool WidenShiftJis(std::string_view text, std::wstring* out) {
    out->clear();
    if (text.empty()) return true;
    if (text.size() > 0x7FFFFFFF) return false;
    const int bytes = static_cast<int>(text.size());
    // Every Shift-JIS character is one UTF-16 code unit: as many as bytes
    // at most.
    out->resize(text.size());
    const int units = MultiByteToWideChar(kShiftJisCodePage, MB_ERR_INVALID_CHARS, text.data(),
                                          bytes, &(*out)[0], bytes);
    if (units <= 0) {
        out->clear();
        return false;
    }
    out->resize(static_cast<std::size_t>(units));
    return true;
}

// The program's own Shift-JIS text (its messages, captions and names, all
// valid by construction) in UTF-16; empty should one not be.
inline std::wstring Widen(std::string_view text) {
    std::wstring wide;
    WidenShiftJis(text, &wide);
    return wide;
}

// `text` in Shift-JIS into `out`. False, `out` empty, when a character has
// no exact form in code page 932: the system's best-fit replacement ("u"
// for "ü") would name another file.
inline bool NarrowToShiftJis(std::wstring_view text, std::string* out) {
    out->clear();
    if (text.empty()) return true;
    if (text.size() > 0x3FFFFFFF) return false;
    const int units = static_cast<int>(text.size());
    out->resize(text.size() * 2);
    BOOL usedDefault = FALSE;
    const int bytes = WideCharToMultiByte(kShiftJisCodePage, WC_NO_BEST_FIT_CHARS, text.data(),
                                          units, &(*out)[0], units * 2, nullptr, &usedDefault);
    if (bytes <= 0 || usedDefault) {
        out->clear();
        return false;
    }
    out->resize(static_cast<std::size_t>(bytes));
    // The way back must give the same text: only then does a program that
    // reads it through code page 932 see this name.
    std::wstring back;
    if (!WidenShiftJis(*out, &back) || back != text) {
        out->clear();
        return false;
    }
    return true;
}

// True when code page 932 holds every character of `text` exactly.
inline bool FitsShiftJis(std::wstring_view text) {
    std::string narrow;
    return NarrowToShiftJis(text, &narrow);
}

// ITextWidener for the code without Win32.
class CShiftJisWidener : public ITextWidener {
public:
    bool Widen(std::string_view text, std::u16string* out) const override {
        std::wstring wide;
        const bool ok = WidenShiftJis(text, &wide);
        out->assign(AsUtf16(wide));
        return ok;
    }
};
