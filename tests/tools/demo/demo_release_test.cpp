// The demo's release folder: sizes, patterns, sparse full set, and that
// author_discs takes it as a publisher's release.
#include "tools/demo/demo_release.h"

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/disc_authoring/disc_authoring.h"
#include "tools/support/sample_data.h"
#include "tools/support/temp_folder.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes ReadBytes(const fs::path& path, std::uint64_t at, std::size_t count) {
    Bytes bytes(count);
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(at));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

class DemoRelease : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.empty());
        root_ = folder_.path();
        unsigned seed = 1;
        for (const char* name : {"game.exe", "uninstall.exe", "setup.exe"}) {
            const SampleBytes program = SampleProgram(3000, seed++);
            std::ofstream(root_ / name, std::ios::binary)
                .write(reinterpret_cast<const char*>(program.data()), static_cast<std::streamsize>(program.size()));
        }
    }
    DemoReleaseOptions Options(const char* folder, bool full) const {
        return {(root_ / folder).string(), (root_ / "game.exe").string(), (root_ / "uninstall.exe").string(),
                (root_ / "setup.exe").string(), full};
    }
    TempFolder folder_{"demo_release_test"};
    fs::path root_;
};

// A thin set (the data's share is a parameter; the demo's small set is
// 1/64): the sizes, and the demo's pictures and files pass the tool's checks.
TEST_F(DemoRelease, ThinSetHoldsItsShareAndAuthorsIntoDiscsThatVerify) {
    constexpr std::uint64_t kScale = 64000;
    DemoReleaseOptions release = Options("thin", false);
    release.scale = kScale;
    std::vector<DemoReleaseFile> files;
    std::string error;
    ASSERT_TRUE(WriteDemoRelease(release, &files, &error)) << error;
    ASSERT_EQ(files.size(), std::size(kReleaseFiles));
    std::uint64_t data = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(files[i].name, kReleaseFiles[i]);
        if (i >= 2) data += files[i].size;
    }
    const std::uint64_t real = kDemoTotalBytes - 6000;
    EXPECT_LE(data, real / kScale);
    EXPECT_GE(data, real / kScale - 9);  // one truncation per file
    EXPECT_NE(ReadBytes(root_ / "thin/bg.dat", 0, 64), ReadBytes(root_ / "thin/extra.dat", 0, 64));

    AuthorOptions options;
    options.release = release.out;
    options.media = DiscMedia::kFolder;
    options.out = (root_ / "discs").string();
    AuthorReport quiet{[](const std::string&) {}, nullptr, nullptr};
    ASSERT_TRUE(AuthorDiscs(options, quiet, &error)) << error;
    std::vector<std::string> problems;
    ASSERT_TRUE(VerifyDiscs(options.out, options.release, quiet, &problems, &error)) << error;
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
}

TEST_F(DemoRelease, FullSetHasTheExactTotalInSparseFilesWithBytesInEveryStretch) {
    std::vector<DemoReleaseFile> files;
    std::string error;
    ASSERT_TRUE(WriteDemoRelease(Options("full", true), &files, &error)) << error;
    std::uint64_t listed = 0, onDisc = 0, allocated = 0;
    for (const DemoReleaseFile& f : files) {
        struct stat st {};
        ASSERT_EQ(stat((root_ / "full" / f.name).c_str(), &st), 0) << f.name;
        listed += f.size;
        onDisc += static_cast<std::uint64_t>(st.st_size);
        allocated += static_cast<std::uint64_t>(st.st_blocks) * 512;
    }
    EXPECT_EQ(listed, kDemoTotalBytes);
    EXPECT_EQ(onDisc, kDemoTotalBytes);
    EXPECT_LT(allocated, 128ull << 20);
    // A CD part cut anywhere in cg.dat has patterned bytes, and so has the end.
    EXPECT_NE(ReadBytes(root_ / "full/cg.dat", 1408ull << 20, 4096), Bytes(4096, 0));
    EXPECT_NE(ReadBytes(root_ / "full/cg.dat", 2220000000 - 4096, 4096), Bytes(4096, 0));
}

}  // namespace
