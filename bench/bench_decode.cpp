// bench_decode: output MB/s of the LZSS decoder on three kinds of large
// input, against memcpy of the same output size in the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "framework/file/lzss_decoder.h"
#include "framework/file/lzss_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kSize = 32u << 20;
constexpr int kRepeats = 7;

Bytes TextLike(std::size_t n) {
    static const char* const kWords[] = {"the ", "setup ", "program ", "copies ", "data ", "files ",
                                         "from ", "disc ", "into ", "folder. ", "\r\n",
                                         "\x83\x5C\x83\x74\x83\x67 ", "\x95\x5C\x8E\xA6 "};
    std::mt19937 random(1);
    Bytes out;
    out.reserve(n + 16);
    while (out.size() < n) {
        const char* w = kWords[random() % 13];
        out.insert(out.end(), w, w + std::strlen(w));
    }
    out.resize(n);
    return out;
}

Bytes RandomBytes(std::size_t n) {
    std::mt19937 random(2);
    Bytes out(n);
    for (auto& b : out) b = static_cast<uint8_t>(random());
    return out;
}

Bytes LongRuns(std::size_t n) {
    std::mt19937 random(3);
    Bytes out;
    out.reserve(n + 5000);
    while (out.size() < n) out.insert(out.end(), 200 + random() % 4000, static_cast<uint8_t>(random()));
    out.resize(n);
    return out;
}

template <typename F>
double BestSeconds(F&& run) {
    double best = 1e30;
    for (int i = 0; i < kRepeats; ++i) {
        auto start = Clock::now();
        run();
        std::chrono::duration<double> took = Clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

bool Measure(const char* kind, const Bytes& data) {
    Bytes stream = LzssEncode(data);
    Bytes out(data.size());
    Bytes copy(data.size());

    double decode = BestSeconds([&] { LzssDecode(stream.data(), stream.size(), out.data(), out.size()); });
    if (out != data) {
        std::printf("%-10s decode mismatch\n", kind);
        return false;
    }
    double memcpyTime = BestSeconds([&] {
        std::memcpy(copy.data(), data.data(), data.size());
        // Keep the copy observable so it is not optimised away.
        asm volatile("" : : "r"(copy.data()) : "memory");
    });
    double mb = static_cast<double>(data.size()) / (1024.0 * 1024.0);
    std::printf("%-10s stream %5.1f%% of output  decode %8.1f MB/s  memcpy %8.1f MB/s  decode/memcpy %.3f\n",
                kind, 100.0 * stream.size() / data.size(), mb / decode, mb / memcpyTime,
                memcpyTime / decode);
    return true;
}

}  // namespace

int main() {
    std::printf("LZSS decode, %zu MiB of output each, best of %d\n", kSize >> 20, kRepeats);
    bool ok = Measure("text", TextLike(kSize));
    ok = Measure("random", RandomBytes(kSize)) && ok;
    ok = Measure("runs", LongRuns(kSize)) && ok;
    return ok ? 0 : 1;
}
