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
const char kLogName[] = "Sorvane-setup.log";

class SetupUnattended : public testing::Test {
protected:
    void SetUp() override {
        if (!DiscDrives::Available()) GTEST_SKIP() << "no test CD-ROM drives in this prefix";
        sources_ = BuildSetupDiscs(drives_, "disc", kFileBytes, SetupPictures(false),
                                   replacements_);
        installFolder_ = target_ / "Vintal\\Sorvane";
    }

    // Puts disc N into drive M: + N - 1 for each N of `discs`.
    void InsertDiscs(const std::vector<int>& discs) {
        for (int disc : discs)
            ASSERT_TRUE(drives_.Insert(static_cast<char>('m' + disc - 1),
                                       "disc" + std::to_string(disc)));
    }

    // Starts setup.exe with `arguments` and its temporary folder `temp`.
    void Start(SetupRun& run, const std::string& arguments, const std::string& temp) {
        TempFolderScope scope(temp);
        ASSERT_TRUE(run.Start(DefaultSetupProgram(), target_.path(), arguments));
    }

    // Runs setup.exe to its end; its exit code (1000 when it did not end in
    // time). Fails the test when it showed a dialog.
    DWORD Run(const std::string& arguments, const std::string& temp) {
        SetupRun run;
        Start(run, arguments, temp);
        std::vector<std::string> captions;
        EXPECT_TRUE(run.CaptionsUntilExit(kInstallWait, &captions)) << arguments;
        EXPECT_TRUE(captions.empty()) << arguments << ": " << captions.front();
        DWORD code = 1000;
        run.Wait(kStepWait, &code);
        return code;
    }

    std::vector<std::string> Events() {
        std::vector<std::string> events;
        EXPECT_TRUE(ReadLogEvents(temp_ / kLogName, &events));
        return events;
    }

    std::string Folder(const std::string& folder) { return "\"/D=" + folder + "\" /S"; }

    std::map<std::string, std::string> replacements_;
    SetupRegistrationScope registration_;
    DiscDrives drives_;
    ScratchDir target_;
    ScratchDir temp_;
    std::map<std::string, std::string> sources_;
    std::string installFolder_;
};

TEST_F(SetupUnattended, InstallsFromSixDiscsInSixDrivesAndLogsEachFile) {
    InsertDiscs({1, 2, 3, 4, 5, 6});
    EXPECT_EQ(Run("/S /D=" + target_.path(), temp_.path()), 0u);
    EXPECT_EQ(FirstWrongInstalledFile(installFolder_, sources_), "");
    EXPECT_EQ(ValueText(ReadRegValue(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey(),
                                     nullptr)),
              installFolder_ + "\\Sorvane.exe");
    EXPECT_TRUE(PathExists(SetupRegistrationScope::DesktopLink()));

    const std::vector<std::string> events = Events();
    for (const SetupSourceFile& file : kSetupSourceFiles) {
        SCOPED_TRACE(file.name);
        const std::string drive(1, static_cast<char>('m' + file.disc - 1));
        const std::string bytes = std::to_string(sources_[file.name].size()) + " bytes";
        EXPECT_NE(FindEvent(events, {" " + drive + ":\\data\\data\\" + file.name + " -> " +
                                     installFolder_ + "\\", ", " + bytes}),
                  "");
        EXPECT_NE(FindEvent(events, {std::string("done ") + file.name + ": " + bytes + " in "}),
                  "");
    }
    EXPECT_NE(FindEvent(events, {"disc 6 is in r:\\"}), "");
    EXPECT_NE(FindEvent(events, {"registration: Start-menu shortcut", ": done"}), "");
    EXPECT_EQ(events.back(), "setup ends with exit code 0");
}

TEST_F(SetupUnattended, ADiscInNoDriveEndsWithTwoAndTheLogNamesItAndTheDrivesTried) {
    InsertDiscs({1, 2, 4, 5, 6});
    EXPECT_EQ(Run(Folder(target_.path()), temp_.path()), 2u);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey()));
    EXPECT_FALSE(PathExists(installFolder_ + "\\bgm.dat"));

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
    const std::string longest(259, 'x');
    const struct {
        std::string arguments;
        DWORD code;
        const char* logged;  // for 3: what the log says
    } cases[] = {
        {"/X", 7, nullptr},
        {"/S /X", 7, nullptr},
        {"/S /D=", 7, nullptr},
        {"/D=" + target_.path(), 7, nullptr},
        {"/S /D=C:\\a /D=C:\\b", 7, nullptr},
        {"/S /D=C:\\Program Files", 7, nullptr},
        {"/S /D=C:\\" + longest, 7, nullptr},
        {"/S /D=Games", 3, "refused: the folder does not start with a drive root"},
        {"/S /D=C:\\" + std::string(240, 'x'), 3, "does not fit a path"},
        {"/S /D=T:\\readonly", 3, "refused: no file can be made in T:\\readonly\\Vintal\\Sorvane"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        if (c.arguments.find("T:\\readonly") != std::string::npos && !PathExists("T:\\readonly"))
            continue;  // no small drive: scripts/small-drive.sh says why
        ScratchDir temp;
        EXPECT_EQ(Run(c.arguments, temp.path()), c.code);
        EXPECT_FALSE(PathExists(target_ / "Vintal"));
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
        char program[MAX_PATH];
        char name[MAX_PATH];
        ASSERT_GT(GetFullPathNameA(DefaultSetupProgram().c_str(), sizeof program, program, nullptr),
                  0u);
        CSingleInstanceGuard::MutexNameFor(name, sizeof name, program);
        unique_handle held(CreateMutexA(nullptr, TRUE, name));
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
    PostMessageA(window, WM_CLOSE, 0, 0);
    std::vector<std::string> captions;
    ASSERT_TRUE(run.CaptionsUntilExit(kStepWait, &captions));
    EXPECT_TRUE(captions.empty()) << captions.front();
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
    if (!PathExists("T:\\readonly"))
        GTEST_SKIP() << "no read-only folder T:\\readonly (scripts/small-drive.sh did not "
                        "mount it)";
    InsertDiscs({1, 2, 3, 4, 5, 6});
    EXPECT_EQ(Run(Folder(target_.path()), "T:\\readonly"), 0u);
    EXPECT_EQ(FirstWrongInstalledFile(installFolder_, sources_), "");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::UninstallKey()));
}

}  // namespace
