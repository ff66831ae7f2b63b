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
#include "tools/automation/win32/dialogs.h"
#include "tests/support/win32/import_hook.h"
#include "tools/automation/win32/process.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/shortcut.h"

namespace {

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string UniqueName(const char* stem) {
    return std::string(stem) + "-" + std::to_string(GetCurrentProcessId()) + ".exe";
}

std::string KeyFor(const char* format, const std::string& name) {
    char key[512];
    FormatText(key, sizeof key, format, name.c_str());
    return key;
}

// A REG_SZ value whose stored bytes are the text and its terminating zero.
void ExpectStoredString(HKEY root, const std::string& key, const char* name, const std::string& text) {
    RegValue v = ReadRegValue(root, key, name);
    ASSERT_TRUE(v.found) << key << " " << (name ? name : "(default)");
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(v.bytes, text + std::string(1, '\0'));
}

std::string DesktopFolder() {
    RegValue v = ReadRegValue(HKEY_CURRENT_USER, kShellFolders, "Desktop");
    if (!v.found) {
        // The shell fills "Shell Folders" when a folder is first asked for.
        char path[MAX_PATH] = {};
        SHGetSpecialFolderPathA(nullptr, path, CSIDL_DESKTOPDIRECTORY, TRUE);
        v = ReadRegValue(HKEY_CURRENT_USER, kShellFolders, "Desktop");
    }
    return v.found ? std::string(v.bytes.c_str()) : std::string();
}

TEST(Registry, WriteAppPathStoresProgramAndFolderAsTerminatedStrings) {
    std::string name = UniqueName("AppPathTest");
    std::string key = KeyFor(kAppPathsKeyFormat, name);
    RegistryKeyScope cleanup(HKEY_LOCAL_MACHINE, key);

    CSystemServices services;
    ASSERT_TRUE(services.WriteAppPath(name.c_str(), "C:\\Games\\\x83\x5C\\Sorvane.exe"));
    ExpectStoredString(HKEY_LOCAL_MACHINE, key, nullptr, "C:\\Games\\\x83\x5C\\Sorvane.exe");
    // The folder keeps the whole ソ (83 5C) of its last name.
    ExpectStoredString(HKEY_LOCAL_MACHINE, key, "Path", "C:\\Games\\\x83\x5C");

    // Writing again over an existing key replaces the values.
    ASSERT_TRUE(services.WriteAppPath(name.c_str(), "D:\\x\\y.exe"));
    ExpectStoredString(HKEY_LOCAL_MACHINE, key, nullptr, "D:\\x\\y.exe");
    ExpectStoredString(HKEY_LOCAL_MACHINE, key, "Path", "D:\\x");
}

TEST(Registry, WriteUninstallEntryStoresBothValues) {
    std::string name = UniqueName("UninstallTest");
    std::string key = KeyFor(kUninstallKeyFormat, name);
    RegistryKeyScope cleanup(HKEY_LOCAL_MACHINE, key);

    CSystemServices services;
    ASSERT_TRUE(services.WriteUninstallEntry(name.c_str(), "C:\\G\\UnInstall.exe", "Sorvane"));
    ExpectStoredString(HKEY_LOCAL_MACHINE, key, "DisplayName", "Sorvane");
    ExpectStoredString(HKEY_LOCAL_MACHINE, key, "UninstallString", "C:\\G\\UnInstall.exe");
}

TEST(Registry, WritesFailForKeyNamesThatDoNotFit) {
    std::string name(600, 'k');
    CSystemServices services;
    EXPECT_FALSE(services.WriteAppPath(name.c_str(), "C:\\x.exe"));
    EXPECT_FALSE(services.WriteUninstallEntry(name.c_str(), "C:\\u.exe", "x"));
}

// For this process, HKEY_LOCAL_MACHINE becomes a scratch key of the current
// user in which `key` holds the given string values and grants query access
// only, as the local machine does to an account without administrator
// rights.
class QueryOnlyMachineKey {
public:
    QueryOnlyMachineKey(const std::string& key,
                        const std::vector<std::pair<const char*, std::string>>& values)
        : root_("Software\\SetupTestMachine-" + std::to_string(GetCurrentProcessId())),
          key_(root_ + "\\" + key) {
        unique_hkey leaf;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, leaf.put(), nullptr) != ERROR_SUCCESS)
            return;
        for (const auto& v : values)
            RegSetValueExA(leaf.get(), v.first, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.second.c_str()),
                           static_cast<DWORD>(v.second.size() + 1));
        // Query values, and what the test needs to undo it (delete, write DACL).
        ok_ = SetDacl(leaf.get(), "D:P(A;;0x50001;;;WD)");
        leaf.reset();
        unique_hkey machine;
        ok_ = ok_ && RegOpenKeyExA(HKEY_CURRENT_USER, root_.c_str(), 0, KEY_ALL_ACCESS, machine.put()) ==
                         ERROR_SUCCESS;
        ok_ = ok_ && RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine.get()) == ERROR_SUCCESS;
    }
    ~QueryOnlyMachineKey() {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        unique_hkey leaf;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, WRITE_DAC, leaf.put()) == ERROR_SUCCESS)
            SetDacl(leaf.get(), "D:(A;;KA;;;WD)");
        leaf.reset();
        DeleteKeyTree(HKEY_CURRENT_USER, root_);
    }

    // True when the key is in place and really refuses more than queries.
    bool Ready() const {
        unique_hkey probe;
        LONG full = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_.substr(root_.size() + 1).c_str(), 0,
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

    std::string root_;
    std::string key_;
    bool ok_ = false;
};

TEST(Registry, ReadProgramFilesDirNeedsOnlyQueryAccess) {
    QueryOnlyMachineKey machine("Software\\Microsoft\\Windows\\CurrentVersion",
                                {{"ProgramFilesDir", "D:\\Programs"}});
    ASSERT_TRUE(machine.Ready());
    CSystemServices services;
    char out[kMaxPath] = "untouched";
    EXPECT_TRUE(services.ReadProgramFilesDir(out));
    EXPECT_STREQ(out, "D:\\Programs");
}

TEST(Registry, ReadProgramFilesDirGivesAFullFolder) {
    CSystemServices services;
    char out[kMaxPath] = "untouched";
    ASSERT_TRUE(services.ReadProgramFilesDir(out));
    EXPECT_EQ(std::string(out).substr(1, 2), ":\\");
}

// Elevation and the desktop shell as a test wants them (under Wine every
// process is elevated and the shell always answers).
struct ShellSeam {
    ShellSeam() {
        static const ElevationCalls seam = {&Query, &ShellExecuteExA, &Start};
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
    static ShellStart Start(const char* programPath, const char* folderPath) {
        ++calls;
        program = programPath;
        folder = folderPath;
        return answer;
    }

    static inline bool elevated = false;
    static inline ShellStart answer = ShellStart::kStarted;
    static inline int calls = 0;
    static inline std::string program;
    static inline std::string folder;
};

class LaunchInstalledApp : public testing::Test {
protected:
    void SetUp() override {
        program_ = scratch_ / "Game.exe";
        ASSERT_TRUE(CopyFileA(TestProgramPath("launch_probe.exe").c_str(), program_.c_str(), FALSE));
    }

    void Register(bool withPath) {
        unique_hkey key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(program_.c_str()),
                       static_cast<DWORD>(program_.size() + 1));
        if (withPath) {
            RegSetValueExA(key.get(), "Path", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(scratch_.path().c_str()),
                           static_cast<DWORD>(scratch_.path().size() + 1));
        }
    }

    ScratchDir scratch_;
    std::string name_ = UniqueName("LaunchTest");
    std::string key_ = KeyFor(kAppPathsKeyFormat, name_);
    RegistryKeyScope cleanup_{HKEY_LOCAL_MACHINE, key_};
    std::string program_;
    ShellSeam seam_;
};

// The creation flags of the last CreateProcessA this program made while the
// spy was in place; the call itself goes on to the system.
struct ProcessStartSpy {
    ProcessStartSpy() { active = &hook; }
    ~ProcessStartSpy() { active = nullptr; }

    static BOOL WINAPI Create(LPCSTR application, LPSTR commandLine,
                              LPSECURITY_ATTRIBUTES process, LPSECURITY_ATTRIBUTES thread,
                              BOOL inherit, DWORD flags, LPVOID environment, LPCSTR folder,
                              LPSTARTUPINFOA startup, LPPROCESS_INFORMATION info) {
        lastFlags = flags;
        ++calls;
        return active->Original<decltype(&CreateProcessA)>()(application, commandLine, process,
                                                              thread, inherit, flags,
                                                              environment, folder, startup, info);
    }

    static inline ImportHook* active = nullptr;
    static inline DWORD lastFlags = 0;
    static inline int calls = 0;
    ImportHook hook{"kernel32.dll", "CreateProcessA", reinterpret_cast<void*>(&Create)};
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
    EXPECT_TRUE(WaitUntil([&] { return PathExists(scratch_ / "started.txt"); }, 30000));
    // Let the probe finish before the folder is removed.
    WaitUntil([&] { return DeleteFileA((scratch_ / "Game.exe").c_str()) != FALSE; }, 10000);
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
            EXPECT_EQ(ShellSeam::folder, scratch_.path());
        }
    }
    WaitUntil([&] { return DeleteFileA(program_.c_str()) != FALSE; }, 10000);
}

TEST_F(LaunchInstalledApp, NeedsOnlyQueryAccessToTheRegistry) {
    QueryOnlyMachineKey machine(key_, {{nullptr, program_}, {"Path", scratch_.path()}});
    ASSERT_TRUE(machine.Ready());
    CSystemServices services;
    EXPECT_TRUE(services.LaunchInstalledApp(name_.c_str()));
    EXPECT_TRUE(WaitUntil([&] { return PathExists(scratch_ / "started.txt"); }, 30000));
    WaitUntil([&] { return DeleteFileA(program_.c_str()) != FALSE; }, 10000);
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
    ASSERT_TRUE(DeleteFileA(program_.c_str()));
    CSystemServices services;
    EXPECT_FALSE(services.LaunchInstalledApp(name_.c_str()));
}

TEST_F(LaunchInstalledApp, IsFalseWithOnlyTheDefaultValueOrNoKey) {
    CSystemServices services;
    EXPECT_FALSE(services.LaunchInstalledApp(name_.c_str()));
    Register(false);
    EXPECT_FALSE(services.LaunchInstalledApp(name_.c_str()));
    Sleep(200);
    EXPECT_FALSE(PathExists(scratch_ / "started.txt"));
}

TEST(Shortcuts, CreateShortcutMakesTheFoldersAndALinkTheShellReadsBack) {
    ScratchDir scratch;
    std::string target = scratch / "Game\\Sorvane.exe";
    ASSERT_TRUE(WriteFileBytes(target, "MZ"));
    std::string link = scratch / "Links\\\x95\x5C\\deeper\\Sorvane.lnk";

    CSystemServices services;
    EXPECT_TRUE(services.CreateShortcut(target.c_str(), link.c_str()));
    ASSERT_TRUE(PathExists(link));
    ShortcutInfo info = ReadShortcut(link);
    ASSERT_TRUE(info.loaded);
    EXPECT_STRCASEEQ(info.target.c_str(), target.c_str());
    EXPECT_STRCASEEQ(info.workingFolder.c_str(), (scratch / "Game").c_str());

    // A link that cannot be saved (its folder would have to be a file) is
    // reported.
    std::string blocked = scratch / "Game\\Sorvane.exe\\Sorvane.lnk";
    EXPECT_FALSE(services.CreateShortcut(target.c_str(), blocked.c_str()));
    EXPECT_FALSE(PathExists(blocked));
}

TEST(Shortcuts, DesktopShortcutLandsOnTheDesktopFolder) {
    std::string desktop = DesktopFolder();
    ASSERT_FALSE(desktop.empty());
    ScratchDir scratch;
    std::string target = scratch / "Sorvane.exe";
    ASSERT_TRUE(WriteFileBytes(target, "MZ"));
    std::string name = "SetupTest-" + std::to_string(GetCurrentProcessId());
    std::string link = desktop + "\\" + name + ".lnk";

    CSystemServices services;
    EXPECT_TRUE(services.CreateDesktopShortcut(target.c_str(), name.c_str()));
    EXPECT_TRUE(PathExists(link));
    EXPECT_STRCASEEQ(ReadShortcut(link).target.c_str(), target.c_str());
    DeleteFileA(link.c_str());
}

TEST(Shortcuts, DesktopValueLongerThanTheBufferIsRejected) {
    ASSERT_FALSE(DesktopFolder().empty());
    RegistryKeyScope restore(HKEY_CURRENT_USER, kShellFolders);
    unique_hkey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_SET_VALUE, key.put()), ERROR_SUCCESS);
    std::string longValue = "C:\\" + std::string(300, 'd');
    RegSetValueExA(key.get(), "Desktop", 0, REG_SZ, reinterpret_cast<const BYTE*>(longValue.c_str()),
                   static_cast<DWORD>(longValue.size() + 1));
    // 259 characters fit the buffer, but the link name no longer fits the path.
    std::string justFits = "C:\\" + std::string(256, 'd');
    CSystemServices services;
    EXPECT_FALSE(services.CreateDesktopShortcut("C:\\x.exe", "Sorvane"));
    RegSetValueExA(key.get(), "Desktop", 0, REG_SZ, reinterpret_cast<const BYTE*>(justFits.c_str()),
                   static_cast<DWORD>(justFits.size() + 1));
    EXPECT_FALSE(services.CreateDesktopShortcut("C:\\x.exe", "Sorvane"));
}

TEST(Shortcuts, ProgramsShortcutCreatesSubFoldersAndReportsTheSave) {
    char programs[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, TRUE));
    ScratchDir scratch;
    std::string target = scratch / "UnInstall.exe";
    ASSERT_TRUE(WriteFileBytes(target, "MZ"));
    std::string vendor = "SetupTestVendor-" + std::to_string(GetCurrentProcessId());

    CSystemServices services;
    EXPECT_TRUE(services.CreateProgramsShortcut(target.c_str(), (vendor + "\\Sorvane\\Remove").c_str()));
    std::string link = std::string(programs) + "\\" + vendor + "\\Sorvane\\Remove.lnk";
    EXPECT_TRUE(PathExists(link));
    EXPECT_STRCASEEQ(ReadShortcut(link).workingFolder.c_str(), scratch.path().c_str());
    RemoveTree(std::string(programs) + "\\" + vendor);
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

    static PIDLIST_ABSOLUTE WINAPI Browse(LPBROWSEINFOA info) {
        apartment = CurrentApartment();
        return active->Original<decltype(&SHBrowseForFolderA)>()(info);
    }

    static inline ImportHook* active = nullptr;
    static inline Apartment apartment = Apartment::None;
    ImportHook hook{"shell32.dll", "SHBrowseForFolderA", reinterpret_cast<void*>(&Browse)};
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
        std::string out = "untouched";
        Apartment after = Apartment::None;
        TestThread thread([&] {
            if (c.before == Apartment::MultiThreaded) CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            char folder[kMaxPath] = "untouched";
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
        for (HWND control : DialogControls(picker)) titleShown |= WindowTextOf(control) == title;
        EXPECT_TRUE(titleShown);
        PressButton(picker, IDCANCEL);
        ASSERT_TRUE(thread.Join(10000));
        EXPECT_FALSE(chosen);
        EXPECT_EQ(out, "untouched");
        EXPECT_EQ(PickerSpy::apartment, c.during);
        EXPECT_EQ(after, c.before);
    }
}

TEST(SingleInstanceGuard, MutexNameUsesForwardSlashesAndKeepsDoubleByteCharacters) {
    char name[kMaxPath];
    CSingleInstanceGuard::MutexNameFor(name, sizeof name, "C:\\x\\setup.exe");
    EXPECT_STREQ(name, "C:/x/setup.exe");
    // ソ (83 5C) keeps its second byte.
    CSingleInstanceGuard::MutexNameFor(name, sizeof name, "D:\\\x83\x5C\\setup.exe");
    EXPECT_STREQ(name, "D:/\x83\x5C/setup.exe");
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
    char path[kMaxPath] = {};
    GetModuleFileNameA(nullptr, path, sizeof path - 1);
    char name[kMaxPath];
    CSingleInstanceGuard::MutexNameFor(name, sizeof name, path);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:(A;;0x00100000;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    unique_handle other(CreateMutexA(&attributes, TRUE, name));
    LocalFree(descriptor);
    ASSERT_TRUE(other);
    ASSERT_FALSE(unique_handle(CreateMutexA(nullptr, FALSE, name)));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    CSingleInstanceGuard guard;
    guard.Acquire();
    EXPECT_FALSE(guard.IsFirstInstance());
}

}  // namespace
