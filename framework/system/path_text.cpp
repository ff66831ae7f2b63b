#include "framework/system/path_text.h"

#include <cstdio>
#include <cstring>

namespace {

LeadByteTable MakeCp932() {
    LeadByteTable t{};
    for (int c = 0x81; c <= 0x9F; ++c) t.lead[c] = true;
    for (int c = 0xE0; c <= 0xFC; ++c) t.lead[c] = true;
    return t;
}

}  // namespace

const LeadByteTable& Cp932LeadBytes() {
    static const LeadByteTable table = MakeCp932();
    return table;
}

std::size_t CharLength(const char* s, const LeadByteTable& lead) {
    if (*s == '\0') return 0;
    if (lead.IsLead(static_cast<unsigned char>(*s)) && s[1] != '\0') return 2;
    return 1;
}

bool NormalizeSeparators(char* out, std::size_t cap, const char* in, const LeadByteTable& lead) {
    if (cap == 0) return false;
    std::size_t n = 0;
    bool lastWasSeparator = false;
    for (const char* p = in; *p != '\0';) {
        std::size_t len = CharLength(p, lead);
        bool separator = len == 1 && (*p == '\\' || *p == '/');
        if (separator && lastWasSeparator) {
            p += len;
            continue;
        }
        if (n + len >= cap) {
            out[0] = '\0';
            return false;
        }
        if (separator) {
            out[n++] = '\\';
        } else {
            std::memcpy(out + n, p, len);
            n += len;
        }
        lastWasSeparator = separator;
        p += len;
    }
    out[n] = '\0';
    return true;
}

const char* LastInnerSeparator(const char* s, const LeadByteTable& lead) {
    const char* found = nullptr;
    for (const char* p = s; *p != '\0';) {
        std::size_t len = CharLength(p, lead);
        if (len == 1 && *p == '\\' && p[1] != '\0') found = p;
        p += len;
    }
    return found;
}

const char* LastDot(const char* s, const LeadByteTable& lead) {
    const char* found = nullptr;
    for (const char* p = s; *p != '\0';) {
        std::size_t len = CharLength(p, lead);
        if (len == 1 && *p == '.') found = p;
        p += len;
    }
    return found;
}

bool EndsWithSeparator(const char* s, const LeadByteTable& lead) {
    bool last = false;
    for (const char* p = s; *p != '\0';) {
        std::size_t len = CharLength(p, lead);
        last = len == 1 && *p == '\\';
        p += len;
    }
    return last;
}

void LowercaseAscii(char* s, const LeadByteTable& lead) {
    for (char* p = s; *p != '\0';) {
        std::size_t len = CharLength(p, lead);
        if (len == 1 && *p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
        p += len;
    }
}

bool CopyText(char* out, std::size_t cap, const char* src, std::size_t count) {
    if (cap == 0) return false;
    if (count >= cap) {
        out[0] = '\0';
        return false;
    }
    std::memmove(out, src, count);
    out[count] = '\0';
    return true;
}

bool CopyText(char* out, std::size_t cap, const char* src) {
    return CopyText(out, cap, src, std::strlen(src));
}

bool FormatTextV(char* out, std::size_t cap, const char* format, std::va_list args) {
    if (cap == 0) return false;
    int n = std::vsnprintf(out, cap, format, args);
    if (n < 0 || static_cast<std::size_t>(n) >= cap) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool FormatText(char* out, std::size_t cap, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    bool ok = FormatTextV(out, cap, format, args);
    va_end(args);
    return ok;
}
