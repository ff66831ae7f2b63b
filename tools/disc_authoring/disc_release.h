// The release folder and the manifest, as the disc-authoring tool and its
// verify read them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tools/disc_authoring/disc_layout.h"

using Bytes = std::vector<std::uint8_t>;

// The release folder, checked: the sizes of its files and the setup screen's
// pictures as they go on the discs (name in data/obj -> bytes).
struct Release {
    std::vector<std::pair<std::string, std::uint64_t>> sizes;
    std::uint64_t setupBytes = 0;
    std::vector<std::pair<std::string, Bytes>> pictures;
    std::vector<std::string> rewritten;  // pictures brought into the classic form
};

// Reads and checks a release folder. False with `error` naming the file.
bool ReadRelease(const std::string& dir, Release* release, std::string* error);

// The files whose bytes the tool makes (autorun.inf, the pictures loose or
// packed): disc path -> bytes.
bool GeneratedFiles(const Release& release, bool archive, std::map<std::string, Bytes>* files,
                    std::string* error);

struct ManifestFile {
    DiscFile file;
    std::string sha256;
};

struct Manifest {
    DiscMedia media = DiscMedia::kCd;
    std::uint64_t capacity = 0;
    int discs = 0;
    bool archive = false;
    std::vector<ManifestFile> files;
};

bool WriteManifest(const std::string& path, const Manifest& manifest);
bool ReadManifest(const std::string& path, Manifest* manifest, std::string* error);

std::string DiscFolder(const std::string& out, int disc);
std::string DiscImage(const std::string& out, int disc);
// "cg.001" of "data/data/cg.001".
std::string PartName(const DiscFile& file);
