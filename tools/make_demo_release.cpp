// Writes the demo's release folder, the input of author_discs:
//
//   make_demo_release OUT --game GAME.EXE --uninstaller UNINSTALL.EXE --setup SETUP.EXE [--full]
//
// The three programs are copied in as "Sorvane.exe", "UnInstall.exe" and
// "setup.exe"; the other nine game files are filled with a fixed
// pseudo-random pattern keyed by file and offset, so that a wrongly ordered
// or truncated join shows. By default the data are 1/64 of the real sizes;
// --full writes the real sizes (3979031201 bytes in all, as sparse files).
// obj/ receives the setup screen's pictures drawn by demo_art.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/demo_release.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: make_demo_release OUT --game GAME.EXE --uninstaller UNINSTALL.EXE"
                 " --setup SETUP.EXE [--full]\n");
    return 2;
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
    std::printf("release: %zu game files, %llu bytes%s, setup.exe and obj/\n", files.size(), total,
                options.full ? "" : " (1/64 of the real size; --full writes 3979031201)");
    return 0;
}
