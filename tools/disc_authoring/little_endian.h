// Little-endian numbers in the bytes of BMP files, PE headers and ISO 9660
// images. The caller has checked that the bytes are there.
#pragma once

#include <cstdint>

inline std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

inline std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
