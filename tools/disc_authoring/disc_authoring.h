// The disc-authoring tool's work: from a publisher's release folder to disc
// folders (and ISO images), a manifest, and the check of discs against both.
//
// A release folder holds the eleven files of kReleaseFiles, "setup.exe", and
// "obj/" with the setup screen's pictures (release_check.h says what is
// checked).
//
// The output folder receives disc1 ... discN (one folder per disc, as it is
// to be burnt), discN.iso with --iso, and manifest.txt: one line per file on
// a disc with its size, SHA-256 and where its bytes come from. Everything
// that can be checked is checked before the first byte is written, and the
// output appears only complete and verified (disc_output.h).
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
    bool allow64BitPrograms = false;  // take a PE32+ setup.exe and UnInstall.exe (test discs)
};

// Where the tool reports: one line of text, and the bytes done of one item
// of the run ("disc 3", "disc3.iso", "checking disc 3") against its total.
struct AuthorReport {
    std::function<void(const std::string&)> line;
    std::function<void(const std::string& item, std::uint64_t done, std::uint64_t total)> progress;
    // True when the run is to end at once (an interrupt).
    std::function<bool()> stopped;
};

extern const char kManifestName[];   // "manifest.txt"
extern const char kAutorunText[];

// Checks the release, plans the discs and writes them. False with `error`
// naming the file or disc at fault and the system's reason; nothing is left
// in or beside `options.out` then.
bool AuthorDiscs(const AuthorOptions& options, const AuthorReport& report, std::string* error);

// kWritten: what a run has just written, against the manifest alone: the
// images whole (names, labels, bytes), the folders' names and sizes (their
// bytes were hashed as they were written).
enum class VerifyScope { kDiscsAndRelease, kWritten };

// Checks the discs in `out` (the images where they exist or were written,
// else the folders) against its manifest and against the release folder.
// Every mismatch is added to `problems`. False with `error` when the check
// itself cannot run.
bool VerifyDiscs(const std::string& out, const std::string& release, const AuthorReport& report,
                 std::vector<std::string>* problems, std::string* error,
                 VerifyScope scope = VerifyScope::kDiscsAndRelease);
