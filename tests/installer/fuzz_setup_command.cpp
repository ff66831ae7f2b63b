// Fuzz target: setup.exe's command line, and the same text as a line of the
// log. A folder read from the line fits a path and reads back the same when
// written into a command line again; the log's UTF-8 decodes to exactly the
// characters of the UTF-16 input (by a plain reference decoder), and its
// line is one line.
//
// Input: the command line as UTF-16 units, low byte first (an odd last byte
// is dropped); units stop at the first zero.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "framework/log/log_text.h"
#include "installer/setup_command.h"
#include "tools/support/fuzz_input.h"

namespace {

using fuzz::Check;

constexpr std::uint32_t kBad = 0xFFFD;

std::vector<std::uint32_t> ReferenceUtf16(const std::u16string& units) {
    std::vector<std::uint32_t> out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const std::uint32_t u = units[i];
        const std::uint32_t next = i + 1 < units.size() ? units[i + 1] : 0;
        if (u >= 0xD800 && u < 0xDC00 && next >= 0xDC00 && next < 0xE000) {
            out.push_back(0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00));
            ++i;
        } else {
            out.push_back(u >= 0xD800 && u < 0xE000 ? kBad : u);
        }
    }
    return out;
}

// Decodes well-formed UTF-8 (shortest forms, no surrogates, at most
// U+10FFFF); aborts on anything else.
std::vector<std::uint32_t> StrictUtf8(const std::string& bytes) {
    std::vector<std::uint32_t> out;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const int length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
        Check(length > 0 && i + length <= bytes.size());
        std::uint32_t c = length == 1 ? b : b & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            const auto t = static_cast<unsigned char>(bytes[i + k]);
            Check((t & 0xC0) == 0x80);
            c = (c << 6) | (t & 0x3F);
        }
        const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        Check(c >= smallest[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF));
        out.push_back(c);
        i += length;
    }
    return out;
}

void CheckCommand(const std::u16string& line) {
    const SetupCommand command = ParseSetupCommand(line.c_str());
    if (command.mode != SetupMode::kUnattended) return;
    const std::u16string folder = command.folder;
    Check(folder.size() < kMaxPath && folder.find(u'"') == std::u16string::npos);
    const std::u16string again =
        folder.empty() ? u"setup.exe /S" : u"setup.exe \"/D=" + folder + u"\" /S";
    const SetupCommand reread = ParseSetupCommand(again.c_str());
    Check(reread.mode == SetupMode::kUnattended && folder == reread.folder);
}

void CheckLogLine(const std::u16string& line) {
    std::string utf8;
    AppendUtf8(utf8, line);
    Check(StrictUtf8(utf8) == ReferenceUtf16(line));
    std::string logged;
    AppendLogLine(logged, 1234, utf8);
    Check(logged.size() >= 2 && logged.compare(logged.size() - 2, 2, "\r\n") == 0);
    for (std::size_t i = 0; i + 2 < logged.size(); ++i) {
        const auto b = static_cast<unsigned char>(logged[i]);
        Check(b >= 0x20 && b != 0x7F);
    }
    StrictUtf8(logged);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string line;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0) break;
        line.push_back(unit);
    }
    CheckCommand(line);
    CheckLogLine(line);
    return 0;
}
