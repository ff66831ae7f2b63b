#include "framework/graphics/alpha_tables.h"

#include <mutex>

AlphaProductTablesData AlphaProductTables;

void BuildAlphaProductTables() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (unsigned a = 0; a < 256; ++a) {
            for (unsigned c = 0; c < 256; ++c) {
                AlphaProductTables.first[a * 256 + c] = static_cast<std::uint8_t>(c * a / 255);
                AlphaProductTables.second[a * 256 + c] =
                    static_cast<std::uint8_t>(c * (255 - a) / 255);
            }
        }
    });
}
