// setup.exe /S end to end in the test prefix: six discs in six drives, a
// disc in no drive, the arguments and folders it refuses, a close of its
// window and a second start, and a log folder that cannot be written. No
// run may show a dialog; each tells its caller by its exit code, and its
// log (in a temporary folder of the test's own) says what happened.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "framework/system/win32/single_instance_guard.h"
#include "framework/system/win32/unique_handle.h"
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
const wchar_t kLogName[] = L"Sorvane-setup.log";
const std::wstring kReadOnly = L"T:\\readonly";

class SetupUnattended : public testing::Test {
protected:
    void SetUp() override {
        if (!DiscDrives::Available()) GTEST_SKIP() << "no test CD-ROM drives in this prefix";
        sources_ = BuildSetupDiscs(drives_, "disc", kFileBytes, SetupPictures(false),
                                   replacements_);
        installFolder_ = target_ / L"Vintal\\Sorvane";
    }

    // Puts disc N into drive M: + N - 1 for each N of `discs`.
    void InsertDiscs(const std::vector<int>& discs) {
        for (int disc : discs)
            ASSERT_TRUE(drives_.Insert(static_cast<char>('m' + disc - 1),
                                       "disc" + std::to_string(disc)));
    }

    // Starts setup.exe with `arguments` and its temporary folder `temp`.
    void Start(SetupRun& run, const std::wstring& arguments, const std::wstring& temp) {
        TempFolderScope scope(temp);
        ASSERT_TRUE(run.Start(DefaultSetupProgram(), target_.path(), arguments));
    }

    // Runs setup.exe to its end; its exit code (1000 when it did not end in
    // time). Fails the test when it showed a dialog.
    DWORD Run(const std::wstring& arguments, const std::wstring& temp) {
        std::vector<std::wstring> captions;
        const DWORD code = RunToExit(DefaultSetupProgram(), target_.path(), arguments, temp,
                                     kInstallWait, &captions);
        EXPECT_TRUE(captions.empty()) << Utf8(arguments) << ": " << Utf8(captions.front());
        return code;
    }

    std::vector<std::string> Events() {
        std::vector<std::string> events;
        EXPECT_TRUE(ReadLogEvents(temp_ / kLogName, &events));
        return events;
    }

    std::wstring Folder(const std::wstring& folder) { return L"\"/D=" + folder + L"\" /S"; }

    std::map<std::string, std::string> replacements_;
    SetupRegistrationScope registration_;
    DiscDrives drives_;
    ScratchDir target_;
    ScratchDir temp_;
    std::map<std::string, std::string> sources_;
    std::wstring installFolder_;
};

// Into a folder of the command line that code page 932 cannot hold ("ü"
// beside Japanese): taken as page 3 takes it after its Yes, under its own
// name; the log names each file's source and destination exactly.
TEST_F(SetupUnattended, InstallsFromSixDiscsInSixDrivesAndLogsEachFile) {
    InsertDiscs({1, 2, 3, 4, 5, 6});
    const std::wstring base = target_ / L"\x30B2\x30FC\x30E0\\J\xFCrgen";
    installFolder_ = base + L"\\Vintal\\Sorvane";
    EXPECT_EQ(Run(L"/S /D=" + base, temp_.path()), 0u);
    EXPECT_EQ(FirstWrongInstalledFile(installFolder_, sources_), L"");
    EXPECT_EQ(ValueText(ReadRegValue(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey(),
                                     nullptr)),
              installFolder_ + L"\\Sorvane.exe");
    EXPECT_TRUE(PathExists(SetupRegistrationScope::DesktopLink()));

    const std::vector<std::string> events = Events();
    const std::string installed = Utf8(installFolder_);
    for (const SetupSourceFile& file : kSetupSourceFiles) {
        SCOPED_TRACE(file.name);
        const std::string drive(1, static_cast<char>('m' + file.disc - 1));
        const std::string bytes = std::to_string(sources_[file.name].size()) + " bytes";
        EXPECT_NE(FindEvent(events, {" " + drive + ":\\data\\data\\" + file.name + " -> " +
                                     installed + "\\", ", " + bytes}),
                  "");
        EXPECT_NE(FindEvent(events, {std::string("done ") + file.name + ": " + bytes + " in "}),
                  "");
    }
    EXPECT_NE(FindEvent(events, {"code page 932 cannot hold"}), "");
    EXPECT_NE(FindEvent(events, {"disc 6 is in r:\\"}), "");
    EXPECT_NE(FindEvent(events, {"registration: Start-menu shortcut", ": done"}), "");
    EXPECT_EQ(events.back(), "setup ends with exit code 0");
}

TEST_F(SetupUnattended, ADiscInNoDriveEndsWithTwoAndTheLogNamesItAndTheDrivesTried) {
    InsertDiscs({1, 2, 4, 5, 6});
    EXPECT_EQ(Run(Folder(target_.path()), temp_.path()), 2u);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey()));
    EXPECT_FALSE(PathExists(installFolder_ + L"\\bgm.dat"));

    const std::vector<std::string> events = Events();
    EXPECT_NE(FindEvent(events, {"disc 3 is asked for: cg.002 is not in n:\\data\\data"}), "");
    std::size_t search = 0;
    while (search < events.size() && events[search] != "looking for data\\data\\cg.002 on the "
                                                       "drives C: to Z:")
        ++search;
    ASSERT_LT(search, events.size());
    const std::vector<std::string> tried(events.begin() + search, events.end());
    for (char drive = 'm'; drive <= 'r'; ++drive)
        EXPECT_NE(FindEvent(tried, {std::string("  ") + drive + ":\\ CD-ROM: not there"}), "")
            << drive;
    EXPECT_NE(FindEvent(tried, {"disc 3 is in no drive"}), "");
    EXPECT_EQ(events.back(), "setup ends with exit code 2");
}

// A malformed argument ends setup before it writes anything, the log
// included; a folder that is well-formed on the command line but cannot be
// installed to ends it with 3 after the log says why.
TEST_F(SetupUnattended, RefusedArgumentsEndWithSevenAndRefusedFoldersWithThree) {
    InsertDiscs({1});
    const std::wstring longest(259, L'x');
    const struct {
        std::wstring arguments;
        DWORD code;
        const char* logged;  // for 3: what the log says
    } cases[] = {
        {L"/X", 7, nullptr},
        {L"/S /X", 7, nullptr},
        {L"/S /D=", 7, nullptr},
        {L"/D=" + target_.path(), 7, nullptr},
        {L"/S /D=C:\\a /D=C:\\b", 7, nullptr},
        {L"/S /D=C:\\Program Files", 7, nullptr},
        {L"/S /D=C:\\" + longest, 7, nullptr},
        {L"/S /D=Games", 3, "refused: the folder does not start with a drive root"},
        {L"/S /D=C:\\" + std::wstring(240, L'x'), 3, "does not fit a path"},
        {L"/S /D=" + kReadOnly, 3, "refused: no file can be made in T:\\readonly\\Vintal\\Sorvane"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.arguments));
        if (c.arguments.find(kReadOnly) != std::wstring::npos && !PathExists(kReadOnly))
            continue;  // no small drive: scripts/small-drive.sh says why
        ScratchDir temp;
        EXPECT_EQ(Run(c.arguments, temp.path()), c.code);
        EXPECT_FALSE(PathExists(target_ / L"Vintal"));
        if (c.code == 7) {
            EXPECT_TRUE(FolderEntries(temp.path()).empty());
            continue;
        }
        std::vector<std::string> events;
        ASSERT_TRUE(ReadLogEvents(temp / kLogName, &events));
        EXPECT_NE(FindEvent(events, {c.logged}), "");
        EXPECT_EQ(events.back(), "setup ends with exit code 3");
    }
}

class SetupUnattendedLargeFirstDisc : public SetupUnattended {
protected:
    SetupUnattendedLargeFirstDisc() { replacements_["bg.dat"] = PatternBytes(96u << 20, 77); }
};

// Another setup holding the instance: 6, and nothing written. A close of
// the window (here as soon as it shows, long before the first file is
// copied) cancels at once, without the question: 1.
TEST_F(SetupUnattendedLargeFirstDisc, AnotherSetupRunningGivesSixAndACloseCancelsWithOne) {
    InsertDiscs({1});
    {
        wchar_t program[MAX_PATH];
        ASSERT_GT(GetFullPathNameW(DefaultSetupProgram().c_str(), MAX_PATH, program, nullptr), 0u);
        unique_handle held(
            CreateMutexW(nullptr, TRUE, CSingleInstanceGuard::MutexNameFor(program).c_str()));
        ASSERT_TRUE(held);
        ScratchDir temp;
        EXPECT_EQ(Run(Folder(target_.path()), temp.path()), 6u);
        EXPECT_TRUE(FolderEntries(temp.path()).empty());
        ReleaseMutex(held.get());
    }

    SetupRun run;
    Start(run, Folder(target_.path()), temp_.path());
    HWND window = run.WaitForMainWindow(kStepWait);
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
    std::vector<std::wstring> captions;
    ASSERT_TRUE(run.CaptionsUntilExit(kStepWait, &captions));
    EXPECT_TRUE(captions.empty()) << Utf8(captions.front());
    DWORD code = 1000;
    ASSERT_TRUE(run.Wait(kStepWait, &code));
    EXPECT_EQ(code, 1u);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey()));
    const std::vector<std::string> events = Events();
    EXPECT_NE(FindEvent(events, {"the window is closed: setup is cancelled"}), "");
    EXPECT_EQ(events.back(), "setup ends with exit code 1");
}

// A log that cannot be written changes nothing the program does.
TEST_F(SetupUnattended, ALogFolderThatCannotBeWrittenLeavesTheInstallationAsItIs) {
    if (!PathExists(kReadOnly))
        GTEST_SKIP() << "no read-only folder T:\\readonly (scripts/small-drive.sh did not "
                        "mount it)";
    InsertDiscs({1, 2, 3, 4, 5, 6});
    EXPECT_EQ(Run(Folder(target_.path()), kReadOnly), 0u);
    EXPECT_EQ(FirstWrongInstalledFile(installFolder_, sources_), L"");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::UninstallKey()));
}

}  // namespace
