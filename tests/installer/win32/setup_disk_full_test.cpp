// setup.exe running out of disk space part-way through its copies, with
// the wizard and unattended. The installation goes to T:\small, a tmpfs of
// the test prefix mounted by scripts/small-drive.sh (drive T: itself has
// room enough for the wizard's free-space test); the test fills it first so
// that only part of one file fits.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "framework/system/win32/wide_text.h"
#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/disc_drives.h"
#include "tools/automation/win32/log_file.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/setup_run.h"

namespace {

const DWORD kStepWait = 20000;
const DWORD kInstallWait = 90000;
const std::size_t kFileBytes = 300 * 1024;
const std::wstring kSmall = L"T:\\small";
const std::wstring kFolder = kSmall + L"\\Vintal\\Sorvane";
const std::wstring kFiller = kSmall + L"\\filler";

// Bytes a file takes on tmpfs: whole pages.
ULONGLONG OnDisk(std::size_t bytes) { return (bytes + 4095) / 4096 * 4096; }

class SetupDiskFull : public testing::Test {
protected:
    void SetUp() override {
        if (!DiscDrives::Available()) GTEST_SKIP() << "no test CD-ROM drives in this prefix";
        if (!PathExists(kSmall)) {
            std::string reason = "scripts/small-drive.sh did not run";
            ReadFileBytes(DiscDrives::MediumPath('t') + L".refused", &reason);
            if (!reason.empty() && reason.back() == '\n') reason.pop_back();
            GTEST_SKIP() << "disk-full cases skipped: no small drive T: (" << reason << ")";
        }
        sources_ = BuildSetupDiscs(drives_, "disc", kFileBytes, SetupPictures(false));
    }

    void TearDown() override {
        RemoveTree(kSmall + L"\\Vintal");
        DeleteFileW(kFiller.c_str());
    }

    // Fills T:\small so that `room` bytes stay free.
    void LeaveRoom(ULONGLONG room) {
        DeleteFileW(kFiller.c_str());
        ULARGE_INTEGER free = {};
        ASSERT_TRUE(GetDiskFreeSpaceExW((kSmall + L"\\").c_str(), &free, nullptr, nullptr));
        ASSERT_GT(free.QuadPart, room);
        ASSERT_TRUE(WriteFileBytes(kFiller, std::string(free.QuadPart - room, 'f')));
    }

    SetupRegistrationScope registration_;
    DiscDrives drives_;
    std::map<std::string, std::string> sources_;
};

TEST_F(SetupDiskFull, RunningOutEndsWithOneErrorNothingRegisteredAndOnlyWholeParts) {
    const struct {
        const char* what;
        std::vector<std::string> before;  // files that fit whole
        std::string cut;                  // the file that runs out half-way
        std::vector<std::wstring> prompts; // discs asked for before the error
    } cases[] = {
        {"plain copy", {"Sorvane.exe", "UnInstall.exe"}, "bg.dat", {}},
        {"join",
         {"Sorvane.exe", "UnInstall.exe", "bg.dat", "extra.dat", "obj.dat", "cg.001"},
         "cg.002",
         {setup_text::DiscPrompt(2), setup_text::DiscPrompt(3)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(kSmall + L"\\Vintal");
        ULONGLONG room = OnDisk(sources_[c.cut].size() / 2);
        for (const std::string& name : c.before) room += OnDisk(sources_[name].size());
        LeaveRoom(room);

        SetupRun run;
        ASSERT_TRUE(drives_.Insert('m', "disc1"));
        ASSERT_TRUE(run.Start(DefaultSetupProgram(), L""));
        ASSERT_TRUE(run.CompleteWizard(kSmall, kStepWait));
        HWND error = run.ServeDiscsUntil(setup_text::kErrorCaption, drives_, "m", "disc", kInstallWait);
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(MessageBoxTextOf(error), setup_text::kErrorText);
        EXPECT_EQ(run.Prompts(), c.prompts);
        ASSERT_TRUE(run.Answer(error, IDOK, kStepWait));

        // The program ends on its own, showing nothing more.
        std::vector<std::wstring> later;
        ASSERT_TRUE(WaitUntil(
            [&] {
                for (HWND dialog : ProcessDialogs(run.Id())) later.push_back(WindowTextOf(dialog));
                return !run.Running();
            },
            kStepWait));
        EXPECT_TRUE(later.empty()) << later.front();
        DWORD code = 1234;
        ASSERT_TRUE(run.Wait(kStepWait, &code));
        EXPECT_EQ(code, 0u);

        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey()));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::UninstallKey()));
        EXPECT_FALSE(PathExists(SetupRegistrationScope::DesktopLink()));
        for (const std::string& name : c.before) {
            if (name == "cg.001") continue;
            std::string bytes;
            EXPECT_TRUE(ReadFileBytes(kFolder + L"\\" + Widen(name), &bytes) && bytes == sources_[name])
                << name;
        }
        if (c.cut == "cg.002") {
            // The joined file keeps the first part and nothing of the second.
            std::string joined;
            EXPECT_TRUE(ReadFileBytes(kFolder + L"\\cg.dat", &joined));
            EXPECT_EQ(joined.size(), sources_["cg.001"].size());
            EXPECT_TRUE(joined == sources_["cg.001"]);
        }
    }
}

// Unattended: exit code 4, and the log names the file, the system's error
// (ERROR_DISK_FULL, 112) and how many of its bytes were written.
TEST_F(SetupDiskFull, AnUnattendedRunEndsWithFourAndTheLogNamesFileErrorAndBytes) {
    ULONGLONG room = OnDisk(sources_["bg.dat"].size() / 2);
    for (const char* name : {"Sorvane.exe", "UnInstall.exe"}) room += OnDisk(sources_[name].size());
    LeaveRoom(room);
    ASSERT_TRUE(drives_.Insert('m', "disc1"));
    ScratchDir temp;
    std::vector<std::wstring> captions;
    EXPECT_EQ(RunToExit(DefaultSetupProgram(), L"", L"/S /D=" + kSmall, temp.path(), kInstallWait,
                        &captions),
              4u);
    EXPECT_TRUE(captions.empty()) << Utf8(captions.front());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey()));

    std::vector<std::string> events;
    ASSERT_TRUE(ReadLogEvents(temp / L"Sorvane-setup.log", &events));
    const std::string failed = FindEvent(events, {"failed: bg.dat"});
    EXPECT_NE(failed.find(Utf8(kFolder + L"\\bg.dat")), std::string::npos) << failed;
    EXPECT_NE(failed.find("error 112 ("), std::string::npos) << failed;
    // Whole chunks only: less than the half that fitted.
    std::string bytes = failed.substr(failed.find(" after ") + 7);
    bytes = bytes.substr(0, bytes.find(' '));
    EXPECT_LT(std::stoull(bytes), sources_["bg.dat"].size() / 2 + 4096) << failed;
    EXPECT_NE(failed.find(" of " + std::to_string(sources_["bg.dat"].size()) + " bytes"),
              std::string::npos)
        << failed;
    EXPECT_EQ(events.back(), "setup ends with exit code 4");
}

}  // namespace
