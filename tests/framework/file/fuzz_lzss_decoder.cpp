// Fuzz target: the LZSS decoder over arbitrary streams, and the encoder's
// round trip over arbitrary data.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/file/lzss_decoder.h"
#include "framework/file/lzss_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // Decode into a buffer of exactly the bound, so ASan sees any write past
    // it; the first byte also picks a smaller capacity to cut references.
    std::size_t full = static_cast<std::size_t>(LzssMaxDecodedSize(size));
    std::size_t cap = size > 0 && (data[0] & 1) ? full / (1 + data[0] % 7) : full;
    std::vector<uint8_t> out(cap);
    std::size_t n = LzssDecode(data, size, out.data(), cap);
    if (n > cap) std::abort();

    std::vector<uint8_t> stream = LzssEncode(data, size);
    std::vector<uint8_t> back(size);
    if (LzssDecode(stream.data(), stream.size(), back.data(), back.size()) != size) std::abort();
    if (size != 0 && std::memcmp(back.data(), data, size) != 0) std::abort();
    return 0;
}
