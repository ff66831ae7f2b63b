// author_discs: masters the installation discs of the game from a
// publisher's release folder. See --help and docs/publishers.md.
#include <signal.h>
#include <unistd.h>

#include <csignal>
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
    "                    [--capacity BYTES] [--allow-64-bit] [--quiet]\n"
    "       author_discs verify OUT RELEASE\n"
    "\n"
    "Writes the installation discs of the game from the release folder RELEASE\n"
    "into the new or empty folder OUT: disc1 ... discN as folders, with --iso\n"
    "also disc1.iso ... discN.iso, and manifest.txt. Everything is checked\n"
    "before the first byte is written; the discs are written beside OUT and\n"
    "moved into it only when complete and verified, so a failed or interrupted\n"
    "run leaves nothing.\n"
    "\n"
    "RELEASE holds exactly the eleven game files (Sorvane.exe, UnInstall.exe,\n"
    "bg.dat, extra.dat, obj.dat, cg.dat, bgm.dat, se.dat, voice.dat, scr.dat,\n"
    "sc.dat), setup.exe, and obj/ with the setup screen's pictures\n"
    "(t000_000.bmp ... t000_009.bmp, t001_000.bmp ... t001_010.bmp, each with\n"
    "an optional .alp mask). setup.exe and UnInstall.exe must be PE32 programs,\n"
    "the backgrounds t000_000.bmp ... t000_006.bmp 800 x 600. Pictures with\n"
    "larger headers, top-down rows or 32 bits per pixel are rewritten into the\n"
    "classic 24-bit form setup.exe reads; an alpha channel becomes the mask.\n"
    "\n"
    "  --media cd      six 700 MB CDs (737280000 bytes each); cg.dat and sc.dat\n"
    "                  are split where the discs are full (default)\n"
    "  --media dvd     one 4.7 GB DVD (4706074624 bytes) with the same files\n"
    "  --media folder  the same files in one folder (download, USB stick)\n"
    "  --archive       the pictures packed as data/obj.dat instead of data/obj/\n"
    "  --iso           one ISO 9660 image per disc (Joliet and Rock Ridge names,\n"
    "                  labels SORVANE_1 ..., written by xorriso)\n"
    "  --capacity N    bytes per disc instead of the media's own\n"
    "  --allow-64-bit  take 64-bit (PE32+) programs, for test discs only: 32-bit\n"
    "                  Windows cannot start them\n"
    "  --quiet         no progress display\n"
    "\n"
    "verify checks the discs in OUT (the images where they exist or were\n"
    "written: every ISO 9660, Joliet and Rock Ridge name and the volume labels;\n"
    "else the folders) against OUT/manifest.txt and against RELEASE, and lists\n"
    "every mismatch.\n"
    "\n"
    "Exit codes: 0 done, 1 refused or failed (the message says why), 2 usage,\n"
    "3 verify found mismatches.\n";

int Usage(const std::string& why) {
    std::fprintf(stderr, "author_discs: %s\n(author_discs --help for the usage)\n", why.c_str());
    return kExitUsage;
}

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

// An interrupt ends the run at the next piece, which then removes what it wrote.
void CatchInterrupts() {
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaction(number, &action, nullptr);
}

AuthorReport MakeReport(bool quiet) {
    AuthorReport report;
    report.line = [](const std::string& text) { std::printf("%s\n", text.c_str()); std::fflush(stdout); };
    report.stopped = [] { return interrupted != 0; };
    if (quiet) return report;
    const bool terminal = isatty(STDERR_FILENO) != 0;
    report.progress = [terminal](const std::string& item, std::uint64_t done, std::uint64_t total) {
        static std::uint64_t shown = 0;
        const bool end = done == total;
        if (!end && done - shown < (64u << 20) && done >= shown) return;
        shown = end ? 0 : done;
        if (!terminal && !end) return;
        std::fprintf(stderr, "%s%s: %llu of %llu bytes (%llu %%)%s", terminal ? "\r\033[K" : "", item.c_str(),
                     static_cast<unsigned long long>(done), static_cast<unsigned long long>(total),
                     static_cast<unsigned long long>(total ? done * 100 / total : 100), end ? "\n" : "");
    };
    return report;
}

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
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
        std::printf("verify: %s\n", Count(problems.size(), "mismatch", "mismatches").c_str());
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
        } else if (a == "--allow-64-bit") {
            options.allow64BitPrograms = true;
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
    CatchInterrupts();
    if (!AuthorDiscs(options, MakeReport(quiet), &error)) {
        std::fprintf(stderr, "author_discs: %s\n", error.c_str());
        return kExitRefused;
    }
    const std::string written = options.media == DiscMedia::kCd    ? Count(kCdDiscCount, "CD", "CDs")
                                : options.media == DiscMedia::kDvd ? "1 DVD"
                                                                   : "1 folder";
    std::printf("author_discs: %s written to %s (manifest %s/%s)\n", written.c_str(), options.out.c_str(),
                options.out.c_str(), kManifestName);
    return 0;
}
