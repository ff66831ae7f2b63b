// Fuzz target: the text rules applied to what the user types as the target
// folder (forming "<base>\Vintal\Sorvane", the drive test, the drive root,
// the installed file paths) and the path-text routines under them, the
// Shift-JIS ones of the data's names and the UTF-16 ones of the folder.
// Every answer is compared with a plain walk over the text's characters,
// and no formed path may exceed 259 characters or end inside a double-byte
// character.
//
// Input: byte 0 chooses the lead-byte table (bit 0) and a small output
// capacity (the other bits); the rest is the text: up to the first zero
// byte for the Shift-JIS routines, read as UTF-16 code units (up to the
// first zero unit) for the folder.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/system/path_text.h"
#include "installer/install_folder.h"
#include "installer/installer_state.h"
#include "tools/support/fuzz_input.h"

namespace {

using fuzz::Check;

// The text cut into characters: a lead byte with a byte after it makes a
// two-byte character, every other byte stands alone.
std::vector<std::string> Characters(const std::string& text, const LeadByteTable& lead) {
    std::vector<std::string> chars;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = lead.IsLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        chars.push_back(text.substr(i, n));
        i += n;
    }
    return chars;
}

bool IsSeparator(const std::string& c) { return c == "\\"; }

void CheckPathText(const std::string& text, const LeadByteTable& lead, std::size_t smallCap) {
    const std::vector<std::string> chars = Characters(text, lead);
    const char* s = text.c_str();

    // Character lengths, last separator, last dot, trailing separator.
    std::size_t offset = 0;
    std::ptrdiff_t lastInner = -1, lastDot = -1;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        Check(CharLength(s + offset, lead) == chars[i].size());
        if (IsSeparator(chars[i]) && i + 1 < chars.size()) lastInner = offset;
        if (chars[i] == ".") lastDot = offset;
        offset += chars[i].size();
    }
    Check(CharLength(s + offset, lead) == 0);
    const char* inner = LastInnerSeparator(s, lead);
    Check(inner == (lastInner < 0 ? nullptr : s + lastInner));
    const char* dot = LastDot(s, lead);
    Check(dot == (lastDot < 0 ? nullptr : s + lastDot));
    Check(EndsWithSeparator(s, lead) == (!chars.empty() && IsSeparator(chars.back())));

    // Separators: '/' becomes '\', runs shrink to one; whole or nothing.
    std::string normal;
    bool lastWasSeparator = false;
    for (const std::string& c : chars) {
        bool separator = c == "\\" || c == "/";
        if (separator && lastWasSeparator) continue;
        normal += separator ? "\\" : c;
        lastWasSeparator = separator;
    }
    for (std::size_t cap : {kMaxPath, smallCap}) {
        std::vector<char> out(cap + 1, 'x');
        bool fits = normal.size() < cap;
        Check(NormalizeSeparators(out.data(), cap, s, lead) == fits);
        if (cap > 0) Check(std::string(out.data()) == (fits ? normal : ""));
        Check(out[cap] == 'x');
    }

    // Lower-casing leaves the bytes of double-byte characters alone.
    std::string lower = text;
    LowercaseAscii(&lower[0], lead);
    offset = 0;
    for (const std::string& c : chars) {
        std::string expected = c;
        if (c.size() == 1 && c[0] >= 'A' && c[0] <= 'Z') expected[0] = static_cast<char>(c[0] + 32);
        Check(lower.compare(offset, c.size(), expected) == 0);
        offset += c.size();
    }

    // Bounded copy and format: whole or nothing, never past the capacity.
    std::vector<char> out(smallCap + 1, 'x');
    std::size_t count = text.size() / 2;
    Check(CopyText(out.data(), smallCap, s, count) == (smallCap > 0 && count < smallCap));
    Check(out[smallCap] == 'x');
    bool formatted = FormatText(out.data(), smallCap, "%s\\%s", s, s);
    Check(formatted == (smallCap > 0 && 2 * text.size() + 1 < smallCap));
    if (smallCap > 0) Check(std::string(out.data()) == (formatted ? text + "\\" + text : ""));
    Check(out[smallCap] == 'x');
}

// The wide path routines, against a plain walk over the code units.
void CheckWidePathText(const std::u16string& text) {
    std::u16string normal;
    for (char16_t c : text) {
        const bool separator = c == u'\\' || c == u'/';
        if (separator && !normal.empty() && normal.back() == u'\\') continue;
        normal += separator ? u'\\' : c;
    }
    Check(NormalizeSeparators(text) == normal);
    std::size_t inner = std::u16string::npos;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == u'\\') inner = i;
    }
    Check(LastInnerSeparator(text) == inner);
    Check(EndsWithSeparator(text) == (!text.empty() && text.back() == u'\\'));
    std::u16string lower = text;
    LowercaseAscii(&lower);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        Check(lower[i] == (c >= u'A' && c <= u'Z' ? c + 32 : c));
    }
}

// The drive rule on what the user typed: a letter and a colon, then a
// separator or nothing ("D:\Games", "D:"); "D:Games" is drive-relative.
bool ReferenceDrive(const std::u16string& typed) {
    if (typed.size() < 2) return false;
    const char16_t c = typed[0];
    bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    return letter && typed[1] == u':' && (typed.size() == 2 || typed[2] == u'\\');
}

void CheckInstallFolder(const std::u16string& text) {
    std::size_t longestName = 0;
    for (const auto& name : FileTable) longestName = std::max(longestName, std::strlen(name));

    // The folder the rules should form: one trailing separator dropped,
    // "\Vintal\Sorvane" appended; refused when "<folder>\<name>" of an
    // installed file would pass 259 characters.
    std::u16string expected = text;
    if (!expected.empty() && expected.back() == u'\\') expected.pop_back();
    expected += u"\\Vintal\\Sorvane";
    FolderText want = text.empty() ? FolderText::Empty
                      : expected.size() + 1 + longestName <= kMaxPath - 1 ? FolderText::Formed
                                                                        : FolderText::TooLong;

    char16_t folder[kMaxPath + 1];
    folder[kMaxPath] = u'x';
    FolderText got = FormInstallFolder(folder, kMaxPath, text);
    Check(got == want);
    Check(folder[kMaxPath] == u'x');
    Check(WideLength(folder) <= kMaxPath - 1);
    if (got != FolderText::Formed) {
        Check(folder[0] == u'\0');
        return;
    }
    Check(folder == expected);

    // The drive test and the root the free-space query is asked for.
    Check(HasDriveRoot(folder) == ReferenceDrive(text));
    if (HasDriveRoot(folder)) {
        char16_t root[8];
        Check(FormDriveRoot(root, 8, folder));
        Check(root == std::u16string(1, folder[0]) + u":\\");
    }

    // Every installed file's path fits.
    for (const auto& name : FileTable) {
        std::u16string wideName(name, name + std::strlen(name));
        char16_t path[kMaxPath];
        Check(FormInstalledFilePath(path, kMaxPath, folder, wideName));
        Check(path == std::u16string(folder) + u"\\" + wideName);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const LeadByteTable& lead = fuzz::LeadBytesFor(data[0]);
    const std::size_t smallCap = data[0] >> 1;
    // The wizard reads at most four paths' worth of text from the edit.
    std::string text(reinterpret_cast<const char*>(data + 1), std::min<std::size_t>(size - 1, 4 * kMaxPath));
    // The same bytes as UTF-16 code units (little-endian pairs), as the
    // folder comes from the system: cut at the first zero unit.
    std::u16string wide;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const auto unit = static_cast<char16_t>(static_cast<std::uint8_t>(text[i]) |
                                                static_cast<std::uint8_t>(text[i + 1]) << 8);
        if (unit == 0) break;
        wide += unit;
    }
    text = text.c_str();
    CheckPathText(text, lead, smallCap);
    CheckWidePathText(wide);
    CheckInstallFolder(wide);
    return 0;
}
