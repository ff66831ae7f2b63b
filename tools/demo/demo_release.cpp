#include "tools/demo/demo_release.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "tools/demo/demo_art.h"
#include "tools/support/file_bytes.h"

namespace {

struct DataFile {
    const char* name;
    std::uint64_t fullSize;  // 0: the remainder that makes the total exact
};

// The eleven installed files in install order, at their real sizes.
const DataFile kFiles[] = {
    {"Sorvane.exe", 0},      {"UnInstall.exe", 0},   {"bg.dat", 300000000},
    {"extra.dat", 200000000}, {"obj.dat", 150000000}, {"cg.dat", 2220000000},
    {"bgm.dat", 140000000},  {"se.dat", 60000000},   {"voice.dat", 0},
    {"scr.dat", 12000000},   {"sc.dat", 690000000},
};
// A sparse file gets a patterned mebibyte at every step, so that every
// part author_discs cuts from it has bytes of its own.
constexpr std::uint64_t kSparseStep = 64ull << 20;
constexpr std::uint64_t kSparseStretch = 64u << 10;

using Bytes = std::vector<std::uint8_t>;

bool MakeDirs(const std::string& path) {
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string part = path.substr(0, i);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

// The programs copied into the release are a few mebibytes at most.
constexpr std::uint64_t kMaxProgramBytes = 256u << 20;

void FillPattern(std::uint8_t* out, std::size_t n, std::uint64_t seed, std::uint64_t offset) {
    // xorshift keyed by file and by 8-byte block, so any stretch is
    // reproducible on its own.
    for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t block = (offset + i) / 8;
        std::uint64_t x = (seed * 0x9E3779B97F4A7C15ull) ^ (block * 0xBF58476D1CE4E5B9ull);
        x ^= x >> 31;
        x *= 0x94D049BB133111EBull;
        x ^= x >> 29;
        out[i] = static_cast<std::uint8_t>(x >> (8 * ((offset + i) % 8)));
    }
}

bool WriteDataFile(const std::string& path, std::uint64_t size, std::uint64_t seed, bool sparse) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    Bytes chunk(1 << 20);
    auto writeRange = [&](std::uint64_t from, std::uint64_t to) {
        if (fseeko(f, static_cast<off_t>(from), SEEK_SET) != 0) return false;
        for (std::uint64_t at = from; at < to;) {
            std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), to - at));
            FillPattern(chunk.data(), n, seed, at);
            if (std::fwrite(chunk.data(), 1, n, f) != n) return false;
            at += n;
        }
        return true;
    };
    bool ok = true;
    if (!sparse || size <= 4 * chunk.size()) {
        ok = writeRange(0, size);
    } else {
        // Patterned stretches and the tail, holes between them.
        for (std::uint64_t at = 0; ok && at + kSparseStretch < size; at += kSparseStep) {
            ok = writeRange(at, at + kSparseStretch);
        }
        ok = ok && writeRange(size - chunk.size(), size);
    }
    ok = std::fclose(f) == 0 && ok;
    return ok && truncate(path.c_str(), static_cast<off_t>(size)) == 0;
}

// The setup screen's pictures as (file name, contents): each picture's BMP
// and, for a picture with a mask, its ".alp" file.
std::vector<std::pair<std::string, Bytes>> PictureFiles() {
    std::vector<std::pair<std::string, Bytes>> files;
    auto add = [&files](const std::string& stem, const DemoPicture& p) {
        files.emplace_back(stem + ".bmp", EncodeBmp(p));
        if (!p.alpha.empty()) files.emplace_back(stem + ".alp", p.alpha);
    };
    char stem[32];
    for (int stage = 0; stage <= 6; ++stage) {
        std::snprintf(stem, sizeof stem, "t000_%03d", stage);
        add(stem, DrawStageBackground(stage));
    }
    add("t000_007", DrawProgressFrame());
    add("t000_008", DrawBar(false));
    add("t000_009", DrawBar(true));
    for (int glyph = 0; glyph <= 10; ++glyph) {
        std::snprintf(stem, sizeof stem, "t001_%03d", glyph);
        add(stem, DrawGlyph(glyph));
    }
    return files;
}

// obj/ of the release: the pictures as files.
bool WritePictures(const std::string& out, std::string* error) {
    if (!MakeDirs(out + "/obj")) {
        *error = "cannot create " + out + "/obj";
        return false;
    }
    for (const auto& [name, bytes] : PictureFiles()) {
        if (!WriteWholeFile(out + "/obj/" + name, bytes)) {
            *error = "cannot write " + out + "/obj/" + name;
            return false;
        }
    }
    return true;
}

}  // namespace

bool WriteDemoRelease(const DemoReleaseOptions& options, std::vector<DemoReleaseFile>* files,
                      std::string* error) {
    files->clear();
    Bytes game, uninstaller, setup;
    if (!ReadWholeFile(options.game, kMaxProgramBytes, &game) ||
        !ReadWholeFile(options.uninstaller, kMaxProgramBytes, &uninstaller) ||
        !ReadWholeFile(options.setup, kMaxProgramBytes, &setup)) {
        *error = "cannot read the programs";
        return false;
    }
    std::uint64_t fixed = game.size() + uninstaller.size();
    for (const DataFile& f : kFiles) fixed += f.fullSize;
    if (fixed >= kDemoTotalBytes) {
        *error = "the programs are too large";
        return false;
    }
    const std::uint64_t remainder = kDemoTotalBytes - fixed;
    const std::uint64_t scale = options.full ? 1 : std::max<std::uint64_t>(options.scale, 1);

    if (!MakeDirs(options.out) || !WritePictures(options.out, error)) {
        if (error->empty()) *error = "cannot create " + options.out;
        return false;
    }
    if (!WriteWholeFile(options.out + "/setup.exe", setup)) {
        *error = "cannot write " + options.out + "/setup.exe";
        return false;
    }
    std::uint64_t seed = 1;
    for (const DataFile& f : kFiles) {
        const std::string path = options.out + "/" + f.name;
        DemoReleaseFile written{f.name, 0};
        bool ok;
        if (std::strcmp(f.name, "Sorvane.exe") == 0) {
            ok = WriteWholeFile(path, game);
            written.size = game.size();
        } else if (std::strcmp(f.name, "UnInstall.exe") == 0) {
            ok = WriteWholeFile(path, uninstaller);
            written.size = uninstaller.size();
        } else {
            written.size = (f.fullSize ? f.fullSize : remainder) / scale;
            ok = WriteDataFile(path, written.size, seed, options.full);
        }
        ++seed;
        if (!ok) {
            *error = "cannot write " + path;
            return false;
        }
        files->push_back(written);
    }
    return true;
}
