// What the fuzz targets over Shift-JIS texts share: the stop on a broken
// property, and the code page an input's option byte picks.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "framework/system/path_text.h"

namespace fuzz {

inline void Check(bool ok) {
    if (!ok) std::abort();
}

// Lead bytes of the other double-byte code pages (936, 949, 950).
inline const LeadByteTable& WideLeadBytes() {
    static const LeadByteTable table = [] {
        LeadByteTable t{};
        for (int c = 0x81; c <= 0xFE; ++c) t.lead[c] = true;
        return t;
    }();
    return table;
}

// Bit 0 of an input's option byte: set for the other double-byte code
// pages, clear for code page 932.
inline const LeadByteTable& LeadBytesFor(std::uint8_t options) {
    return (options & 1) ? WideLeadBytes() : Cp932LeadBytes();
}

}  // namespace fuzz
