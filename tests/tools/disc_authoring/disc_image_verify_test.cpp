// The tool's ISO images and verify reading them: the labels and the names
// every kind of reader sees (ISO 9660, Joliet, Rock Ridge), the bytes under
// them, and an image missing from a run that wrote images.
#include <cstdlib>
#include <fstream>
#include <functional>

#include "tests/tools/disc_authoring/author_fixture.h"
#include "tools/disc_authoring/disc_io.h"

namespace {

class DiscImageVerify : public AuthorDiscsTest {
protected:
    void SetUp() override {
        if (std::system("xorriso -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "xorriso is not installed (make deps)";
        AuthorDiscsTest::SetUp();
    }
    std::string Xorriso(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {"xorriso"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string output, error;
        EXPECT_TRUE(RunProgram(argv, [&](const std::string& line) { output += line + "\n"; }, &error)) << error;
        return output;
    }
};

// Changes the first `from` in the image into `to` (same length).
void Damage(const fs::path& image, const std::string& from, const std::string& to) {
    Bytes bytes = Read(image);
    const auto at = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
    ASSERT_NE(at, bytes.end()) << "no " << from << " in " << image;
    std::copy(to.begin(), to.end(), at);
    Write(image, bytes);
}

// A Rock Ridge "NM" entry holding `name`.
std::string Nm(const std::string& name) {
    return std::string("NM") + static_cast<char>(5 + name.size()) + '\x01' + '\0' + name;
}

std::string Ucs2(const std::string& ascii) {
    std::string out;
    for (char c : ascii) out += std::string(1, '\0') + c;
    return out;
}

TEST_F(DiscImageVerify, ImagesCarryLabelsAndEveryReadersNamesAndVerifyReadsThem) {
    std::string error;
    ASSERT_TRUE(Author("dvd", DiscMedia::kDvd, false, true, &error)) << error;
    ASSERT_TRUE(Author("cd", DiscMedia::kCd, false, true, &error)) << error;
    for (const auto& [image, label] : std::map<std::string, std::string>{
             {"dvd/disc1.iso", "SORVANE"}, {"cd/disc1.iso", "SORVANE_1"}, {"cd/disc6.iso", "SORVANE_6"}}) {
        const std::string report = Xorriso({"-indev", (root_ / image).string(), "-pvd_info"});
        EXPECT_NE(report.find("Volume Id    : " + label + "\n"), std::string::npos) << report;
        EXPECT_LE(fs::file_size(root_ / image), image[0] == 'c' ? kCapacity : kDvdCapacityBytes);
    }
    // Mixed-case long names are kept; the folders go, so verify reads the images.
    const std::string files =
        Xorriso({"-indev", (root_ / "dvd/disc1.iso").string(), "-find", "/data/data", "-name", "UnInstall.exe"});
    EXPECT_NE(files.find("'/data/data/UnInstall.exe'"), std::string::npos) << files;
    fs::remove_all(root_ / "dvd/disc1");
    EXPECT_EQ(Verify("dvd"), std::vector<std::string>());

    const struct {
        const char* name;
        std::function<void(const fs::path&)> damage;
        std::vector<std::string> problems;
    } kCases[] = {
        {"a Joliet name (Windows sees xg.001)",
         [](const fs::path& out) { Damage(out / "disc1.iso", Ucs2("cg.001"), Ucs2("xg.001")); },
         {"disc 1: data/data/cg.001: missing from the disc (Joliet names)",
          "disc 1: data/data/xg.001: on the disc but not in the manifest (Joliet names)"}},
        {"a Rock Ridge name", [](const fs::path& out) { Damage(out / "disc1.iso", Nm("cg.002"), Nm("cq.002")); },
         {"disc 1: data/data/cg.002: missing from the disc (Rock Ridge names)",
          "disc 1: data/data/cq.002: on the disc but not in the manifest (Rock Ridge names)"}},
        {"an ISO 9660 name", [](const fs::path& out) { Damage(out / "disc1.iso", "BGM.DAT;1", "BGN.DAT;1"); },
         {"disc 1: data/data/bgm.dat: missing from the disc (ISO 9660 names)",
          "disc 1: DATA/DATA/BGN.DAT;1: on the disc but not in the manifest (ISO 9660 names)"}},
        {"the volume label", [](const fs::path& out) { Damage(out / "disc1.iso", "SORVANE ", "SORVAME "); },
         {"disc1.iso: volume label \"SORVAME\", not \"SORVANE\""}},
        {"the Joliet volume label", [](const fs::path& out) { Damage(out / "disc1.iso", Ucs2("SORVANE "), Ucs2("SORVAME ")); },
         {"disc1.iso: Joliet volume label \"SORVAME\", not \"SORVANE\""}},
        {"a cut image", [](const fs::path& out) { fs::resize_file(out / "disc1.iso", 40 * 2048); },
         {"past the image's end"}},
    };
    const fs::path good = root_ / "good";
    fs::rename(root_ / "dvd", good);
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root_ / "dvd");
        fs::copy(good, root_ / "dvd", fs::copy_options::recursive);
        c.damage(root_ / "dvd");
        ExpectProblems(Verify("dvd"), c.problems);
    }
    // One byte inside a file's data, found where the image says it is.
    fs::remove_all(root_ / "dvd");
    fs::copy(good, root_ / "dvd", fs::copy_options::recursive);
    const std::string lba = Xorriso({"-indev", (root_ / "dvd/disc1.iso").string(), "-find", "/data/data/cg.003",
                                     "-exec", "report_lba", "--"});
    const std::size_t comma = lba.find(',', lba.find("File data lba:"));
    ASSERT_NE(comma, std::string::npos) << lba;
    std::fstream image(root_ / "dvd/disc1.iso", std::ios::binary | std::ios::in | std::ios::out);
    image.seekp(std::stoll(lba.substr(comma + 1)) * 2048 + 5);
    image.put('\x5A');
    image.close();
    ExpectProblems(Verify("dvd"), {"disc 1: data/data/cg.003: its bytes differ from the manifest"});
    // A run that wrote images: a missing image is not replaced by its folder.
    fs::remove(root_ / "cd/disc4.iso");
    ExpectProblems(Verify("cd"), {"disc 4: " + (root_ / "cd/disc4.iso").string() +
                                  " is missing (the discs were written with images)"});
}

}  // namespace
