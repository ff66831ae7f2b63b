#include "framework/file/lzss_encoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "framework/file/lzss_decoder.h"
#include "tools/support/sample_data.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes RoundTrip(const Bytes& data) {
    Bytes stream = LzssEncode(data);
    Bytes out(data.size());
    std::size_t n = LzssDecode(stream.data(), stream.size(), out.data(), out.size());
    out.resize(n);
    return out;
}

Bytes Text(std::size_t n, unsigned seed) { return SampleText(n, seed); }
Bytes Random(std::size_t n, unsigned seed) { return SampleRandom(n, seed); }
Bytes Runs(std::size_t n, unsigned seed) { return SampleRuns(n, seed, 1, 300, 4); }

// Repeats with distances around the ring size, where an off-by-one in the
// distance shows.
Bytes FarRepeats(std::size_t n, unsigned seed) {
    Bytes block = Random(4096 + seed % 3, seed);
    Bytes out;
    while (out.size() < n) out.insert(out.end(), block.begin(), block.end());
    out.resize(n);
    return out;
}

TEST(LzssEncoder, RoundTripsStructuredAndRandomInputs) {
    using Maker = Bytes (*)(std::size_t, unsigned);
    const Maker makers[] = {Text, Random, Runs, FarRepeats};
    const std::size_t sizes[] = {0, 1, 2, 3, 4, 17, 18, 19, 144, 4095, 4096, 4097, 9000, 70000};
    unsigned seed = 1;
    for (Maker make : makers) {
        for (std::size_t size : sizes) {
            Bytes data = make(size, seed++);
            ASSERT_EQ(RoundTrip(data), data) << "maker " << (&make - makers) << " size " << size;
        }
    }
}

TEST(LzssEncoder, RoundTripsRepeatsAtEveryDistanceNearTheRingSize) {
    for (unsigned seed = 0; seed < 3; ++seed) {
        Bytes data = FarRepeats(20000, seed);  // blocks of 4096, 4097 and 4098 bytes
        ASSERT_EQ(RoundTrip(data), data) << "block " << 4096 + seed;
    }
}

TEST(LzssEncoder, RoundTripsManySmallRandomInputs) {
    std::mt19937 random(99);
    for (int i = 0; i < 2000; ++i) {
        std::size_t size = random() % 600;
        Bytes data(size);
        // A small alphabet gives many short and overlapping matches.
        unsigned alphabet = 1 + random() % 5;
        for (auto& b : data) b = static_cast<uint8_t>(random() % alphabet);
        ASSERT_EQ(RoundTrip(data), data) << "case " << i;
    }
}

TEST(LzssEncoder, FindsRealMatches) {
    struct Case {
        const char* what;
        Bytes data;
        double maxRatio;  // stream size / input size
    };
    const Case cases[] = {
        {"text", Text(100000, 3), 0.45},
        {"long runs", Runs(100000, 4), 0.15},
        {"one byte repeated", Bytes(100000, 0x41), 0.13},
        {"a block repeated at 4096", FarRepeats(100000, 3), 0.2},
    };
    for (const Case& c : cases) {
        Bytes stream = LzssEncode(c.data);
        EXPECT_LT(static_cast<double>(stream.size()), c.maxRatio * c.data.size()) << c.what;
    }
}

TEST(LzssEncoder, RandomInputGrowsByAtMostOneFlagBytePerEightBytes) {
    Bytes data = Random(80000, 7);
    Bytes stream = LzssEncode(data);
    EXPECT_LE(stream.size(), data.size() + (data.size() + 7) / 8);
}

}  // namespace
