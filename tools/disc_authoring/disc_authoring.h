// The disc-authoring tool's work: from a publisher's release folder to disc
// folders (and ISO images), a manifest, and the check of discs against both.
//
// A release folder holds the eleven files of kReleaseFiles, "setup.exe", and
// "obj/" with the setup screen's pictures: the 21 BMP files t000_000.bmp to
// t000_009.bmp and t001_000.bmp to t001_010.bmp, each optionally with its
// alpha mask (".alp"). Nothing else may be there.
//
// The output folder receives disc1 ... discN (one folder per disc, as it is
// to be burnt), discN.iso with --iso, and manifest.txt: one line per file on
// a disc with its size, SHA-256 and where its bytes come from.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/disc_authoring/disc_layout.h"

struct AuthorOptions {
    std::string release;
    std::string out;
    DiscMedia media = DiscMedia::kCd;
    std::uint64_t capacity = 0;  // 0: the media's own
    bool archive = false;        // pictures as data/obj.dat
    bool iso = false;            // also one ISO 9660 image per disc
};

// Where the tool reports: one line of text, and the bytes done of a disc.
struct AuthorReport {
    std::function<void(const std::string&)> line;
    std::function<void(int disc, std::uint64_t done, std::uint64_t total)> progress;
};

extern const char kManifestName[];   // "manifest.txt"
extern const char kAutorunText[];

// Checks the release, plans the discs and writes them. False with `error`
// naming the file or disc at fault; nothing is written when a check fails.
bool AuthorDiscs(const AuthorOptions& options, const AuthorReport& report, std::string* error);

// Checks the discs in `out` (folders, or the images where they exist)
// against its manifest and against the release folder. Every mismatch is
// added to `problems`. False with `error` when the check itself cannot run.
bool VerifyDiscs(const std::string& out, const std::string& release, const AuthorReport& report,
                 std::vector<std::string>* problems, std::string* error);
