// Writes the demo's release folder, the input of author_discs:
//
//   make_demo_release OUT --game GAME.EXE --uninstaller UNINSTALL.EXE --setup SETUP.EXE
//                     [--full | --scale N]
//
// The three programs are copied in as "Sorvane.exe", "UnInstall.exe" and
// "setup.exe"; the other nine game files are filled with a fixed
// pseudo-random pattern keyed by file and offset, so that a wrongly ordered
// or truncated join shows. By default the data are 1/64 of the real sizes,
// with --scale N 1/N of them (N from 1 to 64: a benchmark that should weigh
// the fixed costs of an installation as the real sizes do); --full writes
// the real sizes (3979031201 bytes in all) as sparse files.
// obj/ receives the setup screen's pictures drawn by demo_art.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/demo/demo_release.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: make_demo_release OUT --game GAME.EXE --uninstaller UNINSTALL.EXE"
                 " --setup SETUP.EXE [--full | --scale N]\n");
    return 2;
}

// 1 to 64, in decimal.
bool ParseScale(const char* text, std::uint64_t* scale) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > kDemoSmallScale) return false;
    *scale = value;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    DemoReleaseOptions options;
    options.out = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--game" && i + 1 < argc) options.game = argv[++i];
        else if (a == "--uninstaller" && i + 1 < argc) options.uninstaller = argv[++i];
        else if (a == "--setup" && i + 1 < argc) options.setup = argv[++i];
        else if (a == "--full") options.full = true;
        else if (a == "--scale" && i + 1 < argc) {
            if (!ParseScale(argv[++i], &options.scale)) return Usage();
        }
        else return Usage();
    }
    if (options.game.empty() || options.uninstaller.empty() || options.setup.empty()) return Usage();

    std::vector<DemoReleaseFile> files;
    std::string error;
    if (!WriteDemoRelease(options, &files, &error)) {
        std::fprintf(stderr, "make_demo_release: %s\n", error.c_str());
        return 1;
    }
    unsigned long long total = 0;
    for (const DemoReleaseFile& f : files) total += f.size;
    if (options.full)
        std::printf("release: %zu game files, %llu bytes, setup.exe and obj/\n", files.size(), total);
    else
        std::printf("release: %zu game files, %llu bytes (1/%llu of the real size; --full writes "
                    "3979031201), setup.exe and obj/\n",
                    files.size(), total, static_cast<unsigned long long>(options.scale));
    return 0;
}
