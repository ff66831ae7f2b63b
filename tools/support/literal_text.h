// The narrow literals of the programs and of a test as UTF-16, for fakes of
// the widening the programs do: the Windows builds compile narrow literals
// to Shift-JIS and widen them with code page 932, as the programs do; the
// host build leaves them UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "framework/system/text_widener.h"

#ifdef _WIN32
#include "framework/system/win32/wide_text.h"

using CLiteralWidener = CShiftJisWidener;
#else
class CLiteralWidener : public ITextWidener {
public:
    // UTF-8 into UTF-16; false on a malformed sequence.
    bool Widen(std::string_view text, std::u16string* out) const override {
        out->clear();
        for (std::size_t i = 0; i < text.size();) {
            const auto lead = static_cast<unsigned char>(text[i]);
            const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            if ((lead >= 0x80 && lead < 0xC2) || lead > 0xF4 || i + length > text.size())
                return Fail(out);
            char32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
            for (std::size_t k = 1; k < length; ++k) {
                const auto next = static_cast<unsigned char>(text[i + k]);
                if ((next & 0xC0) != 0x80) return Fail(out);
                code = code << 6 | (next & 0x3F);
            }
            if (code >= 0x10000) {
                out->push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
                out->push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
            } else {
                out->push_back(static_cast<char16_t>(code));
            }
            i += length;
        }
        return true;
    }

private:
    static bool Fail(std::u16string* out) {
        out->clear();
        return false;
    }
};
#endif

// `text` in UTF-16 through CLiteralWidener; empty when it is malformed.
inline std::u16string WidenLiteral(std::string_view text) {
    std::u16string wide;
    CLiteralWidener().Widen(text, &wide);
    return wide;
}
