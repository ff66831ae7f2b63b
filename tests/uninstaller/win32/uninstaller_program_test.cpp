// UnInstall.exe end to end: a real installation by setup.exe from the test
// discs, then the real uninstaller, in the test prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/system/win32/unique_handle.h"
#include "framework/system/win32/wide_text.h"
#include "installer/installer_state.h"
#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/disc_drives.h"
#include "tools/automation/win32/log_file.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/setup_run.h"
#include "tools/automation/win32/shortcut.h"
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

using uninstaller_text::Text;

class UninstallerProgram : public testing::Test {
protected:
    void SetUp() override {
        if (!DiscDrives::Available()) GTEST_SKIP() << "no test CD-ROM drives in this prefix";
        ASSERT_TRUE(ReadFileBytes(DefaultUninstallProgram(), &uninstaller_));
        BuildSetupDiscs(drives_, "disc", kFileBytes, SetupPictures(false),
                        {{"UnInstall.exe", uninstaller_}});
        base_ = target_.path() + base_;
        vintal_ = base_ + L"\\Vintal";
        folder_ = vintal_ + L"\\Sorvane";
        ASSERT_TRUE(CreateFolder(base_));
        ASSERT_TRUE(InstallWithSetup(drives_, 'm', "disc", base_, kInstallWait, &folderQuestion_));
        ASSERT_TRUE(Installed());
    }


    bool Installed() const {
        for (const char* name : InstalledFileTable) {
            if (!PathExists(folder_ + L"\\" + Widen(name))) return false;
        }
        return KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey()) &&
               KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::UninstallKey()) &&
               PathExists(SetupRegistrationScope::DesktopLink()) &&
               PathExists(SetupRegistrationScope::ProgramsFolder());
    }

    // No installed file, link or key is left. The uninstaller's own file
    // goes a moment after its process, through the temporary copy.
    void ExpectRemoved() {
        EXPECT_TRUE(WaitUntil([&] { return !PathExists(folder_ + L"\\UnInstall.exe"); },
                              kStepWait));
        for (const char* name : InstalledFileTable)
            EXPECT_FALSE(PathExists(folder_ + L"\\" + Widen(name))) << name;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey()));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::UninstallKey()));
        EXPECT_FALSE(PathExists(SetupRegistrationScope::DesktopLink()));
        EXPECT_FALSE(PathExists(SetupRegistrationScope::ProgramsFolder()));
    }

    // Starts `program`, answers the question with Yes and returns the next
    // message box (null when none came).
    HWND StartAndConfirm(SetupRun& run, const std::wstring& program) {
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
    std::wstring base_;  // below target_: the folder typed on page 3
    std::wstring vintal_;
    std::wstring folder_;
    std::wstring folderQuestion_;  // asked on page 3, empty when none
};

// From the disc: nothing. Installed: removes all but a file the game wrote,
// and says so. Then the kept folder is no installation any more.
TEST_F(UninstallerProgram, KeepsAFileTheGameWroteAndIsNotInstalledTheSecondTime) {
    {
        ASSERT_TRUE(drives_.Insert('m', "disc1"));
        SetupRun fromDisc;
        ASSERT_TRUE(fromDisc.Start(L"M:\\data\\data\\UnInstall.exe", L"M:\\"));
        HWND box = fromDisc.WaitForDialog(uninstaller_text::kCaption, kStepWait);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxTextOf(box), uninstaller_text::kNotInstalled);
        EXPECT_EQ(AnswerAndExit(fromDisc, box, IDOK), kNotInstalled);
        EXPECT_TRUE(Installed());
    }

    // A registered path that is no full path, then a file this user may
    // not remove (a folder in its place, which the system refuses to open
    // as access denied): one message each, nothing removed.
    const std::wstring game = folder_ + L"\\Sorvane.exe";
    const std::wstring voice = folder_ + L"\\voice.dat";
    const auto setRegistered = [](const std::wstring& path) {
        unique_hkey key;
        return RegOpenKeyExW(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey().c_str(), 0,
                             KEY_SET_VALUE, key.put()) == ERROR_SUCCESS &&
               RegSetValueExW(key.get(), nullptr, 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(path.c_str()),
                              static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))) ==
                   ERROR_SUCCESS;
    };
    const struct {
        std::function<bool()> make;
        std::function<bool()> undo;
        const wchar_t* text;
        DWORD code;
    } refusals[] = {
        {[&] { return setRegistered(L"Sorvane.exe"); }, [&] { return setRegistered(game); },
         uninstaller_text::kInvalidEntry, kInvalidEntry},
        {[&] {
             return MoveFileW(voice.c_str(), (voice + L".kept").c_str()) &&
                    CreateDirectoryW(voice.c_str(), nullptr);
         },
         [&] {
             return RemoveDirectoryW(voice.c_str()) &&
                    MoveFileW((voice + L".kept").c_str(), voice.c_str());
         },
         uninstaller_text::kNoRights, kNoRights},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.code);
        ASSERT_TRUE(refusal.make());
        SetupRun run;
        ASSERT_TRUE(run.Start(folder_ + L"\\UnInstall.exe", folder_));
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

    ASSERT_TRUE(WriteFileBytes(folder_ + L"\\save01.dat", "saved game"));
    SetupRun run;
    HWND done = StartAndConfirm(run, folder_ + L"\\UnInstall.exe");
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(MessageBoxTextOf(done), Text(uninstaller_text::kKeptFormat, folder_));
    EXPECT_EQ(AnswerAndExit(run, done, IDOK), kRemoved);
    ExpectRemoved();
    EXPECT_EQ(FolderEntries(folder_), std::vector<std::wstring>{L"save01.dat"});

    ASSERT_TRUE(WriteFileBytes(folder_ + L"\\UnInstall.exe", uninstaller_));
    SetupRun second;
    ASSERT_TRUE(second.Start(folder_ + L"\\UnInstall.exe", folder_));
    HWND box = second.WaitForDialog(uninstaller_text::kCaption, kStepWait);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxTextOf(box), uninstaller_text::kNotInstalled);
    EXPECT_EQ(AnswerAndExit(second, box, IDOK), kNotInstalled);
    EXPECT_TRUE(PathExists(folder_ + L"\\save01.dat"));
}

// The game "running": an installed file held open without delete sharing.
TEST_F(UninstallerProgram, AFileInUseIsReportedCancelKeepsAllRetryAfterReleaseRemovesAll) {
    const std::wstring game = folder_ + L"\\Sorvane.exe";
    unique_hfile held(CreateFileW(game.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    const std::wstring inUse = Text(uninstaller_text::kInUseFormat, L"Sorvane.exe");
    {
        SetupRun run;
        HWND box = StartAndConfirm(run, folder_ + L"\\UnInstall.exe");
        const std::wstring text = box ? MessageBoxTextOf(box) : std::wstring();
        {
            // One at a time: a second uninstaller ends at once, silently.
            SetupRun second;
            ASSERT_TRUE(second.Start(folder_ + L"\\UnInstall.exe", folder_));
            std::vector<std::wstring> captions;
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
    HWND box = StartAndConfirm(run, folder_ + L"\\UnInstall.exe");
    const std::wstring text = box ? MessageBoxTextOf(box) : std::wstring();
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

// A user's own folder that no code page but UTF-16 holds: Japanese and "ü"
// (neither code page 932 nor 1252 has both). Setup asks about it for the
// game's sake, then installs there; every registered value and shortcut
// names it exactly, and the installed UnInstall.exe removes it all.
class UninstallerProgramOutsideCodePages : public UninstallerProgram {
protected:
    UninstallerProgramOutsideCodePages() { base_ = L"\\\x30B2\x30FC\x30E0\\J\xFCrgen"; }
};

TEST_F(UninstallerProgramOutsideCodePages, InstallsRegistersAndRemovesTheFolderAsNamed) {
    EXPECT_EQ(folderQuestion_, setup_text::kFolderOutsideCodePageText);
    const std::wstring program = folder_ + L"\\Sorvane.exe";
    const std::wstring uninstaller = folder_ + L"\\UnInstall.exe";
    const struct {
        std::wstring key;
        const wchar_t* value;
        std::wstring text;
    } values[] = {
        {SetupRegistrationScope::AppPathsKey(), nullptr, program},
        {SetupRegistrationScope::AppPathsKey(), L"Path", folder_},
        {SetupRegistrationScope::UninstallKey(), L"UninstallString", L"\"" + uninstaller + L"\""},
        {SetupRegistrationScope::UninstallKey(), L"QuietUninstallString",
         L"\"" + uninstaller + L"\" /S"},
        {SetupRegistrationScope::UninstallKey(), L"InstallLocation", folder_},
        {SetupRegistrationScope::UninstallKey(), L"DisplayIcon", program},
    };
    for (const auto& v : values) {
        EXPECT_EQ(ValueText(ReadRegValue(HKEY_LOCAL_MACHINE, v.key, v.value)), v.text)
            << (v.value ? v.value : L"(default)");
    }
    const std::wstring menu = SetupRegistrationScope::ProgramsFolder() + L"\\Sorvane\\";
    const struct {
        std::wstring link;
        std::wstring target;
    } links[] = {
        {SetupRegistrationScope::DesktopLink(), program},
        {menu + L"Sorvane.lnk", program},
        {menu + L"\x30A2\x30F3\x30A4\x30F3\x30B9\x30C8\x30FC\x30E9.lnk", uninstaller},
    };
    for (const auto& l : links) {
        const ShortcutInfo shortcut = ReadShortcut(l.link);
        EXPECT_TRUE(shortcut.loaded) << l.link;
        EXPECT_EQ(shortcut.target, l.target) << l.link;
        EXPECT_EQ(shortcut.workingFolder, folder_) << l.link;
    }

    SetupRun run;
    HWND done = StartAndConfirm(run, uninstaller);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(MessageBoxTextOf(done), uninstaller_text::kDone);
    EXPECT_EQ(AnswerAndExit(run, done, IDOK), kRemoved);
    ExpectRemoved();
    EXPECT_TRUE(WaitUntil([&] { return !PathExists(vintal_); }, kStepWait));
    EXPECT_TRUE(PathExists(base_));
}

// The log (in the temporary folder, where the temporary copy that removes
// the uninstaller itself goes on with it) names each thing removed.
TEST_F(UninstallerProgram, QuietModeRemovesEverythingWithoutAWindowAndLogsIt) {
    ScratchDir temp;
    SetupRun run;
    {
        TempFolderScope scope(temp.path());
        ASSERT_TRUE(run.Start(folder_ + L"\\UnInstall.exe", folder_, L"/S"));
    }
    std::vector<std::wstring> captions;
    ASSERT_TRUE(run.CaptionsUntilExit(kStepWait, &captions));
    EXPECT_TRUE(captions.empty());
    DWORD code = 255;
    ASSERT_TRUE(run.Wait(kStepWait, &code));
    EXPECT_EQ(code, kRemoved);
    ExpectRemoved();
    EXPECT_TRUE(WaitUntil([&] { return !PathExists(vintal_); }, kStepWait));

    std::vector<std::string> events;
    ASSERT_TRUE(ReadLogEvents(temp / L"Sorvane-uninstall.log", &events));
    for (const char* name : InstalledFileTable)
        EXPECT_NE(FindEvent(events, {"removed file " + Utf8(folder_ + L"\\" + Widen(name))}), "")
            << name;
    EXPECT_NE(FindEvent(events, {"removed key HKEY_LOCAL_MACHINE\\Software\\",
                                 "\\App Paths\\Sorvane.exe"}),
              "");
    EXPECT_NE(FindEvent(events, {"the uninstaller ends with exit code 0"}), "");
    EXPECT_NE(FindEvent(events, {"temporary copy", "continuing this log"}), "");
    EXPECT_NE(FindEvent(events, {"removed folder " + Utf8(vintal_)}), "");
}

}  // namespace
