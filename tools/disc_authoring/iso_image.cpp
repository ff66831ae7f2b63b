#include "tools/disc_authoring/iso_image.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "tools/disc_authoring/little_endian.h"

namespace {

constexpr std::uint64_t kSector = 2048;
constexpr std::uint64_t kFirstDescriptor = 16;
constexpr int kMaxDescriptors = 64;
constexpr std::uint32_t kMaxDirectoryBytes = 1u << 20;
constexpr int kMaxDepth = 8;
constexpr std::size_t kMaxNames = 100000;
constexpr int kMaxContinuations = 16;
constexpr std::size_t kMaxNameBytes = 1024;
constexpr std::size_t kRecordBytes = 34;  // a record with a one-byte name
constexpr std::uint8_t kDirectoryFlag = 2, kMoreExtentsFlag = 0x80;

enum class Names { kIso, kJoliet, kRockRidge };

std::string Utf8FromUcs2(const std::uint8_t* p, std::size_t bytes) {
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        const unsigned c = static_cast<unsigned>(p[i] << 8 | p[i + 1]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string TrimBlanks(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
    return text;
}

// "NAME.EXT;1" without its ";1", as Windows shows a Joliet name.
std::string DropVersion(const std::string& name) {
    const std::size_t semicolon = name.rfind(';');
    if (semicolon == std::string::npos || semicolon + 1 == name.size()) return name;
    for (std::size_t i = semicolon + 1; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return name;
    }
    return name.substr(0, semicolon);
}

struct Record {
    std::uint32_t extent = 0;
    std::uint32_t size = 0;
    std::uint8_t flags = 0;
    std::string name;             // as recorded
    const std::uint8_t* use = nullptr;  // the system use area
    std::size_t useBytes = 0;
};

bool ParseRecord(const std::uint8_t* p, std::size_t length, Record* r) {
    if (length < kRecordBytes || 33u + p[32] > length) return false;
    r->extent = Le32(p + 2);
    r->size = Le32(p + 10);
    r->flags = p[25];
    r->name.assign(reinterpret_cast<const char*>(p + 33), p[32]);
    const std::size_t use = std::min<std::size_t>(33u + p[32] + (p[32] % 2 == 0 ? 1 : 0), length);
    r->use = p + use;
    r->useBytes = length - use;
    return true;
}

// Walks one tree of directories from its root record.
class TreeWalk {
public:
    TreeWalk(const IsoReadAt& read, std::uint64_t imageBytes, Names names, std::size_t skip)
        : read_(read), imageBytes_(imageBytes), names_(names), skip_(skip) {}

    bool Directory(const Record& dir, const std::string& path, int depth, IsoTree* tree, std::string* error);
    // Reads `bytes` at sector `sector` (plus `offset`) when they lie inside the image.
    bool Read(std::uint64_t sector, std::uint64_t offset, std::vector<std::uint8_t>* bytes) const {
        const std::uint64_t at = sector * kSector + offset;
        return sector <= imageBytes_ / kSector && at <= imageBytes_ && bytes->size() <= imageBytes_ - at &&
               read_(at, bytes->data(), bytes->size());
    }

private:
    bool NameOf(const Record& r, std::string* name, std::string* error) const;
    bool RockRidgeName(const Record& r, std::string* name, std::string* error) const;

    const IsoReadAt& read_;
    std::uint64_t imageBytes_;
    Names names_;
    std::size_t skip_;  // bytes before a record's Rock Ridge entries
    std::set<std::uint32_t> visited_;
    std::size_t count_ = 0;
};

bool TreeWalk::Directory(const Record& dir, const std::string& path, int depth, IsoTree* tree,
                         std::string* error) {
    const std::string where = path.empty() ? "the root folder" : path;
    std::vector<std::uint8_t> bytes(std::min(dir.size, kMaxDirectoryBytes));
    if (depth > kMaxDepth || dir.size > kMaxDirectoryBytes || !visited_.insert(dir.extent).second ||
        !Read(dir.extent, 0, &bytes)) {
        *error = where + ": a damaged folder (too deep, too large, entered twice or past the image's end)";
        return false;
    }
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = bytes[at];
        if (length == 0) {
            at = (at / kSector + 1) * kSector;
            continue;
        }
        Record r;
        if (at % kSector + length > kSector || length > bytes.size() - at || !ParseRecord(&bytes[at], length, &r)) {
            *error = where + ": a damaged record at byte " + std::to_string(at) + " of the folder";
            return false;
        }
        at += length;
        if (r.name.size() == 1 && (r.name[0] == 0 || r.name[0] == 1)) continue;  // itself, its parent
        std::string name;
        if (++count_ > kMaxNames || !NameOf(r, &name, error)) {
            if (count_ > kMaxNames) *error = "more than " + std::to_string(kMaxNames) + " names";
            return false;
        }
        const std::string full = path.empty() ? name : path + "/" + name;
        if (r.flags & kDirectoryFlag) {
            if (!Directory(r, full, depth + 1, tree, error)) return false;
        } else if ((r.flags & kMoreExtentsFlag) || r.extent > imageBytes_ / kSector ||
                   r.size > imageBytes_ - std::uint64_t(r.extent) * kSector) {
            *error = full + ": a file of several extents or past the image's end";
            return false;
        } else {
            tree->files.push_back({full, std::uint64_t(r.extent) * kSector, r.size});
        }
    }
    return true;
}

bool TreeWalk::NameOf(const Record& r, std::string* name, std::string* error) const {
    switch (names_) {
        case Names::kIso: *name = r.name; return true;
        case Names::kJoliet:
            *name = DropVersion(Utf8FromUcs2(reinterpret_cast<const std::uint8_t*>(r.name.data()), r.name.size()));
            return true;
        case Names::kRockRidge: break;
    }
    if (!RockRidgeName(r, name, error)) return false;
    if (name->empty()) *name = r.name;  // no NM entry: readers show the ISO 9660 name
    return true;
}

// The record's "NM" entries joined, following "CE" continuation areas.
bool TreeWalk::RockRidgeName(const Record& r, std::string* name, std::string* error) const {
    name->clear();
    std::vector<std::uint8_t> area;
    const std::uint8_t* p = r.use + std::min(skip_, r.useBytes);
    std::size_t left = r.useBytes - std::min(skip_, r.useBytes);
    for (int continuation = 0;; ++continuation) {
        std::uint32_t next[3] = {0, 0, 0};  // sector, offset, length of a continuation area
        bool more = false;
        while (left >= 4 && !(p[0] == 'S' && p[1] == 'T')) {
            const std::size_t length = p[2];
            if (length < 4 || length > left) {
                *error = r.name + ": damaged Rock Ridge entries";
                return false;
            }
            if (p[0] == 'N' && p[1] == 'M' && length >= 5 && (p[4] & 6) == 0) name->append(p + 5, p + length);
            if (p[0] == 'C' && p[1] == 'E' && length >= 28) {
                next[0] = Le32(p + 4), next[1] = Le32(p + 12), next[2] = Le32(p + 20);
                more = true;
            }
            p += length;
            left -= length;
        }
        if (!more) break;
        area.resize(next[2]);
        if (continuation == kMaxContinuations || next[2] > kSector || !Read(next[0], next[1], &area)) {
            *error = r.name + ": a damaged Rock Ridge continuation area";
            return false;
        }
        p = area.data();
        left = area.size();
    }
    if (name->size() > kMaxNameBytes) {
        *error = r.name + ": a Rock Ridge name of " + std::to_string(name->size()) + " bytes";
        return false;
    }
    return true;
}

// Whether the root's own record starts Rock Ridge ("SP", 0xBE 0xEF), and
// how many bytes every later record keeps before its entries.
bool RockRidgeIn(const TreeWalk& walk, const Record& root, std::size_t* skip) {
    std::vector<std::uint8_t> first(kRecordBytes + 7);  // the record "." and an "SP" entry
    Record self;
    if (!walk.Read(root.extent, 0, &first) ||
        !ParseRecord(first.data(), std::min<std::size_t>(first[0], first.size()), &self)) {
        return false;
    }
    const std::uint8_t* p = self.use;
    if (self.useBytes < 7 || p[0] != 'S' || p[1] != 'P' || p[4] != 0xBE || p[5] != 0xEF) return false;
    *skip = p[6];
    return true;
}

}  // namespace

bool ReadIsoVolume(const IsoReadAt& read, std::uint64_t imageBytes, IsoVolume* volume, std::string* error) {
    *volume = IsoVolume();
    Record primary, joliet;
    bool havePrimary = false, haveJoliet = false;
    TreeWalk reader(read, imageBytes, Names::kIso, 0);
    std::vector<std::uint8_t> d(kSector);
    for (int i = 0; i < kMaxDescriptors; ++i) {
        if (!reader.Read(kFirstDescriptor + i, 0, &d) || std::memcmp(&d[1], "CD001", 5) != 0) {
            *error = "not an ISO 9660 image (no volume descriptor at sector " + std::to_string(kFirstDescriptor + i) + ")";
            return false;
        }
        if (d[0] == 255) break;
        const bool isJoliet = d[0] == 2 && d[88] == '%' && d[89] == '/' && (d[90] == '@' || d[90] == 'C' || d[90] == 'E');
        if (d[0] == 1 && !havePrimary) {
            havePrimary = ParseRecord(&d[156], kRecordBytes, &primary) && Le16(&d[128]) == kSector;
            volume->label = TrimBlanks(std::string(reinterpret_cast<const char*>(&d[40]), 32));
        } else if (isJoliet && !haveJoliet) {
            haveJoliet = ParseRecord(&d[156], kRecordBytes, &joliet);
            volume->jolietLabel = TrimBlanks(Utf8FromUcs2(&d[40], 32));
        }
    }
    if (!havePrimary) {
        *error = "no primary volume descriptor of 2048-byte sectors";
        return false;
    }
    std::size_t skip = 0;
    volume->iso.present = true;
    if (!TreeWalk(read, imageBytes, Names::kIso, 0).Directory(primary, "", 1, &volume->iso, error)) return false;
    volume->rockRidge.present = RockRidgeIn(reader, primary, &skip);
    if (volume->rockRidge.present &&
        !TreeWalk(read, imageBytes, Names::kRockRidge, skip).Directory(primary, "", 1, &volume->rockRidge, error)) {
        return false;
    }
    volume->joliet.present = haveJoliet;
    return !haveJoliet ||
           TreeWalk(read, imageBytes, Names::kJoliet, 0).Directory(joliet, "", 1, &volume->joliet, error);
}

std::string IsoLevel1Name(const std::string& name, bool file) {
    std::string upper;
    for (char c : name) {
        const bool keep = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '_' || c == '.';
        upper += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : keep ? c : '_';
    }
    if (!file) return upper.substr(0, 8);
    const std::size_t dot = upper.rfind('.');
    const std::string base = upper.substr(0, dot), extension = dot == std::string::npos ? "" : upper.substr(dot + 1);
    return base.substr(0, 8) + "." + extension.substr(0, 3) + ";1";
}
