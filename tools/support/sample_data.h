// Sample data for the compressor's tests, its benchmark and the fuzz seeds:
// the same seed gives the same bytes on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using SampleBytes = std::vector<std::uint8_t>;

// Words of English and Shift-JIS text with line breaks: compresses well.
SampleBytes SampleText(std::size_t n, unsigned seed);
// Uniformly random bytes: does not compress.
SampleBytes SampleRandom(std::size_t n, unsigned seed);
// Runs of `shortest` to `longest` equal bytes, each one of the first
// `values` byte values.
SampleBytes SampleRuns(std::size_t n, unsigned seed, unsigned shortest, unsigned longest, unsigned values);
// The headers of a Windows program ("MZ", the PE signature at 0x80, the
// machine and the optional header's magic of a PE32 i386 program, or with
// `pe32Plus` of a PE32+ x86-64 one), then random bytes: `n` bytes in all,
// at least 256.
SampleBytes SampleProgram(std::size_t n, unsigned seed, bool pe32Plus = false);
