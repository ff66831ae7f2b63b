// The disc-authoring tool on a small release: the discs it writes, the
// refusals and failed runs (nothing left, the reason named), verify finding
// every mismatch, the pictures brought into the classic BMP form, and files
// past 4 GiB. Images and their names: disc_image_verify_test.cpp.
#include "tools/disc_authoring/disc_authoring.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <functional>

#include "framework/file/archive_index.h"
#include "framework/file/plain_file.h"
#include "tests/tools/disc_authoring/author_fixture.h"
#include "tools/disc_authoring/bmp_rewrite.h"
#include "tools/disc_authoring/disc_io.h"
#include "tools/support/sample_data.h"

namespace {

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
    EXPECT_EQ(Left(), std::vector<std::string>{"cd"});  // no staging folder beside it
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

    ExpectProblems(Verify("cd"), {
                                     "disc 3: data/data/cg.002: its bytes differ from the manifest",
                                     "disc 6: data/data/sc.002: missing from the disc",
                                     "disc 2: data/obj/extra.bmp: on the disc but not in the manifest",
                                     "disc 1: data/data/bg.dat: the release's bg.dat differs from the manifest",
                                 });
    // A folder the tool did not write.
    std::vector<std::string> problems;
    std::string error;
    EXPECT_FALSE(VerifyDiscs((root_ / "release").string(), release_.string(), Quiet(), &problems, &error));
    EXPECT_NE(error.find("release/manifest.txt: missing"), std::string::npos) << error;
}

void Patch(const fs::path& path, std::size_t at, std::uint8_t value) {
    Bytes b = Read(path);
    b[at] = value;
    Write(path, b);
}

void Replace(const fs::path& path, const std::function<void(const fs::path&)>& make) {
    fs::remove(path);
    make(path);
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
        {[](const fs::path& r) { Replace(r / "se.dat", [](const fs::path& p) { fs::create_directory(p); }); },
         "se.dat: a folder, not a file"},
        {[](const fs::path& r) { Replace(r / "bgm.dat", [](const fs::path& p) { mkfifo(p.c_str(), 0644); }); },
         "bgm.dat: a FIFO (named pipe), not a file"},
        {[](const fs::path& r) { Replace(r / "voice.dat", [](const fs::path& p) { fs::create_symlink("gone.dat", p); }); },
         "voice.dat: a link to nothing (gone.dat)"},
        {[](const fs::path& r) { Replace(r / "scr.dat", [](const fs::path& p) { fs::create_symlink("/etc/passwd", p); }); },
         "scr.dat: a link to /etc/passwd, outside the release folder"},
        {[](const fs::path& r) { Write(r / "setup.exe", SampleProgram(5000, 99, true)); },
         "setup.exe: a 64-bit program (PE32+)"},
        {[](const fs::path& r) { Write(r / "UnInstall.exe", Pattern(2000, 3)); },
         "UnInstall.exe: not a Windows program"},
        {[](const fs::path& r) { Patch(r / "obj/t001_004.bmp", 28, 1); }, "obj/t001_004.bmp: 1 bit per pixel"},
        {[](const fs::path& r) { Patch(r / "obj/t000_008.bmp", 30, 1); }, "obj/t000_008.bmp: compressed pixels"},
        {[](const fs::path& r) { fs::resize_file(r / "obj/t000_009.bmp", 60); },
         "obj/t000_009.bmp: the pixels do not fit in the file"},
        {[](const fs::path& r) { fs::resize_file(r / "obj/t001_002.bmp", 30); },
         "obj/t001_002.bmp: the file ends after 30 bytes, inside its 40-byte info header"},
        {[](const fs::path& r) { Write(r / "obj/t000_003.bmp", EncodeBmp(Picture(640, 480, 5))); },
         "obj/t000_003.bmp: 640 x 480; a background fills the 800 x 600 setup screen"},
        {[](const fs::path& r) { Write(r / "obj/t000_007.alp", Bytes(14, 1)); },
         "obj/t000_007.alp: the mask has 14 bytes, its 5 x 3 picture needs 15"},
        // The mask beside it holds 0x80 everywhere; the picture's first
        // pixel (top left) is transparent.
        {[](const fs::path& r) {
             Bytes alpha(15, 0x80);
             alpha[0] = 0;
             Write(r / "obj/t000_007.bmp", Bmp32(Picture(5, 3, 1), alpha, true));
         },
         "obj/t000_007.alp: disagrees with the alpha channel of obj/t000_007.bmp (at pixel (0, 0): 128 in the "
         "mask, 0 in the picture)"},
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
        EXPECT_EQ(Left(), std::vector<std::string>{"pristine"}) << c.message;
    }
    fs::remove_all(release_);
    fs::copy(pristine, release_, fs::copy_options::recursive);
    Write(root_ / "busy/old.txt", {});
    std::string error;
    EXPECT_FALSE(Author("busy", DiscMedia::kCd, false, false, &error));
    EXPECT_NE(error.find("busy: not empty"), std::string::npos) << error;
    AuthorOptions inside = Options("", DiscMedia::kFolder);
    inside.out = (release_ / "discs").string();
    EXPECT_FALSE(Author(inside, &error));
    EXPECT_NE(error.find("release/discs: inside the release folder"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(release_ / "discs"));
    // A link that stays inside the release is followed and named.
    Replace(release_ / "scr.dat", [](const fs::path& p) { fs::create_symlink("se.dat", p); });
    ASSERT_TRUE(Author("linked", DiscMedia::kFolder, false, false, &error)) << error;
    EXPECT_TRUE(Said("scr.dat: follows the link to " + fs::canonical(release_ / "se.dat").string()));
}

// A file system of `bytes` at `dir` where the machine allows mounting one.
class SmallDisk {
public:
    SmallDisk(const fs::path& dir, std::uint64_t bytes) : dir_(dir) {
        fs::create_directories(dir);
        mounted_ = mount("tmpfs", dir.c_str(), "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    // Takes all the room that is left.
    void Fill() const {
        struct statvfs fs;
        const int fd = open((dir_ / "filler").c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd >= 0 && statvfs(dir_.c_str(), &fs) == 0) {
            posix_fallocate(fd, 0, static_cast<off_t>(fs.f_bavail * fs.f_frsize));
        }
        if (fd >= 0) close(fd);
    }

private:
    fs::path dir_;
    bool mounted_ = false;
};

// Where the machine refuses a tmpfs, writes past `bytes` fail instead (the
// file size limit) while the object lives.
class WriteLimit {
public:
    explicit WriteLimit(bool on) : on_(on) {
        if (!on_) return;
        getrlimit(RLIMIT_FSIZE, &old_);
        old_signal_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {1 << 20, old_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~WriteLimit() {
        if (!on_) return;
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_signal_);
    }

private:
    bool on_;
    rlimit old_ = {};
    void (*old_signal_)(int) = nullptr;
};

// Runs as an unprivileged user while it lives, with `open` writable for
// it: root reads a file of mode 000 anyway.
class AsNobody {
public:
    AsNobody(bool on, const fs::path& open) : on_(on && geteuid() == 0) {
        if (!on_) return;
        fs::permissions(open, fs::perms::all);
        EXPECT_EQ(setegid(65534), 0);
        EXPECT_EQ(seteuid(65534), 0);
    }
    ~AsNobody() {
        if (on_ && seteuid(0) == 0) setegid(0);
    }

private:
    bool on_;
};

TEST_F(AuthorDiscsTest, FailedRunsLeaveNothingAndNameTheSourceOrOutputAndTheReason) {
    const fs::path bin = root_ / "fake-bin";
    Write(bin / "xorriso", ToBytes("#!/bin/sh\n[ \"$1\" = -version ] && exit 0\n"
                                   "echo 'xorriso : FAILURE : Cannot write to disc1.iso: No space left on device' >&2\n"
                                   "exit 32\n"));
    fs::permissions(bin / "xorriso", fs::perms::owner_all);
    SmallDisk small(root_ / "small", 16u << 20);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    enum Fault { kUnreadable, kNoRoom, kFull, kXorriso, kInterrupt };
    const struct {
        Fault fault;
        std::string out;
        DiscMedia media;
        std::vector<std::string> message;
    } kCases[] = {
        {kUnreadable, "out", DiscMedia::kFolder, {"bg.dat: cannot be read (Permission denied)"}},
        {kNoRoom, "small/out", DiscMedia::kCd, {"small/out: ", " bytes free on its file system; the discs need "}},
        {kFull, "small/out", DiscMedia::kDvd,
         {"small/out/disc1/", small.mounted() ? ": cannot be written (No space left on device)"
                                              : ": cannot be written (File too large)"}},
        {kXorriso, "out", DiscMedia::kDvd,
         {"out/disc1.iso: xorriso could not write the image: xorriso : FAILURE : Cannot write to disc1.iso: No "
          "space left on device (xorriso: exit status 32)"}},
        {kInterrupt, "out", DiscMedia::kCd, {"interrupted"}},
    };
    for (const auto& c : kCases) {
        if (c.fault == kNoRoom && !small.mounted()) {
            std::printf("[ SKIPPED  ] too little room: a tmpfs cannot be mounted here\n");
            continue;
        }
        AuthorOptions options = Options(c.out, c.media);
        options.iso = c.fault == kXorriso;
        bool progressed = false;
        AuthorReport report = Quiet();
        report.progress = [&](const std::string&, std::uint64_t, std::uint64_t) {
            if (!progressed && c.fault == kFull && small.mounted()) small.Fill();
            progressed = true;
        };
        report.stopped = [&] { return progressed && c.fault == kInterrupt; };
        if (c.fault == kUnreadable) fs::permissions(release_ / "bg.dat", fs::perms::none);
        if (c.fault == kXorriso) setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
        std::string error;
        bool authored = false;
        {
            AsNobody reader(c.fault == kUnreadable, root_);
            WriteLimit limit(c.fault == kFull && !small.mounted());
            authored = AuthorDiscs(options, report, &error);
        }
        setenv("PATH", path.c_str(), 1);
        fs::permissions(release_ / "bg.dat", fs::perms::owner_read | fs::perms::owner_write);
        fs::remove(root_ / "small/filler");
        EXPECT_FALSE(authored) << c.out;
        for (const std::string& part : c.message) EXPECT_NE(error.find(part), std::string::npos) << error;
        EXPECT_EQ(Left(), std::vector<std::string>({"fake-bin", "small"})) << error;
        EXPECT_TRUE(fs::is_empty(root_ / "small")) << error;
    }
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
// (124-byte header, pixels at 138), BMP3 (the classic form), 32 bits with
// an alpha channel (any drawing adds one) with and without transparency,
// and by hand the classic file turned top-down and a 32-bit BI_RGB one.
TEST_F(AuthorDiscsTest, PicturesAreBroughtIntoTheClassicFormWithTheirPixels) {
    if (std::system("convert -version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ImageMagick's convert is not installed (make deps)";
    }
    const DemoPicture picture = Picture(7, 5, 42);  // 21-byte rows padded to 24
    const Bytes classic = EncodeBmp(picture);
    Bytes mask(35, 255);
    std::fill(mask.begin(), mask.begin() + 14, 0);  // the two top rows transparent
    mask[20] = 99;
    Write(root_ / "classic.bmp", classic);
    Write(root_ / "mask.gray", mask);
    // ImageMagick's rewriting of the classic file: `args`, then the output
    // named `to` in the format `format` (its default when empty).
    const auto convert = [&](const std::string& args, const std::string& format, const char* to) {
        const std::string command = "convert " + (root_ / "classic.bmp").string() + " " + args + " " + format +
                                    (root_ / to).string();
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return Read(root_ / to);
    };
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
        Bytes mask;
    } kCases[] = {
        {"classic", classic, false, {}},
        {"ImageMagick default", convert("", "", "im.bmp"), true, {}},
        {"ImageMagick BMP3", convert("", "BMP3:", "im3.bmp"), false, {}},
        {"ImageMagick with transparency",
         convert("-size 7x5 -depth 8 gray:" + (root_ / "mask.gray").string() +
                     " -alpha off -compose CopyOpacity -composite",
                 "", "im32.bmp"),
         true, mask},
        {"ImageMagick opaque alpha", convert("-alpha opaque", "", "im32o.bmp"), true, {}},
        {"top-down", topDown, true, {}},
        {"32-bit BI_RGB", Bmp32(picture, Bytes(35, 0), false), true, {}},
    };
    ASSERT_EQ(kCases[1].file.at(14), 124);  // the forms this test is about
    ASSERT_EQ(kCases[3].file.at(28), 32);
    ASSERT_EQ(kCases[4].file.at(28), 32);
    for (const auto& c : kCases) {
        PreparedPicture out;
        std::string reason;
        ASSERT_TRUE(PrepareBmp(c.file, &out, &reason)) << c.name << ": " << reason;
        EXPECT_EQ(out.rewritten, c.rewritten) << c.name;
        ASSERT_EQ(out.bytes.size(), classic.size()) << c.name;
        EXPECT_TRUE(std::equal(classic.begin() + 54, classic.end(), out.bytes.begin() + 54)) << c.name;
        EXPECT_EQ(out.bytes[10], 54) << c.name;
        EXPECT_EQ(out.bytes[14], 40) << c.name;
        EXPECT_EQ(out.bytes[28], 24) << c.name;
        EXPECT_EQ(out.mask, c.mask) << c.name;
    }
    // Through the tool: the rewritten picture and its mask land on every
    // disc; a piece of the progress display too large for where it is drawn
    // is named.
    Write(release_ / "obj/t000_008.bmp", kCases[1].file);
    fs::remove(release_ / "obj/t000_007.alp");
    Write(release_ / "obj/t000_007.bmp", kCases[3].file);
    Write(release_ / "obj/t001_010.bmp", EncodeBmp(Picture(70, 10, 4)));
    std::string error;
    ASSERT_TRUE(Author("cd", DiscMedia::kCd, false, false, &error)) << error;
    EXPECT_EQ(Read(root_ / "cd/disc6/data/obj/t000_008.bmp"), classic);
    EXPECT_EQ(Read(root_ / "cd/disc6/data/obj/t000_007.bmp"), classic);
    EXPECT_EQ(Read(root_ / "cd/disc6/data/obj/t000_007.alp"), mask);
    EXPECT_TRUE(Said("rewrote obj/t000_007.bmp from 32 into 24 bits per pixel, its alpha channel into "
                     "obj/t000_007.alp"));
    EXPECT_TRUE(Said("warning: obj/t001_010.bmp (the percent sign, 70 x 10, drawn at (736, 546)) is cut off 6 "
                     "pixels by the screen's right edge and 0 by its bottom edge"));
    EXPECT_EQ(Verify("cd"), std::vector<std::string>());
}

// Offsets past 2 and 4 GiB, where a 32-bit offset or a lost high word
// shows: the range copy and hash at such offsets of a sparse file, then the
// file as cg.dat of a release written to a folder and verified.
TEST_F(AuthorDiscsTest, FilesPastFourGibibytesAreCopiedHashedAndVerifiedAtTheirOffsets) {
    constexpr std::uint64_t kCgBytes = (1ull << 32) + (1u << 20);
    const struct {
        std::uint64_t offset;
        unsigned seed;
        const char* sha256;  // of Pattern(64, seed), by sha256sum
    } kRows[] = {
        {0x7FFFFFE0, 7, "3f1704f7f7478185647d8c44ac51eafab512fb3e2d807320aefc3e4f832aed2a"},
        {(1ull << 32) + 5, 8, "7bfdb862968a4077a71b7f0f6f9863b83b5f338fe46dc62e5db84ea8b1654d63"},
    };
    const fs::path cg = release_ / "cg.dat";
    fs::resize_file(cg, 0);
    {
        const int fd = open(cg.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        for (const auto& row : kRows) {
            const Bytes mark = Pattern(64, row.seed);
            ASSERT_EQ(pwrite(fd, mark.data(), mark.size(), static_cast<off_t>(row.offset)), 64);
        }
        ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kCgBytes)), 0);
        close(fd);
    }
    std::uint64_t size = 0;
    ASSERT_TRUE(RegularFileSize(cg.string(), &size));
    EXPECT_EQ(size, kCgBytes);
    for (const auto& row : kRows) {
        std::string copied, hashed, error;
        ASSERT_TRUE(CopyRange(cg.string(), row.offset, 64, (root_ / "part").string(), {}, &copied, &error)) << error;
        ASSERT_TRUE(HashRange(cg.string(), row.offset, 64, &hashed, {}, &error)) << error;
        EXPECT_EQ(Read(root_ / "part"), Pattern(64, row.seed)) << row.offset;
        EXPECT_EQ(copied, row.sha256) << row.offset;
        EXPECT_EQ(hashed, row.sha256) << row.offset;
    }
    fs::remove(root_ / "part");
    std::string error;
    ASSERT_TRUE(Author("big", DiscMedia::kFolder, false, false, &error)) << error;
    EXPECT_TRUE(Said("disc 1: cg.004 = cg.dat bytes 3222011904 to 4296015872"));
    Bytes last(64);
    {
        const int fd = open((root_ / "big/disc1/data/data/cg.004").c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(pread(fd, last.data(), last.size(), 1072955397), 64);  // 2^32 + 5 in cg.004
        close(fd);
    }
    EXPECT_EQ(last, Pattern(64, 8));
    EXPECT_EQ(Verify("big"), std::vector<std::string>());
}

}  // namespace
