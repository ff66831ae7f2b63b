// The disc plan: the fixed disc map, the split points at CD and DVD sizes,
// and the refusals when a release cannot fit the map.
#include "tools/disc_authoring/disc_layout.h"

#include <map>
#include <string>

#include <gtest/gtest.h>

namespace {

// The demo's real sizes (3979031201 bytes in all).
const std::map<std::string, std::uint64_t> kRealSizes = {
    {"Sorvane.exe", 600000},  {"UnInstall.exe", 400000}, {"bg.dat", 300000000},
    {"extra.dat", 200000000}, {"obj.dat", 150000000},    {"cg.dat", 2220000000},
    {"bgm.dat", 140000000},   {"se.dat", 60000000},      {"voice.dat", 207031201},
    {"scr.dat", 12000000},    {"sc.dat", 690000000},
};

DiscLayoutInput Input(DiscMedia media, std::map<std::string, std::uint64_t> changes = {}) {
    DiscLayoutInput in;
    in.media = media;
    std::map<std::string, std::uint64_t> sizes = kRealSizes;
    for (const auto& [name, size] : changes) sizes[name] = size;
    in.release.assign(sizes.begin(), sizes.end());
    in.setupBytes = 1500000;
    in.autorunBytes = 43;
    in.pictures = {{"data/obj/t000_000.bmp", 1440054}, {"data/obj/t001_000.bmp", 894}};
    return in;
}

const DiscFile* Find(const DiscLayout& layout, const std::string& name) {
    for (const DiscFile& f : layout.files) {
        if (f.path == "data/data/" + name) return &f;
    }
    return nullptr;
}

TEST(DiscLayout, CdsFollowTheDiscMapAndFillEachDiscBeforeTheNext) {
    DiscLayout layout;
    std::string error;
    ASSERT_TRUE(PlanDiscs(Input(DiscMedia::kCd), &layout, &error)) << error;
    ASSERT_EQ(layout.discs, 6);
    const struct {
        const char* name;
        int disc;
    } kMap[] = {{"Sorvane.exe", 1}, {"UnInstall.exe", 1}, {"bg.dat", 1}, {"extra.dat", 1}, {"obj.dat", 1},
                {"cg.001", 2},      {"cg.002", 3},        {"cg.003", 4}, {"cg.004", 5},    {"bgm.dat", 5},
                {"se.dat", 5},      {"voice.dat", 5},     {"scr.dat", 5}, {"sc.001", 5},   {"sc.002", 6}};
    for (const auto& m : kMap) {
        const DiscFile* f = Find(layout, m.name);
        ASSERT_NE(f, nullptr) << m.name;
        EXPECT_EQ(f->disc, m.disc) << m.name;
        EXPECT_LE(f->size, kMaxDiscFileBytes) << m.name;
    }
    // Discs 2 to 4 and disc 5 are full to the last sector; nothing overflows.
    for (int disc : {2, 3, 4, 5}) EXPECT_GT(layout.used[disc - 1] + kSectorBytes, kCdCapacityBytes) << disc;
    for (std::uint64_t used : layout.used) EXPECT_LE(used, kCdCapacityBytes);
    // The parts join up into the whole file, in order.
    for (const auto& [whole, parts] : std::map<std::string, std::vector<std::string>>{
             {"cg.dat", {"cg.001", "cg.002", "cg.003", "cg.004"}}, {"sc.dat", {"sc.001", "sc.002"}}}) {
        std::uint64_t at = 0;
        for (const std::string& part : parts) {
            const DiscFile* f = Find(layout, part);
            EXPECT_EQ(f->source, whole);
            EXPECT_EQ(f->offset, at) << part;
            at += f->size;
        }
        EXPECT_EQ(at, kRealSizes.at(whole));
    }
    // Pictures on every disc; setup.exe and autorun.inf only on disc 1.
    std::map<std::string, int> discsOf;
    for (const DiscFile& f : layout.files) discsOf[f.path] |= 1 << f.disc;
    EXPECT_EQ(discsOf["data/obj/t000_000.bmp"], 0x7e);
    EXPECT_EQ(discsOf["setup.exe"], 0x2);
    EXPECT_EQ(discsOf["autorun.inf"], 0x2);
}

TEST(DiscLayout, OneDiscHoldsTheSameFifteenFilesWithEvenParts) {
    for (DiscMedia media : {DiscMedia::kDvd, DiscMedia::kFolder}) {
        DiscLayout layout;
        std::string error;
        ASSERT_TRUE(PlanDiscs(Input(media), &layout, &error)) << error;
        EXPECT_EQ(layout.discs, 1);
        int data = 0;
        for (const DiscFile& f : layout.files) {
            EXPECT_EQ(f.disc, 1);
            data += f.path.compare(0, 10, "data/data/") == 0;
        }
        EXPECT_EQ(data, 15);
        EXPECT_EQ(Find(layout, "cg.002")->offset, 555000000u);
        EXPECT_EQ(Find(layout, "sc.002")->size, 345000000u);
    }
}

TEST(DiscLayout, RefusesWhatCannotFitSayingWhereAndByHowMuch) {
    // Disc 1 with bg.dat 100 MB larger: its used sectors less the capacity.
    DiscLayout fits;
    std::string error;
    ASSERT_TRUE(PlanDiscs(Input(DiscMedia::kCd), &fits, &error));
    const std::uint64_t over1 = fits.used[0] + SectorBytes(400000000) - SectorBytes(300000000) - kCdCapacityBytes;
    const struct {
        DiscMedia media;
        std::map<std::string, std::uint64_t> changes;
        std::string message;
    } kCases[] = {
        {DiscMedia::kCd, {{"bg.dat", 400000000}}, "disc 1 is " + std::to_string(over1) + " bytes too full"},
        {DiscMedia::kCd, {{"cg.dat", 2800000000}}, "disc 5 is "},
        {DiscMedia::kCd, {{"sc.dat", 1400000000}}, "disc 6 is "},
        // Too large for six CDs: the disc that overflows, not a part's own limit.
        {DiscMedia::kCd, {{"cg.dat", 5000000000}}, "disc 5 is "},
        {DiscMedia::kCd, {{"sc.dat", 3000000000}}, "disc 6 is "},
        {DiscMedia::kCd, {{"voice.dat", 2147483648}}, "voice.dat has 2147483648 bytes; setup.exe reads files up to 2147483647"},
        {DiscMedia::kFolder, {{"cg.dat", 9000000000}}, "cg.001 would be 2250000000 bytes"},
        {DiscMedia::kDvd, {{"cg.dat", 4000000000}}, "disc 1 is "},
    };
    for (const auto& c : kCases) {
        DiscLayout layout;
        EXPECT_FALSE(PlanDiscs(Input(c.media, c.changes), &layout, &error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(DiscLayout, CapacityOverrideMakesSmallDiscs) {
    DiscLayoutInput in = Input(DiscMedia::kCd);
    for (auto& [name, size] : in.release) size = name == "cg.dat" ? 3000000 : size / 1000;
    in.pictures = {{"data/obj/t000_000.bmp", 5000}};
    in.setupBytes = 100000;
    in.capacity = 2000000;
    DiscLayout layout;
    std::string error;
    ASSERT_TRUE(PlanDiscs(in, &layout, &error)) << error;
    EXPECT_EQ(layout.capacity, 2000000u);
    for (std::uint64_t used : layout.used) EXPECT_LE(used, 2000000u);
    EXPECT_GT(Find(layout, "cg.004")->size, 0u);
    in.capacity = 1500000;
    EXPECT_FALSE(PlanDiscs(in, &layout, &error));
    EXPECT_NE(error.find("too full for its 1500000 bytes"), std::string::npos) << error;
}

}  // namespace
