#include "framework/file/lzss_decoder.h"

#include <gtest/gtest.h>

#include "framework/file/lzss_encoder.h"

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// The decoder written the plain way, item by item through a real ring, to
// check the fast decoder against.
Bytes RingDecode(const Bytes& in, std::size_t cap) {
    uint8_t ring[4096] = {};
    std::size_t r = 4078, ip = 0;
    unsigned flags = 0;
    Bytes out;
    for (;;) {
        flags >>= 1;
        if ((flags & 0x100) == 0) {
            if (ip >= in.size()) break;
            flags = in[ip++] | 0xFF00u;
        }
        if (flags & 1) {
            if (ip >= in.size()) break;
            uint8_t c = in[ip++];
            if (out.size() < cap) out.push_back(c);
            ring[r] = c;
            r = (r + 1) & 4095;
        } else {
            if (ip >= in.size()) break;
            unsigned b1 = in[ip++];
            if (ip >= in.size()) break;
            unsigned b2 = in[ip++];
            std::size_t p = b1 | ((b2 & 0xF0u) << 4);
            std::size_t length = (b2 & 0x0Fu) + 3;
            for (std::size_t k = 0; k < length; ++k) {
                uint8_t c = ring[(p + k) & 4095];
                if (out.size() < cap) out.push_back(c);
                ring[r] = c;
                r = (r + 1) & 4095;
            }
        }
    }
    return out;
}

Bytes Decode(const Bytes& in, std::size_t cap) {
    Bytes out(cap + 16, 0xEE);
    std::size_t n = LzssDecode(in.data(), in.size(), out.data(), cap);
    for (std::size_t i = cap; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << "written past the capacity";
    out.resize(n);
    return out;
}

TEST(LzssDecoder, KnownAnswers) {
    struct Case {
        const char* what;
        Bytes in;
        Bytes expected;
    };
    const Case cases[] = {
        {"flag byte 0xFF with eight literals", {0xFF, 1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"a reference at the start copies three zero bytes from the empty ring",
         {0x00, 0x00, 0x00}, {0, 0, 0}},
        {"a reference of length 18 to position 0xFFF reads the zeroed ring",
         {0x00, 0xFF, 0xFF}, Bytes(18, 0)},
        // Literals 'a' 'b' land at ring 4078 and 4079 (0xFEE, 0xFEF); a
        // reference to 0xFEE of length 6 overlaps its own output: ababab.
        {"an overlapping reference repeats what it produces",
         {0x03, 'a', 'b', 0xEE, 0xF3}, {'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b'}},
        {"a reference to the ring position being written copies 4096 back (zeros here)",
         {0x01, 'x', 0xEF, 0xF0}, {'x', 0, 0, 0}},
        {"the input ends inside a reference: the lone byte is dropped",
         {0x01, 'q', 0xEE}, {'q'}},
        {"the input ends after a flag byte", {0xFF}, {}},
        {"empty input", {}, {}},
        {"the next flag byte governs the ninth item",
         {0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0x01, 9}, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Decode(c.in, 1000), c.expected) << c.what;
        EXPECT_EQ(RingDecode(c.in, 1000), c.expected) << c.what << " (reference decoder)";
    }
}

TEST(LzssDecoder, OutputStopsAtTheCapacity) {
    const Bytes in = {0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0x00, 0xEE, 0xFF};
    for (std::size_t cap = 0; cap <= 30; ++cap) {
        Bytes expected = RingDecode(in, cap);
        EXPECT_EQ(Decode(in, cap), expected) << "capacity " << cap;
        EXPECT_EQ(expected.size(), std::min<std::size_t>(cap, 26u));
    }
}

TEST(LzssDecoder, MatchesTheRingDecoderOnRandomStreams) {
    std::mt19937 random(12345);
    for (int round = 0; round < 300; ++round) {
        std::size_t length = random() % (round < 200 ? 200 : 20000);
        Bytes in(length);
        // Mostly references in some rounds, so distances wrap the ring.
        unsigned flagMask = round % 3 == 0 ? 0x11 : 0xFF;
        for (std::size_t i = 0; i < length; ++i) in[i] = static_cast<uint8_t>(random());
        for (std::size_t i = 0; i < length; i += 17) in[i] &= static_cast<uint8_t>(flagMask);
        std::size_t cap = random() % 2 ? 9 * length : random() % (length + 1);
        ASSERT_EQ(Decode(in, cap), RingDecode(in, cap)) << "round " << round;
    }
}

TEST(LzssDecoder, ACutStreamLeavesZerosAfterWhatItDecoded) {
    // Text from a small alphabet encodes to groups full of short references,
    // which the decoder copies in fixed 18-byte pieces. Whatever the buffer
    // held before, everything after the decoded bytes must read as zero.
    std::mt19937 random(4242);
    Bytes text(3000);
    for (auto& b : text) b = static_cast<uint8_t>('a' + random() % 4);
    const Bytes stream = LzssEncode(text);
    ASSERT_GT(stream.size(), 4 * 17u);
    const std::size_t cap = text.size() + 200;
    for (std::size_t cut = stream.size() - 4 * 17; cut <= stream.size(); ++cut) {
        const Bytes in(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
        Bytes expected = RingDecode(in, cap);
        expected.resize(cap, 0);
        for (uint8_t fill : {0x00, 0xEE}) {
            Bytes out(cap, fill);
            LzssDecode(in.data(), in.size(), out.data(), out.size());
            ASSERT_EQ(out, expected) << "cut at " << cut << " of " << stream.size() << ", buffer filled with "
                                     << int(fill);
        }
    }
}

TEST(LzssDecoder, OutputNeverExceedsNineBytesPerInputByte) {
    // The densest stream: flag bytes of zero, every reference 18 long.
    for (std::size_t groups : {1u, 7u, 100u}) {
        Bytes in;
        for (std::size_t g = 0; g < groups; ++g) {
            in.push_back(0x00);
            for (int k = 0; k < 8; ++k) {
                in.push_back(0x00);
                in.push_back(0x0F);
            }
        }
        std::size_t produced = RingDecode(in, SIZE_MAX).size();
        EXPECT_EQ(produced, groups * 144);
        EXPECT_LE(produced, LzssMaxDecodedSize(in.size()));
    }
}

TEST(LzssDecoder, ClassAndFunctionAgree) {
    const Bytes in = {0x03, 'a', 'b', 0xEE, 0xF3};
    Bytes a(8), b(8);
    CLzssDecoder decoder;
    EXPECT_EQ(decoder.Decode(in.data(), in.size(), a.data(), a.size()), 8u);
    EXPECT_EQ(LzssDecode(in.data(), in.size(), b.data(), b.size()), 8u);
    EXPECT_EQ(a, b);
}

}  // namespace
