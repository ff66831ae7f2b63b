// The demo disc set as the setup program will read it: the disc map of the
// install steps, the sizes, and the pictures loose or packed.
#include "tools/demo_discs.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/file/archive_index.h"
#include "framework/file/plain_file.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

// The disc the install sequence asks for before each file, in install order.
struct Expected {
    const char* name;
    int disc;
};
const Expected kDiscMap[] = {
    {"Sorvane.exe", 1}, {"UnInstall.exe", 1}, {"bg.dat", 1},    {"extra.dat", 1},
    {"obj.dat", 1},     {"cg.001", 2},        {"cg.002", 3},    {"cg.003", 4},
    {"cg.004", 5},      {"bgm.dat", 5},       {"se.dat", 5},    {"voice.dat", 5},
    {"scr.dat", 5},     {"sc.001", 5},        {"sc.002", 6},
};

const char* const kPictureStems[] = {
    "t000_000", "t000_001", "t000_002", "t000_003", "t000_004", "t000_005",
    "t000_006", "t000_007", "t000_008", "t000_009", "t001_000", "t001_001",
    "t001_002", "t001_003", "t001_004", "t001_005", "t001_006", "t001_007",
    "t001_008", "t001_009", "t001_010",
};

// `count` bytes from `at`, or the whole file; fewer when it is shorter.
Bytes ReadBytes(const fs::path& path, std::uint64_t at = 0, std::uint64_t count = ~0ull) {
    std::error_code ec;
    const std::uint64_t size = fs::file_size(path, ec);
    if (ec || at > size) return {};
    Bytes bytes(static_cast<std::size_t>(std::min(count, size - at)));
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(at));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

class DemoDiscs : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/demo_discs_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        WriteBytes(root_ / "game.exe", Bytes(3000, 0x4D));
        WriteBytes(root_ / "uninstall.exe", Bytes(2000, 0x5A));
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    DemoDiscOptions Options(const char* folder) const {
        DemoDiscOptions options;
        options.out = (root_ / folder).string();
        options.game = (root_ / "game.exe").string();
        options.uninstaller = (root_ / "uninstall.exe").string();
        return options;
    }

    fs::path root_;
};

TEST_F(DemoDiscs, EveryFileIsOnlyOnTheDiscItsInstallStepAsksFor) {
    std::vector<DemoDiscFile> files;
    std::string error;
    ASSERT_TRUE(WriteDemoDiscs(Options("loose"), &files, &error)) << error;
    ASSERT_EQ(files.size(), std::size(kDiscMap));
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(kDiscMap[i].name);
        EXPECT_EQ(files[i].name, kDiscMap[i].name);
        EXPECT_EQ(files[i].disc, kDiscMap[i].disc);
        for (int disc = 1; disc <= 6; ++disc) {
            fs::path p = root_ / "loose" / ("disc" + std::to_string(disc)) / "data" / "data" /
                         kDiscMap[i].name;
            EXPECT_EQ(fs::exists(p), disc == kDiscMap[i].disc) << "disc " << disc;
            if (disc == kDiscMap[i].disc) EXPECT_EQ(fs::file_size(p), files[i].size);
        }
    }
    EXPECT_EQ(ReadBytes(root_ / "loose/disc1/data/data/Sorvane.exe"), Bytes(3000, 0x4D));
    EXPECT_EQ(ReadBytes(root_ / "loose/disc1/data/data/UnInstall.exe"), Bytes(2000, 0x5A));
}

TEST_F(DemoDiscs, SmallSetIsASixtyFourthOfTheDataAndEveryFileHasItsOwnPattern) {
    std::vector<DemoDiscFile> files;
    std::string error;
    ASSERT_TRUE(WriteDemoDiscs(Options("small"), &files, &error)) << error;
    std::uint64_t data = 0;
    for (std::size_t i = 2; i < files.size(); ++i) data += files[i].size;
    const std::uint64_t real = kDemoTotalBytes - 3000 - 2000;
    EXPECT_LE(data, real / kDemoSmallScale);
    EXPECT_GE(data, real / kDemoSmallScale - 13);  // one truncation per file
    // Parts of one joined file must differ, or a misordered join would pass.
    const Bytes a = ReadBytes(root_ / "small/disc2/data/data/cg.001", 0, 64);
    const Bytes b = ReadBytes(root_ / "small/disc3/data/data/cg.002", 0, 64);
    ASSERT_EQ(a.size(), 64u);
    EXPECT_NE(a, b);
}

TEST_F(DemoDiscs, FullSetHasTheExactTotalInSparseFiles) {
    DemoDiscOptions options = Options("full");
    options.full = true;
    std::vector<DemoDiscFile> files;
    std::string error;
    ASSERT_TRUE(WriteDemoDiscs(options, &files, &error)) << error;
    std::uint64_t listed = 0, onDisc = 0, allocated = 0;
    for (const DemoDiscFile& f : files) {
        listed += f.size;
        fs::path p = root_ / "full" / ("disc" + std::to_string(f.disc)) / "data" / "data" / f.name;
        struct stat st {};
        ASSERT_EQ(stat(p.c_str(), &st), 0) << p;
        onDisc += static_cast<std::uint64_t>(st.st_size);
        allocated += static_cast<std::uint64_t>(st.st_blocks) * 512;
    }
    EXPECT_EQ(listed, kDemoTotalBytes);
    EXPECT_EQ(onDisc, kDemoTotalBytes);
    EXPECT_LT(allocated, 64ull << 20);
    // The patterned tail sits at the real end of the file.
    EXPECT_NE(ReadBytes(root_ / "full/disc2/data/data/cg.001", 690000000 - 4096), Bytes(4096, 0));
}

TEST_F(DemoDiscs, EveryDiscCarriesTheScreenPicturesAsTheLoaderReadsThem) {
    std::vector<DemoDiscFile> files;
    std::string error;
    ASSERT_TRUE(WriteDemoDiscs(Options("loose"), &files, &error)) << error;
    for (int disc = 1; disc <= 6; ++disc) {
        fs::path obj = root_ / "loose" / ("disc" + std::to_string(disc)) / "data" / "obj";
        EXPECT_FALSE(fs::exists(obj.parent_path() / "obj.dat"));
        for (const char* stem : kPictureStems) {
            SCOPED_TRACE(std::string("disc ") + std::to_string(disc) + " " + stem);
            const Bytes bmp = ReadBytes(obj / (std::string(stem) + ".bmp"));
            ASSERT_GE(bmp.size(), 54u);
            EXPECT_EQ(bmp[0], 'B');
            EXPECT_EQ(bmp[1], 'M');
            EXPECT_EQ(bmp[28] | bmp[29] << 8, 24);  // bits per pixel
            const std::uint32_t w = Le32(bmp, 18), h = Le32(bmp, 22);
            const std::uint32_t stride = (w * 3 + 3) & ~3u;
            EXPECT_EQ(bmp.size(), Le32(bmp, 10) + std::uint64_t{stride} * h);
            if (std::string(stem) < "t000_007") {
                EXPECT_EQ(w, 800u);
                EXPECT_EQ(h, 600u);
            }
            fs::path alp = obj / (std::string(stem) + ".alp");
            if (fs::exists(alp)) EXPECT_EQ(fs::file_size(alp), std::uint64_t{w} * h);
        }
    }
}

TEST_F(DemoDiscs, ArchiveVariantHoldsTheSamePicturesAsTheLooseOne) {
    std::vector<DemoDiscFile> files;
    std::string error;
    ASSERT_TRUE(WriteDemoDiscs(Options("loose"), &files, &error)) << error;
    DemoDiscOptions packed = Options("packed");
    packed.archive = true;
    ASSERT_TRUE(WriteDemoDiscs(packed, &files, &error)) << error;

    std::size_t loose = 0;
    for (const auto& entry : fs::directory_iterator(root_ / "loose/disc1/data/obj")) {
        ++loose;
        const std::string name = entry.path().filename().string();
        for (int disc = 1; disc <= 6; ++disc) {
            SCOPED_TRACE(name + " on disc " + std::to_string(disc));
            fs::path data = root_ / "packed" / ("disc" + std::to_string(disc)) / "data";
            EXPECT_FALSE(fs::exists(data / "obj"));
            CPlainFile archive;
            ASSERT_TRUE(archive.Open((data / "obj.dat").c_str()));
            Bytes contents;
            ASSERT_TRUE(ReadArchiveFile(archive, name.c_str(), Cp932LeadBytes(), &contents));
            EXPECT_EQ(contents, ReadBytes(entry.path()));
        }
    }
    EXPECT_GE(loose, std::size(kPictureStems));
}

TEST_F(DemoDiscs, MissingProgramIsReportedAndNothingIsWritten) {
    DemoDiscOptions options = Options("none");
    options.game = (root_ / "missing.exe").string();
    std::vector<DemoDiscFile> files;
    std::string error;
    EXPECT_FALSE(WriteDemoDiscs(options, &files, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(root_ / "none"));
}

}  // namespace
