// The demo disc set of the setup program: six disc folders disc1 ... disc6,
// each with data\data holding the game files of that disc and the setup
// screen's pictures, loose in data\obj or packed as the archive data\obj.dat.
// Every disc carries the pictures: the stage pictures are read from
// whichever drive holds the current disc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Byte count of the whole real installation.
constexpr std::uint64_t kDemoTotalBytes = 3979031201ull;
// The small set holds 1/kDemoSmallScale of the real data sizes.
constexpr std::uint64_t kDemoSmallScale = 64;

struct DemoDiscOptions {
    std::string out;          // folder that receives disc1 ... disc6
    std::string game;         // program copied in as "Sorvane.exe"
    std::string uninstaller;  // program copied in as "UnInstall.exe"
    bool full = false;        // real sizes, as sparse files
    bool archive = false;     // pictures packed as data\obj.dat
};

struct DemoDiscFile {
    std::string name;
    int disc = 0;
    std::uint64_t size = 0;
};

// Writes the set. On success `files` lists the game files in install order
// with the disc and size of each; on failure `error` says what could not be
// written.
bool WriteDemoDiscs(const DemoDiscOptions& options, std::vector<DemoDiscFile>* files,
                    std::string* error);
