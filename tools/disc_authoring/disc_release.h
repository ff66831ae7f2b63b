// The release folder and the manifest, as the disc-authoring tool and its
// verify read them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tools/disc_authoring/disc_layout.h"
#include "tools/disc_authoring/release_check.h"

// Reads what the release folder holds (the kind of each name, where its
// links lead, whether it can be read, programs' first bytes, the pictures)
// without judging it. False with `error` when the folder cannot be listed.
bool ReadReleaseListing(const std::string& dir, ReleaseListing* listing, std::string* error);

// Reads and checks a release folder. False with `error` naming the file.
bool ReadRelease(const std::string& dir, const ReleaseRules& rules, Release* release, std::string* error);

// The files whose bytes the tool makes (autorun.inf, the pictures loose or
// packed): disc path -> bytes.
bool GeneratedFiles(const Release& release, bool archive, std::map<std::string, Bytes>* files,
                    std::string* error);

struct ManifestFile {
    DiscFile file;
    std::string sha256;
};

// Whether images were written with the discs; manifests from before the
// field was kept do not say.
enum class ManifestImages { kUnknown, kNone, kIso };

struct Manifest {
    DiscMedia media = DiscMedia::kCd;
    std::uint64_t capacity = 0;
    int discs = 0;
    bool archive = false;
    ManifestImages images = ManifestImages::kUnknown;
    std::vector<ManifestFile> files;
};

bool WriteManifest(const std::string& path, const Manifest& manifest, std::string* error);
bool ReadManifest(const std::string& path, Manifest* manifest, std::string* error);

std::string DiscFolder(const std::string& out, int disc);
std::string DiscImage(const std::string& out, int disc);
// "cg.001" of "data/data/cg.001".
std::string PartName(const DiscFile& file);
