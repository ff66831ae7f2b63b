// setup.exe end to end, in the test prefix with its CD-ROM drives: the
// wizard, the disc prompts, the copy, registration and the ways out.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/support/dialog_driver.h"
#include "tests/support/disc_drives.h"
#include "tests/support/registry.h"
#include "tests/support/scratch.h"
#include "tests/support/setup_driver.h"

namespace {

const DWORD kStepWait = 20000;
const DWORD kInstallWait = 90000;
const std::size_t kFileBytes = 300 * 1024;

std::vector<std::string> Sorted(std::vector<std::string> names) {
    for (std::string& name : names) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string FileText(const std::string& path) {
    std::string bytes;
    return ReadFileBytes(path, &bytes) ? bytes : std::string("<unreadable>");
}

std::string ValueText(const RegValue& value) {
    std::string text = value.bytes;
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

class SetupProgram : public testing::Test {
protected:
    void SetUp() override {
        if (!DiscDrives::Available()) GTEST_SKIP() << "no test CD-ROM drives in this prefix";
        std::string probe;
        ASSERT_TRUE(ReadFileBytes(TestProgramPath("launch_probe.exe"), &probe));
        sources_ = BuildSetupDiscs(drives_, "disc", kFileBytes, SetupPictures(false),
                                   {{"Sorvane.exe", probe}});
        installFolder_ = target_.path() + "\\Vintal\\Sorvane";
    }

    // Starts setup.exe with disc 1 in `letter` and walks the wizard.
    void StartAndInstall(SetupRun& run, char letter) {
        ASSERT_TRUE(drives_.Insert(letter, "disc1"));
        ASSERT_TRUE(run.Start(DefaultSetupProgram(), target_.path()));
        ASSERT_TRUE(run.CompleteWizard(target_.path(), kStepWait));
    }

    void ExpectNothingRegistered() {
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey()));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::UninstallKey()));
        EXPECT_FALSE(PathExists(SetupRegistrationScope::DesktopLink()));
    }

    void ExpectExitZero(SetupRun& run) {
        DWORD code = 1234;
        ASSERT_TRUE(run.Wait(kStepWait, &code));
        EXPECT_EQ(code, 0u);
    }

    SetupRegistrationScope registration_;
    DiscDrives drives_;
    ScratchDir target_;
    std::map<std::string, std::string> sources_;
    std::string installFolder_;
};

// One run covers the whole road: a second instance while the first runs,
// six discs swapped in one drive, the installed files, registration, the
// completion message and exit code, then setup.exe starting the game.
TEST_F(SetupProgram, FullInstallationOverSixDiscsInOneDriveThenStartsTheGame) {
    SetupRun run;
    ASSERT_TRUE(drives_.Insert('m', "disc1"));
    ASSERT_TRUE(run.Start(DefaultSetupProgram(), target_.path()));
    ASSERT_NE(run.WaitForDialog(setup_text::PageCaption(1), kStepWait), nullptr);
    HWND mainWindow = ProcessMainWindow(run.Id());
    ASSERT_NE(mainWindow, nullptr);
    EXPECT_EQ(WindowTextOf(mainWindow), setup_text::kTitle);

    {
        SetupRun second;
        ASSERT_TRUE(second.Start(DefaultSetupProgram(), target_.path()));
        DWORD code = 1234;
        ASSERT_TRUE(second.Wait(kStepWait, &code));
        EXPECT_EQ(code, 0u);
    }

    ASSERT_TRUE(run.CompleteWizard(target_.path(), kStepWait));
    HWND done = run.ServeDiscsUntil(setup_text::kDoneCaption, drives_, 'm', "disc", kInstallWait);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(MessageBoxTextOf(done), setup_text::kDoneText);
    std::vector<std::string> expectedPrompts;
    for (int disc = 2; disc <= 6; ++disc) expectedPrompts.push_back(setup_text::DiscPrompt(disc));
    EXPECT_EQ(run.Prompts(), expectedPrompts);

    EXPECT_EQ(Sorted(FolderEntries(installFolder_)), Sorted(InstalledFileNames()));
    for (const char* name : {"Sorvane.exe", "UnInstall.exe", "bg.dat", "extra.dat", "obj.dat",
                             "bgm.dat", "se.dat", "voice.dat", "scr.dat"}) {
        EXPECT_EQ(FileText(installFolder_ + "\\" + name), sources_[name]) << name;
    }
    EXPECT_EQ(FileText(installFolder_ + "\\cg.dat"),
              sources_["cg.001"] + sources_["cg.002"] + sources_["cg.003"] + sources_["cg.004"]);
    EXPECT_EQ(FileText(installFolder_ + "\\sc.dat"), sources_["sc.001"] + sources_["sc.002"]);

    const std::string program = installFolder_ + "\\Sorvane.exe";
    EXPECT_EQ(ValueText(ReadRegValue(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey(),
                                     nullptr)),
              program);
    EXPECT_EQ(ValueText(ReadRegValue(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey(),
                                     "Path")),
              installFolder_);
    EXPECT_EQ(ValueText(ReadRegValue(HKEY_LOCAL_MACHINE, SetupRegistrationScope::UninstallKey(),
                                     "UninstallString")),
              installFolder_ + "\\UnInstall.exe");
    EXPECT_TRUE(PathExists(SetupRegistrationScope::DesktopLink()));
    const std::string programs = SetupRegistrationScope::ProgramsFolder() + "\\Sorvane";
    EXPECT_TRUE(PathExists(programs + "\\Sorvane.lnk"));
    EXPECT_TRUE(PathExists(programs + "\\アンインストーラ.lnk"));

    ASSERT_TRUE(run.Answer(done, IDOK, kStepWait));
    ExpectExitZero(run);

    // Installed: setup.exe now starts the game instead, without a window.
    SetupRun again;
    ASSERT_TRUE(again.Start(DefaultSetupProgram(), target_.path()));
    ExpectExitZero(again);
    EXPECT_TRUE(WaitUntil([&] { return PathExists(installFolder_ + "\\started.txt"); }, kStepWait));
}

}  // namespace
