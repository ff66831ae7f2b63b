#include "framework/file/lzss_decoder.h"

#include <algorithm>
#include <cstring>

// The output buffer serves as the ring: output byte i went to ring position
// (4078 + i) mod 4096, so ring position p, seen from output position o, is
// the output byte at distance ((4078 + o - p) mod 4096), or 4096 when that is
// 0. A distance reaching before the first output byte reads ring positions
// never written, which hold zero. Output that would not fit is never needed
// again, so decoding simply stops when the buffer is full.

namespace {

constexpr std::size_t kRingMask = kLzssRingSize - 1;
// A whole group: the flag byte and eight references.
constexpr std::size_t kGroupInput = 1 + 8 * 2;
constexpr std::size_t kGroupOutput = 8 * kLzssMaxMatch;

inline std::size_t Distance(std::size_t outputPosition, std::size_t ringPosition) {
    std::size_t d = (kLzssRingStart + outputPosition - ringPosition) & kRingMask;
    return d == 0 ? kLzssRingSize : d;
}

// Copies `length` bytes to out[pos...] from `distance` bytes back.
inline void CopyMatch(uint8_t* out, std::size_t pos, std::size_t distance, std::size_t length) {
    uint8_t* dst = out + pos;
    if (distance > pos) {
        std::size_t zeros = std::min(length, distance - pos);
        std::memset(dst, 0, zeros);
        dst += zeros;
        length -= zeros;
    }
    if (distance == 1) {
        std::memset(dst, dst[-1], length);
        return;
    }
    // An overlapping reference repeats its last `distance` bytes: copy them
    // in pieces no longer than the distance, each reading only bytes
    // already written.
    while (length > 0) {
        std::size_t piece = std::min(length, distance);
        std::memcpy(dst, dst - distance, piece);
        dst += piece;
        length -= piece;
    }
}

struct Cursor {
    const uint8_t* in;
    std::size_t inSize;
    uint8_t* out;
    std::size_t cap;
    std::size_t ip = 0;
    std::size_t op = 0;
};

// One group with every bound known to hold: no checks per item.
inline void DecodeWholeGroup(Cursor& c) {
    unsigned flags = c.in[c.ip++];
    if (flags == 0xFFu) {
        // Eight literals, as incompressible data gives.
        std::memcpy(c.out + c.op, c.in + c.ip, 8);
        c.op += 8;
        c.ip += 8;
        return;
    }
    for (int item = 0; item < 8; ++item, flags >>= 1) {
        if (flags & 1u) {
            c.out[c.op++] = c.in[c.ip++];
            continue;
        }
        unsigned b1 = c.in[c.ip], b2 = c.in[c.ip + 1];
        c.ip += 2;
        std::size_t p = b1 | ((b2 & 0xF0u) << 4);
        std::size_t length = (b2 & 0x0Fu) + kLzssMinMatch;
        std::size_t distance = Distance(c.op, p);
        if (distance <= c.op && distance >= length) {
            // The group has room for 18 bytes past every item, so copy a
            // fixed 18 through registers; bytes past `length` are written
            // over by the items that follow.
            uint8_t piece[kLzssMaxMatch];
            std::memcpy(piece, c.out + c.op - distance, sizeof piece);
            std::memcpy(c.out + c.op, piece, sizeof piece);
        } else if (distance == 1 && c.op != 0) {
            std::memset(c.out + c.op, c.out[c.op - 1], kLzssMaxMatch);  // a run
        } else {
            CopyMatch(c.out, c.op, distance, length);
        }
        c.op += length;
    }
}

// Items one at a time, near the end of the input or the output. Returns
// false when decoding is over.
bool DecodeCheckedGroup(Cursor& c) {
    if (c.ip >= c.inSize) return false;
    unsigned flags = c.in[c.ip++];
    for (int item = 0; item < 8; ++item, flags >>= 1) {
        if (c.op >= c.cap) return false;
        if (flags & 1u) {
            if (c.ip >= c.inSize) return false;
            c.out[c.op++] = c.in[c.ip++];
            continue;
        }
        if (c.inSize - c.ip < 2) return false;
        unsigned b1 = c.in[c.ip], b2 = c.in[c.ip + 1];
        c.ip += 2;
        std::size_t p = b1 | ((b2 & 0xF0u) << 4);
        std::size_t length = std::min<std::size_t>((b2 & 0x0Fu) + kLzssMinMatch, c.cap - c.op);
        CopyMatch(c.out, c.op, Distance(c.op, p), length);
        c.op += length;
    }
    return true;
}

}  // namespace

std::size_t LzssDecode(const uint8_t* input, std::size_t inputSize, uint8_t* output,
                       std::size_t outputCapacity) {
    if (input == nullptr || output == nullptr) return 0;
    Cursor c{input, inputSize, output, outputCapacity};
    for (;;) {
        if (c.inSize - c.ip >= kGroupInput && c.cap - c.op >= kGroupOutput) {
            DecodeWholeGroup(c);
        } else if (!DecodeCheckedGroup(c)) {
            break;
        }
    }
    // The whole-group path copies 18 bytes per reference and lets the items
    // after it write over the surplus; a stream that ends early leaves up to
    // 15 of those bytes after its last item.
    std::memset(c.out + c.op, 0, c.cap - c.op);
    return c.op;
}

std::size_t CLzssDecoder::Decode(const uint8_t* input, std::size_t inputSize, uint8_t* output,
                                 std::size_t outputCapacity) {
    return LzssDecode(input, inputSize, output, outputCapacity);
}
