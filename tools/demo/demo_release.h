// The demo's release folder: what a publisher hands to author_discs, with
// stand-in data. It holds the eleven game files ("cg.dat" and "sc.dat"
// whole; author_discs splits them), setup.exe, and obj/ with the setup
// screen's pictures drawn by demo_art.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Byte count of the whole real installation.
constexpr std::uint64_t kDemoTotalBytes = 3979031201ull;
// The small set holds 1/kDemoSmallScale of the real data sizes.
constexpr std::uint64_t kDemoSmallScale = 64;

struct DemoReleaseOptions {
    std::string out;          // the release folder (created)
    std::string game;         // program copied in as "Sorvane.exe"
    std::string uninstaller;  // program copied in as "UnInstall.exe"
    std::string setup;        // program copied in as "setup.exe"
    bool full = false;        // real sizes, as sparse files
    std::uint64_t scale = kDemoSmallScale;  // the data's share of the real sizes without `full`
};

struct DemoReleaseFile {
    std::string name;
    std::uint64_t size = 0;
};

// Writes the release folder. On success `files` lists the eleven game files
// in install order with their sizes; on failure `error` says what could not
// be written.
bool WriteDemoRelease(const DemoReleaseOptions& options, std::vector<DemoReleaseFile>* files,
                      std::string* error);
