#include "framework/system/wide_path_text.h"

std::size_t WideLength(const char16_t* text) { return std::char_traits<char16_t>::length(text); }

bool CopyWide(char16_t* out, std::size_t cap, std::u16string_view text) {
    if (cap == 0) return false;
    if (text.size() >= cap) {
        out[0] = u'\0';
        return false;
    }
    text.copy(out, text.size());
    out[text.size()] = u'\0';
    return true;
}

bool EndsWithSeparator(std::u16string_view path) { return !path.empty() && path.back() == u'\\'; }

std::u16string NormalizeSeparators(std::u16string_view path) {
    std::u16string out;
    out.reserve(path.size());
    for (char16_t c : path) {
        const bool separator = c == u'\\' || c == u'/';
        if (separator && !out.empty() && out.back() == u'\\') continue;
        out.push_back(separator ? u'\\' : c);
    }
    return out;
}

std::size_t LastInnerSeparator(std::u16string_view path) {
    if (path.size() < 2) return std::u16string_view::npos;
    return path.find_last_of(u'\\', path.size() - 2);
}

void LowercaseAscii(std::u16string* text) {
    for (char16_t& c : *text) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
}

bool WidenAscii(std::string_view text, std::u16string* out) {
    out->clear();
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            out->clear();
            return false;
        }
        out->push_back(static_cast<char16_t>(byte));
    }
    return true;
}
