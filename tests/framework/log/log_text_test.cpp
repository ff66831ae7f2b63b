// The log's text: UTF-16 as UTF-8, the line's form, transfer figures. The
// expected bytes are the UTF-8 encodings as the Unicode standard gives them.
#include "framework/log/log_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

TEST(LogText, Utf16BecomesUtf8WithLoneSurrogatesReplaced) {
    struct Case {
        std::u16string_view text;
        const char* utf8;
    };
    const char kReplacement[] = "\xEF\xBF\xBD";
    const Case cases[] = {
        {u"C:\\a b", "C:\\a b"},
        // The largest one-, two- and three-byte forms and the smallest two-
        // and three-byte ones.
        {u"\x7F\x80\x7FF\x800\xFFFF",
         "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
        // "ソ表" (U+30BD U+8868): their Shift-JIS forms end in 0x5C, their
        // UTF-8 forms do not.
        {u"\x30BD\x8868", "\xE3\x82\xBD\xE8\xA1\xA8"},
        // U+1F600 as a pair, and U+10000 and U+10FFFF at the ends.
        {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {u"\xD800\xDC00\xDBFF\xDFFF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        // A high surrogate at the end, before a character, before another
        // high one; a low one alone.
        {u"a\xD800", "a\xEF\xBF\xBD"},
        {u"\xD800z", "\xEF\xBF\xBDz"},
        {u"\xD800\xD800\xDC00", "\xEF\xBF\xBD\xF0\x90\x80\x80"},
        {u"\xDC00", kReplacement},
        {u"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        std::string out = "<";
        AppendUtf8(out, c.text);
        EXPECT_EQ(out, std::string("<") + c.utf8);
    }
}

TEST(LogText, EveryEventIsOneLineWithItsTime) {
    struct Case {
        std::uint32_t milliseconds;
        const char* text;
        const char* line;
    };
    const Case cases[] = {
        {0, "start", "       0 ms  start\r\n"},
        {12345678, "x", "12345678 ms  x\r\n"},
        {4294967295u, "late", "4294967295 ms  late\r\n"},
        // A system message's line end, a tab, a line feed inside a name.
        {7, "error 5 (Access is denied.\r\n)", "       7 ms  error 5 (Access is denied.  )\r\n"},
        {7, "a\tb\nc\x7F" "d\x01", "       7 ms  a b c d\r\n"},
        {7, "  end  \r\n", "       7 ms    end\r\n"},
        {7, "\xE3\x82\xBD\xE8\xA1\xA8\n", "       7 ms  \xE3\x82\xBD\xE8\xA1\xA8\r\n"},
        {7, "", "       7 ms  \r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string out = "before\r\n";
        AppendLogLine(out, c.milliseconds, c.text);
        EXPECT_EQ(out, std::string("before\r\n") + c.line);
    }
}

TEST(LogText, TransferGivesBytesTimeAndTruncatedRate) {
    struct Case {
        std::uint64_t bytes;
        std::uint32_t milliseconds;
        const char* text;
    };
    const Case cases[] = {
        // 307200 B / 12 ms = 25.6 MB/s = 24.41 MiB/s.
        {307200, 12, "307200 bytes in 12 ms (24.4 MiB/s)"},
        // The whole installation in a minute: 63.24 MiB/s.
        {3979031201ull, 60000, "3979031201 bytes in 60000 ms (63.2 MiB/s)"},
        {1048576, 1000, "1048576 bytes in 1000 ms (1.0 MiB/s)"},
        {5, 0, "5 bytes in 0 ms"},
        {0, 30, "0 bytes in 30 ms (0.0 MiB/s)"},
    };
    for (const Case& c : cases) {
        std::string out;
        AppendTransfer(out, c.bytes, c.milliseconds);
        EXPECT_EQ(out, c.text);
    }
}

}  // namespace
