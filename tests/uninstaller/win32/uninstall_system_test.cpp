// The uninstaller's Win32 services against the real registry and files of
// the test prefix: how the registered path is read, and what counts as a
// file in use, and the move to an elevated copy end to end.
#include "uninstaller/win32/uninstall_system.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "framework/system/win32/unique_handle.h"
#include "framework/system/win32/wide_text.h"
#include "installer/installer_state.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/setup_run.h"

namespace {

const wchar_t kAppPathsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Sorvane.exe";

void SetDefaultValue(DWORD type, const std::string& bytes) {
    unique_hkey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key.get(), nullptr, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
}

// The bytes of a UTF-16 text as the registry stores it.
std::string Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

TEST(UninstallRegistry, ReadsTheRegisteredProgramOnlyAsAStringThatFits) {
    RegistryKeyScope scope(HKEY_LOCAL_MACHINE, kAppPathsKey);
    const std::wstring longest = L"C:\\" + std::wstring(256, L'\xFC');  // 259 characters, "ü"
    const std::wstring japanese = L"C:\\\x30B2\x30FC\x30E0\\J\xFCrgen\\Sorvane.exe";
    struct Case {
        const char* name;
        bool present;
        DWORD type;
        std::string bytes;
        AppPathRead read;
        std::wstring value;
    };
    const Case cases[] = {
        {"no key", false, REG_SZ, "", AppPathRead::kMissing, L""},
        {"a path", true, REG_SZ, Bytes(japanese + L'\0'), AppPathRead::kFound, japanese},
        {"stored without its zero", true, REG_SZ, Bytes(L"C:\\y"), AppPathRead::kFound, L"C:\\y"},
        {"259 characters", true, REG_SZ, Bytes(longest + L'\0'), AppPathRead::kFound, longest},
        {"260 characters", true, REG_SZ, Bytes(longest + L"b" + L'\0'), AppPathRead::kTooLong, L""},
        {"259 characters without the zero, then more", true, REG_SZ, Bytes(longest + L"bc"),
         AppPathRead::kTooLong, L""},
        {"a number", true, REG_DWORD, std::string("\1\0\0\0", 4), AppPathRead::kNotString, L""},
        {"binary", true, REG_BINARY, Bytes(L"C:\\x"), AppPathRead::kNotString, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kAppPathsKey);
        if (c.present) SetDefaultValue(c.type, c.bytes);
        std::u16string out = u"stale";
        CUninstallRegistry registry;
        EXPECT_EQ(registry.ReadAppPath("Sorvane.exe", &out), c.read);
        if (c.read == AppPathRead::kFound) {
            EXPECT_EQ(std::wstring(AsWide(out)), c.value);
        }
    }
    CUninstallRegistry registry;
    EXPECT_TRUE(registry.DeleteAppPath("Sorvane.exe"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kAppPathsKey));
    EXPECT_TRUE(registry.DeleteAppPath("Sorvane.exe"));  // already gone
}

TEST(UninstallFiles, OnlyASharingViolationIsInUseAReadOnlyFileIsRemovable) {
    ScratchDir dir;
    const std::wstring file = dir / L"voice.dat";
    const std::wstring readOnly = dir / L"bg.dat";
    ASSERT_TRUE(WriteFileBytes(file, "data"));
    ASSERT_TRUE(WriteFileBytes(readOnly, "data"));
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    const auto u16 = [](const std::wstring& path) { return std::u16string(AsUtf16(path)); };
    CUninstallFiles files;
    EXPECT_EQ(files.Probe(u16(file)), FileState::kRemovable);
    EXPECT_EQ(files.Probe(u16(readOnly)), FileState::kRemovable);
    EXPECT_EQ(files.Probe(u16(dir / L"missing.dat")), FileState::kMissing);
    // A folder where a file should be: the system refuses the open as access
    // denied, which ending the game would not cure.
    ASSERT_TRUE(CreateDirectoryW((dir / L"se.dat").c_str(), nullptr));
    EXPECT_EQ(files.Probe(u16(dir / L"se.dat")), FileState::kNoAccess);
    ASSERT_TRUE(RemoveDirectoryW((dir / L"se.dat").c_str()));
    {
        unique_hfile held(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        EXPECT_EQ(files.Probe(u16(file)), FileState::kInUse);
        EXPECT_FALSE(files.RemoveFile(u16(file)));
    }
    EXPECT_TRUE(files.HoldsOtherThan(u16(dir.path()), u"UnInstall.exe"));
    EXPECT_TRUE(files.RemoveFile(u16(file)));
    EXPECT_TRUE(files.RemoveFile(u16(readOnly)));
    EXPECT_TRUE(files.RemoveFile(u16(file)));  // already gone
    ASSERT_TRUE(WriteFileBytes(dir / L"UnInstall.exe", "MZ"));
    EXPECT_FALSE(files.HoldsOtherThan(u16(dir.path()), u"uninstall.EXE"));
    ASSERT_TRUE(CreateDirectoryW((dir / L"Sub").c_str(), nullptr));
    EXPECT_TRUE(files.HoldsOtherThan(u16(dir.path()), u"UnInstall.exe"));
    EXPECT_TRUE(files.RemoveEmptyFolder(u16(dir / L"Sub")));
    EXPECT_FALSE(files.RemoveEmptyFolder(u16(dir.path())));  // holds UnInstall.exe
}

std::map<DWORD, std::string> ProbeReports(const std::wstring& folder);

// The temporary copy runs with the uninstaller's token, elevated or not:
// from its making until its start no other process of the user may change,
// replace or delete it, and what runs is the uninstaller's own program.
TEST(UninstallFiles, TheTemporaryCopyCannotBeSwappedBeforeItRuns) {
    const std::wstring probe = TestProgramPath(L"uninstall_elevation_probe.exe");
    std::string program;
    ASSERT_TRUE(ReadFileBytes(probe, &program));
    ScratchDir install;
    ScratchDir reports;
    const std::wstring other = install / L"other.exe";
    ASSERT_TRUE(WriteFileBytes(other, "MZ not the uninstaller"));
    std::wstring copy;
    SetEnvironmentVariableW(L"UNINSTALL_PROBE_REPORTS", reports.path().c_str());
    {
        CUninstallFiles files(probe.c_str());
        ASSERT_TRUE(files.PrepareSelfRemoval(std::u16string(AsUtf16(install.path()))));
        copy = files.PreparedCopy();
        EXPECT_FALSE(WriteFileBytes(copy, "MZ not the uninstaller"));
        EXPECT_FALSE(MoveFileExW(other.c_str(), copy.c_str(), MOVEFILE_REPLACE_EXISTING));
        EXPECT_FALSE(DeleteFileW(copy.c_str()));
        std::string now;
        EXPECT_TRUE(ReadFileBytes(copy, &now));
        EXPECT_TRUE(now == program);
        files.StartSelfRemoval();
    }
    SetEnvironmentVariableW(L"UNINSTALL_PROBE_REPORTS", nullptr);
    // The probe ran: it reports, refusing this test's process as its
    // original (no installed uninstaller).
    std::map<DWORD, std::string> found;
    EXPECT_TRUE(WaitUntil([&] { return !(found = ProbeReports(reports.path())).empty(); }, 30000));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.begin()->second, "0|0|7|/cleanup");
    EXPECT_TRUE(WaitUntil([&] { return DeleteFileW(copy.c_str()) != FALSE; }, 10000));
}

// "/cleanup" only from the temporary copy and only with a handle of the
// installed uninstaller's process; otherwise exit code 7 and nothing
// touched. `handle` is passed as inherited.
DWORD RunProgramWithHandle(const std::wstring& program, const std::wstring& folder, HANDLE handle) {
    const std::u16string arguments =
        FormatCleanupArguments(reinterpret_cast<std::uintptr_t>(handle), AsUtf16(folder));
    std::wstring commandLine = L"\"" + program + L"\" " + std::wstring(AsWide(arguments));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &info))
        return 255;
    unique_handle process(info.hProcess);
    unique_handle thread(info.hThread);
    DWORD code = 259;
    if (WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 259);
        WaitForSingleObject(process.get(), 10000);
    }
    GetExitCodeProcess(process.get(), &code);
    return code;
}

TEST(UninstallCleanup, OnlyTheTemporaryCopyActsAndOnlyForTheInstalledUninstaller) {
    std::string probe;
    ASSERT_TRUE(ReadFileBytes(TestProgramPath(L"uninstall_elevation_probe.exe"), &probe));
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring copy = std::wstring(temp) + L"uni-" +
                              std::to_wstring(GetCurrentProcessId()) + L".tmp";
    ASSERT_TRUE(WriteFileBytes(copy, probe));
    HANDLE raw = nullptr;
    // Not a process at all, and a process that is not the uninstaller.
    unique_handle event(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                                &raw, SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0));
    unique_handle self(raw);
    ASSERT_TRUE(SetHandleInformation(event.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT));
    struct Case {
        const char* name;
        bool installedProgram;  // started as the installed UnInstall.exe, not the copy
        HANDLE handle;
    };
    const Case cases[] = {
        {"the installed program", true, self.get()},
        {"the copy, an event's handle", false, event.get()},
        {"the copy, another program's process", false, self.get()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir install;
        const std::wstring installed = install / L"UnInstall.exe";
        ASSERT_TRUE(WriteFileBytes(installed, probe));
        EXPECT_EQ(RunProgramWithHandle(c.installedProgram ? installed : copy, install.path(),
                                       c.handle),
                  7u);
        EXPECT_TRUE(PathExists(installed));
        const RegValue pending = ReadRegValue(
            HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
            L"PendingFileRenameOperations");
        EXPECT_EQ(ValueText(pending).find(install.path().substr(3)), std::wstring::npos);
    }
    EXPECT_TRUE(WaitUntil([&] { return DeleteFileW(copy.c_str()) != FALSE; }, 10000));
}

// The probe's reports by process id, "<not elevated>|<runas calls>|<exit
// code>|<arguments>", cut at the first blank (after the first argument).
std::map<DWORD, std::string> ProbeReports(const std::wstring& folder) {
    std::map<DWORD, std::string> reports;
    for (const std::wstring& name : FolderEntries(folder)) {
        std::string text;
        if (ReadFileBytes(folder + L"\\" + name, &text) && !text.empty())
            reports[std::stoul(name)] = text.substr(0, text.find(' '));
    }
    return reports;
}

// A registered installation whose UnInstall.exe is the probe, run without
// elevation (played) on a system with elevation.
TEST(UninstallElevation, TheElevatedCopyRemovesAndItsExitCodeIsTheCallersADeclineEndsQuietly) {
    const DWORD kWait = 30000;
    std::string probe;
    ASSERT_TRUE(ReadFileBytes(TestProgramPath(L"uninstall_elevation_probe.exe"), &probe));
    struct Case {
        const char* name;
        bool decline;
        bool gameInUse;
        const wchar_t* arguments;
        DWORD exitCode;
        std::vector<std::string> copies;  // the copies' reports, sorted
        bool removed;
    };
    const Case cases[] = {
        // No elevation, no copy: nothing removed, no message, as on No.
        {"declined", true, false, L"", 1, {}, false},
        // The copy's result reaches a scripted caller: the game runs.
        {"handed over, game in use", false, true, L"/S", 4, {"0|0|4|/S"}, false},
        // The copy removes; its cleanup copy asks for nothing.
        {"handed over", false, false, L"/S", 0, {"0|0|0|/S", "0|0|0|/cleanup"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupRegistrationScope registration;
        ScratchDir target;
        ScratchDir reports;
        const std::wstring folder = target.path() + L"\\Vintal\\Sorvane";
        ASSERT_TRUE(CreateDirectoryW((target.path() + L"\\Vintal").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        for (const char* name : InstalledFileTable)
            ASSERT_TRUE(WriteFileBytes(folder + L"\\" + Widen(name), "x"));
        ASSERT_TRUE(WriteFileBytes(folder + L"\\UnInstall.exe", probe));
        const std::wstring game = folder + L"\\Sorvane.exe";
        unique_hkey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                                  SetupRegistrationScope::AppPathsKey().c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(game.c_str()),
                       static_cast<DWORD>((game.size() + 1) * sizeof(wchar_t)));
        key.reset();
        unique_hfile held(c.gameInUse
                              ? CreateFileW(game.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                              : INVALID_HANDLE_VALUE);

        SetupRun run;
        SetEnvironmentVariableW(L"UNINSTALL_PROBE_REPORTS", reports.path().c_str());
        SetEnvironmentVariableW(L"SETUP_PROBE_LIMITED", L"1");
        SetEnvironmentVariableW(L"SETUP_PROBE_DECLINE", c.decline ? L"1" : nullptr);
        const bool started = run.Start(folder + L"\\UnInstall.exe", folder, c.arguments);
        for (const wchar_t* name :
             {L"UNINSTALL_PROBE_REPORTS", L"SETUP_PROBE_LIMITED", L"SETUP_PROBE_DECLINE"})
            SetEnvironmentVariableW(name, nullptr);
        ASSERT_TRUE(started);
        std::vector<std::wstring> captions;
        EXPECT_TRUE(run.CaptionsUntilExit(kWait, &captions));
        EXPECT_TRUE(captions.empty());
        DWORD code = 255;
        EXPECT_TRUE(run.Wait(kWait, &code));
        EXPECT_EQ(code, c.exitCode);
        held.reset();

        std::map<DWORD, std::string> found;
        EXPECT_TRUE(WaitUntil(
            [&] { return (found = ProbeReports(reports.path())).size() == c.copies.size() + 1; },
            kWait));
        EXPECT_EQ(found[run.Id()], "1|1|" + std::to_string(c.exitCode) + "|" + Utf8(c.arguments));
        found.erase(run.Id());
        std::vector<std::string> copies;
        for (const auto& report : found) copies.push_back(report.second);
        std::sort(copies.begin(), copies.end());
        EXPECT_EQ(copies, c.copies);

        EXPECT_EQ(PathExists(game), !c.removed);
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, SetupRegistrationScope::AppPathsKey()), !c.removed);
        if (c.removed) {
            EXPECT_TRUE(WaitUntil([&] { return !PathExists(folder + L"\\UnInstall.exe"); }, kWait));
        }
    }
}

}  // namespace
