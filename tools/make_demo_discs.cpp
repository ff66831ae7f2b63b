// Writes a set of six demo discs for the setup program:
//
//   make_demo_discs OUT --game GAME.EXE --uninstaller UNINSTALL.EXE [--full] [--archive]
//
// OUT/disc1 ... OUT/disc6 are laid out as demo_discs.h describes. The two
// programs are copied in as "Sorvane.exe" and "UnInstall.exe"; the other
// files are filled with a fixed pseudo-random pattern, different for every
// file, so that a wrongly ordered or truncated join shows. By default the
// data are 1/64 of the real sizes; --full writes the real sizes (3979031201
// bytes in all, as sparse files with a patterned head and tail). --archive
// packs the setup screen's pictures as data\obj.dat instead of loose files
// in data\obj.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/demo_discs.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: make_demo_discs OUT --game GAME.EXE --uninstaller UNINSTALL.EXE"
                 " [--full] [--archive]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    DemoDiscOptions options;
    options.out = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--game" && i + 1 < argc) options.game = argv[++i];
        else if (a == "--uninstaller" && i + 1 < argc) options.uninstaller = argv[++i];
        else if (a == "--full") options.full = true;
        else if (a == "--archive") options.archive = true;
        else return Usage();
    }
    if (options.game.empty() || options.uninstaller.empty()) return Usage();

    std::vector<DemoDiscFile> files;
    std::string error;
    if (!WriteDemoDiscs(options, &files, &error)) {
        std::fprintf(stderr, "make_demo_discs: %s\n", error.c_str());
        return 1;
    }
    unsigned long long total = 0;
    for (const DemoDiscFile& f : files) {
        std::printf("disc%d  %-14s %12llu\n", f.disc, f.name.c_str(),
                    static_cast<unsigned long long>(f.size));
        total += f.size;
    }
    std::printf("total %llu bytes%s, pictures %s\n", total,
                options.full ? "" : " (1/64 of the real size; --full writes 3979031201)",
                options.archive ? "in data\\obj.dat" : "loose in data\\obj");
    return 0;
}
