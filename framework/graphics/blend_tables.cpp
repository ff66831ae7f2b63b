#include "framework/graphics/blend_tables.h"

#include <memory>
#include <mutex>

namespace {

struct FieldLayout {
    int shift;
    unsigned mask;  // field mask before shifting
};

void BuildTable(std::uint16_t* table, const FieldLayout (&fields)[3]) {
    for (unsigned k = 0; k < kBlendLevels; ++k) {
        for (unsigned c = 0; c < kBlendEntries; ++c) {
            unsigned out = 0;
            for (const FieldLayout& f : fields) {
                const unsigned v = (c >> f.shift) & f.mask;
                out |= (v * k / 15) << f.shift;
            }
            table[k * kBlendEntries + c] = static_cast<std::uint16_t>(out);
        }
    }
}

const std::uint16_t* BuildOnce(std::once_flag& once, std::unique_ptr<std::uint16_t[]>& storage,
                               const FieldLayout (&fields)[3]) {
    std::call_once(once, [&] {
        storage.reset(new std::uint16_t[kBlendLevels * kBlendEntries]);
        BuildTable(storage.get(), fields);
    });
    return storage.get();
}

}  // namespace

const std::uint16_t* BlendTable555() {
    static std::once_flag once;
    static std::unique_ptr<std::uint16_t[]> table;
    static const FieldLayout fields[3] = {{10, 0x1F}, {5, 0x1F}, {0, 0x1F}};
    return BuildOnce(once, table, fields);
}

const std::uint16_t* BlendTable565() {
    static std::once_flag once;
    static std::unique_ptr<std::uint16_t[]> table;
    static const FieldLayout fields[3] = {{11, 0x1F}, {5, 0x3F}, {0, 0x1F}};
    return BuildOnce(once, table, fields);
}
