// Fuzz target: the LZSS decoder over arbitrary streams against a plain
// decoder that follows the stream's description item by item, byte by byte;
// and the encoder's round trip over arbitrary data.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/file/lzss_decoder.h"
#include "framework/file/lzss_encoder.h"

namespace {

std::vector<uint8_t> ReferenceDecode(const uint8_t* in, std::size_t size, std::size_t cap) {
    std::vector<uint8_t> out;
    uint8_t ring[kLzssRingSize] = {};
    std::size_t at = kLzssRingStart;
    auto put = [&](uint8_t b) {
        out.push_back(b);
        ring[at] = b;
        at = (at + 1) % kLzssRingSize;
    };
    std::size_t i = 0;
    while (i < size && out.size() < cap) {
        const uint8_t flags = in[i++];
        for (int bit = 0; bit < 8 && out.size() < cap; ++bit) {
            if ((flags >> bit) & 1) {
                if (i >= size) return out;
                put(in[i++]);
            } else {
                if (i + 1 >= size) return out;
                const std::size_t from = in[i] | ((in[i + 1] & 0xF0) << 4);
                const std::size_t length = (in[i + 1] & 0x0F) + kLzssMinMatch;
                i += 2;
                for (std::size_t k = 0; k < length && out.size() < cap; ++k)
                    put(ring[(from + k) % kLzssRingSize]);
            }
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // Decode into a buffer of exactly the bound, so ASan sees any write past
    // it; the first byte also picks a smaller capacity to cut references.
    std::size_t full = static_cast<std::size_t>(LzssMaxDecodedSize(size));
    std::size_t cap = size > 0 && (data[0] & 1) ? full / (1 + data[0] % 7) : full;
    std::vector<uint8_t> out(cap);
    std::size_t n = LzssDecode(data, size, out.data(), cap);
    if (n > cap) std::abort();
    const std::vector<uint8_t> expected = ReferenceDecode(data, size, cap);
    if (n != expected.size() || (n != 0 && std::memcmp(out.data(), expected.data(), n) != 0))
        std::abort();

    std::vector<uint8_t> stream = LzssEncode(data, size);
    std::vector<uint8_t> back(size);
    if (LzssDecode(stream.data(), stream.size(), back.data(), back.size()) != size) std::abort();
    if (size != 0 && std::memcmp(back.data(), data, size) != 0) std::abort();
    return 0;
}
