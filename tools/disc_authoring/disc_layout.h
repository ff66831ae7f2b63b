// Where each file of a release goes on the installation discs.
//
// setup.exe reads a fixed disc map: disc 1 holds "Sorvane.exe",
// "UnInstall.exe", "bg.dat", "extra.dat" and "obj.dat"; "cg.dat" is split
// into "cg.001" to "cg.004" on discs 2 to 5; disc 5 also holds "bgm.dat",
// "se.dat", "voice.dat", "scr.dat" and "sc.001", the first part of "sc.dat",
// whose second part "sc.002" is on disc 6. Every disc carries the setup
// screen's pictures below "data/obj" (or the archive "data/obj.dat"); disc 1
// carries setup.exe and autorun.inf at its root.
//
// On CDs each part is as large as its disc allows. A DVD or a folder holds
// the same fifteen files on one disc: "cg.dat" in four and "sc.dat" in two
// parts of (nearly) equal size. Every file on a disc stays below 2 GiB, the
// file sizes setup.exe handles being signed 32-bit.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum class DiscMedia { kCd, kDvd, kFolder };

constexpr std::uint64_t kCdCapacityBytes = 737280000;    // 360,000 sectors
constexpr std::uint64_t kDvdCapacityBytes = 4706074624;  // single-layer DVD
constexpr std::uint64_t kSectorBytes = 2048;
// Room kept on every disc for the file system's own records.
constexpr std::uint64_t kImageReserveBytes = 1u << 20;
constexpr std::uint64_t kMaxDiscFileBytes = 0x7FFFFFFF;
constexpr int kCdDiscCount = 6;

// The eleven files a release folder holds and an installation leaves.
extern const char* const kReleaseFiles[11];

// One file on one disc: its path below the disc root ('/' separators) and
// where its bytes come from: `source` is a release file name ("cg.dat",
// "setup.exe") with the byte range [offset, offset + size), or a path below
// "data/obj" or "autorun.inf", whose bytes the tool makes itself.
struct DiscFile {
    int disc = 0;
    std::string path;
    std::string source;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

struct DiscLayoutInput {
    DiscMedia media = DiscMedia::kCd;
    std::uint64_t capacity = 0;  // bytes per disc; 0 for the media's own
    std::vector<std::pair<std::string, std::uint64_t>> release;   // the eleven, any order
    std::uint64_t setupBytes = 0;
    std::vector<std::pair<std::string, std::uint64_t>> pictures;  // disc path, size
    std::uint64_t autorunBytes = 0;
};

struct DiscLayout {
    int discs = 0;
    std::uint64_t capacity = 0;
    std::vector<DiscFile> files;       // disc by disc
    std::vector<std::uint64_t> used;   // per disc, in whole sectors plus the reserve
};

// Plans the discs. False with `error` saying which disc overflows by how
// many bytes, or which file is too large for setup.exe.
bool PlanDiscs(const DiscLayoutInput& input, DiscLayout* layout, std::string* error);

std::uint64_t MediaCapacity(DiscMedia media);
const char* MediaName(DiscMedia media);
bool ParseMedia(const std::string& text, DiscMedia* media);
// Bytes a file occupies on a disc (whole sectors).
std::uint64_t SectorBytes(std::uint64_t size);
// The volume label of disc `disc` ("SORVANE_1" ...; one disc: "SORVANE").
std::string VolumeLabel(int disc, int discs);
