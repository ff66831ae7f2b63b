// The LZSS stream of packed files, and its decoder.
//
// A stream is a sequence of groups. Each group starts with a flag byte whose
// eight bits, from the least significant upward, say what the next eight
// items are: 1 is a literal, one byte copied to the output; 0 is a
// reference, two bytes b1 b2 that copy 3 to 18 bytes from earlier output.
//
// References address a ring of 4096 bytes that holds the most recent output.
// The ring starts zeroed and the first output byte goes to ring position
// 4078 (4096 - 18); every output byte, literal or copied, is stored at the
// next ring position. A reference names the ring position
//     p = b1 | ((b2 & 0xF0) << 4)          (12 bits)
// and the length (b2 & 0x0F) + 3, and copies ring[p], ring[p + 1], ... (mod
// 4096) one byte at a time, so a reference may overlap the bytes it is
// producing (a run), and one that reaches positions not yet written copies
// zeros.
//
// Limits: the stream carries no length and no end marker; it ends with its
// input, also in the middle of a group or of a two-byte reference, and the
// decoded length is known only from the container (a packed file header or
// an archive index entry). Output beyond the caller's buffer is dropped. A
// stream of N bytes decodes to at most 144 bytes per 17 input bytes (a flag
// byte and eight 18-byte references), so never more than 9 * N bytes.
#pragma once

#include <cstddef>
#include <cstdint>

// Ring geometry and reference lengths of the stream.
constexpr std::size_t kLzssRingSize = 4096;
constexpr std::size_t kLzssRingStart = kLzssRingSize - 18;
constexpr std::size_t kLzssMinMatch = 3;
constexpr std::size_t kLzssMaxMatch = 18;

// The most bytes a stream of `compressedSize` bytes can decode to.
constexpr uint64_t LzssMaxDecodedSize(uint64_t compressedSize) { return compressedSize * 9; }

class CLzssDecoder {
public:
    // Decodes `input` (`inputSize` bytes) into `output`, which holds
    // `outputCapacity` bytes. Stops at the end of the input or when the
    // output is full. Returns the number of bytes decoded; the rest of
    // `output`, up to its capacity, is set to zero.
    std::size_t Decode(const uint8_t* input, std::size_t inputSize, uint8_t* output,
                       std::size_t outputCapacity);
};

// The same, for callers that need no decoder object.
std::size_t LzssDecode(const uint8_t* input, std::size_t inputSize, uint8_t* output,
                       std::size_t outputCapacity);
