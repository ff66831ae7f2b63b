// Feeds made-up release folders to the release checks and the picture
// rewriting: every name, kind, link and file comes from the input. What the
// checks accept must be what setup.exe reads (classic 24-bit pictures that
// rewrite to themselves, masks of their picture's size, 800 x 600
// backgrounds, the eleven files), and the discs must plan.
//
// The input is a run of records: a flags byte, a name length byte, the name
// ("obj/..." for the pictures' folder), a 16-bit little-endian length and
// that many bytes of the file. Flags: bits 0-2 the kind (file, folder, FIFO,
// socket, device, a link to nothing; 6 and 7 a file), 8 a link followed, 16
// a link out of the release, 32 unreadable, 64 the bytes are a recipe for a
// classic 24-bit picture (width and height, 16 bits each, and a colour) so
// that an 800 x 600 background costs seven bytes, 128 the file's size is in
// its first 6 bytes instead (the layout sees it). Recipes make at most
// kRecipeBudget bytes in all. The first byte of the input also picks the
// rules and the media.
#include <cstdint>
#include <cstdlib>
#include <map>

#include "tools/disc_authoring/bmp_rewrite.h"
#include "tools/disc_authoring/little_endian.h"
#include "tools/disc_authoring/release_check.h"
#include "tools/support/bmp_writer.h"

namespace {

constexpr int kMaxRecipeSide = 1024;
constexpr std::size_t kRecipeBudget = 16u << 20;

Bytes Recipe(const Bytes& b) {
    const int width = 1 + (b[0] | b[1] << 8) % kMaxRecipeSide, height = 1 + (b[2] | b[3] << 8) % kMaxRecipeSide;
    const std::uint32_t stride = BmpRowStride(width, 24);
    Bytes row(stride, 0);
    for (int x = 0; x < width; ++x) std::copy(b.begin() + 4, b.begin() + 7, row.begin() + 3 * x);
    Bytes file = BmpHeaders(width, height, 24, stride * static_cast<std::uint32_t>(height));
    file.reserve(file.size() + std::size_t(stride) * std::size_t(height));
    for (int y = 0; y < height; ++y) file.insert(file.end(), row.begin(), row.end());
    return file;
}

// The listing, and for each entry of obj/ whether it was made from a recipe.
ReleaseListing Decode(const std::uint8_t* data, std::size_t size, std::vector<bool>* recipe) {
    ReleaseListing listing;
    std::size_t recipes = 0;
    for (std::size_t at = 0; size - at >= 2;) {
        const std::uint8_t flags = data[at], nameBytes = data[at + 1];
        at += 2;
        if (size - at < nameBytes + 2u) break;
        std::string name(reinterpret_cast<const char*>(data + at), nameBytes);
        at += nameBytes;
        const std::size_t length = std::min<std::size_t>(data[at] | data[at + 1] << 8, size - at - 2);
        Bytes bytes(data + at + 2, data + at + 2 + length);
        at += 2 + length;
        ReleaseEntry e;
        e.kind = (flags & 7) <= 5 ? static_cast<EntryKind>(flags & 7) : EntryKind::kFile;
        if (flags & 8) e.link = "/release/elsewhere";
        if (flags & 16) e.linkLeaves = true, e.link = "/outside";
        if (flags & 32) e.unreadable = "Permission denied";
        const bool made = (flags & 64) && bytes.size() >= 7 && recipes < kRecipeBudget;
        if (made) {
            bytes = Recipe(bytes);
            recipes += bytes.size();
        }
        e.size = bytes.size();
        if ((flags & 128) && bytes.size() >= 6) {
            e.size = 0;
            for (int i = 5; i >= 0; --i) e.size = e.size << 8 | bytes[i];
        }
        e.allocated = e.size;
        e.bytes = std::move(bytes);
        const bool obj = name.compare(0, 4, "obj/") == 0;
        e.name = obj ? name.substr(4) : name;
        (obj ? listing.obj : listing.top).push_back(std::move(e));
        if (obj) recipe->push_back(made);
    }
    return listing;
}

// A picture the rewriting accepts is one setup.exe reads, and rewriting it
// again changes nothing.
void CheckPrepared(const Bytes& file) {
    PreparedPicture p;
    std::string reason;
    if (!PrepareBmp(file, &p, &reason)) {
        if (reason.empty()) std::abort();
        return;
    }
    const std::uint64_t stride = (static_cast<std::uint64_t>(p.width) * 3 + 3) / 4 * 4;
    if (p.bytes.size() < 54 + stride * static_cast<std::uint64_t>(p.height) || p.bytes[28] != 24 ||
        (!p.mask.empty() && p.mask.size() != static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height)) ||
        (p.sourceBits == 24 && !p.mask.empty())) {
        std::abort();
    }
    PreparedPicture again;
    if (!PrepareBmp(p.bytes, &again, &reason) || again.rewritten || again.bytes != p.bytes || !again.mask.empty()) {
        std::abort();
    }
}

// An accepted release: the eleven files, each picture a classic 24-bit BMP
// (read from its header here) and each mask the size of the picture before
// it, the backgrounds 800 x 600.
void CheckAccepted(const Release& release) {
    if (release.sizes.size() != 11) std::abort();
    std::map<std::string, std::uint64_t> pixels;
    for (const auto& [name, bytes] : release.pictures) {
        const std::string stem = name.substr(0, name.size() - 4);
        if (name.compare(name.size() - 4, 4, ".bmp") != 0) {
            if (pixels[stem] != bytes.size()) std::abort();
            continue;
        }
        if (bytes.size() < 54 || Le32(&bytes[10]) != 54 || Le32(&bytes[14]) != 40 || bytes[28] != 24) std::abort();
        const std::uint64_t width = Le32(&bytes[18]), height = Le32(&bytes[22]);
        if (width - 1 >= 16384 || height - 1 >= 16384 || bytes.size() < 54 + (width * 3 + 3) / 4 * 4 * height) {
            std::abort();
        }
        if (stem < "t000_007" && (width != 800 || height != 600)) std::abort();
        pixels[stem] = width * height;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<bool> recipe;
    const ReleaseListing listing = Decode(data, size, &recipe);
    for (std::size_t i = 0; i < listing.obj.size(); ++i) {
        if (!recipe[i]) CheckPrepared(listing.obj[i].bytes);
    }
    const ReleaseRules rules{size > 0 && (data[0] & 1)};
    Release release;
    std::string error;
    if (!CheckRelease(listing, rules, &release, &error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    CheckAccepted(release);
    DiscLayoutInput input;
    input.media = size > 0 && (data[0] & 4) ? DiscMedia::kDvd : DiscMedia::kCd;
    input.release = release.sizes;
    input.setupBytes = release.setupBytes;
    for (const auto& [name, bytes] : release.pictures) input.pictures.emplace_back("data/obj/" + name, bytes.size());
    DiscLayout layout;
    PlanDiscs(input, &layout, &error);
    return 0;
}
