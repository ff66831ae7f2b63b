// SHA-256 (FIPS 180-4), fed in pieces so that large files are hashed as they
// stream past. Used by the disc-authoring tool's manifest and verify.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The processor's SHA extensions: whether they exist, and `blocks` 64-byte
// blocks through them (`rounds`: the 64 round constants).
bool Sha256HardwareAvailable();
void Sha256HardwareBlocks(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks,
                          const std::uint32_t* rounds);

class CSha256 {
public:
    // `hardware` false keeps to the scalar rounds (the reference).
    explicit CSha256(bool hardware = true);
    void Update(const void* data, std::size_t bytes);
    // The digest as 64 lower-case hex digits; the object is spent afterwards.
    std::string HexDigest();

private:
    void Block(const std::uint8_t* block);
    void Blocks(const std::uint8_t* data, std::size_t blocks);

    std::uint32_t state_[8];
    std::uint8_t buffer_[64];
    std::size_t buffered_ = 0;
    std::uint64_t total_ = 0;
    bool hardware_;
};
