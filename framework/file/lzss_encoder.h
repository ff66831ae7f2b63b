// Encoder of the LZSS stream read by CLzssDecoder (see lzss_decoder.h for
// the format). It finds matches of 3 to 18 bytes in the last 4096 bytes of
// input with hash chains and a one-step lazy evaluation, and only refers to
// bytes it has really produced (never to the zeroed ring before the start),
// so any input round-trips.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The stream of `size` bytes at `data` (empty input gives an empty stream).
std::vector<uint8_t> LzssEncode(const uint8_t* data, std::size_t size);
std::vector<uint8_t> LzssEncode(const std::vector<uint8_t>& data);
