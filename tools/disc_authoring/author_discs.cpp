// author_discs: masters the installation discs of the game from a
// publisher's release folder. See --help and docs/publishers.md.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/disc_authoring/disc_authoring.h"

namespace {

constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
constexpr int kExitMismatch = 3;

const char kHelp[] =
    "usage: author_discs RELEASE OUT [--media cd|dvd|folder] [--archive] [--iso]\n"
    "                    [--capacity BYTES] [--quiet]\n"
    "       author_discs verify OUT RELEASE\n"
    "\n"
    "Writes the installation discs of the game from the release folder RELEASE\n"
    "into the new or empty folder OUT: disc1 ... discN as folders, with --iso\n"
    "also disc1.iso ... discN.iso, and manifest.txt.\n"
    "\n"
    "RELEASE holds exactly the eleven game files (Sorvane.exe, UnInstall.exe,\n"
    "bg.dat, extra.dat, obj.dat, cg.dat, bgm.dat, se.dat, voice.dat, scr.dat,\n"
    "sc.dat), setup.exe, and obj/ with the setup screen's pictures\n"
    "(t000_000.bmp ... t000_009.bmp, t001_000.bmp ... t001_010.bmp, each with\n"
    "an optional .alp mask). 24-bit pictures with larger headers or top-down\n"
    "rows are rewritten into the classic form setup.exe reads.\n"
    "\n"
    "  --media cd      six 700 MB CDs (737280000 bytes each); cg.dat and sc.dat\n"
    "                  are split where the discs are full (default)\n"
    "  --media dvd     one 4.7 GB DVD (4706074624 bytes) with the same files\n"
    "  --media folder  the same files in one folder (download, USB stick)\n"
    "  --archive       the pictures packed as data/obj.dat instead of data/obj/\n"
    "  --iso           one ISO 9660 image per disc (Joliet and Rock Ridge names,\n"
    "                  labels SORVANE_1 ..., written by xorriso)\n"
    "  --capacity N    bytes per disc instead of the media's own\n"
    "  --quiet         no progress display\n"
    "\n"
    "verify checks the discs in OUT (the images where they exist, else the\n"
    "folders) against OUT/manifest.txt and against RELEASE, and lists every\n"
    "mismatch.\n"
    "\n"
    "Exit codes: 0 done, 1 refused or failed (the message says why), 2 usage,\n"
    "3 verify found mismatches.\n";

int Usage(const std::string& why) {
    std::fprintf(stderr, "author_discs: %s\n(author_discs --help for the usage)\n", why.c_str());
    return kExitUsage;
}

AuthorReport MakeReport(bool quiet) {
    AuthorReport report;
    report.line = [](const std::string& text) { std::printf("%s\n", text.c_str()); std::fflush(stdout); };
    if (quiet) return report;
    const bool terminal = isatty(STDERR_FILENO) != 0;
    report.progress = [terminal](int disc, std::uint64_t done, std::uint64_t total) {
        static std::uint64_t shown = 0;
        const bool end = done == total;
        if (!end && done - shown < (64u << 20) && done >= shown) return;
        shown = end ? 0 : done;
        if (!terminal && !end) return;
        std::fprintf(stderr, "%sdisc %d: %llu of %llu bytes (%llu %%)%s", terminal ? "\r" : "", disc,
                     static_cast<unsigned long long>(done), static_cast<unsigned long long>(total),
                     static_cast<unsigned long long>(total ? done * 100 / total : 100), end ? "\n" : "");
    };
    return report;
}

int Verify(int argc, char** argv) {
    if (argc != 4) return Usage("verify takes OUT and RELEASE");
    std::vector<std::string> problems;
    std::string error;
    if (!VerifyDiscs(argv[2], argv[3], MakeReport(false), &problems, &error)) {
        std::fprintf(stderr, "author_discs: %s\n", error.c_str());
        return kExitRefused;
    }
    if (!problems.empty()) {
        std::printf("verify: %zu mismatches\n", problems.size());
        return kExitMismatch;
    }
    std::printf("verify: the discs match the manifest and the release\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc >= 2 && std::string(argv[1]) == "verify") return Verify(argc, argv);
    AuthorOptions options;
    bool quiet = false;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--media" && i + 1 < argc) {
            if (!ParseMedia(argv[++i], &options.media)) return Usage("--media is cd, dvd or folder");
        } else if (a == "--capacity" && i + 1 < argc) {
            char* end = nullptr;
            options.capacity = std::strtoull(argv[++i], &end, 10);
            if (*end != '\0' || options.capacity == 0) return Usage("--capacity takes a byte count");
        } else if (a == "--archive") {
            options.archive = true;
        } else if (a == "--iso") {
            options.iso = true;
        } else if (a == "--quiet") {
            quiet = true;
        } else if (!a.empty() && a[0] == '-') {
            return Usage("unknown option " + a);
        } else {
            paths.push_back(a);
        }
    }
    if (paths.size() != 2) return Usage("give RELEASE and OUT");
    options.release = paths[0];
    options.out = paths[1];
    std::string error;
    if (!AuthorDiscs(options, MakeReport(quiet), &error)) {
        std::fprintf(stderr, "author_discs: %s\n", error.c_str());
        return kExitRefused;
    }
    std::printf("author_discs: %s discs written to %s (manifest %s/%s)\n", MediaName(options.media),
                options.out.c_str(), options.out.c_str(), kManifestName);
    return 0;
}
