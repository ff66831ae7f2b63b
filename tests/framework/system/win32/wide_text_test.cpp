// The one crossing of text into Windows: Shift-JIS to UTF-16 and back with
// code page 932 named explicitly, whatever the system's code page.
#include "framework/system/win32/wide_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Each pair: Shift-JIS bytes and their UTF-16, from the code page 932 table.
TEST(WideText, ShiftJisAndUtf16BothWays) {
    const struct {
        std::string shiftJis;
        std::wstring wide;
    } cases[] = {
        {"", L""},
        {"Sorvane.exe", L"Sorvane.exe"},
        // "ソ表" end in the byte of '\'; "ア" in 'A'.
        {"\x83\x5C\x95\x5C\x83\x41", L"\x30BD\x8868\x30A2"},
        // Full-width tilde and ideographic space of the title; half-width
        // katakana "ｷｬﾝｾﾙ".
        {"\x81\x60\x81\x40", L"\xFF5E\x3000"},
        {"\xB7\xAC\xDD\xBE\xD9", L"\xFF77\xFF6C\xFF9D\xFF7E\xFF99"},
    };
    for (const auto& c : cases) {
        std::wstring wide = L"stale";
        EXPECT_TRUE(WidenShiftJis(c.shiftJis, &wide)) << c.wide;
        EXPECT_EQ(wide, c.wide);
        std::string narrow = "stale";
        EXPECT_TRUE(NarrowToShiftJis(c.wide, &narrow)) << c.wide;
        EXPECT_EQ(narrow, c.shiftJis) << c.wide;
        EXPECT_TRUE(FitsShiftJis(c.wide)) << c.wide;
    }
}

TEST(WideText, BytesThatAreNoShiftJisAreRefused) {
    // A lead byte at the end, and a lead byte before a byte that cannot
    // follow it.
    for (const std::string& bytes : {std::string("a\x83"), std::string("\x83\x20")}) {
        std::wstring wide = L"stale";
        EXPECT_FALSE(WidenShiftJis(bytes, &wide));
        EXPECT_EQ(wide, L"");
    }
}

// A character code page 932 has no exact form for is refused, never given
// the system's best fit ("u" for "ü"), which would name another file.
TEST(WideText, CharactersOutsideCodePage932AreRefusedNotReplaced) {
    const std::wstring outside[] = {
        L"J\xFCrgen",          // "ü"
        L"Jos\xE9",            // "é"
        L"\x301C",             // WAVE DASH, whose look-alike U+FF5E code page 932 holds
        L"\xD83C\xDFAE",       // a character beyond the basic plane
    };
    for (const std::wstring& text : outside) {
        std::string narrow = "stale";
        EXPECT_FALSE(NarrowToShiftJis(text, &narrow)) << text;
        EXPECT_EQ(narrow, "");
        EXPECT_FALSE(FitsShiftJis(L"C:\\" + text)) << text;
    }
}

}  // namespace
