#include "tools/demo_discs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

#include "framework/file/archive_writer.h"
#include "tools/demo_art.h"

namespace {

struct DataFile {
    const char* name;
    int disc;
    std::uint64_t fullSize;  // 0: the remainder that makes the total exact
};

// The disc map: disc 1 holds the programs and three archives, discs 2-4 one
// part of cg each, disc 5 the last cg part, four archives and the first sc
// part, disc 6 the last sc part. Listed in install order.
const DataFile kFiles[] = {
    {"Sorvane.exe", 1, 0},        {"UnInstall.exe", 1, 0},
    {"bg.dat", 1, 300000000},     {"extra.dat", 1, 200000000},
    {"obj.dat", 1, 150000000},    {"cg.001", 2, 690000000},
    {"cg.002", 3, 690000000},     {"cg.003", 4, 690000000},
    {"cg.004", 5, 150000000},     {"bgm.dat", 5, 140000000},
    {"se.dat", 5, 60000000},      {"voice.dat", 5, 0},
    {"scr.dat", 5, 12000000},     {"sc.001", 5, 90000000},
    {"sc.002", 6, 600000000},
};

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

bool WriteAll(const std::string& path, const Bytes& data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

bool ReadAll(const std::string& path, Bytes* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

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
    bool ok;
    if (!sparse || size <= 4 * chunk.size()) {
        ok = writeRange(0, size);
    } else {
        // Patterned head and tail, a hole between them.
        ok = writeRange(0, chunk.size()) && writeRange(size - chunk.size(), size);
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

// data\obj of every disc: the loose files, or one archive of them.
bool WritePictures(const std::string& out, bool archive, std::string* error) {
    const auto pictures = PictureFiles();
    Bytes packed;
    if (archive) {
        CArchiveWriter writer;
        for (const auto& [name, bytes] : pictures) {
            if (!writer.Add(name, bytes)) {
                *error = "cannot pack " + name;
                return false;
            }
        }
        packed = writer.Build();
        if (packed.empty()) {
            *error = "cannot build the picture archive";
            return false;
        }
    }
    for (int disc = 1; disc <= 6; ++disc) {
        const std::string data = out + "/disc" + std::to_string(disc) + "/data";
        if (!MakeDirs(data + "/data")) {
            *error = "cannot create " + data;
            return false;
        }
        if (archive) {
            if (!WriteAll(data + "/obj.dat", packed)) {
                *error = "cannot write " + data + "/obj.dat";
                return false;
            }
            continue;
        }
        if (!MakeDirs(data + "/obj")) {
            *error = "cannot create " + data + "/obj";
            return false;
        }
        for (const auto& [name, bytes] : pictures) {
            if (!WriteAll(data + "/obj/" + name, bytes)) {
                *error = "cannot write " + data + "/obj/" + name;
                return false;
            }
        }
    }
    return true;
}

}  // namespace

bool WriteDemoDiscs(const DemoDiscOptions& options, std::vector<DemoDiscFile>* files,
                    std::string* error) {
    files->clear();
    Bytes game, uninstaller;
    if (!ReadAll(options.game, &game) || !ReadAll(options.uninstaller, &uninstaller)) {
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
    const std::uint64_t scale = options.full ? 1 : kDemoSmallScale;

    if (!WritePictures(options.out, options.archive, error)) return false;

    std::uint64_t seed = 1;
    for (const DataFile& f : kFiles) {
        const std::string path =
            options.out + "/disc" + std::to_string(f.disc) + "/data/data/" + f.name;
        DemoDiscFile written{f.name, f.disc, 0};
        bool ok;
        if (std::strcmp(f.name, "Sorvane.exe") == 0) {
            ok = WriteAll(path, game);
            written.size = game.size();
        } else if (std::strcmp(f.name, "UnInstall.exe") == 0) {
            ok = WriteAll(path, uninstaller);
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
