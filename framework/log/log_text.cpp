#include "framework/log/log_text.h"

#include <cstdio>

namespace {

constexpr std::uint32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendCodePoint(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

void AppendUtf8(std::string& out, std::u16string_view text) {
    const std::size_t count = text.size();
    for (std::size_t i = 0; i < count; ++i) {
        const auto unit = static_cast<std::uint32_t>(text[i]);
        if (IsLowSurrogate(unit)) {
            AppendCodePoint(out, kReplacement);
        } else if (!IsHighSurrogate(unit)) {
            AppendCodePoint(out, unit);
        } else if (i + 1 < count && IsLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
            const auto low = static_cast<std::uint32_t>(text[++i]);
            AppendCodePoint(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else {
            AppendCodePoint(out, kReplacement);
        }
    }
}

void AppendLogLine(std::string& out, std::uint32_t milliseconds, std::string_view text) {
    char time[24];
    std::snprintf(time, sizeof time, "%8lu ms  ", static_cast<unsigned long>(milliseconds));
    out += time;
    // Control bytes never occur inside a UTF-8 sequence, so replacing them
    // byte by byte leaves every character whole.
    std::size_t kept = text.size();
    while (kept > 0 && (text[kept - 1] == ' ' || IsControl(text[kept - 1]))) --kept;
    for (std::size_t i = 0; i < kept; ++i) out += IsControl(text[i]) ? ' ' : text[i];
    out += "\r\n";
}

void AppendTransfer(std::string& out, std::uint64_t bytes, std::uint32_t milliseconds) {
    char text[96];
    std::snprintf(text, sizeof text, "%llu bytes in %lu ms",
                  static_cast<unsigned long long>(bytes), static_cast<unsigned long>(milliseconds));
    out += text;
    if (milliseconds == 0) return;
    // Tenths of MiB a second; 2^64 / 10000 bytes is far beyond any file.
    const std::uint64_t tenths = bytes * 10000 / milliseconds / (1024 * 1024);
    std::snprintf(text, sizeof text, " (%llu.%llu MiB/s)",
                  static_cast<unsigned long long>(tenths / 10),
                  static_cast<unsigned long long>(tenths % 10));
    out += text;
}
