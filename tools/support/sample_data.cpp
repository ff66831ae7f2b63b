#include "tools/support/sample_data.h"

#include <algorithm>
#include <random>
#include <string>

SampleBytes SampleText(std::size_t n, unsigned seed) {
    static const char* const kWords[] = {"setup ", "data ", "disc ", "file ", "archive ", "copy ",
                                         "\x83\x5C\x83\x74\x83\x67 ", "install\r\n", "the "};
    constexpr unsigned kCount = sizeof(kWords) / sizeof(kWords[0]);
    std::mt19937 random(seed);
    SampleBytes out;
    out.reserve(n + 16);
    while (out.size() < n) {
        const char* w = kWords[random() % kCount];
        out.insert(out.end(), w, w + std::char_traits<char>::length(w));
    }
    out.resize(n);
    return out;
}

SampleBytes SampleRandom(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    SampleBytes out(n);
    for (auto& b : out) b = static_cast<std::uint8_t>(random());
    return out;
}

SampleBytes SampleRuns(std::size_t n, unsigned seed, unsigned shortest, unsigned longest, unsigned values) {
    std::mt19937 random(seed);
    const unsigned span = longest >= shortest ? longest - shortest + 1 : 1;
    if (values == 0 || values > 256) values = 256;
    SampleBytes out;
    while (out.size() < n) {
        const std::size_t length = shortest + random() % span;
        const auto value = static_cast<std::uint8_t>(random() % values);
        out.insert(out.end(), length == 0 ? 1 : length, value);
    }
    out.resize(n);
    return out;
}

SampleBytes SampleProgram(std::size_t n, unsigned seed, bool pe32Plus) {
    SampleBytes out = SampleRandom(n < 256 ? 256 : n, seed);
    const auto put16 = [&out](std::size_t at, unsigned v) {
        out[at] = static_cast<std::uint8_t>(v);
        out[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    constexpr std::size_t kPe = 0x80;
    out[0] = 'M';
    out[1] = 'Z';
    put16(0x3C, kPe);
    put16(0x3E, 0);
    const std::uint8_t signature[] = {'P', 'E', 0, 0};
    std::copy(signature, signature + 4, out.begin() + kPe);
    put16(kPe + 4, pe32Plus ? 0x8664 : 0x14C);   // machine
    put16(kPe + 24, pe32Plus ? 0x20B : 0x10B);   // optional header's magic
    return out;
}
