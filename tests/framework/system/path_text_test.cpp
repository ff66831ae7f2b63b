#include "framework/system/path_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const LeadByteTable& kSjis = Cp932LeadBytes();

// "ソフト\表示" in Shift-JIS: ソ is 83 5C and 表 is 95 5C, so both carry a
// second byte that equals '\'.
const char kSoftDisplay[] = "\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8E\xA6";

TEST(PathText, CharLengthStepsOverDoubleByteCharacters) {
    EXPECT_EQ(CharLength("\x83\x5C", kSjis), 2u);
    EXPECT_EQ(CharLength("a", kSjis), 1u);
    EXPECT_EQ(CharLength("", kSjis), 0u);
    // A lead byte right before the terminator is a character of its own.
    EXPECT_EQ(CharLength("\x83", kSjis), 1u);
    // Half-width katakana (0xA1-0xDF) are single bytes.
    EXPECT_EQ(CharLength("\xB1\x5C", kSjis), 1u);
}

TEST(PathText, NormalizeSeparatorsKeepsSecondBytesThatLookLikeBackslashes) {
    struct Case { const char* in; const char* out; };
    const Case cases[] = {
        {"C:/a//b\\\\c", "C:\\a\\b\\c"},
        {"C:\\\\\\x", "C:\\x"},
        // 表 followed by a real separator: the 0x5C inside 表 is not doubled
        // with the separator and so must not be dropped.
        {"D:\\\x95\x5C\\\\x", "D:\\\x95\x5C\\x"},
        {"\x83\x5C/\x83\x5C", "\x83\x5C\\\x83\x5C"},
        {"", ""},
    };
    for (const Case& c : cases) {
        char out[kMaxPath];
        ASSERT_TRUE(NormalizeSeparators(out, sizeof out, c.in, kSjis)) << c.in;
        EXPECT_STREQ(out, c.out) << c.in;
    }
}

TEST(PathText, NormalizeSeparatorsFailsRatherThanTruncates) {
    std::string fits(259, 'a');
    std::string over(260, 'a');
    char out[kMaxPath];
    EXPECT_TRUE(NormalizeSeparators(out, sizeof out, fits.c_str(), kSjis));
    EXPECT_EQ(std::string(out), fits);
    EXPECT_FALSE(NormalizeSeparators(out, sizeof out, over.c_str(), kSjis));
    EXPECT_STREQ(out, "");
    // A double-byte character that would straddle the end does not fit either:
    // 258 letters and one 2-byte character make 260 bytes.
    std::string straddle = std::string(258, 'a') + "\x83\x5C";
    EXPECT_FALSE(NormalizeSeparators(out, sizeof out, straddle.c_str(), kSjis));
}

TEST(PathText, LastInnerSeparatorIgnoresTrailingAndSecondBytes) {
    const char* path = "C:\\a\\b.txt";
    EXPECT_EQ(LastInnerSeparator(path, kSjis), path + 4);
    const char* trailing = "C:\\a\\b\\";
    EXPECT_EQ(LastInnerSeparator(trailing, kSjis), trailing + 4);
    EXPECT_EQ(LastInnerSeparator("C:\\", kSjis), nullptr);
    EXPECT_EQ(LastInnerSeparator("name", kSjis), nullptr);
    // In "ソフト\表示" the only separator is the one between the two words.
    EXPECT_EQ(LastInnerSeparator(kSoftDisplay, kSjis), kSoftDisplay + 6);
    // "x\ソ": the 5C of ソ ends the string but is no separator.
    const char* soft = "x\\\x83\x5C";
    EXPECT_EQ(LastInnerSeparator(soft, kSjis), soft + 1);
}

TEST(PathText, EndsWithSeparatorAndLastDot) {
    EXPECT_TRUE(EndsWithSeparator("D:\\", kSjis));
    EXPECT_FALSE(EndsWithSeparator("D:\\\x95\x5C", kSjis));
    EXPECT_TRUE(EndsWithSeparator("D:\\\x95\x5C\\", kSjis));
    EXPECT_FALSE(EndsWithSeparator("", kSjis));
    const char* name = "x.tar.gz";
    EXPECT_EQ(LastDot(name, kSjis), name + 5);
    EXPECT_EQ(LastDot("noext", kSjis), nullptr);
}

TEST(PathText, LowercaseAsciiLeavesDoubleByteCharactersAlone) {
    // A full-width Ａ (82 60) and ア (83 41), whose second byte is 'A'.
    char s[] = "AB\x82\x60Z\x83\x41Q";
    LowercaseAscii(s, kSjis);
    EXPECT_STREQ(s, "ab\x82\x60z\x83\x41q");
}

TEST(PathText, FormatTextFailsOnOverflowInsteadOfTruncating) {
    char out[kMaxPath];
    std::string base(250, 'b');
    EXPECT_TRUE(FormatText(out, sizeof out, "%s\\%s", "C:", "x"));
    EXPECT_STREQ(out, "C:\\x");
    // 250 + "\Vintal\Sorvane" (15) = 265 > 259
    EXPECT_FALSE(FormatText(out, sizeof out, "%s\\Vintal\\Sorvane", base.c_str()));
    EXPECT_STREQ(out, "");
    std::string exact(259, 'e');
    EXPECT_TRUE(FormatText(out, sizeof out, "%s", exact.c_str()));
    std::string over(260, 'e');
    EXPECT_FALSE(FormatText(out, sizeof out, "%s", over.c_str()));
}

TEST(PathText, CopyTextBounds) {
    char out[4];
    EXPECT_TRUE(CopyText(out, "abc"));
    EXPECT_STREQ(out, "abc");
    EXPECT_FALSE(CopyText(out, "abcd"));
    EXPECT_STREQ(out, "");
}

}  // namespace
