// bench_decode: output MB/s of the LZSS decoder on three kinds of large
// input, against memcpy of the same output size in the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framework/file/lzss_decoder.h"
#include "framework/file/lzss_encoder.h"
#include "tools/support/sample_data.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kSize = 32u << 20;
constexpr int kRepeats = 7;

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
    bool ok = Measure("text", SampleText(kSize, 1));
    ok = Measure("random", SampleRandom(kSize, 2)) && ok;
    ok = Measure("runs", SampleRuns(kSize, 3, 200, 4199, 256)) && ok;
    return ok ? 0 : 1;
}
