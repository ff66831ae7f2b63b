// The names and files of an ISO 9660 image as each kind of reader sees them:
// the ISO 9660 names themselves (a plain reader), the Joliet names (Windows)
// and the Rock Ridge names (Linux and others), and the volume labels.
//
// An image is a run of 2048-byte sectors. From sector 16 on come volume
// descriptors (type byte, "CD001", version 1) up to the terminator (type
// 255). The primary one (type 1) holds the volume label (32 bytes at 40,
// blank-padded), the sector size (at 128, which must be 2048) and the root
// directory's record (at 156). A supplementary one (type 2) whose escape
// sequence at 88 is "%/@", "%/C" or "%/E" is Joliet's: its label and names
// are UCS-2, big-endian, and Windows drops a name's ";1".
//
// A directory is a run of records, none crossing a sector's end (a length
// byte of 0 ends the sector's records): length at 0, extent sector at 2 and
// data length at 10 (both little-endian), flags at 25 (2: a directory, 0x80:
// more extents follow), name length at 32 and the name at 33, padded to an
// even offset; the rest of the record is its system use area. The first two
// records of a directory are itself and its parent. Rock Ridge is there when
// the root's own record starts its system use area with "SP"; a record's
// real name is then in its "NM" entries (flags 1: continued, 2 or 4: "." or
// ".."), which may lie in a continuation area that a "CE" entry names
// (sector at 4, offset at 12 and length at 20, little-endian).
//
// Limits, since an image is untrusted input: every directory and file lies
// inside the image, a directory holds at most 1 MiB of records, the tree is
// at most 8 levels deep (ISO 9660's own limit) and enters no directory
// twice, at most 100000 names in all, at most 16 continuation areas for one
// record. A file of several extents is refused (the discs hold none: every
// file stays below 2 GiB).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Reads `bytes` bytes at `offset` of the image; false when it cannot.
using IsoReadAt = std::function<bool(std::uint64_t offset, std::uint8_t* buffer, std::size_t bytes)>;

struct IsoFile {
    std::string path;  // '/' between the names, no leading '/'
    std::uint64_t offset = 0;  // of the first byte in the image
    std::uint64_t size = 0;
};

struct IsoTree {
    bool present = false;
    std::vector<IsoFile> files;  // directories are only in the paths
};

struct IsoVolume {
    std::string label;        // the primary label, trailing blanks dropped
    std::string jolietLabel;  // UTF-8; empty without Joliet
    IsoTree iso, joliet, rockRidge;
};

// Reads the volume descriptors and the three trees of an image of
// `imageBytes` bytes. False with `error` saying what is damaged.
bool ReadIsoVolume(const IsoReadAt& read, std::uint64_t imageBytes, IsoVolume* volume, std::string* error);

// The ISO 9660 name xorriso (level 1) gives `name`: upper case, at most
// eight characters, a dot and three; a file's name ends in ";1".
std::string IsoLevel1Name(const std::string& name, bool file);
