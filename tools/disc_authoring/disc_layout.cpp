#include "tools/disc_authoring/disc_layout.h"

#include <algorithm>
#include <map>

const char* const kReleaseFiles[11] = {
    "Sorvane.exe", "UnInstall.exe", "bg.dat", "extra.dat", "obj.dat", "cg.dat",
    "bgm.dat",     "se.dat",        "voice.dat", "scr.dat", "sc.dat",
};

namespace {

// Whole files per disc of the CD map; the parts are placed by PlanCd.
const char* const kDisc1Files[] = {"Sorvane.exe", "UnInstall.exe", "bg.dat", "extra.dat", "obj.dat"};
const char* const kDisc5Files[] = {"bgm.dat", "se.dat", "voice.dat", "scr.dat"};

struct Planner {
    const DiscLayoutInput& in;
    std::map<std::string, std::uint64_t> sizes;
    DiscLayout* out;
    std::string* error;

    void Add(int disc, const std::string& path, const std::string& source, std::uint64_t offset,
             std::uint64_t size) {
        out->files.push_back({disc, path, source, offset, size});
        out->used[disc - 1] += SectorBytes(size);
    }
    void AddWhole(int disc, const char* name) { Add(disc, std::string("data/data/") + name, name, 0, sizes[name]); }

    // What every disc carries, and disc 1's programs at the root.
    void AddCommon(int disc) {
        if (disc == 1) {
            Add(1, "autorun.inf", "autorun.inf", 0, in.autorunBytes);
            Add(1, "setup.exe", "setup.exe", 0, in.setupBytes);
        }
        for (const auto& [path, size] : in.pictures) Add(disc, path, path, 0, size);
    }
    std::uint64_t Free(int disc) const {
        const std::uint64_t used = out->used[disc - 1];
        return used >= out->capacity ? 0 : (out->capacity - used) / kSectorBytes * kSectorBytes;
    }
    bool Overflow(int disc, std::uint64_t more) {
        const std::uint64_t need = out->used[disc - 1] + more;
        if (need <= out->capacity) return false;
        *error = "disc " + std::to_string(disc) + " is " + std::to_string(need - out->capacity) +
                 " bytes too full for its " + std::to_string(out->capacity) + " bytes";
        return true;
    }
    bool Part(int disc, const char* whole, int part, std::uint64_t offset, std::uint64_t size) {
        std::string name = std::string(whole, 3) + "00" + std::to_string(part);  // "cg." + "001"
        if (size > kMaxDiscFileBytes) {
            *error = name + " would be " + std::to_string(size) + " bytes; setup.exe reads files up to " +
                     std::to_string(kMaxDiscFileBytes) + " bytes";
            return false;
        }
        Add(disc, "data/data/" + name, whole, offset, size);
        return true;
    }
    bool PlanCd();
    bool PlanOneDisc();
};

bool Planner::PlanCd() {
    for (int disc = 1; disc <= kCdDiscCount; ++disc) AddCommon(disc);
    for (const char* name : kDisc1Files) AddWhole(1, name);
    if (Overflow(1, 0)) return false;
    // cg.dat: discs 2 to 4 filled, the rest on disc 5.
    std::uint64_t offset = 0;
    const std::uint64_t cg = sizes["cg.dat"];
    for (int disc = 2; disc <= 4; ++disc) {
        const std::uint64_t size = std::min({cg - offset, Free(disc), kMaxDiscFileBytes});
        if (!Part(disc, "cg.dat", disc - 1, offset, size)) return false;
        offset += size;
    }
    // Too much for disc 5 is the disc's overflow, whatever a part's own limit.
    std::uint64_t disc5 = SectorBytes(cg - offset);
    for (const char* name : kDisc5Files) disc5 += SectorBytes(sizes[name]);
    if (Overflow(5, disc5) || !Part(5, "cg.dat", 4, offset, cg - offset)) return false;
    for (const char* name : kDisc5Files) AddWhole(5, name);
    if (Overflow(5, 0)) return false;
    const std::uint64_t sc = sizes["sc.dat"];
    const std::uint64_t first = std::min({sc, Free(5), kMaxDiscFileBytes});
    if (!Part(5, "sc.dat", 1, 0, first) || Overflow(6, SectorBytes(sc - first)) ||
        !Part(6, "sc.dat", 2, first, sc - first)) {
        return false;
    }
    for (int disc = 2; disc <= kCdDiscCount; ++disc) {
        if (Overflow(disc, 0)) return false;
    }
    return true;
}

bool Planner::PlanOneDisc() {
    AddCommon(1);
    for (const char* name : kDisc1Files) AddWhole(1, name);
    const std::uint64_t cg = sizes["cg.dat"], sc = sizes["sc.dat"];
    for (int part = 0; part < 4; ++part) {
        const std::uint64_t from = cg * part / 4, to = cg * (part + 1) / 4;
        if (!Part(1, "cg.dat", part + 1, from, to - from)) return false;
    }
    for (const char* name : kDisc5Files) AddWhole(1, name);
    if (!Part(1, "sc.dat", 1, 0, sc / 2) || !Part(1, "sc.dat", 2, sc / 2, sc - sc / 2)) return false;
    return in.media == DiscMedia::kFolder || !Overflow(1, 0);
}

}  // namespace

std::uint64_t MediaCapacity(DiscMedia media) {
    switch (media) {
        case DiscMedia::kCd: return kCdCapacityBytes;
        case DiscMedia::kDvd: return kDvdCapacityBytes;
        case DiscMedia::kFolder: break;
    }
    return ~0ull >> 1;
}

const char* MediaName(DiscMedia media) {
    switch (media) {
        case DiscMedia::kCd: return "cd";
        case DiscMedia::kDvd: return "dvd";
        case DiscMedia::kFolder: break;
    }
    return "folder";
}

bool ParseMedia(const std::string& text, DiscMedia* media) {
    for (DiscMedia m : {DiscMedia::kCd, DiscMedia::kDvd, DiscMedia::kFolder}) {
        if (text == MediaName(m)) {
            *media = m;
            return true;
        }
    }
    return false;
}

std::uint64_t SectorBytes(std::uint64_t size) { return (size + kSectorBytes - 1) / kSectorBytes * kSectorBytes; }

std::string VolumeLabel(int disc, int discs) {
    return discs == 1 ? std::string("SORVANE") : "SORVANE_" + std::to_string(disc);
}

bool PlanDiscs(const DiscLayoutInput& input, DiscLayout* layout, std::string* error) {
    *layout = DiscLayout();
    Planner planner{input, {}, layout, error};
    for (const auto& [name, size] : input.release) planner.sizes[name] = size;
    for (const char* name : kReleaseFiles) {
        if (planner.sizes.count(name) == 0) {
            *error = std::string("no size for ") + name;
            return false;
        }
        const bool split = std::string(name) == "cg.dat" || std::string(name) == "sc.dat";
        if (!split && planner.sizes[name] > kMaxDiscFileBytes) {
            *error = std::string(name) + " has " + std::to_string(planner.sizes[name]) +
                     " bytes; setup.exe reads files up to " + std::to_string(kMaxDiscFileBytes) + " bytes";
            return false;
        }
    }
    if (input.setupBytes > kMaxDiscFileBytes) {
        *error = "setup.exe is too large";
        return false;
    }
    layout->capacity = input.capacity ? input.capacity : MediaCapacity(input.media);
    layout->discs = input.media == DiscMedia::kCd ? kCdDiscCount : 1;
    layout->used.assign(layout->discs, input.media == DiscMedia::kFolder ? 0 : kImageReserveBytes);
    if (!(input.media == DiscMedia::kCd ? planner.PlanCd() : planner.PlanOneDisc())) return false;
    std::stable_sort(layout->files.begin(), layout->files.end(),
                     [](const DiscFile& a, const DiscFile& b) { return a.disc < b.disc; });
    return true;
}
