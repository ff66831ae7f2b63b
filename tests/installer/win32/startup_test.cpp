#include "installer/win32/startup.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/system/win32/system_services.h"
#include "framework/system/path_text.h"
#include "framework/system/win32/unique_handle.h"
#include "framework/system/win32/wide_text.h"
#include "installer/installer_state.h"
#include "tools/automation/win32/disc_drives.h"
#include "tools/automation/win32/process.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"

namespace {

std::wstring GameKey() {
    char key[512];
    FormatText(key, sizeof key, kAppPathsKeyFormat, kGameProgramFile);
    return Widen(key);
}

std::wstring CurrentDirectory() {
    wchar_t cwd[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    return cwd;
}

class StartupScan : public testing::Test {
protected:
    void SetUp() override {
        if (!DiscDrives::Available()) GTEST_SKIP() << "no test CD-ROM drives in this prefix";
        ResetInstallerState();
        savedCwd_ = CurrentDirectory();
    }
    void TearDown() override {
        SetCurrentDirectoryW(savedCwd_.c_str());
        ResetInstallerState();
    }

    // A disc whose data\data holds the marker file.
    void MakeInstallDisc(const std::string& name) {
        std::wstring disc = drives_.NewDisc(name);
        ASSERT_TRUE(drives_.AddFile(disc, L"data\\data\\UnInstall.exe", "MZ"));
    }

    DiscDrives drives_;
    std::wstring savedCwd_;
};

TEST_F(StartupScan, LowerDriveLetterWinsAndBecomesTheCurrentDirectory) {
    MakeInstallDisc("first");
    MakeInstallDisc("second");
    ASSERT_TRUE(drives_.Insert('p', "second"));
    ASSERT_TRUE(drives_.Insert('o', "first"));

    ASSERT_TRUE(FindInstallDisc());
    EXPECT_STREQ(InstallerState.SourceRoot, "o:\\");
    EXPECT_STREQ(InstallerState.DataPath, "o:\\data\\data");
    std::wstring cwd = CurrentDirectory();
    CharLowerW(&cwd[0]);
    EXPECT_EQ(cwd, L"o:\\");
}

TEST_F(StartupScan, DiscWithoutTheMarkerOrInAnEmptyDriveIsPassedOver) {
    // Data but no marker file on N:, nothing in M:, the marker on Q:.
    std::wstring bare = drives_.NewDisc("bare");
    ASSERT_TRUE(drives_.AddFile(bare, L"data\\data\\Sorvane.exe", "MZ"));
    ASSERT_TRUE(drives_.AddFile(bare, L"data\\UnInstall.exe", "MZ"));
    ASSERT_TRUE(drives_.Insert('n', "bare"));
    MakeInstallDisc("real");
    ASSERT_TRUE(drives_.Insert('q', "real"));

    ASSERT_TRUE(FindInstallDisc());
    EXPECT_STREQ(InstallerState.SourceRoot, "q:\\");
    EXPECT_STREQ(InstallerState.DataPath, "q:\\data\\data");
}

TEST_F(StartupScan, NoMarkerAnywhereLeavesTheStateAndCurrentDirectoryAlone) {
    std::wstring before = CurrentDirectory();
    EXPECT_FALSE(FindInstallDisc());
    EXPECT_STREQ(InstallerState.SourceRoot, "");
    EXPECT_STREQ(InstallerState.DataPath, "data\\data");
    EXPECT_EQ(CurrentDirectory(), before);

    // The whole check runs the installer in that case.
    EXPECT_EQ(RunStartupChecks(false), StartupResult::kRunInstaller);
    EndStartup();
    EXPECT_STREQ(InstallerState.SourceRoot, "");
}

TEST_F(StartupScan, FixedDrivesCountTooWhenTheyHoldTheMarker) {
    // The start-up scan looks at every drive that answers, not only CD-ROMs:
    // a copy of the disc on a hard disk is found as well (S: is fixed).
    std::wstring fixed = DiscDrives::MediumPath('s');
    ASSERT_TRUE(WriteFileBytes(fixed + L"\\data\\data\\UnInstall.exe", "MZ"));
    MakeInstallDisc("cd");
    ASSERT_TRUE(drives_.Insert('r', "cd"));
    ASSERT_TRUE(FindInstallDisc());
    EXPECT_STREQ(InstallerState.SourceRoot, "r:\\");
    RemoveTree(fixed + L"\\data");
    ASSERT_TRUE(drives_.Eject('r'));
    ASSERT_TRUE(WriteFileBytes(fixed + L"\\data\\data\\UnInstall.exe", "MZ"));
    ResetInstallerState();
    ASSERT_TRUE(FindInstallDisc());
    EXPECT_STREQ(InstallerState.SourceRoot, "s:\\");
    RemoveTree(fixed + L"\\data");
}

class StartupProcess : public testing::Test {
protected:
    std::wstring Probe(const std::wstring& args) {
        return L"\"" + TestProgramPath(L"startup_probe.exe") + L"\" " + args;
    }
    ScratchDir scratch_;
};

TEST_F(StartupProcess, SecondInstanceEndsAtOnceWhileTheFirstHoldsTheGuard) {
    unique_handle release(CreateEventW(nullptr, TRUE, FALSE, L"SetupStartupProbeRelease"));
    ResetEvent(release.get());
    std::wstring firstReport = scratch_ / L"first.txt";
    ChildProcess first;
    ASSERT_TRUE(first.Start(Probe(L"hold " + firstReport)));
    ASSERT_TRUE(WaitUntil([&] { return PathExists(firstReport); }, 30000));

    DWORD code = 0;
    ASSERT_TRUE(RunProcess(Probe(L"once " + (scratch_ / L"second.txt")), 30000, &code));
    EXPECT_EQ(code, 10u) << "the second instance must not run the installer";
    std::string report;
    ASSERT_TRUE(ReadFileBytes(scratch_ / L"second.txt", &report));
    EXPECT_EQ(report.substr(0, 2), "0|");

    SetEvent(release.get());
    ASSERT_TRUE(first.Wait(30000, &code));
    EXPECT_EQ(code, 11u);

    // With the first gone, a new instance runs the installer again.
    ASSERT_TRUE(RunProcess(Probe(L"once " + (scratch_ / L"third.txt")), 30000, &code));
    EXPECT_EQ(code, 11u);
}

TEST_F(StartupProcess, RegisteredAndPresentGameIsStartedInsteadOfTheInstallerUnlessUnattended) {
    RegistryKeyScope cleanup(HKEY_LOCAL_MACHINE, GameKey());
    std::wstring game = scratch_ / L"Sorvane.exe";
    ASSERT_TRUE(CopyFileW(TestProgramPath(L"launch_probe.exe").c_str(), game.c_str(), FALSE));
    CSystemServices services;
    ASSERT_TRUE(services.WriteAppPath(kGameProgramFile, game.c_str()));

    // An unattended installation installs again over it.
    DWORD code = 0;
    ASSERT_TRUE(RunProcess(Probe(L"unattended"), 30000, &code));
    EXPECT_EQ(code, 11u);
    EXPECT_FALSE(PathExists(scratch_ / L"started.txt"));

    ASSERT_TRUE(RunProcess(Probe(L"once"), 30000, &code));
    EXPECT_EQ(code, 10u);
    EXPECT_TRUE(WaitUntil([&] { return PathExists(scratch_ / L"started.txt"); }, 30000));
    WaitUntil([&] { return DeleteFileW(game.c_str()) != FALSE; }, 10000);

    // Registered but deleted, or present but damaged so that it cannot
    // start: the installer runs, so a new installation can repair it.
    ASSERT_TRUE(RunProcess(Probe(L"once"), 30000, &code));
    EXPECT_EQ(code, 11u);
    ASSERT_TRUE(WriteFileBytes(game, "not a program"));
    ASSERT_TRUE(RunProcess(Probe(L"once"), 30000, &code));
    EXPECT_EQ(code, 11u);
}

}  // namespace
