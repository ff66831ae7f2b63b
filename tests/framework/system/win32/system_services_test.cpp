#include "framework/system/win32/system_services.h"

#include <windows.h>
#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/system/path_text.h"
#include "framework/system/win32/elevation.h"
#include "framework/system/win32/single_instance_guard.h"
#include "framework/system/win32/unique_handle.h"
#include "framework/system/win32/wide_text.h"
#include "tools/automation/win32/dialogs.h"
#include "tests/support/win32/import_hook.h"
#include "tools/automation/win32/process.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/shortcut.h"

namespace {

const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string UniqueName(const char* stem) {
    return std::string(stem) + "-" + std::to_string(GetCurrentProcessId()) + ".exe";
}

std::wstring KeyFor(const char* format, const std::string& name) {
    char key[512];
    FormatText(key, sizeof key, format, name.c_str());
    return Widen(key);
}

// A REG_SZ value whose stored bytes are the UTF-16 text and its terminating
// zero.
void ExpectStoredString(HKEY root, const std::wstring& key, const wchar_t* name,
                        const std::wstring& text) {
    RegValue v = ReadRegValue(root, key, name);
    ASSERT_TRUE(v.found) << key << " " << (name ? name : L"(default)");
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(v.bytes, std::string(reinterpret_cast<const char*>(text.c_str()),
                                   (text.size() + 1) * sizeof(wchar_t)));
}

std::wstring DesktopFolder() {
    RegValue v = ReadRegValue(HKEY_CURRENT_USER, kShellFolders, L"Desktop");
    if (!v.found) {
        // The shell fills "Shell Folders" when a folder is first asked for.
        wchar_t path[MAX_PATH] = {};
        SHGetSpecialFolderPathW(nullptr, path, CSIDL_DESKTOPDIRECTORY, TRUE);
        v = ReadRegValue(HKEY_CURRENT_USER, kShellFolders, L"Desktop");
    }
    return v.found ? ValueText(v) : std::wstring();
}

// Sets a REG_SZ value of UTF-16 text, its zero included.
LONG SetString(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

TEST(Registry, WriteAppPathStoresProgramAndFolderAsTerminatedStrings) {
    std::string name = UniqueName("AppPathTest");
    std::wstring key = KeyFor(kAppPathsKeyFormat, name);
    RegistryKeyScope cleanup(HKEY_LOCAL_MACHINE, key);

    CSystemServices services;
    // Stored as the system gave the folder: "ソ" whole, "ü" as it is.
    for (const std::wstring folder : {L"C:\\Games\\ソ", L"C:\\ゲーム\\J\xFCrgen"}) {
        SCOPED_TRACE(folder);
        ASSERT_TRUE(services.WriteAppPath(name.c_str(), (folder + L"\\Sorvane.exe").c_str()));
        ExpectStoredString(HKEY_LOCAL_MACHINE, key, nullptr, folder + L"\\Sorvane.exe");
        ExpectStoredString(HKEY_LOCAL_MACHINE, key, L"Path", folder);
    }

    // Writing again over an existing key replaces the values.
    ASSERT_TRUE(services.WriteAppPath(name.c_str(), L"D:\\x\\y.exe"));
    ExpectStoredString(HKEY_LOCAL_MACHINE, key, nullptr, L"D:\\x\\y.exe");
    ExpectStoredString(HKEY_LOCAL_MACHINE, key, L"Path", L"D:\\x");
}

TEST(Registry, WriteUninstallEntryStoresBothValues) {
    std::string name = UniqueName("UninstallTest");
    std::wstring key = KeyFor(kUninstallKeyFormat, name);
    RegistryKeyScope cleanup(HKEY_LOCAL_MACHINE, key);

    CSystemServices services;
    // The display name is the program's own Shift-JIS text.
    ASSERT_TRUE(services.WriteUninstallEntry(name.c_str(), L"C:\\G\\UnInstall.exe", "ソフト表示"));
    ExpectStoredString(HKEY_LOCAL_MACHINE, key, L"DisplayName", L"ソフト表示");
    ExpectStoredString(HKEY_LOCAL_MACHINE, key, L"UninstallString", L"C:\\G\\UnInstall.exe");
}

TEST(Registry, WritesFailForKeyNamesThatDoNotFit) {
    std::string name(600, 'k');
    CSystemServices services;
    EXPECT_FALSE(services.WriteAppPath(name.c_str(), L"C:\\x.exe"));
    EXPECT_FALSE(services.WriteUninstallEntry(name.c_str(), L"C:\\u.exe", "x"));
}

// For this process, HKEY_LOCAL_MACHINE becomes a scratch key of the current
// user in which `key` holds the given string values and grants query access
// only, as the local machine does to an account without administrator
// rights.
class QueryOnlyMachineKey {
public:
    QueryOnlyMachineKey(const std::wstring& key,
                        const std::vector<std::pair<const wchar_t*, std::wstring>>& values)
        : root_(L"Software\\SetupTestMachine-" + std::to_wstring(GetCurrentProcessId())),
          key_(root_ + L"\\" + key) {
        unique_hkey leaf;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, leaf.put(), nullptr) != ERROR_SUCCESS)
            return;
        for (const auto& v : values) SetString(leaf.get(), v.first, v.second);
        // Query values, and what the test needs to undo it (delete, write DACL).
        ok_ = SetDacl(leaf.get(), "D:P(A;;0x50001;;;WD)");
        leaf.reset();
        unique_hkey machine;
        ok_ = ok_ && RegOpenKeyExW(HKEY_CURRENT_USER, root_.c_str(), 0, KEY_ALL_ACCESS, machine.put()) ==
                         ERROR_SUCCESS;
        ok_ = ok_ && RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine.get()) == ERROR_SUCCESS;
    }
    ~QueryOnlyMachineKey() {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        unique_hkey leaf;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, WRITE_DAC, leaf.put()) == ERROR_SUCCESS)
            SetDacl(leaf.get(), "D:(A;;KA;;;WD)");
        leaf.reset();
        DeleteKeyTree(HKEY_CURRENT_USER, root_);
    }

    // True when the key is in place and really refuses more than queries.
    bool Ready() const {
        unique_hkey probe;
        LONG full = RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_.substr(root_.size() + 1).c_str(), 0,
                                  KEY_ALL_ACCESS, probe.put());
        return ok_ && full == ERROR_ACCESS_DENIED;
    }

private:
    static bool SetDacl(HKEY key, const char* sddl) {
        unique_hlocal sd;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, sd.put(),
                                                                  nullptr))
            return false;
        return RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd.get()) == ERROR_SUCCESS;
    }

    std::wstring root_;
    std::wstring key_;
    bool ok_ = false;
};

TEST(Registry, ReadProgramFilesDirNeedsOnlyQueryAccess) {
    // As the system has it: a folder of an English system, or of a user's
    // language that code page 932 does not hold.
    QueryOnlyMachineKey machine(L"Software\\Microsoft\\Windows\\CurrentVersion",
                                {{L"ProgramFilesDir", L"D:\\Programme f\xFCr Spiele"}});
    ASSERT_TRUE(machine.Ready());
    CSystemServices services;
    wchar_t out[kMaxPath] = L"untouched";
    EXPECT_TRUE(services.ReadProgramFilesDir(out));
    EXPECT_EQ(std::wstring(out), L"D:\\Programme f\xFCr Spiele");
}

TEST(Registry, ReadProgramFilesDirGivesAFullFolder) {
    CSystemServices services;
    wchar_t out[kMaxPath] = L"untouched";
    ASSERT_TRUE(services.ReadProgramFilesDir(out));
    EXPECT_EQ(std::wstring(out).substr(1, 2), L":\\");
}

// Elevation and the desktop shell as a test wants them (under Wine every
// process is elevated and the shell always answers).
struct ShellSeam {
    ShellSeam() {
        static const ElevationCalls seam = {&Query, &ShellExecuteExW, &Start};
        SetElevationCalls(&seam);
        Play(false, ShellStart::kStarted);
    }
    ~ShellSeam() { SetElevationCalls(nullptr); }
    ShellSeam(const ShellSeam&) = delete;
    ShellSeam& operator=(const ShellSeam&) = delete;

    void Play(bool elevatedNow, ShellStart answerNow) {
        elevated = elevatedNow;
        answer = answerNow;
        calls = 0;
    }

    static ElevationState Query() { return {true, elevated}; }
    static ShellStart Start(const wchar_t* programPath, const wchar_t* folderPath) {
        ++calls;
        program = programPath;
        folder = folderPath;
        return answer;
    }

    static inline bool elevated = false;
    static inline ShellStart answer = ShellStart::kStarted;
    static inline int calls = 0;
    static inline std::wstring program;
    static inline std::wstring folder;
};

class LaunchInstalledApp : public testing::Test {
protected:
    void SetUp() override {
        // A folder of a user's own name that code page 932 cannot hold.
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        program_ = folder_ + L"\\Game.exe";
        ASSERT_TRUE(CopyFileW(TestProgramPath(L"launch_probe.exe").c_str(), program_.c_str(), FALSE));
    }

    void Register(bool withPath) {
        unique_hkey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        SetString(key.get(), nullptr, program_);
        if (withPath) SetString(key.get(), L"Path", folder_);
    }

    ScratchDir scratch_;
    std::wstring folder_ = scratch_ / L"J\xFCrgen";
    std::string name_ = UniqueName("LaunchTest");
    std::wstring key_ = KeyFor(kAppPathsKeyFormat, name_);
    RegistryKeyScope cleanup_{HKEY_LOCAL_MACHINE, key_};
    std::wstring program_;
    ShellSeam seam_;
};

// The creation flags of the last CreateProcessW this program made while the
// spy was in place; the call itself goes on to the system.
struct ProcessStartSpy {
    ProcessStartSpy() { active = &hook; }
    ~ProcessStartSpy() { active = nullptr; }

    static BOOL WINAPI Create(LPCWSTR application, LPWSTR commandLine,
                              LPSECURITY_ATTRIBUTES process, LPSECURITY_ATTRIBUTES thread,
                              BOOL inherit, DWORD flags, LPVOID environment, LPCWSTR folder,
                              LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info) {
        lastFlags = flags;
        ++calls;
        return active->Original<decltype(&CreateProcessW)>()(application, commandLine, process,
                                                              thread, inherit, flags,
                                                              environment, folder, startup, info);
    }

    static inline ImportHook* active = nullptr;
    static inline DWORD lastFlags = 0;
    static inline int calls = 0;
    ImportHook hook{"kernel32.dll", "CreateProcessW", reinterpret_cast<void*>(&Create)};
};

TEST_F(LaunchInstalledApp, StartsTheRegisteredProgramInItsFolderWithTheDefaultErrorMode) {
    Register(true);
    ProcessStartSpy spy;
    ASSERT_TRUE(spy.hook.Installed());
    ProcessStartSpy::lastFlags = 0;
    CSystemServices services;
    ASSERT_TRUE(services.LaunchInstalledApp(name_.c_str()));
    // The installer's own error mode (critical-error boxes off) must not pass
    // to the game.
    EXPECT_NE(ProcessStartSpy::lastFlags & CREATE_DEFAULT_ERROR_MODE, 0u);
    // The probe writes started.txt into its working folder, the "Path" value.
    EXPECT_TRUE(WaitUntil([&] { return PathExists(folder_ + L"\\started.txt"); }, 30000));
    // Let the probe finish before the folder is removed.
    WaitUntil([&] { return DeleteFileW(program_.c_str()) != FALSE; }, 10000);
}

// The game never runs elevated because setup did: an elevated setup has
// the desktop shell start it, and starts it itself only where no shell runs.
TEST_F(LaunchInstalledApp, AnElevatedSetupLeavesTheStartToTheDesktopShell) {
    Register(true);
    ProcessStartSpy spy;
    ASSERT_TRUE(spy.hook.Installed());
    struct Case {
        const char* name;
        bool elevated;
        ShellStart shell;
        int shellCalls;
        int directStarts;
        bool launched;
    };
    const Case cases[] = {
        {"not elevated", false, ShellStart::kStarted, 0, 1, true},
        {"elevated, shell runs", true, ShellStart::kStarted, 1, 0, true},
        {"elevated, no shell", true, ShellStart::kNoShell, 1, 1, true},
        {"elevated, shell refuses", true, ShellStart::kFailed, 1, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        seam_.Play(c.elevated, c.shell);
        ProcessStartSpy::calls = 0;
        CSystemServices services;
        EXPECT_EQ(services.LaunchInstalledApp(name_.c_str()), c.launched);
        EXPECT_EQ(ShellSeam::calls, c.shellCalls);
        EXPECT_EQ(ProcessStartSpy::calls, c.directStarts);
        if (c.shellCalls) {
            EXPECT_EQ(ShellSeam::program, program_);
            EXPECT_EQ(ShellSeam::folder, folder_);
        }
    }
    WaitUntil([&] { return DeleteFileW(program_.c_str()) != FALSE; }, 10000);
}

TEST_F(LaunchInstalledApp, NeedsOnlyQueryAccessToTheRegistry) {
    QueryOnlyMachineKey machine(key_, {{nullptr, program_}, {L"Path", folder_}});
    ASSERT_TRUE(machine.Ready());
    CSystemServices services;
    EXPECT_TRUE(services.LaunchInstalledApp(name_.c_str()));
    EXPECT_TRUE(WaitUntil([&] { return PathExists(folder_ + L"\\started.txt"); }, 30000));
    WaitUntil([&] { return DeleteFileW(program_.c_str()) != FALSE; }, 10000);
}

TEST_F(LaunchInstalledApp, IsFalseWhenTheProgramCannotStartOrIsGone) {
    Register(true);
    // A damaged program file: present, but the system refuses to start it.
    // The shell would only find out after the hand-over, so an elevated
    // setup must see it before.
    ASSERT_TRUE(WriteFileBytes(program_, "not a program"));
    for (bool elevated : {false, true}) {
        SCOPED_TRACE(elevated ? "elevated" : "not elevated");
        seam_.Play(elevated, ShellStart::kStarted);
        CSystemServices services;
        EXPECT_FALSE(services.LaunchInstalledApp(name_.c_str()));
        EXPECT_EQ(ShellSeam::calls, 0);
    }
    ASSERT_TRUE(DeleteFileW(program_.c_str()));
    CSystemServices services;
    EXPECT_FALSE(services.LaunchInstalledApp(name_.c_str()));
}

TEST_F(LaunchInstalledApp, IsFalseWithOnlyTheDefaultValueOrNoKey) {
    CSystemServices services;
    EXPECT_FALSE(services.LaunchInstalledApp(name_.c_str()));
    Register(false);
    EXPECT_FALSE(services.LaunchInstalledApp(name_.c_str()));
    Sleep(200);
    EXPECT_FALSE(PathExists(folder_ + L"\\started.txt"));
}

TEST(Shortcuts, CreateShortcutMakesTheFoldersAndALinkTheShellReadsBack) {
    ScratchDir scratch;
    // Target and link in folders of any character: "ü" of no code page but
    // UTF-16's, and "表".
    const std::wstring game = scratch / L"J\xFCrgen\\Game";
    const std::wstring target = game + L"\\Sorvane.exe";
    ASSERT_TRUE(WriteFileBytes(target, "MZ"));
    const std::wstring link = scratch / L"Links\\表\\deeper\\Sorvane.lnk";

    CSystemServices services;
    EXPECT_TRUE(services.CreateShortcut(target.c_str(), link.c_str()));
    ASSERT_TRUE(PathExists(link));
    ShortcutInfo info = ReadShortcut(link);
    ASSERT_TRUE(info.loaded);
    EXPECT_EQ(lstrcmpiW(info.target.c_str(), target.c_str()), 0) << info.target;
    EXPECT_EQ(lstrcmpiW(info.workingFolder.c_str(), game.c_str()), 0) << info.workingFolder;

    // A link that cannot be saved (its folder would have to be a file) is
    // reported.
    const std::wstring blocked = target + L"\\Sorvane.lnk";
    EXPECT_FALSE(services.CreateShortcut(target.c_str(), blocked.c_str()));
    EXPECT_FALSE(PathExists(blocked));
}

TEST(Shortcuts, DesktopShortcutLandsOnTheDesktopFolder) {
    const std::wstring desktop = DesktopFolder();
    ASSERT_FALSE(desktop.empty());
    ScratchDir scratch;
    const std::wstring target = scratch / L"Sorvane.exe";
    ASSERT_TRUE(WriteFileBytes(target, "MZ"));
    // The link's name is the program's own Shift-JIS text.
    const std::string name = "表示-" + std::to_string(GetCurrentProcessId());
    const std::wstring link = desktop + L"\\" + Widen(name) + L".lnk";

    CSystemServices services;
    EXPECT_TRUE(services.CreateDesktopShortcut(target.c_str(), name.c_str()));
    EXPECT_TRUE(PathExists(link));
    EXPECT_EQ(lstrcmpiW(ReadShortcut(link).target.c_str(), target.c_str()), 0);
    DeleteFileW(link.c_str());
}

TEST(Shortcuts, DesktopValueLongerThanTheBufferIsRejected) {
    ASSERT_FALSE(DesktopFolder().empty());
    RegistryKeyScope restore(HKEY_CURRENT_USER, kShellFolders);
    unique_hkey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, KEY_SET_VALUE, key.put()), ERROR_SUCCESS);
    SetString(key.get(), L"Desktop", L"C:\\" + std::wstring(300, L'd'));
    // 259 characters fit the buffer, but the link name no longer fits the path.
    CSystemServices services;
    EXPECT_FALSE(services.CreateDesktopShortcut(L"C:\\x.exe", "Sorvane"));
    SetString(key.get(), L"Desktop", L"C:\\" + std::wstring(256, L'd'));
    EXPECT_FALSE(services.CreateDesktopShortcut(L"C:\\x.exe", "Sorvane"));
}

TEST(Shortcuts, ProgramsShortcutCreatesSubFoldersAndReportsTheSave) {
    wchar_t programs[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, programs, CSIDL_PROGRAMS, TRUE));
    ScratchDir scratch;
    const std::wstring target = scratch / L"UnInstall.exe";
    ASSERT_TRUE(WriteFileBytes(target, "MZ"));
    const std::string vendor = "SetupTestVendor-" + std::to_string(GetCurrentProcessId());

    CSystemServices services;
    EXPECT_TRUE(services.CreateProgramsShortcut(target.c_str(),
                                                (vendor + "\\Sorvane\\アンインストーラ").c_str()));
    const std::wstring link =
        std::wstring(programs) + L"\\" + Widen(vendor) + L"\\Sorvane\\アンインストーラ.lnk";
    EXPECT_TRUE(PathExists(link));
    EXPECT_EQ(lstrcmpiW(ReadShortcut(link).workingFolder.c_str(), scratch.path().c_str()), 0);
    RemoveTree(std::wstring(programs) + L"\\" + Widen(vendor));
}

// The calling thread's COM apartment, probed with an initialisation that is
// undone at once.
enum class Apartment { None, SingleThreaded, MultiThreaded };

Apartment CurrentApartment() {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (hr == RPC_E_CHANGED_MODE) return Apartment::SingleThreaded;
    CoUninitialize();
    return hr == S_OK ? Apartment::None : Apartment::MultiThreaded;
}

// Notes the apartment the program calls the shell's folder picker in, then
// shows the real picker.
struct PickerSpy {
    PickerSpy() { active = &hook; }
    ~PickerSpy() { active = nullptr; }

    static PIDLIST_ABSOLUTE WINAPI Browse(LPBROWSEINFOW info) {
        apartment = CurrentApartment();
        return active->Original<decltype(&SHBrowseForFolderW)>()(info);
    }

    static inline ImportHook* active = nullptr;
    static inline Apartment apartment = Apartment::None;
    ImportHook hook{"shell32.dll", "SHBrowseForFolderW", reinterpret_cast<void*>(&Browse)};
};

TEST(FolderPicker, ShowsItsTitleInAnApartmentAndReportsCancel) {
    const std::string title = "フォルダを選択してください";
    PickerSpy spy;
    ASSERT_TRUE(spy.hook.Installed());
    // A thread without COM gets an apartment for the picker and none after;
    // one that already has a multi-threaded apartment keeps it.
    const struct {
        Apartment before;
        Apartment during;
    } cases[] = {
        {Apartment::None, Apartment::SingleThreaded},
        {Apartment::MultiThreaded, Apartment::MultiThreaded},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.before));
        PickerSpy::apartment = Apartment::None;
        bool chosen = true;
        std::wstring out = L"untouched";
        Apartment after = Apartment::None;
        TestThread thread([&] {
            if (c.before == Apartment::MultiThreaded) CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            wchar_t folder[kMaxPath] = L"untouched";
            chosen = CSystemServices().BrowseForFolder(title.c_str(), folder);
            out = folder;
            after = CurrentApartment();
            if (c.before == Apartment::MultiThreaded) CoUninitialize();
        });
        HWND picker = nullptr;
        ASSERT_TRUE(WaitUntil(
            [&] {
                std::vector<HWND> dialogs = ThreadDialogs(thread.Id());
                picker = dialogs.empty() ? nullptr : dialogs.front();
                return picker != nullptr;
            },
            10000));
        bool titleShown = false;
        for (HWND control : DialogControls(picker))
            titleShown |= WindowTextOf(control) == L"フォルダを選択してください";
        EXPECT_TRUE(titleShown);
        PressButton(picker, IDCANCEL);
        ASSERT_TRUE(thread.Join(10000));
        EXPECT_FALSE(chosen);
        EXPECT_EQ(out, L"untouched");
        EXPECT_EQ(PickerSpy::apartment, c.during);
        EXPECT_EQ(after, c.before);
    }
}

TEST(SingleInstanceGuard, MutexNameIsTheWideProgramPathWithForwardSlashes) {
    EXPECT_EQ(CSingleInstanceGuard::MutexNameFor(L"C:\\x\\setup.exe"), L"C:/x/setup.exe");
    EXPECT_EQ(CSingleInstanceGuard::MutexNameFor(L"D:\\ソ\\J\xFCrgen\\setup.exe"),
              L"D:/ソ/J\xFCrgen/setup.exe");
}

TEST(SingleInstanceGuard, SecondAcquireWhileTheFirstHoldsIsNotFirst) {
    CSingleInstanceGuard first;
    EXPECT_FALSE(first.IsFirstInstance());
    first.Acquire();
    EXPECT_TRUE(first.IsFirstInstance());
    EXPECT_TRUE(first.IsHeld());
    {
        CSingleInstanceGuard second;
        second.Acquire();
        EXPECT_FALSE(second.IsFirstInstance());
        // The handle is kept even when the mutex already existed.
        EXPECT_TRUE(second.IsHeld());
    }
    first.Release();
    EXPECT_FALSE(first.IsHeld());
    CSingleInstanceGuard third;
    third.Acquire();
    EXPECT_TRUE(third.IsFirstInstance());
}

// What a process without elevation meets when an elevated instance holds the
// mutex: the name exists, but its access list admits it to nothing beyond
// waiting.
TEST(SingleInstanceGuard, AMutexThatMayNotBeOpenedIsAnotherInstance) {
    wchar_t path[kMaxPath] = {};
    GetModuleFileNameW(nullptr, path, kMaxPath - 1);
    const std::wstring name = CSingleInstanceGuard::MutexNameFor(path);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:(A;;0x00100000;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    unique_handle other(CreateMutexW(&attributes, TRUE, name.c_str()));
    LocalFree(descriptor);
    ASSERT_TRUE(other);
    ASSERT_FALSE(unique_handle(CreateMutexW(nullptr, FALSE, name.c_str())));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    CSingleInstanceGuard guard;
    guard.Acquire();
    EXPECT_FALSE(guard.IsFirstInstance());
}

}  // namespace
