// The disc-authoring tool on a small release: the discs it writes, the
// refusals (nothing written), verify finding every mismatch, the pictures
// brought into the classic BMP form, and ISO images.
#include "tools/disc_authoring/disc_authoring.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/file/archive_index.h"
#include "framework/file/plain_file.h"
#include "tools/disc_authoring/bmp_rewrite.h"
#include "tools/demo/demo_art.h"
#include "tools/disc_authoring/disc_io.h"
#include "tools/support/temp_folder.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Read(const fs::path& path) {
    Bytes bytes;
    EXPECT_TRUE(ReadWholeFile(path.string(), 64u << 20, &bytes)) << path;
    return bytes;
}

void Write(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    EXPECT_TRUE(WriteWholeFile(path.string(), bytes)) << path;
}

Bytes Pattern(std::size_t n, unsigned seed) {
    Bytes b(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& v : b) v = static_cast<std::uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
    return b;
}

DemoPicture Picture(int w, int h, unsigned seed) {
    DemoPicture p;
    p.width = w;
    p.height = h;
    p.rgb = Pattern(std::size_t(w) * h * 3, seed);
    return p;
}

const char* const kStems[] = {"t000_000", "t000_001", "t000_002", "t000_003", "t000_004", "t000_005",
                              "t000_006", "t000_007", "t000_008", "t000_009", "t001_000", "t001_001",
                              "t001_002", "t001_003", "t001_004", "t001_005", "t001_006", "t001_007",
                              "t001_008", "t001_009", "t001_010"};

// Game file sizes of the small release: with kCapacity, every part of
// cg.dat and sc.dat gets bytes of its own.
const std::map<std::string, std::size_t> kSizes = {
    {"Sorvane.exe", 3000}, {"UnInstall.exe", 2000}, {"bg.dat", 30000}, {"extra.dat", 20000},
    {"obj.dat", 15000},    {"cg.dat", 520000},      {"bgm.dat", 14000}, {"se.dat", 6000},
    {"voice.dat", 20000},  {"scr.dat", 1200},       {"sc.dat", 150000}};
constexpr std::uint64_t kCapacity = kImageReserveBytes + 200 * 1024;

class AuthorDiscsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.empty());
        root_ = folder_.path();
        release_ = root_ / "release";
        unsigned seed = 1;
        for (const auto& [name, size] : kSizes) Write(release_ / name, Pattern(size, seed++));
        Write(release_ / "setup.exe", Pattern(5000, 99));
        for (const char* stem : kStems) {
            DemoPicture p = Picture(5, 3, seed++);
            Write(release_ / "obj" / (std::string(stem) + ".bmp"), EncodeBmp(p));
        }
        Write(release_ / "obj/t000_007.alp", Bytes(15, 0x80));
    }

    bool Author(const std::string& out, DiscMedia media, bool archive = false, bool iso = false,
                std::string* error = nullptr) {
        AuthorOptions options;
        options.release = release_.string();
        options.out = (root_ / out).string();
        options.media = media;
        options.capacity = media == DiscMedia::kCd ? kCapacity : 0;
        options.archive = archive;
        options.iso = iso;
        std::string ignored;
        return AuthorDiscs(options, Quiet(), error ? error : &ignored);
    }
    std::vector<std::string> Verify(const std::string& out) {
        std::vector<std::string> problems;
        std::string error;
        EXPECT_TRUE(VerifyDiscs((root_ / out).string(), release_.string(), Quiet(), &problems, &error)) << error;
        return problems;
    }
    static AuthorReport Quiet() { return AuthorReport{[](const std::string&) {}, nullptr}; }

    TempFolder folder_{"author_discs_test"};
    fs::path root_, release_;
};

TEST_F(AuthorDiscsTest, CdPartsJoinIntoTheReleaseFilesAndVerifyPasses) {
    std::string error;
    ASSERT_TRUE(Author("cd", DiscMedia::kCd, false, false, &error)) << error;
    for (const auto& [whole, parts] : std::map<std::string, std::vector<std::string>>{
             {"cg.dat", {"disc2/data/data/cg.001", "disc3/data/data/cg.002", "disc4/data/data/cg.003",
                         "disc5/data/data/cg.004"}},
             {"sc.dat", {"disc5/data/data/sc.001", "disc6/data/data/sc.002"}}}) {
        Bytes joined;
        for (const std::string& part : parts) {
            const Bytes b = Read(root_ / "cd" / part);
            EXPECT_FALSE(b.empty()) << part;
            joined.insert(joined.end(), b.begin(), b.end());
        }
        EXPECT_EQ(joined, Read(release_ / whole)) << whole;
    }
    EXPECT_EQ(Read(root_ / "cd/disc1/data/data/UnInstall.exe"), Read(release_ / "UnInstall.exe"));
    EXPECT_EQ(Read(root_ / "cd/disc1/setup.exe"), Read(release_ / "setup.exe"));
    const Bytes autorun = Read(root_ / "cd/disc1/autorun.inf");
    EXPECT_EQ(std::string(autorun.begin(), autorun.end()), "[autorun]\r\nopen=setup.exe\r\nicon=setup.exe\r\n");
    for (int disc = 1; disc <= 6; ++disc) {
        const fs::path obj = root_ / "cd" / ("disc" + std::to_string(disc)) / "data/obj";
        EXPECT_EQ(Read(obj / "t000_003.bmp"), Read(release_ / "obj/t000_003.bmp")) << disc;
        EXPECT_EQ(fs::exists(root_ / "cd" / ("disc" + std::to_string(disc)) / "setup.exe"), disc == 1);
    }
    EXPECT_EQ(Verify("cd"), std::vector<std::string>());
}

TEST_F(AuthorDiscsTest, VerifyReportsEveryMismatch) {
    ASSERT_TRUE(Author("cd", DiscMedia::kCd));
    Bytes part = Read(root_ / "cd/disc3/data/data/cg.002");
    part[1000] ^= 1;
    Write(root_ / "cd/disc3/data/data/cg.002", part);
    fs::remove(root_ / "cd/disc6/data/data/sc.002");
    Write(root_ / "cd/disc2/data/obj/extra.bmp", Bytes(3, 1));
    Bytes bg = Read(release_ / "bg.dat");
    bg[7] ^= 0x40;
    Write(release_ / "bg.dat", bg);

    const std::vector<std::string> problems = Verify("cd");
    const char* const kExpected[] = {
        "disc 3: data/data/cg.002: its bytes differ from the manifest",
        "disc 6: data/data/sc.002: missing from the disc",
        "disc 2: data/obj/extra.bmp: on the disc but not in the manifest",
        "disc 1: data/data/bg.dat: the release's bg.dat differs from the manifest",
    };
    ASSERT_EQ(problems.size(), std::size(kExpected)) << ::testing::PrintToString(problems);
    for (const char* expected : kExpected) {
        bool found = false;
        for (const std::string& p : problems) found |= p.find(expected) == 0;
        EXPECT_TRUE(found) << expected;
    }
}

void Patch(const fs::path& path, std::size_t at, std::uint8_t value) {
    Bytes b = Read(path);
    b[at] = value;
    Write(path, b);
}

TEST_F(AuthorDiscsTest, RefusesAFaultyReleaseNamingTheFileAndWritesNothing) {
    const struct {
        std::function<void(const fs::path&)> change;
        const char* message;
    } kCases[] = {
        {[](const fs::path& r) { fs::remove(r / "se.dat"); }, "se.dat: missing from the release folder"},
        {[](const fs::path& r) { Write(r / "readme.txt", {}); }, "readme.txt: not a file of the release"},
        {[](const fs::path& r) { Write(r / "bad:name.dat", {}); }, "bad:name.dat: not a valid file name on a disc"},
        {[](const fs::path& r) { Write(r / "obj/t001_011.alp", {}); }, "obj/t001_011.alp: not a file of the release"},
        {[](const fs::path& r) { fs::remove(r / "obj/t001_010.bmp"); }, "obj/t001_010.bmp: missing"},
        {[](const fs::path& r) { Patch(r / "obj/t001_004.bmp", 28, 8); }, "obj/t001_004.bmp: 8 bits per pixel"},
        {[](const fs::path& r) { Patch(r / "obj/t000_005.bmp", 30, 1); }, "obj/t000_005.bmp: compressed pixels"},
        {[](const fs::path& r) { fs::resize_file(r / "obj/t000_002.bmp", 60); },
         "obj/t000_002.bmp: the pixels do not fit in the file"},
        {[](const fs::path& r) { Write(r / "obj/t000_007.alp", Bytes(14, 1)); },
         "obj/t000_007.alp: the mask has 14 bytes, its 5 x 3 picture needs 15"},
    };
    const fs::path pristine = root_ / "pristine";
    fs::copy(release_, pristine, fs::copy_options::recursive);
    for (const auto& c : kCases) {
        fs::remove_all(release_);
        fs::copy(pristine, release_, fs::copy_options::recursive);
        c.change(release_);
        std::string error;
        EXPECT_FALSE(Author("out", DiscMedia::kCd, false, false, &error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(root_ / "out")) << c.message;
    }
    fs::remove_all(release_);
    fs::copy(pristine, release_, fs::copy_options::recursive);
    Write(root_ / "busy/old.txt", {});
    std::string error;
    EXPECT_FALSE(Author("busy", DiscMedia::kCd, false, false, &error));
    EXPECT_NE(error.find("not empty"), std::string::npos) << error;
}

TEST_F(AuthorDiscsTest, ArchiveOnEveryDiscHoldsThePictures) {
    ASSERT_TRUE(Author("packed", DiscMedia::kCd, true));
    for (int disc = 1; disc <= 6; ++disc) {
        const fs::path data = root_ / "packed" / ("disc" + std::to_string(disc)) / "data";
        EXPECT_FALSE(fs::exists(data / "obj"));
        CPlainFile archive;
        ASSERT_TRUE(archive.Open((data / "obj.dat").c_str()));
        for (const char* name : {"t000_000.bmp", "t001_010.bmp", "t000_007.alp"}) {
            Bytes contents;
            ASSERT_TRUE(ReadArchiveFile(archive, name, Cp932LeadBytes(), &contents)) << name;
            EXPECT_EQ(contents, Read(release_ / "obj" / name)) << name;
        }
    }
    EXPECT_EQ(Verify("packed"), std::vector<std::string>());
}

// A picture in the forms other programs write: ImageMagick's default
// (124-byte header, pixels at 138) and BMP3 (the classic form), and the
// classic file turned top-down.
TEST_F(AuthorDiscsTest, PicturesAreBroughtIntoTheClassicFormWithTheirPixels) {
    if (std::system("convert -version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ImageMagick's convert is not installed (make deps)";
    }
    const DemoPicture picture = Picture(7, 5, 42);  // 21-byte rows padded to 24
    const Bytes classic = EncodeBmp(picture);
    Write(root_ / "classic.bmp", classic);
    const std::string in = (root_ / "classic.bmp").string();
    ASSERT_EQ(std::system(("convert " + in + " " + (root_ / "im.bmp").string()).c_str()), 0);
    ASSERT_EQ(std::system(("convert " + in + " BMP3:" + (root_ / "im3.bmp").string()).c_str()), 0);
    Bytes topDown(classic.begin(), classic.begin() + 54);
    for (int row = 4; row >= 0; --row) {
        topDown.insert(topDown.end(), classic.begin() + 54 + row * 24, classic.begin() + 54 + (row + 1) * 24);
    }
    topDown[22] = 0xFB;  // height -5
    topDown[23] = topDown[24] = topDown[25] = 0xFF;

    const struct {
        const char* name;
        Bytes file;
        bool rewritten;
    } kCases[] = {{"classic", classic, false},
                  {"ImageMagick default", Read(root_ / "im.bmp"), true},
                  {"ImageMagick BMP3", Read(root_ / "im3.bmp"), false},
                  {"top-down", topDown, true}};
    ASSERT_EQ(kCases[1].file.at(14), 124);  // the form this test is about
    for (const auto& c : kCases) {
        PreparedPicture out;
        std::string reason;
        ASSERT_TRUE(PrepareBmp(c.file, &out, &reason)) << c.name << ": " << reason;
        EXPECT_EQ(out.rewritten, c.rewritten) << c.name;
        ASSERT_EQ(out.bytes.size(), classic.size()) << c.name;
        EXPECT_TRUE(std::equal(classic.begin() + 54, classic.end(), out.bytes.begin() + 54)) << c.name;
        EXPECT_EQ(out.bytes[10], 54) << c.name;
        EXPECT_EQ(out.bytes[14], 40) << c.name;
    }
    // Through the tool: the rewritten picture lands on every disc.
    Write(release_ / "obj/t000_004.bmp", kCases[1].file);
    ASSERT_TRUE(Author("cd", DiscMedia::kCd));
    EXPECT_EQ(Read(root_ / "cd/disc6/data/obj/t000_004.bmp"), classic);
    EXPECT_EQ(Verify("cd"), std::vector<std::string>());
}

TEST_F(AuthorDiscsTest, IsoImagesCarryLabelsAndVerifyReadsThem) {
    if (std::system("xorriso -version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "xorriso is not installed (make deps)";
    }
    std::string error;
    ASSERT_TRUE(Author("dvd", DiscMedia::kDvd, false, true, &error)) << error;
    ASSERT_TRUE(Author("cd", DiscMedia::kCd, false, true, &error)) << error;
    for (const auto& [image, label] : std::map<std::string, std::string>{
             {"dvd/disc1.iso", "SORVANE"}, {"cd/disc1.iso", "SORVANE_1"}, {"cd/disc6.iso", "SORVANE_6"}}) {
        std::string report;
        ASSERT_TRUE(RunProgram({"xorriso", "-indev", (root_ / image).string(), "-pvd_info"}, &report));
        EXPECT_NE(report.find("Volume Id    : " + label + "\n"), std::string::npos) << report;
        EXPECT_LE(fs::file_size(root_ / image), image[0] == 'c' ? kCapacity : kDvdCapacityBytes);
    }
    // Mixed-case long names are kept; the folders go, so verify reads the images.
    std::string files;
    ASSERT_TRUE(RunProgram({"xorriso", "-indev", (root_ / "dvd/disc1.iso").string(), "-find", "/data/data",
                            "-name", "UnInstall.exe"},
                           &files));
    EXPECT_NE(files.find("'/data/data/UnInstall.exe'"), std::string::npos) << files;
    fs::remove_all(root_ / "dvd/disc1");
    EXPECT_EQ(Verify("dvd"), std::vector<std::string>());
    // One changed byte inside a file of the image.
    std::fstream image(root_ / "dvd/disc1.iso", std::ios::binary | std::ios::in | std::ios::out);
    std::string lba;
    ASSERT_TRUE(RunProgram({"xorriso", "-indev", (root_ / "dvd/disc1.iso").string(), "-find",
                            "/data/data/cg.003", "-exec", "report_lba", "--"},
                           &lba));
    const std::size_t comma = lba.find(',', lba.find("File data lba:"));
    ASSERT_NE(comma, std::string::npos) << lba;
    image.seekp(std::stoll(lba.substr(comma + 1)) * 2048 + 5);
    image.put('\x5A');
    image.close();
    const std::vector<std::string> problems = Verify("dvd");
    ASSERT_EQ(problems.size(), 1u) << ::testing::PrintToString(problems);
    EXPECT_EQ(problems[0].find("disc 1: data/data/cg.003: its bytes differ"), 0u) << problems[0];
}

}  // namespace
