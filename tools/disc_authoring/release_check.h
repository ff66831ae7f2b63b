// The checks of a publisher's release folder, over what was found in it
// (ReleaseListing, read from the folder by disc_release.h): nothing here
// touches a file, so the checks run the same on any input.
//
// A release folder holds the eleven files of kReleaseFiles, "setup.exe", and
// "obj/" with the setup screen's pictures: the 21 BMP files t000_000.bmp to
// t000_009.bmp and t001_000.bmp to t001_010.bmp, each optionally with its
// alpha mask (".alp"). Nothing else may be there. Each must be a readable
// file; a symbolic link is followed when it stays inside the release folder
// (and named), refused when it leads out of it. setup.exe and UnInstall.exe
// must be PE32 programs (32-bit Windows). The seven backgrounds must be
// 800 x 600; a piece of the progress display that would reach past the
// screen's edge from where setup.exe draws it is named in a warning.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/disc_authoring/disc_layout.h"

using Bytes = std::vector<std::uint8_t>;

enum class EntryKind { kFile, kFolder, kFifo, kSocket, kDevice, kDanglingLink };

// One name in the release folder or in its obj/, as found there.
struct ReleaseEntry {
    std::string name;
    EntryKind kind = EntryKind::kFile;  // of what a link leads to
    std::string link;                   // where a symbolic link leads; empty for none
    bool linkLeaves = false;            // the link leads out of the release folder
    std::uint64_t size = 0;             // bytes of a file
    std::uint64_t allocated = 0;        // bytes its file system holds for it (less when sparse)
    std::string unreadable;             // the system's reason when it cannot be read
    // A program's first bytes (up to kProgramHeadBytes); a picture's or
    // mask's whole file (unless larger than kMaxPictureFileBytes).
    Bytes bytes;
};

struct ReleaseListing {
    std::vector<ReleaseEntry> top;  // the release folder
    std::vector<ReleaseEntry> obj;  // its obj/, when that is a folder
    std::string objUnreadable;      // why obj/ could not be listed
};

constexpr std::size_t kProgramHeadBytes = 4096;
// A picture file larger than this cannot be one setup.exe reads.
constexpr std::uint64_t kMaxPictureFileBytes = (64u << 20) * 4 / 3 + 4096;

struct ReleaseRules {
    // Accept 64-bit (PE32+) programs: test discs made from a 64-bit build.
    bool allow64BitPrograms = false;
};

// The release folder, checked: the sizes of its files and the setup screen's
// pictures as they go on the discs (name in data/obj -> bytes).
struct Release {
    std::vector<std::pair<std::string, std::uint64_t>> sizes;      // the eleven files
    std::vector<std::pair<std::string, std::uint64_t>> allocated;  // the same and setup.exe
    std::uint64_t setupBytes = 0;
    std::vector<std::pair<std::string, Bytes>> pictures;
    std::vector<std::string> notes;  // pictures rewritten, links followed, warnings
};

// Checks what was found. False with `error` naming the first file at fault.
bool CheckRelease(const ReleaseListing& listing, const ReleaseRules& rules, Release* release, std::string* error);

enum class ProgramKind { kNotWindows, kPe32, kPe32Plus, kOtherMachine };
// What the first bytes of a program say it is.
ProgramKind WindowsProgramKind(const Bytes& head);

// Whether `path` is `folder` or lies below it (both absolute, without "."
// or ".." parts and with symbolic links resolved).
bool IsInsideFolder(const std::string& path, const std::string& folder);
