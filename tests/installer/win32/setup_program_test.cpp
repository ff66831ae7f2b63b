// setup.exe end to end, in the test prefix with its CD-ROM drives: the
// wizard, the disc prompts, the copy, registration and the ways out.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "framework/system/win32/unique_handle.h"
#include "framework/system/win32/wide_text.h"
#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/disc_drives.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/setup_run.h"

namespace {

const DWORD kStepWait = 20000;
const DWORD kInstallWait = 90000;
const std::size_t kFileBytes = 300 * 1024;

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
    for (std::wstring& name : names) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; });
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string FileText(const std::wstring& path) {
    std::string bytes;
    return ReadFileBytes(path, &bytes) ? bytes : std::string("<unreadable>");
}

class SetupProgram : public testing::Test {
protected:
    void SetUp() override {
        if (!DiscDrives::Available()) GTEST_SKIP() << "no test CD-ROM drives in this prefix";
        std::string probe;
        ASSERT_TRUE(ReadFileBytes(TestProgramPath(L"launch_probe.exe"), &probe));
        std::map<std::string, std::string> replacements = {{"Sorvane.exe", probe}};
        // A first-disc file large enough that its copy is still running
        // when the test closes the window.
        if (largeFirstDisc_) replacements["bg.dat"] = PatternBytes(96u << 20, 77);
        sources_ = BuildSetupDiscs(drives_, "disc", kFileBytes, SetupPictures(false),
                                   replacements);
        installFolder_ = target_.path() + L"\\Vintal\\Sorvane";
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

    // Posts a close request to the main window and answers the
    // confirmation with `answer`. Sets *firstStepRunning when the first
    // step's copies had not finished as the answer was given.
    void CloseMainWindow(SetupRun& run, int answer, bool* firstStepRunning = nullptr) {
        HWND window = ProcessMainWindow(run.Id());
        ASSERT_NE(window, nullptr);
        PostMessageW(window, WM_CLOSE, 0, 0);
        HWND confirm = run.WaitForDialog(setup_text::kConfirmCaption, kStepWait);
        ASSERT_NE(confirm, nullptr);
        EXPECT_EQ(MessageBoxTextOf(confirm), setup_text::kAbortText);
        ASSERT_TRUE(run.Answer(confirm, answer, kStepWait));
        // The copy goes on while the question shows; what counts is whether
        // the large file was still being copied once the answer was given.
        if (firstStepRunning) *firstStepRunning = StillCopying("bg.dat");
    }

    // True when the installed `name` is there but shorter than its source.
    bool StillCopying(const std::string& name) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW((installFolder_ + L"\\" + Widen(name)).c_str(),
                                  GetFileExInfoStandard, &data))
            return false;
        const std::uint64_t size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        return size < sources_[name].size();
    }

    // The process ends with exit code 0 without an error, completion or
    // confirmation message (a dialog open at the close is ended as a cancel
    // on the way out and opens nothing new), and nothing is registered.
    void ExpectQuietEnd(SetupRun& run) {
        std::vector<std::wstring> captions;
        ASSERT_TRUE(run.CaptionsUntilExit(kStepWait, &captions));
        for (const std::wstring& caption : captions) {
            EXPECT_NE(caption, setup_text::kErrorCaption);
            EXPECT_NE(caption, setup_text::kDoneCaption);
            EXPECT_NE(caption, setup_text::kConfirmCaption);
        }
        ExpectExitZero(run);
        ExpectNothingRegistered();
    }

    bool largeFirstDisc_ = false;
    SetupRegistrationScope registration_;
    DiscDrives drives_;
    ScratchDir target_;
    std::map<std::string, std::string> sources_;
    std::wstring installFolder_;
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
        bool windowShown = false;
        EXPECT_TRUE(WaitUntil(
            [&] {
                windowShown = windowShown || ProcessMainWindow(second.Id()) ||
                              !ProcessDialogs(second.Id()).empty();
                return !second.Running();
            },
            kStepWait));
        EXPECT_FALSE(windowShown);
        DWORD code = 1234;
        ASSERT_TRUE(second.Wait(kStepWait, &code));
        EXPECT_EQ(code, 0u);
    }

    ASSERT_TRUE(run.CompleteWizard(target_.path(), kStepWait));
    HWND done = run.ServeDiscsUntil(setup_text::kDoneCaption, drives_, "m", "disc", kInstallWait);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(MessageBoxTextOf(done), setup_text::kDoneText);
    std::vector<std::wstring> expectedPrompts;
    for (int disc = 2; disc <= 6; ++disc) expectedPrompts.push_back(setup_text::DiscPrompt(disc));
    EXPECT_EQ(run.Prompts(), expectedPrompts);

    EXPECT_EQ(Sorted(FolderEntries(installFolder_)), Sorted(InstalledFileNames()));
    EXPECT_EQ(FirstWrongInstalledFile(installFolder_, sources_), L"");

    const std::wstring program = installFolder_ + L"\\Sorvane.exe";
    EXPECT_EQ(ValueText(ReadRegValue(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey(),
                                     nullptr)),
              program);
    EXPECT_EQ(ValueText(ReadRegValue(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey(),
                                     L"Path")),
              installFolder_);
    EXPECT_EQ(ValueText(ReadRegValue(HKEY_LOCAL_MACHINE, SetupRegistrationScope::UninstallKey(),
                                     L"UninstallString")),
              L"\"" + installFolder_ + L"\\UnInstall.exe\"");
    EXPECT_TRUE(PathExists(SetupRegistrationScope::DesktopLink()));
    const std::wstring programs = SetupRegistrationScope::ProgramsFolder() + L"\\Sorvane";
    EXPECT_TRUE(PathExists(programs + L"\\Sorvane.lnk"));
    EXPECT_TRUE(PathExists(programs + L"\\アンインストーラ.lnk"));

    ASSERT_TRUE(run.Answer(done, IDOK, kStepWait));
    ExpectExitZero(run);

    // Installed: setup.exe now starts the game instead, without a window.
    SetupRun again;
    ASSERT_TRUE(again.Start(DefaultSetupProgram(), target_.path()));
    ExpectExitZero(again);
    EXPECT_TRUE(WaitUntil([&] { return PathExists(installFolder_ + L"\\started.txt"); }, kStepWait));
}

TEST_F(SetupProgram, CancelThenNoAtADiscPromptScansTheDrivesAndFollowsTheDiscToItsDrive) {
    SetupRun run;
    StartAndInstall(run, 'm');
    HWND prompt = run.WaitForDialog(setup_text::kDiscCaption, kInstallWait);
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(SetupRun::PromptedDisc(prompt), 2);
    // Disc 2 goes into another drive; Cancel, then No, must find it there.
    ASSERT_TRUE(drives_.Insert('n', "disc2"));
    ASSERT_TRUE(run.Answer(prompt, IDCANCEL, kStepWait));
    HWND confirm = run.WaitForDialog(setup_text::kConfirmCaption, kStepWait);
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(MessageBoxTextOf(confirm), setup_text::kAbortText);
    ASSERT_TRUE(run.Answer(confirm, IDNO, kStepWait));

    // Every further disc in a drive of its own: the files of disc 5 that
    // are copied without a prompt are read from the drive disc 5 was found in.
    HWND done =
        run.ServeDiscsUntil(setup_text::kDoneCaption, drives_, "mnopqr", "disc", kInstallWait);
    ASSERT_NE(done, nullptr);
    std::vector<std::wstring> expectedPrompts;
    for (int disc = 3; disc <= 6; ++disc) expectedPrompts.push_back(setup_text::DiscPrompt(disc));
    EXPECT_EQ(run.Prompts(), expectedPrompts);
    EXPECT_EQ(FileText(installFolder_ + L"\\bgm.dat"), sources_["bgm.dat"]);
    EXPECT_EQ(FileText(installFolder_ + L"\\sc.dat"), sources_["sc.001"] + sources_["sc.002"]);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey()));
    ASSERT_TRUE(run.Answer(done, IDOK, kStepWait));
    ExpectExitZero(run);
}

TEST_F(SetupProgram, CancelThenYesAtADiscPromptEndsWithoutErrorOrRegistration) {
    SetupRun run;
    StartAndInstall(run, 'm');
    HWND prompt = run.WaitForDialog(setup_text::kDiscCaption, kInstallWait);
    ASSERT_NE(prompt, nullptr);
    ASSERT_TRUE(run.Answer(prompt, IDCANCEL, kStepWait));
    HWND confirm = run.WaitForDialog(setup_text::kConfirmCaption, kStepWait);
    ASSERT_NE(confirm, nullptr);
    ASSERT_TRUE(run.Answer(confirm, IDYES, kStepWait));
    ExpectQuietEnd(run);
    EXPECT_TRUE(PathExists(installFolder_ + L"\\obj.dat"));
    EXPECT_FALSE(PathExists(installFolder_ + L"\\cg.dat"));
}

// The application thread is inside a modal dialog owned by the main window
// when the window is closed: the close must still end the process.
TEST_F(SetupProgram, ClosingTheWindowDuringAWizardPageOrADiscPromptEndsTheProgram) {
    for (const bool atDiscPrompt : {false, true}) {
        SCOPED_TRACE(atDiscPrompt ? "disc prompt" : "wizard page");
        SetupRun run;
        ASSERT_TRUE(drives_.Insert('m', "disc1"));
        ASSERT_TRUE(run.Start(DefaultSetupProgram(), target_.path()));
        if (atDiscPrompt) {
            ASSERT_TRUE(run.CompleteWizard(target_.path(), kStepWait));
            ASSERT_NE(run.WaitForDialog(setup_text::kDiscCaption, kInstallWait), nullptr);
        } else {
            HWND page = run.WaitForDialog(setup_text::PageCaption(1), kStepWait);
            ASSERT_TRUE(run.Answer(page, 1001, kStepWait));
            ASSERT_NE(run.WaitForDialog(setup_text::PageCaption(2), kStepWait), nullptr);
        }
        CloseMainWindow(run, IDYES);
        ExpectQuietEnd(run);
    }
}

TEST_F(SetupProgram, UnreadableSourceEndsWithOneErrorMessageAndNoRegistration) {
    ASSERT_TRUE(drives_.Insert('m', "disc1"));
    // The test holds "extra.dat" open without sharing: setup.exe cannot read it.
    const std::wstring locked = DiscDrives::MediumPath('m') + L"\\data\\data\\extra.dat";
    unique_hfile hold(CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(hold);

    SetupRun run;
    ASSERT_TRUE(run.Start(DefaultSetupProgram(), target_.path()));
    const bool walked = run.CompleteWizard(target_.path(), kStepWait);
    HWND error = walked ? run.WaitForDialog(setup_text::kErrorCaption, kInstallWait) : nullptr;
    if (error) {
        EXPECT_EQ(MessageBoxTextOf(error), setup_text::kErrorText);
        EXPECT_EQ(ProcessDialogs(run.Id()).size(), 1u);
        EXPECT_TRUE(run.Answer(error, IDOK, kStepWait));
    }
    hold.reset();
    ASSERT_TRUE(walked);
    ASSERT_NE(error, nullptr);
    ExpectQuietEnd(run);
    EXPECT_EQ(FileText(installFolder_ + L"\\bg.dat"), sources_["bg.dat"]);
    EXPECT_FALSE(PathExists(installFolder_ + L"\\obj.dat"));
}

class SetupProgramLargeFirstDisc : public SetupProgram {
protected:
    SetupProgramLargeFirstDisc() { largeFirstDisc_ = true; }
};

TEST_F(SetupProgramLargeFirstDisc, ClosingDuringACopyAnsweredNoKeepsCopying) {
    SetupRun run;
    StartAndInstall(run, 'm');
    CloseMainWindow(run, IDNO);
    HWND done = run.ServeDiscsUntil(setup_text::kDoneCaption, drives_, "m", "disc", kInstallWait);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(FileText(installFolder_ + L"\\bg.dat"), sources_["bg.dat"]);
    EXPECT_EQ(Sorted(FolderEntries(installFolder_)), Sorted(InstalledFileNames()));
    ASSERT_TRUE(run.Answer(done, IDOK, kStepWait));
    ExpectExitZero(run);
}

TEST_F(SetupProgramLargeFirstDisc, ClosingDuringACopyAnsweredYesEndsAndRegistersNothing) {
    SetupRun run;
    StartAndInstall(run, 'm');
    bool firstStepRunning = false;
    CloseMainWindow(run, IDYES, &firstStepRunning);
    ExpectQuietEnd(run);
    EXPECT_FALSE(PathExists(installFolder_ + L"\\cg.dat"));
    // Closed while bg.dat was being copied: no later file was begun.
    RecordProperty("closed_during_first_step", firstStepRunning ? "yes" : "no");
    if (firstStepRunning) {
        EXPECT_FALSE(PathExists(installFolder_ + L"\\extra.dat"));
        EXPECT_FALSE(PathExists(installFolder_ + L"\\obj.dat"));
    }
}

}  // namespace
