// The publisher's road end to end: author_discs (a host program) makes ISO
// images of a small release, fuseiso mounts them as the media of the test
// prefix's CD-ROM drives, and setup.exe installs from them: six CD images
// changed in one drive at its prompts, then the one DVD image without any
// prompt. The installed files must equal the release byte for byte. Two of
// the release's pictures are 32-bit ImageMagick files as editors save them
// (the frame with transparency, the full bar without); setup.exe must show
// what author_discs rewrote them into.
//
// Wine starts Unix programs but hands back no process to wait on, so each
// host command writes its exit code into a file that the test waits for.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "framework/system/win32/unique_handle.h"
#include "framework/system/win32/wide_text.h"
#include "tools/automation/win32/disc_drives.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/setup_run.h"
#include "tools/disc_authoring/disc_layout.h"
#include "tools/support/sample_data.h"

namespace {

const DWORD kStepWait = 20000;
const DWORD kInstallWait = 180000;
const DWORD kHostWait = 120000;

// The colours of the pictures the screen check reads back: every stage's
// background, the frame (transparent in its top half) and the full bar.
const COLORREF kBackgroundColour = RGB(200, 50, 106);
const COLORREF kFrameColour = RGB(40, 40, 40);
const COLORREF kFullBarColour = RGB(10, 200, 60);
const int kFrameWidth = 280, kFrameHeight = 60;

// The Win32 path of a host path below the build tree (ASCII).
std::wstring UnixToWin(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

std::uint64_t Sectors(std::uint64_t bytes) { return (bytes + kSectorBytes - 1) / kSectorBytes * kSectorBytes; }

// Host commands, run by /bin/sh from a script file in `work` (Unix path).
class HostShell {
public:
    explicit HostShell(std::string work) : work_(std::move(work)) {}

    // Runs `command`; true when it exits with 0 within `timeoutMs`. Its
    // output is kept in LastOutput().
    bool Run(const std::string& command, DWORD timeoutMs) {
        const std::string id = std::to_string(++count_);
        const std::string script = work_ + "/cmd" + id + ".sh", done = work_ + "/cmd" + id + ".rc";
        const std::string text = "PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin\nexport PATH\n(" + command +
                                 ") >" + work_ + "/cmd" + id + ".log 2>&1\necho $? >" + done + ".tmp\nmv " +
                                 done + ".tmp " + done + "\n";
        if (!WriteFileBytes(UnixToWin(script), text)) return false;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::string line = "/bin/sh " + script;
        if (!CreateProcessA("/bin/sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return false;
        const unique_handle process(pi.hProcess), thread(pi.hThread);
        std::string rc;
        const bool finished = WaitUntil([&] { return ReadFileBytes(UnixToWin(done), &rc); }, timeoutMs);
        output_.clear();
        ReadFileBytes(UnixToWin(work_ + "/cmd" + id + ".log"), &output_);
        return finished && rc.compare(0, 1, "0") == 0 && (rc.size() == 1 || rc[1] == '\n');
    }
    const std::string& LastOutput() const { return output_; }

private:
    std::string work_;
    std::string output_;
    int count_ = 0;
};

// The drives' media are mount points of ISO images: inserting a disc
// mounts its image, ejecting unmounts it (lazily: setup.exe may still hold
// the old disc's root as its current directory).
class ImageDrives : public DiscChanger {
public:
    ImageDrives(HostShell& shell, std::string images) : shell_(shell), images_(std::move(images)) {}
    ~ImageDrives() {
        for (char letter : std::set<char>(mounted_)) Eject(letter);
    }

    bool Insert(char letter, const std::string& name) override {
        Eject(letter);
        const std::string medium = Medium(letter);
        if (!shell_.Run("fuseiso " + images_ + "/" + name + ".iso " + medium, kHostWait)) return false;
        mounted_.insert(letter);
        return WaitUntil([&] { return PathExists(UnixToWin(medium) + L"\\data"); }, kStepWait);
    }
    bool Eject(char letter) {
        mounted_.erase(letter);
        return shell_.Run("fusermount -u -z " + Medium(letter) + " 2>/dev/null || true", kHostWait);
    }
    static std::string Medium(char letter) {
        return std::string(std::getenv("SETUP_DRIVES_DIR")) + "/" + static_cast<char>(letter | 0x20);
    }

private:
    HostShell& shell_;
    std::string images_;
    std::set<char> mounted_;
};

// One release and its images for every test of the program.
struct Authored {
    bool ready = false;
    std::string skip;     // why the tests cannot run here
    std::string failure;  // what went wrong in the authoring
    std::string work;  // Unix path
    std::map<std::string, std::string> release;
};

Authored& Discs() {
    static Authored authored;
    return authored;
}

// Sizes for discs of `capacity` bytes on which every part of cg.dat and
// sc.dat gets bytes of its own: discs 2 to 4 are filled by cg.dat, 64 KiB
// of it goes to disc 5, and 64 KiB of sc.dat to disc 6.
std::map<std::string, std::size_t> GameFileSizes(std::uint64_t free) {
    const std::size_t kPiece = 64 * 1024;
    std::map<std::string, std::size_t> sizes;
    for (const char* name : {"Sorvane.exe", "UnInstall.exe", "bg.dat", "extra.dat", "obj.dat"}) sizes[name] = kPiece;
    for (const char* name : {"bgm.dat", "se.dat", "voice.dat", "scr.dat"}) sizes[name] = kPiece / 4;
    sizes["cg.dat"] = static_cast<std::size_t>(3 * free + kPiece);
    sizes["sc.dat"] = static_cast<std::size_t>(free - 2 * kPiece + kPiece);
    return sizes;
}

// The setup screen's pictures in the release: 800 x 600 backgrounds, and
// the frame and the full bar as ImageMagick's 32-bit pictures, made from
// classic ones by `shell`. Gives the bytes they take on a disc, after
// author_discs has rewritten them (the frame with its mask).
bool WritePictures(HostShell& shell, const std::string& work, std::uint64_t* discBytes) {
    std::map<std::string, std::string> pictures = SetupPictures(true);
    for (char stage = '0'; stage <= '6'; ++stage) {
        pictures[std::string("t000_00") + stage + ".bmp"] = SolidBmp(800, 600, kBackgroundColour);
    }
    pictures["t000_007.bmp"] = SolidBmp(kFrameWidth, kFrameHeight, kFrameColour);
    pictures["t000_009.bmp"] = SolidBmp(130, 16, kFullBarColour);
    const std::wstring obj = UnixToWin(work + "/release/obj");
    *discBytes = Sectors(kFrameWidth * kFrameHeight);  // the frame's mask
    for (const auto& [name, bytes] : pictures) {
        const bool editor = name == "t000_007.bmp" || name == "t000_009.bmp";
        WriteFileBytes(editor ? UnixToWin(work + "/" + name) : obj + L"\\" + Widen(name), bytes);
        *discBytes += Sectors(bytes.size());
    }
    // The frame's mask: its top half transparent.
    std::string mask(kFrameWidth * kFrameHeight, '\xFF');
    std::fill(mask.begin(), mask.begin() + mask.size() / 2, '\0');
    WriteFileBytes(UnixToWin(work + "/frame.gray"), mask);
    return shell.Run("cd " + work + " && convert t000_007.bmp -size " + std::to_string(kFrameWidth) + "x" +
                         std::to_string(kFrameHeight) +
                         " -depth 8 gray:frame.gray -alpha off -compose CopyOpacity -composite"
                         " release/obj/t000_007.bmp && convert t000_009.bmp -alpha opaque release/obj/t000_009.bmp",
                     kHostWait);
}

void Author(Authored* a) {
    const char* drives = std::getenv("SETUP_DRIVES_DIR");
    const std::string tools = SETUP_HOST_TOOLS;
    if (!DiscDrives::Available() || drives == nullptr) {
        a->skip = "no test CD-ROM drives in this prefix";
        return;
    }
    if (!PathExists(UnixToWin(tools + "/author_discs"))) {
        a->skip = "author_discs is not built (make build-host builds it)";
        return;
    }
    a->work = std::string(drives) + "/authoring";
    RemoveTree(UnixToWin(a->work));
    const std::wstring release = UnixToWin(a->work + "/release");
    std::string setup;
    if (!ReadFileBytes(DefaultSetupProgram(), &setup) || !WriteFileBytes(release + L"\\setup.exe", setup)) {
        a->skip = "cannot copy setup.exe into the release";
        return;
    }
    HostShell shell(a->work);
    std::uint64_t pictures = 0;
    if (!WritePictures(shell, a->work, &pictures)) {
        a->skip = "ImageMagick's convert failed (make deps installs it): " + shell.LastOutput();
        return;
    }
    // Disc 1: the reserve, the pictures, setup.exe, autorun.inf, five files of 64 KiB.
    const std::uint64_t free = Sectors(setup.size()) + kSectorBytes + 5 * 64 * 1024;
    const std::uint64_t capacity = kImageReserveBytes + pictures + free;
    unsigned seed = 1;
    for (const auto& [name, size] : GameFileSizes(free)) {
        const SampleBytes program = SampleProgram(size, seed);
        a->release[name] = name == "UnInstall.exe" ? std::string(program.begin(), program.end())
                                                   : PatternBytes(size, seed);
        ++seed;
        WriteFileBytes(release + L"\\" + Widen(name), a->release[name]);
    }
    // setup.exe is the build of this tree, 64-bit in the 64-bit one.
    const std::string author = "ASAN_OPTIONS=detect_leaks=0 " + tools + "/author_discs --quiet --allow-64-bit " +
                               a->work + "/release ";
    if (!shell.Run(author + a->work + "/cd --iso --capacity " + std::to_string(capacity), kHostWait) ||
        !shell.Run(author + a->work + "/dvd --iso --media dvd", kHostWait)) {
        a->failure = "author_discs failed: " + shell.LastOutput();
        return;
    }
    if (shell.LastOutput().find("rewrote obj/t000_007.bmp from 32 into 24 bits per pixel, its alpha channel "
                                "into obj/t000_007.alp") == std::string::npos) {
        a->failure = "author_discs did not rewrite the frame: " + shell.LastOutput();
        return;
    }
    // FUSE may be refused (no /dev/fuse, no permission): then skip.
    ImageDrives probe(shell, a->work + "/cd");
    if (!probe.Insert('m', "disc1")) {
        a->skip = "fuseiso cannot mount an image here (FUSE refused): " + shell.LastOutput();
        return;
    }
    probe.Eject('m');
    a->ready = true;
}

// The colour setup.exe's window shows for pixel (x, y) of its 800 x 600
// screen, as the display has it.
COLORREF ShownColour(HWND window, int x, int y) {
    RECT client = {};
    GetClientRect(window, &client);
    POINT at = {x * client.right / 800, y * client.bottom / 600};
    ClientToScreen(window, &at);
    const unique_window_dc screen(nullptr);
    return GetPixel(screen.get(), at.x, at.y);
}

bool Near(COLORREF a, COLORREF b) {
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > 2) return false;
    }
    return true;
}

class DiscImageInstall : public testing::Test {
protected:
    static void TearDownTestSuite() {
        if (!Discs().work.empty()) RemoveTree(UnixToWin(Discs().work));
    }
    void SetUp() override {
        Authored& discs = Discs();
        static bool tried = false;
        if (!tried) {
            tried = true;
            Author(&discs);
        }
        ASSERT_TRUE(discs.failure.empty()) << discs.failure;
        if (!discs.ready) GTEST_SKIP() << discs.skip;
        shell_.reset(new HostShell(discs.work));
        installFolder_ = target_.path() + L"\\Vintal\\Sorvane";
    }

    // setup.exe from disc 1 in M:, as autorun starts it; the prompts are
    // answered by changing the image in M:. `atEnd` sees the main window
    // while the completion message shows.
    void InstallFrom(const std::string& images, std::vector<std::wstring>* prompts,
                     const std::function<void(HWND)>& atEnd = {}) {
        ImageDrives drives(*shell_, Discs().work + "/" + images);
        ASSERT_TRUE(drives.Insert('m', "disc1")) << shell_->LastOutput();
        SetupRun run;
        // Under load Wine may not yet start a program from a medium that
        // fuseiso has just mounted, although its folder already lists.
        DWORD startError = 0;
        ASSERT_TRUE(WaitUntil(
            [&] {
                if (run.Start(L"M:\\setup.exe", L"M:\\")) return true;
                startError = GetLastError();
                return false;
            },
            kStepWait))
            << "setup.exe did not start from the image: error " << startError;
        ASSERT_TRUE(run.CompleteWizard(target_.path(), kStepWait));
        HWND done = run.ServeDiscsUntil(setup_text::kDoneCaption, drives, "m", "disc", kInstallWait);
        ASSERT_NE(done, nullptr) << "prompts so far: " << run.Prompts().size();
        *prompts = run.Prompts();
        if (atEnd) atEnd(ProcessMainWindow(run.Id()));
        ASSERT_TRUE(run.Answer(done, IDOK, kStepWait));
        DWORD code = 1234;
        ASSERT_TRUE(run.Wait(kStepWait, &code));
        EXPECT_EQ(code, 0u);
    }

    void ExpectReleaseInstalled() {
        for (const auto& [name, bytes] : Discs().release) {
            std::string installed;
            ASSERT_TRUE(ReadFileBytes(installFolder_ + L"\\" + Widen(name), &installed)) << name;
            EXPECT_TRUE(installed == bytes) << name << ": " << installed.size() << " of " << bytes.size() << " bytes";
        }
    }

    SetupRegistrationScope registration_;
    ScratchDir target_;
    std::unique_ptr<HostShell> shell_;
    std::wstring installFolder_;
};

TEST_F(DiscImageInstall, SixCdImagesInOneDriveWithAPromptForEachNextDisc) {
    std::vector<std::wstring> prompts;
    InstallFrom("cd", &prompts);
    std::vector<std::wstring> expected;
    for (int disc = 2; disc <= 6; ++disc) expected.push_back(setup_text::DiscPrompt(disc));
    EXPECT_EQ(prompts, expected);
    ExpectReleaseInstalled();
}

// At the end the screen shows the background, the full bar and the frame:
// through the frame's transparent top half the background, below it the
// frame (blended at full opacity, so within a step of its colour).
TEST_F(DiscImageInstall, OneDvdImageWithoutAnyPromptShowsTheRewrittenPictures) {
    std::vector<std::wstring> prompts;
    const struct {
        const char* what;
        int x, y;
        COLORREF colour;
    } kPoints[] = {{"the background through the frame", 506, 522, kBackgroundColour},
                   {"the frame", 506, 520 + kFrameHeight - 2, kFrameColour},
                   {"the full bar", 565, 555, kFullBarColour}};
    InstallFrom("dvd", &prompts, [&](HWND window) {
        ASSERT_NE(window, nullptr);
        const auto shown = [&] {
            for (const auto& p : kPoints) {
                if (!Near(ShownColour(window, p.x, p.y), p.colour)) return false;
            }
            return true;
        };
        if (WaitUntil(shown, kStepWait)) return;
        for (const auto& p : kPoints) {
            EXPECT_TRUE(Near(ShownColour(window, p.x, p.y), p.colour))
                << p.what << ": 0x" << std::hex << ShownColour(window, p.x, p.y) << ", not 0x" << p.colour;
        }
    });
    EXPECT_TRUE(prompts.empty()) << prompts.size() << " prompts";
    ExpectReleaseInstalled();
}

}  // namespace
