// What the disc-authoring tool's tests share: a small release in a
// temporary folder (game files of a few kilobytes, PE32 programs, the 21
// pictures with the seven backgrounds at 800 x 600, one mask), runs of the
// tool over it, and the checks of their results.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/demo/demo_art.h"
#include "tools/disc_authoring/disc_authoring.h"
#include "tools/support/bmp_writer.h"
#include "tools/support/file_bytes.h"
#include "tools/support/sample_data.h"
#include "tools/support/temp_folder.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

inline Bytes Read(const fs::path& path) {
    Bytes bytes;
    EXPECT_TRUE(ReadWholeFile(path.string(), 64u << 20, &bytes)) << path;
    return bytes;
}

inline void Write(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    EXPECT_TRUE(WriteWholeFile(path.string(), bytes)) << path;
}

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline Bytes Pattern(std::size_t n, unsigned seed) {
    Bytes b(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& v : b) v = static_cast<std::uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
    return b;
}

inline DemoPicture Picture(int w, int h, unsigned seed) {
    DemoPicture p;
    p.width = w;
    p.height = h;
    p.rgb = Pattern(std::size_t(w) * h * 3, seed);
    return p;
}

// A 32-bit BMP of `picture` with a 40-byte header, rows bottom-up: with
// `withAlpha` BI_ALPHABITFIELDS (the four masks after the header, pixels at
// 70) and `alpha` (top row first) as each pixel's fourth byte; otherwise
// BI_RGB with `alpha` in the unused fourth byte.
inline Bytes Bmp32(const DemoPicture& picture, const Bytes& alpha, bool withAlpha) {
    const int w = picture.width, h = picture.height;
    const std::uint32_t pixelBytes = static_cast<std::uint32_t>(w * h * 4), masks = withAlpha ? 16 : 0;
    Bytes out = BmpHeaders(w, h, 32, pixelBytes);
    const auto put32 = [&out](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(2, 54 + masks + pixelBytes);
    put32(10, 54 + masks);
    if (withAlpha) {
        put32(30, 6);
        out.resize(70);
        put32(54, 0x00FF0000);
        put32(58, 0x0000FF00);
        put32(62, 0x000000FF);
        put32(66, 0xFF000000);
    }
    for (int row = h - 1; row >= 0; --row) {
        for (int x = 0; x < w; ++x) {
            const std::size_t at = static_cast<std::size_t>(row * w + x);
            out.insert(out.end(), picture.rgb.begin() + at * 3, picture.rgb.begin() + at * 3 + 3);
            out.push_back(alpha[at]);
        }
    }
    return out;
}

// Each expected text is part of one problem, and there are no others.
inline void ExpectProblems(const std::vector<std::string>& problems, const std::vector<std::string>& expected) {
    EXPECT_EQ(problems.size(), expected.size()) << ::testing::PrintToString(problems);
    for (const std::string& text : expected) {
        bool found = false;
        for (const std::string& p : problems) found |= p.find(text) != std::string::npos;
        EXPECT_TRUE(found) << text << " in " << ::testing::PrintToString(problems);
    }
}

const char* const kStems[] = {"t000_000", "t000_001", "t000_002", "t000_003", "t000_004", "t000_005",
                              "t000_006", "t000_007", "t000_008", "t000_009", "t001_000", "t001_001",
                              "t001_002", "t001_003", "t001_004", "t001_005", "t001_006", "t001_007",
                              "t001_008", "t001_009", "t001_010"};

// Game file sizes of the small release: with kCapacity, every part of
// cg.dat and sc.dat gets bytes of its own.
inline const std::map<std::string, std::size_t> kSizes = {
    {"Sorvane.exe", 3000}, {"UnInstall.exe", 2000}, {"bg.dat", 30000}, {"extra.dat", 20000},
    {"obj.dat", 15000},    {"cg.dat", 520000},      {"bgm.dat", 14000}, {"se.dat", 6000},
    {"voice.dat", 20000},  {"scr.dat", 1200},       {"sc.dat", 150000}};
// The seven backgrounds of 800 x 600 on every disc (each in place of one
// sector of a small picture), and 200 KiB for the rest.
constexpr std::uint64_t kBackgroundSectors = (54 + 800 * 600 * 3 + 2047) / 2048 * 2048;
constexpr std::uint64_t kCapacity = kImageReserveBytes + 7 * (kBackgroundSectors - 2048) + 200 * 1024;

// An 800 x 600 background of one colour: as large on a disc as any
// picture of its size, small when packed.
inline DemoPicture Background(unsigned seed) {
    DemoPicture p = Picture(1, 1, seed);
    p.width = 800;
    p.height = 600;
    for (std::size_t i = 3; i < 800 * 600 * 3; ++i) p.rgb.push_back(p.rgb[i % 3]);
    return p;
}

class AuthorDiscsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.empty());
        root_ = folder_.path();
        release_ = root_ / "release";
        unsigned seed = 1;
        for (const auto& [name, size] : kSizes) {
            Write(release_ / name, name == "UnInstall.exe" ? SampleProgram(size, seed) : Pattern(size, seed));
            ++seed;
        }
        Write(release_ / "setup.exe", SampleProgram(5000, 99));
        for (std::size_t i = 0; i < std::size(kStems); ++i) {
            const DemoPicture p = i < 7 ? Background(seed++) : Picture(5, 3, seed++);
            Write(release_ / "obj" / (std::string(kStems[i]) + ".bmp"), EncodeBmp(p));
        }
        Write(release_ / "obj/t000_007.alp", Bytes(15, 0x80));
    }

    AuthorOptions Options(const std::string& out, DiscMedia media) const {
        AuthorOptions options;
        options.release = release_.string();
        options.out = (root_ / out).string();
        options.media = media;
        options.capacity = media == DiscMedia::kCd ? kCapacity : 0;
        return options;
    }
    bool Author(const AuthorOptions& options, std::string* error = nullptr) {
        std::string ignored;
        lines_.clear();
        return AuthorDiscs(options, Quiet(), error ? error : &ignored);
    }
    bool Author(const std::string& out, DiscMedia media, bool archive = false, bool iso = false,
                std::string* error = nullptr) {
        AuthorOptions options = Options(out, media);
        options.archive = archive;
        options.iso = iso;
        return Author(options, error);
    }
    std::vector<std::string> Verify(const std::string& out) {
        std::vector<std::string> problems;
        std::string error;
        EXPECT_TRUE(VerifyDiscs((root_ / out).string(), release_.string(), Quiet(), &problems, &error)) << error;
        return problems;
    }
    // Keeps the lines of a run.
    AuthorReport Quiet() {
        return AuthorReport{[this](const std::string& line) { lines_.push_back(line); }, nullptr, nullptr};
    }
    bool Said(const std::string& line) const {
        return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
    }
    // What the test's folder holds besides the release.
    std::vector<std::string> Left() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(root_)) {
            if (entry.path() != release_) names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempFolder folder_{"author_discs_test"};
    fs::path root_, release_;
    std::vector<std::string> lines_;
};
