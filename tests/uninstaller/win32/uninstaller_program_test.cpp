// UnInstall.exe end to end: a real installation by setup.exe from the test
// discs, then the real uninstaller, in the test prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/system/path_text.h"
#include "framework/system/win32/unique_handle.h"
#include "installer/installer_state.h"
#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/disc_drives.h"
#include "tools/automation/win32/log_file.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/setup_run.h"
#include "tools/automation/win32/shown_texts.h"

namespace {

const DWORD kStepWait = 20000;
const DWORD kInstallWait = 120000;
const std::size_t kFileBytes = 64 * 1024;

enum ExitCode : DWORD {
    kRemoved = 0,
    kNotInstalled = 2,
    kInvalidEntry = 3,
    kInUse = 4,
    kAlreadyRunning = 6,
    kNoRights = 8,
};

std::string Text(const char* format, const std::string& argument) {
    char text[1024];
    FormatText(text, sizeof text, format, argument.c_str());
    return text;
}

class UninstallerProgram : public testing::Test {
protected:
    void SetUp() override {
        if (!DiscDrives::Available()) GTEST_SKIP() << "no test CD-ROM drives in this prefix";
        ASSERT_TRUE(ReadFileBytes(DefaultUninstallProgram(), &uninstaller_));
        BuildSetupDiscs(drives_, "disc", kFileBytes, SetupPictures(false),
                        {{"UnInstall.exe", uninstaller_}});
        vintal_ = target_.path() + "\\Vintal";
        folder_ = vintal_ + "\\Sorvane";
        ASSERT_TRUE(InstallWithSetup(drives_, 'm', "disc", target_.path(), kInstallWait));
        ASSERT_TRUE(Installed());
    }

    bool Installed() const {
        for (const char* name : InstalledFileTable) {
            if (!PathExists(folder_ + "\\" + name)) return false;
        }
        return KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey()) &&
               KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::UninstallKey()) &&
               PathExists(SetupRegistrationScope::DesktopLink()) &&
               PathExists(SetupRegistrationScope::ProgramsFolder());
    }

    // No installed file, link or key is left. The uninstaller's own file
    // goes a moment after its process, through the temporary copy.
    void ExpectRemoved() {
        EXPECT_TRUE(WaitUntil([&] { return !PathExists(folder_ + "\\UnInstall.exe"); },
                              kStepWait));
        for (const char* name : InstalledFileTable)
            EXPECT_FALSE(PathExists(folder_ + "\\" + name)) << name;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey()));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::UninstallKey()));
        EXPECT_FALSE(PathExists(SetupRegistrationScope::DesktopLink()));
        EXPECT_FALSE(PathExists(SetupRegistrationScope::ProgramsFolder()));
    }

    // Starts `program`, answers the question with Yes and returns the next
    // message box (null when none came).
    HWND StartAndConfirm(SetupRun& run, const std::string& program) {
        if (!run.Start(program, folder_)) return nullptr;
        HWND question = run.WaitForDialog(uninstaller_text::kCaption, kStepWait);
        if (!question || MessageBoxTextOf(question) != uninstaller_text::kConfirm) return nullptr;
        if (!run.Answer(question, IDYES, kStepWait)) return nullptr;
        return run.WaitForDialog(uninstaller_text::kCaption, kStepWait);
    }

    // Answers `box` and returns the program's exit code (255 when it hangs).
    DWORD AnswerAndExit(SetupRun& run, HWND box, int button) {
        DWORD code = 255;
        if (run.Answer(box, button, kStepWait)) run.Wait(kStepWait, &code);
        return code;
    }

    SetupRegistrationScope registration_;
    DiscDrives drives_;
    ScratchDir target_;
    std::string uninstaller_;
    std::string vintal_;
    std::string folder_;
};

// From the disc: nothing. Installed: removes all but a file the game wrote,
// and says so. Then the kept folder is no installation any more.
TEST_F(UninstallerProgram, KeepsAFileTheGameWroteAndIsNotInstalledTheSecondTime) {
    {
        ASSERT_TRUE(drives_.Insert('m', "disc1"));
        SetupRun fromDisc;
        ASSERT_TRUE(fromDisc.Start("M:\\data\\data\\UnInstall.exe", "M:\\"));
        HWND box = fromDisc.WaitForDialog(uninstaller_text::kCaption, kStepWait);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxTextOf(box), uninstaller_text::kNotInstalled);
        EXPECT_EQ(AnswerAndExit(fromDisc, box, IDOK), kNotInstalled);
        EXPECT_TRUE(Installed());
    }

    // A registered path that is no full path, then a file this user may
    // not remove (a folder in its place, which the system refuses to open
    // as access denied): one message each, nothing removed.
    const std::string game = folder_ + "\\Sorvane.exe";
    const std::string voice = folder_ + "\\voice.dat";
    const auto setRegistered = [](const std::string& path) {
        unique_hkey key;
        return RegOpenKeyExA(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey().c_str(), 0,
                             KEY_SET_VALUE, key.put()) == ERROR_SUCCESS &&
               RegSetValueExA(key.get(), nullptr, 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(path.c_str()),
                              static_cast<DWORD>(path.size() + 1)) == ERROR_SUCCESS;
    };
    const struct {
        std::function<bool()> make;
        std::function<bool()> undo;
        const char* text;
        DWORD code;
    } refusals[] = {
        {[&] { return setRegistered("Sorvane.exe"); }, [&] { return setRegistered(game); },
         uninstaller_text::kInvalidEntry, kInvalidEntry},
        {[&] {
             return MoveFileA(voice.c_str(), (voice + ".kept").c_str()) &&
                    CreateDirectoryA(voice.c_str(), nullptr);
         },
         [&] {
             return RemoveDirectoryA(voice.c_str()) &&
                    MoveFileA((voice + ".kept").c_str(), voice.c_str());
         },
         uninstaller_text::kNoRights, kNoRights},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.code);
        ASSERT_TRUE(refusal.make());
        SetupRun run;
        ASSERT_TRUE(run.Start(folder_ + "\\UnInstall.exe", folder_));
        HWND box = run.WaitForDialog(uninstaller_text::kCaption, kStepWait);
        if (box && MessageBoxTextOf(box) == uninstaller_text::kConfirm) {
            ASSERT_TRUE(run.Answer(box, IDYES, kStepWait));
            box = run.WaitForDialog(uninstaller_text::kCaption, kStepWait);
        }
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxTextOf(box), refusal.text);
        EXPECT_EQ(AnswerAndExit(run, box, IDOK), refusal.code);
        ASSERT_TRUE(refusal.undo());
        EXPECT_TRUE(Installed());
    }

    ASSERT_TRUE(WriteFileBytes(folder_ + "\\save01.dat", "saved game"));
    SetupRun run;
    HWND done = StartAndConfirm(run, folder_ + "\\UnInstall.exe");
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(MessageBoxTextOf(done), Text(uninstaller_text::kKeptFormat, folder_));
    EXPECT_EQ(AnswerAndExit(run, done, IDOK), kRemoved);
    ExpectRemoved();
    EXPECT_EQ(FolderEntries(folder_), std::vector<std::string>{"save01.dat"});

    ASSERT_TRUE(WriteFileBytes(folder_ + "\\UnInstall.exe", uninstaller_));
    SetupRun second;
    ASSERT_TRUE(second.Start(folder_ + "\\UnInstall.exe", folder_));
    HWND box = second.WaitForDialog(uninstaller_text::kCaption, kStepWait);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxTextOf(box), uninstaller_text::kNotInstalled);
    EXPECT_EQ(AnswerAndExit(second, box, IDOK), kNotInstalled);
    EXPECT_TRUE(PathExists(folder_ + "\\save01.dat"));
}

// The game "running": an installed file held open without delete sharing.
TEST_F(UninstallerProgram, AFileInUseIsReportedCancelKeepsAllRetryAfterReleaseRemovesAll) {
    const std::string game = folder_ + "\\Sorvane.exe";
    unique_hfile held(CreateFileA(game.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    const std::string inUse = Text(uninstaller_text::kInUseFormat, "Sorvane.exe");
    {
        SetupRun run;
        HWND box = StartAndConfirm(run, folder_ + "\\UnInstall.exe");
        const std::string text = box ? MessageBoxTextOf(box) : std::string();
        {
            // One at a time: a second uninstaller ends at once, silently.
            SetupRun second;
            ASSERT_TRUE(second.Start(folder_ + "\\UnInstall.exe", folder_));
            std::vector<std::string> captions;
            EXPECT_TRUE(second.CaptionsUntilExit(kStepWait, &captions));
            EXPECT_TRUE(captions.empty());
            DWORD secondCode = 255;
            EXPECT_TRUE(second.Wait(kStepWait, &secondCode));
            EXPECT_EQ(secondCode, kAlreadyRunning);
        }
        const DWORD code = AnswerAndExit(run, box, IDCANCEL);
        EXPECT_EQ(text, inUse);
        EXPECT_EQ(code, kInUse);
        EXPECT_TRUE(Installed());
    }
    SetupRun run;
    HWND box = StartAndConfirm(run, folder_ + "\\UnInstall.exe");
    const std::string text = box ? MessageBoxTextOf(box) : std::string();
    held.reset();
    EXPECT_EQ(text, inUse);
    ASSERT_TRUE(run.Answer(box, IDRETRY, kStepWait));
    HWND done = run.WaitForDialog(uninstaller_text::kCaption, kStepWait);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(MessageBoxTextOf(done), uninstaller_text::kDone);
    EXPECT_EQ(AnswerAndExit(run, done, IDOK), kRemoved);
    ExpectRemoved();
    // Nothing was kept: the folder and the "Vintal" folder above it go too.
    EXPECT_TRUE(WaitUntil([&] { return !PathExists(vintal_); }, kStepWait));
}

// The log (in the temporary folder, where the temporary copy that removes
// the uninstaller itself goes on with it) names each thing removed.
TEST_F(UninstallerProgram, QuietModeRemovesEverythingWithoutAWindowAndLogsIt) {
    ScratchDir temp;
    SetupRun run;
    {
        TempFolderScope scope(temp.path());
        ASSERT_TRUE(run.Start(folder_ + "\\UnInstall.exe", folder_, "/S"));
    }
    std::vector<std::string> captions;
    ASSERT_TRUE(run.CaptionsUntilExit(kStepWait, &captions));
    EXPECT_TRUE(captions.empty());
    DWORD code = 255;
    ASSERT_TRUE(run.Wait(kStepWait, &code));
    EXPECT_EQ(code, kRemoved);
    ExpectRemoved();
    EXPECT_TRUE(WaitUntil([&] { return !PathExists(vintal_); }, kStepWait));

    std::vector<std::string> events;
    ASSERT_TRUE(ReadLogEvents(temp / "Sorvane-uninstall.log", &events));
    for (const char* name : InstalledFileTable)
        EXPECT_NE(FindEvent(events, {"removed file " + folder_ + "\\" + name}), "") << name;
    EXPECT_NE(FindEvent(events, {"removed key HKEY_LOCAL_MACHINE\\Software\\",
                                 "\\App Paths\\Sorvane.exe"}),
              "");
    EXPECT_NE(FindEvent(events, {"the uninstaller ends with exit code 0"}), "");
    EXPECT_NE(FindEvent(events, {"temporary copy", "continuing this log"}), "");
    EXPECT_NE(FindEvent(events, {"removed folder " + vintal_}), "");
}

}  // namespace
