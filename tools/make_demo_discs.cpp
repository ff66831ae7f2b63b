// Writes a set of six demo discs for the setup program:
//
//   make_demo_discs OUT --game GAME.EXE --uninstaller UNINSTALL.EXE [--full]
//
// OUT/disc1 ... OUT/disc6 each hold data\data with the game files of that
// disc and data\obj with the setup screen's pictures (every disc carries
// them: the stage pictures are read from whichever drive holds the current
// disc). The two programs are copied in as "Sorvane.exe" and
// "UnInstall.exe"; the other files are filled with a fixed pseudo-random
// pattern, different for every file, so that a wrongly ordered or truncated
// join shows. By default the data are 1/64 of the real sizes; --full writes
// the real sizes (3979031201 bytes in all, as sparse files with a patterned
// head and tail).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tools/demo_art.h"

namespace {

constexpr std::uint64_t kTotalBytes = 3979031201ull;

struct DataFile {
    const char* name;
    int disc;
    std::uint64_t fullSize;  // 0: the remainder that makes the total exact
};

// The disc map: disc 1 holds the programs and three archives, discs 2-4 one
// part of cg each, disc 5 the last cg part, four archives and the first sc
// part, disc 6 the last sc part.
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

bool MakeDirs(const std::string& path) {
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string part = path.substr(0, i);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

bool WriteAll(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

bool WriteAll(const std::string& path, const std::vector<std::uint8_t>& data) {
    return WriteAll(path, data.data(), data.size());
}

bool CopyProgram(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return WriteAll(to, bytes);
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
    std::vector<std::uint8_t> chunk(1 << 20);
    bool ok = true;
    auto writeRange = [&](std::uint64_t from, std::uint64_t to) {
        if (std::fseek(f, static_cast<long>(from), SEEK_SET) != 0) return false;
        for (std::uint64_t at = from; at < to;) {
            std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), to - at));
            FillPattern(chunk.data(), n, seed, at);
            if (std::fwrite(chunk.data(), 1, n, f) != n) return false;
            at += n;
        }
        return true;
    };
    if (!sparse || size <= 4 * chunk.size()) {
        ok = writeRange(0, size);
    } else {
        // Patterned head and tail, a hole between them.
        ok = writeRange(0, chunk.size()) && writeRange(size - chunk.size(), size);
    }
    ok = std::fclose(f) == 0 && ok;
    return ok && truncate(path.c_str(), static_cast<off_t>(size)) == 0;
}

bool WritePicture(const std::string& objDir, const std::string& stem, const DemoPicture& p) {
    if (!WriteAll(objDir + "/" + stem + ".bmp", EncodeBmp(p))) return false;
    if (!p.alpha.empty() && !WriteAll(objDir + "/" + stem + ".alp", p.alpha)) return false;
    return true;
}

bool WritePictures(const std::string& objDir) {
    if (!MakeDirs(objDir)) return false;
    char stem[32];
    for (int stage = 0; stage <= 6; ++stage) {
        std::snprintf(stem, sizeof stem, "t000_%03d", stage);
        if (!WritePicture(objDir, stem, DrawStageBackground(stage))) return false;
    }
    if (!WritePicture(objDir, "t000_007", DrawProgressFrame())) return false;
    if (!WritePicture(objDir, "t000_008", DrawBar(false))) return false;
    if (!WritePicture(objDir, "t000_009", DrawBar(true))) return false;
    for (int glyph = 0; glyph <= 10; ++glyph) {
        std::snprintf(stem, sizeof stem, "t001_%03d", glyph);
        if (!WritePicture(objDir, stem, DrawGlyph(glyph))) return false;
    }
    return true;
}

long FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: make_demo_discs OUT --game GAME.EXE --uninstaller UNINSTALL.EXE [--full]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string out = argv[1];
    std::string game, uninstaller;
    bool full = false;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--game" && i + 1 < argc) game = argv[++i];
        else if (a == "--uninstaller" && i + 1 < argc) uninstaller = argv[++i];
        else if (a == "--full") full = true;
        else return Usage();
    }
    if (game.empty() || uninstaller.empty()) return Usage();

    long gameSize = FileSize(game), uninstallerSize = FileSize(uninstaller);
    if (gameSize < 0 || uninstallerSize < 0) {
        std::fprintf(stderr, "make_demo_discs: cannot read the programs\n");
        return 1;
    }
    std::uint64_t fixed = 0;
    for (const DataFile& f : kFiles) fixed += f.fullSize;
    const std::uint64_t scale = full ? 1 : 64;
    const std::uint64_t remainder = kTotalBytes - fixed - gameSize - uninstallerSize;

    for (int disc = 1; disc <= 6; ++disc) {
        std::string root = out + "/disc" + std::to_string(disc);
        if (!MakeDirs(root + "/data/data") || !WritePictures(root + "/data/obj")) {
            std::fprintf(stderr, "make_demo_discs: cannot write %s\n", root.c_str());
            return 1;
        }
    }

    std::uint64_t total = 0;
    std::uint64_t seed = 1;
    for (const DataFile& f : kFiles) {
        std::string path = out + "/disc" + std::to_string(f.disc) + "/data/data/" + f.name;
        bool ok;
        std::uint64_t size;
        if (std::strcmp(f.name, "Sorvane.exe") == 0) {
            ok = CopyProgram(game, path);
            size = gameSize;
        } else if (std::strcmp(f.name, "UnInstall.exe") == 0) {
            ok = CopyProgram(uninstaller, path);
            size = uninstallerSize;
        } else {
            size = (f.fullSize ? f.fullSize : remainder) / scale;
            ok = WriteDataFile(path, size, seed, full);
        }
        ++seed;
        if (!ok) {
            std::fprintf(stderr, "make_demo_discs: cannot write %s\n", path.c_str());
            return 1;
        }
        total += size;
        std::printf("disc%d  %-14s %12llu\n", f.disc, f.name, static_cast<unsigned long long>(size));
    }
    std::printf("total %llu bytes%s\n", static_cast<unsigned long long>(total),
                full ? "" : " (1/64 of the real size; --full writes 3979031201)");
    return 0;
}
