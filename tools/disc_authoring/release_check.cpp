#include "tools/disc_authoring/release_check.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "tools/disc_authoring/bmp_rewrite.h"
#include "tools/disc_authoring/little_endian.h"

namespace {

// The setup screen and where setup.exe draws the pieces of its progress
// display on it (top-left corners). The tens digit (1 to 9) is drawn at
// (706, 546), left of the units place, so the units place bounds a digit.
constexpr int kScreenWidth = 800, kScreenHeight = 600;
struct ScreenPlace {
    const char* stem;
    const char* what;
    int x, y;
};
const ScreenPlace kScreenPlaces[] = {
    {"t000_007", "the frame", 504, 520},   {"t000_008", "the empty bar", 563, 553},
    {"t000_009", "the full bar", 563, 553}, {"t001_010", "the percent sign", 736, 546},
};
constexpr int kDigitX = 721, kDigitY = 546;
constexpr int kBackgrounds = 7;  // t000_000 to t000_006

// Names a disc's Joliet and Rock Ridge trees both keep byte for byte.
bool ValidDiscName(const std::string& name) {
    if (name.empty() || name.size() > 64 || name.back() == '.' || name.back() == ' ') return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c > 0x7e || std::string("*/:;?\\\"<>|").find(static_cast<char>(c)) != std::string::npos) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> PictureStems() {
    std::vector<std::string> stems;
    char stem[16];
    for (int i = 0; i <= 9; ++i) {
        std::snprintf(stem, sizeof stem, "t000_%03d", i);
        stems.push_back(stem);
    }
    for (int i = 0; i <= 10; ++i) {
        std::snprintf(stem, sizeof stem, "t001_%03d", i);
        stems.push_back(stem);
    }
    return stems;
}

const ReleaseEntry* Find(const std::vector<ReleaseEntry>& entries, const std::string& name) {
    for (const ReleaseEntry& e : entries) {
        if (e.name == name) return &e;
    }
    return nullptr;
}

bool CheckNames(const std::string& folder, const std::vector<ReleaseEntry>& entries,
                const std::vector<std::string>& allowed, std::string* error) {
    for (const ReleaseEntry& entry : entries) {
        if (!ValidDiscName(entry.name)) {
            *error = folder + entry.name + ": not a valid file name on a disc";
            return false;
        }
        if (std::find(allowed.begin(), allowed.end(), entry.name) == allowed.end()) {
            *error = folder + entry.name + ": not a file of the release";
            return false;
        }
    }
    return true;
}

const char* KindName(EntryKind kind) {
    switch (kind) {
        case EntryKind::kFile: return "a file";
        case EntryKind::kFolder: return "a folder";
        case EntryKind::kFifo: return "a FIFO (named pipe)";
        case EntryKind::kSocket: return "a socket";
        case EntryKind::kDevice: return "a device";
        case EntryKind::kDanglingLink: break;
    }
    return "a link to nothing";
}

// An entry that must be `kind` and readable: what it is when it is not, and
// the link it follows.
bool CheckEntry(const std::string& path, const ReleaseEntry* entry, EntryKind kind, Release* release,
                std::string* error) {
    if (entry == nullptr) {
        *error = path + ": missing from the release folder";
        return false;
    }
    if (entry->linkLeaves) {
        *error = path + ": a link to " + entry->link + ", outside the release folder";
        return false;
    }
    if (entry->kind == EntryKind::kDanglingLink) {
        *error = path + ": a link to nothing (" + entry->link + ")";
        return false;
    }
    if (entry->kind != kind) {
        *error = path + ": " + KindName(entry->kind) + ", not " + KindName(kind);
        return false;
    }
    if (!entry->unreadable.empty()) {
        *error = path + ": cannot be read (" + entry->unreadable + ")";
        return false;
    }
    if (!entry->link.empty()) release->notes.push_back(path + ": follows the link to " + entry->link);
    return true;
}

bool CheckProgram(const ReleaseEntry& entry, const ReleaseRules& rules, Release* release, std::string* error) {
    switch (WindowsProgramKind(entry.bytes)) {
        case ProgramKind::kPe32: return true;
        case ProgramKind::kPe32Plus:
            if (rules.allow64BitPrograms) {
                release->notes.push_back("warning: " + entry.name +
                                         " is a 64-bit program (PE32+): 32-bit Windows cannot start it");
                return true;
            }
            *error = entry.name + ": a 64-bit program (PE32+), which 32-bit Windows cannot start; give the "
                                  "PE32 build (--allow-64-bit takes it for test discs)";
            return false;
        case ProgramKind::kOtherMachine:
            *error = entry.name + ": a Windows program for another processor than x86";
            return false;
        case ProgramKind::kNotWindows: break;
    }
    *error = entry.name + ": not a Windows program (no PE header)";
    return false;
}

// Backgrounds fill the screen; the pieces of the progress display should
// not reach past its edges from where they are drawn.
bool CheckScreenSize(const std::string& stem, const PreparedPicture& p, Release* release, std::string* error) {
    const std::string path = "obj/" + stem + ".bmp";
    const std::string size = std::to_string(p.width) + " x " + std::to_string(p.height);
    const std::vector<std::string> stems = PictureStems();
    const auto index = std::find(stems.begin(), stems.end(), stem) - stems.begin();
    if (index < kBackgrounds) {
        if (p.width == kScreenWidth && p.height == kScreenHeight) return true;
        *error = path + ": " + size + "; a background fills the 800 x 600 setup screen";
        return false;
    }
    ScreenPlace place = {stem.c_str(), "a digit", kDigitX, kDigitY};
    for (const ScreenPlace& known : kScreenPlaces) {
        if (stem == known.stem) place = known;
    }
    const int right = place.x + p.width - kScreenWidth, bottom = place.y + p.height - kScreenHeight;
    if (right > 0 || bottom > 0) {
        release->notes.push_back("warning: " + path + " (" + place.what + ", " + size + ", drawn at (" +
                                 std::to_string(place.x) + ", " + std::to_string(place.y) + ")) is cut off " +
                                 std::to_string(std::max(right, 0)) + " pixels by the screen's right edge and " +
                                 std::to_string(std::max(bottom, 0)) + " by its bottom edge");
    }
    return true;
}

// A mask file beside a 32-bit picture with transparency must say the same.
bool MaskAgrees(const std::string& stem, const Bytes& mask, const PreparedPicture& p, std::string* error) {
    const auto differ = std::mismatch(mask.begin(), mask.end(), p.mask.begin());
    if (differ.first == mask.end()) return true;
    const std::size_t at = static_cast<std::size_t>(differ.first - mask.begin());
    *error = "obj/" + stem + ".alp: disagrees with the alpha channel of obj/" + stem + ".bmp (at pixel (" +
             std::to_string(at % static_cast<std::size_t>(p.width)) + ", " +
             std::to_string(at / static_cast<std::size_t>(p.width)) + "): " + std::to_string(*differ.first) +
             " in the mask, " + std::to_string(*differ.second) + " in the picture)";
    return false;
}

std::string RewriteNote(const std::string& stem, const PreparedPicture& p, bool maskFile) {
    const std::string path = "obj/" + stem;
    if (p.sourceBits == 24) return "rewrote " + path + ".bmp into the classic 54-byte header with bottom-up rows";
    std::string note = "rewrote " + path + ".bmp from 32 into 24 bits per pixel";
    if (!p.mask.empty()) {
        note += maskFile ? ", its alpha channel as " + path + ".alp holds it" : ", its alpha channel into " + path + ".alp";
    } else if (p.alphaChannel) {
        note += " (its alpha channel is fully opaque: no mask from it)";
    }
    return note;
}

bool CheckPictureFile(const std::string& path, const ReleaseEntry* entry, Release* release, std::string* error) {
    if (!CheckEntry(path, entry, EntryKind::kFile, release, error)) return false;
    if (entry->size > kMaxPictureFileBytes || entry->bytes.size() != entry->size) {
        *error = path + ": " + std::to_string(entry->size) + " bytes, more than setup.exe reads";
        return false;
    }
    return true;
}

bool CheckPicture(const std::string& stem, const std::vector<ReleaseEntry>& obj, Release* release,
                  std::string* error) {
    const std::string bmp = stem + ".bmp", alp = stem + ".alp";
    const ReleaseEntry* picture = Find(obj, bmp);
    if (!CheckPictureFile("obj/" + bmp, picture, release, error)) return false;
    PreparedPicture prepared;
    std::string reason;
    if (!PrepareBmp(picture->bytes, &prepared, &reason)) {
        *error = "obj/" + bmp + ": " + reason;
        return false;
    }
    if (!CheckScreenSize(stem, prepared, release, error)) return false;
    const ReleaseEntry* mask = Find(obj, alp);
    if (prepared.rewritten) release->notes.push_back(RewriteNote(stem, prepared, mask != nullptr));
    release->pictures.emplace_back(bmp, std::move(prepared.bytes));
    if (mask == nullptr) {
        if (!prepared.mask.empty()) release->pictures.emplace_back(alp, std::move(prepared.mask));
        return true;
    }
    if (!CheckPictureFile("obj/" + alp, mask, release, error)) return false;
    if (!CheckAlphaMask(mask->size, prepared, &reason)) {
        *error = "obj/" + alp + ": " + reason;
        return false;
    }
    if (!prepared.mask.empty() && !MaskAgrees(stem, mask->bytes, prepared, error)) return false;
    release->pictures.emplace_back(alp, mask->bytes);
    return true;
}

bool CheckPictures(const ReleaseListing& listing, Release* release, std::string* error) {
    if (!CheckEntry("obj", Find(listing.top, "obj"), EntryKind::kFolder, release, error)) return false;
    if (!listing.objUnreadable.empty()) {
        *error = "obj/: cannot be read (" + listing.objUnreadable + ")";
        return false;
    }
    std::vector<std::string> allowed;
    for (const std::string& stem : PictureStems()) {
        allowed.push_back(stem + ".bmp");
        allowed.push_back(stem + ".alp");
    }
    if (!CheckNames("obj/", listing.obj, allowed, error)) return false;
    for (const std::string& stem : PictureStems()) {
        if (!CheckPicture(stem, listing.obj, release, error)) return false;
    }
    return true;
}

}  // namespace

bool CheckRelease(const ReleaseListing& listing, const ReleaseRules& rules, Release* release, std::string* error) {
    *release = Release();
    std::vector<std::string> allowed(std::begin(kReleaseFiles), std::end(kReleaseFiles));
    allowed.push_back("setup.exe");
    allowed.push_back("obj");
    if (!CheckNames("", listing.top, allowed, error)) return false;
    for (const std::string& name : allowed) {
        if (name == "obj") continue;
        const ReleaseEntry* entry = Find(listing.top, name);
        if (!CheckEntry(name, entry, EntryKind::kFile, release, error)) return false;
        if ((name == "setup.exe" || name == "UnInstall.exe") && !CheckProgram(*entry, rules, release, error)) {
            return false;
        }
        if (name == "setup.exe") release->setupBytes = entry->size;
        else release->sizes.emplace_back(name, entry->size);
        release->allocated.emplace_back(name, entry->allocated);
    }
    return CheckPictures(listing, release, error);
}

ProgramKind WindowsProgramKind(const Bytes& head) {
    constexpr std::size_t kPeBytes = 26;  // signature, file header, optional header's magic
    if (head.size() < 64 || head[0] != 'M' || head[1] != 'Z') return ProgramKind::kNotWindows;
    const std::uint32_t pe = Le32(&head[0x3C]);
    if (pe > head.size() || head.size() - pe < kPeBytes || head[pe] != 'P' || head[pe + 1] != 'E' ||
        head[pe + 2] != 0 || head[pe + 3] != 0) {
        return ProgramKind::kNotWindows;
    }
    const std::uint16_t machine = Le16(&head[pe + 4]), magic = Le16(&head[pe + 24]);
    if (magic == 0x10B) return machine == 0x14C ? ProgramKind::kPe32 : ProgramKind::kOtherMachine;
    if (magic == 0x20B) return machine == 0x8664 ? ProgramKind::kPe32Plus : ProgramKind::kOtherMachine;
    return ProgramKind::kNotWindows;
}

bool IsInsideFolder(const std::string& path, const std::string& folder) {
    std::string base = folder;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (base == "/") return !path.empty() && path[0] == '/';
    return path == base || (path.size() > base.size() && path.compare(0, base.size(), base) == 0 &&
                            path[base.size()] == '/');
}
