// SHA-256 of the authoring tool's manifest: known answers, pieces of any
// size, and the processor's SHA extensions against the scalar rounds.
#include "tools/disc_authoring/sha256.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string Digest(const std::string& text, bool hardware, std::size_t piece = 0) {
    CSha256 hash(hardware);
    if (piece == 0) piece = text.size() + 1;
    for (std::size_t at = 0; at < text.size(); at += piece) {
        hash.Update(text.data() + at, std::min(piece, text.size() - at));
    }
    return hash.HexDigest();
}

TEST(Sha256, KnownAnswersInAnyPieces) {
    // FIPS 180-4 examples and the sha256sum of the empty input.
    const struct {
        std::string text;
        const char* digest;
    } kCases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : kCases) {
        for (bool hardware : {false, true}) {
            for (std::size_t piece : {0, 1, 63, 64, 65, 4096}) {
                EXPECT_EQ(Digest(c.text, hardware, piece), c.digest)
                    << c.text.size() << " bytes, pieces of " << piece << (hardware ? ", hardware" : "");
            }
        }
    }
}

TEST(Sha256, ProcessorExtensionsMatchTheScalarRounds) {
    if (!Sha256HardwareAvailable()) GTEST_SKIP() << "this processor has no SHA extensions";
    std::mt19937 random(7);
    for (std::size_t size : {55u, 56u, 64u, 119u, 1000u, 65536u + 17u}) {
        std::string text(size, '\0');
        for (char& c : text) c = static_cast<char>(random());
        EXPECT_EQ(Digest(text, true), Digest(text, false)) << size;
    }
}

}  // namespace
