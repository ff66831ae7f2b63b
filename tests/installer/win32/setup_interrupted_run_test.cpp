// setup.exe killed while it copies, then started again: the game is not
// installed (registration comes last), so the second run shows the wizard
// instead of starting a half-installed game, and installs over the partial
// files.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "framework/system/win32/wide_text.h"
#include "tools/automation/win32/disc_drives.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/setup_run.h"

namespace {

const DWORD kStepWait = 20000;
const DWORD kInstallWait = 120000;
const std::size_t kFileBytes = 300 * 1024;
// Large enough that its copy takes many chunks, so the kill lands inside it.
const std::size_t kLargeBytes = 64u << 20;

// Size of a file, -1 when it does not exist.
long long FileSizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

TEST(SetupInterruptedRun, KilledDuringACopyIsNotInstalledAndASecondRunInstallsOverIt) {
    if (!DiscDrives::Available()) GTEST_SKIP() << "no test CD-ROM drives in this prefix";
    SetupRegistrationScope registration;
    DiscDrives drives;
    ScratchDir target;
    const std::wstring folder = target.path() + L"\\Vintal\\Sorvane";
    std::string probe;
    ASSERT_TRUE(ReadFileBytes(TestProgramPath(L"launch_probe.exe"), &probe));
    std::map<std::string, std::string> sources = BuildSetupDiscs(
        drives, "disc", kFileBytes, SetupPictures(false),
        {{"Sorvane.exe", probe}, {"bg.dat", PatternBytes(kLargeBytes, 77)}});
    ASSERT_TRUE(drives.Insert('m', "disc1"));

    {
        SetupRun first;
        ASSERT_TRUE(first.Start(DefaultSetupProgram(), target.path()));
        ASSERT_TRUE(first.CompleteWizard(target.path(), kStepWait));
        const std::wstring partial = folder + L"\\bg.dat";
        ASSERT_TRUE(WaitUntil(
            [&] {
                long long size = FileSizeOf(partial);
                return size > 0 && size < static_cast<long long>(kLargeBytes);
            },
            kInstallWait));
        first.Terminate();
        ASSERT_TRUE(first.Wait(kStepWait, nullptr));
        EXPECT_LT(FileSizeOf(partial), static_cast<long long>(kLargeBytes));
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::UninstallKey()));

    SetupRun second;
    ASSERT_TRUE(second.Start(DefaultSetupProgram(), target.path()));
    ASSERT_NE(second.WaitForDialog(setup_text::PageCaption(1), kStepWait), nullptr);
    EXPECT_FALSE(PathExists(folder + L"\\started.txt"));
    ASSERT_TRUE(second.CompleteWizard(target.path(), kStepWait));
    HWND done = second.ServeDiscsUntil(setup_text::kDoneCaption, drives, "m", "disc", kInstallWait);
    ASSERT_NE(done, nullptr);

    for (const char* name : {"Sorvane.exe", "UnInstall.exe", "bg.dat", "extra.dat", "obj.dat",
                             "bgm.dat", "se.dat", "voice.dat", "scr.dat"}) {
        std::string bytes;
        EXPECT_TRUE(ReadFileBytes(folder + L"\\" + Widen(name), &bytes) && bytes == sources[name])
            << name;
    }
    std::string cg, sc;
    EXPECT_TRUE(ReadFileBytes(folder + L"\\cg.dat", &cg) &&
                cg == sources["cg.001"] + sources["cg.002"] + sources["cg.003"] + sources["cg.004"]);
    EXPECT_TRUE(ReadFileBytes(folder + L"\\sc.dat", &sc) &&
                sc == sources["sc.001"] + sources["sc.002"]);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey()));
    ASSERT_TRUE(second.Answer(done, IDOK, kStepWait));
    DWORD code = 1234;
    ASSERT_TRUE(second.Wait(kStepWait, &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
