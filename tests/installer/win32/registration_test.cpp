#include "installer/win32/registration.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/process.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/setup_run.h"
#include "tools/automation/win32/shortcut.h"

namespace {

const DWORD kWait = 10000;
const std::string kAppPathsKey = SetupRegistrationScope::AppPathsKey();
const std::string kUninstallKey = SetupRegistrationScope::UninstallKey();
const std::string kUninstallerLink = "アンインストーラ";

// A REG_SZ value of the machine's registry as text; empty when missing or
// of another type.
std::string StringValue(const std::string& key, const char* name, bool* found = nullptr) {
    const RegValue v = ReadRegValue(HKEY_LOCAL_MACHINE, key, name);
    const bool ok = v.found && v.type == REG_SZ;
    if (found) *found = ok;
    return ok ? ValueText(v) : std::string();
}

bool SamePath(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// An installed game: the folder with its program and uninstaller.
struct InstalledGame {
    explicit InstalledGame(const ScratchDir& scratch, const std::string& base) {
        folder = scratch / (base + "\\Vintal\\Sorvane");
        program = folder + "\\Sorvane.exe";
        uninstaller = folder + "\\UnInstall.exe";
        WriteFileBytes(program, "MZ");
        WriteFileBytes(uninstaller, "MZ");
        // With the two programs, 5004 installed bytes: 5 KiB rounded up.
        WriteFileBytes(folder + "\\bg.dat", std::string(5000, 'b'));
        std::memset(&state, 0, sizeof state);
        std::strcpy(state.InstallFolder, folder.c_str());
    }
    std::string folder;
    std::string program;
    std::string uninstaller;
    InstallerStateData state;
};

// Checks everything one registration of `game` leaves in the system.
void ExpectRegistered(const InstalledGame& game, bool appPathExpected = true) {
    bool found = false;
    std::string program = StringValue(kAppPathsKey, nullptr, &found);
    EXPECT_EQ(found, appPathExpected);
    if (appPathExpected) {
        EXPECT_EQ(program, game.program);
        EXPECT_EQ(StringValue(kAppPathsKey, "Path"), game.folder);
    }
    EXPECT_EQ(StringValue(kUninstallKey, "DisplayName"), "Sorvane");
    EXPECT_EQ(StringValue(kUninstallKey, "UninstallString"), "\"" + game.uninstaller + "\"");
    const struct {
        const char* name;
        DWORD type;
        std::string bytes;
    } values[] = {
        {"DisplayIcon", REG_SZ, game.program + '\0'},
        {"Publisher", REG_SZ, std::string("Vintal") + '\0'},
        {"InstallLocation", REG_SZ, game.folder + '\0'},
        {"QuietUninstallString", REG_SZ, "\"" + game.uninstaller + "\" /S" + '\0'},
        {"EstimatedSize", REG_DWORD, std::string("\x05\0\0\0", 4)},
        {"NoModify", REG_DWORD, std::string("\x01\0\0\0", 4)},
        {"NoRepair", REG_DWORD, std::string("\x01\0\0\0", 4)},
    };
    for (const auto& v : values) {
        const RegValue read = ReadRegValue(HKEY_LOCAL_MACHINE, kUninstallKey, v.name);
        EXPECT_TRUE(read.found) << v.name;
        EXPECT_EQ(read.type, v.type) << v.name;
        EXPECT_EQ(read.bytes, v.bytes) << v.name;
    }

    const struct {
        std::string link;
        std::string target;
    } links[] = {
        {SetupRegistrationScope::DesktopLink(), game.program},
        {SetupRegistrationScope::ProgramsFolder() + "\\Sorvane\\Sorvane.lnk", game.program},
        {SetupRegistrationScope::ProgramsFolder() + "\\Sorvane\\" + kUninstallerLink + ".lnk", game.uninstaller},
    };
    for (const auto& l : links) {
        SCOPED_TRACE(l.link);
        ShortcutInfo read = ReadShortcut(l.link);
        ASSERT_TRUE(read.loaded);
        EXPECT_TRUE(SamePath(read.target, l.target)) << read.target;
        EXPECT_TRUE(SamePath(read.workingFolder, game.folder)) << read.workingFolder;
    }
}

enum class Outcome { Registered, Incomplete };

// Runs the registration on a thread of its own with a main window as the
// owner, checks the message of an incomplete registration when one is
// expected (and, as the completion message must come next, that none came
// otherwise), then the completion message, and dismisses them.
void RegisterAndDismiss(const InstalledGame& game, CRegistrationServices& services,
                        Outcome outcome = Outcome::Registered,
                        const std::function<void()>& whileMessageShows = [] {}) {
    PumpedWindow owner;
    TestThread thread([&] { RegisterInstallation(owner.hwnd(), game.state, services); });
    if (outcome == Outcome::Incomplete) {
        HWND error = WaitForDialog(thread.Id(), setup_text::kErrorCaption, kWait);
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(MessageBoxTextOf(error), setup_text::kRegistrationIncompleteText);
        EXPECT_EQ(MessageBoxIconOf(error), static_cast<UINT>(MB_ICONEXCLAMATION));
        EXPECT_EQ(GetWindow(error, GW_OWNER), owner.hwnd());
        PressButton(error, IDOK);
    }
    HWND box = WaitForDialog(thread.Id(), setup_text::kDoneCaption, kWait);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxTextOf(box), setup_text::kDoneText);
    EXPECT_EQ(MessageBoxIconOf(box), static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(GetWindow(box, GW_OWNER), owner.hwnd());
    EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
    // Registration is done before the message shows.
    whileMessageShows();
    PressButton(box, IDOK);
    EXPECT_TRUE(thread.Join(kWait));
}

TEST(Registration, RegistersTheGameAndAnnouncesTheEnd) {
    SetupRegistrationScope registration;
    ScratchDir scratch;
    // "表示": the second byte of 表 is a backslash, a classic Shift-JIS trap.
    InstalledGame game(scratch, "\x95\x5C\x8E\xA6");
    CRegistrationServices services;
    RegisterAndDismiss(game, services, Outcome::Registered, [&] { ExpectRegistered(game); });
}

// Forwards to the system, records the calls, and fails one chosen step
// without doing it.
class RecordingServices : public CRegistrationServices {
public:
    explicit RecordingServices(int failingStep) : failingStep_(failingStep) {}
    std::vector<std::string> calls;

    bool WriteAppPath(const char* name, const char* path) override {
        return Step("app path " + std::string(name) + " " + path) &&
               CRegistrationServices::WriteAppPath(name, path);
    }
    bool WriteUninstallEntry(const char* key, const char* command, const char* display) override {
        return Step("uninstall " + std::string(key) + " " + command + " " + display) &&
               CRegistrationServices::WriteUninstallEntry(key, command, display);
    }
    bool WriteUninstallDetails(const char* key, const UninstallDetails& details) override {
        return Step("details " + std::string(key) + " " + details.quietUninstallString) &&
               CRegistrationServices::WriteUninstallDetails(key, details);
    }
    bool CreateDesktopShortcut(const char* target, const char* name) override {
        return Step("desktop " + std::string(target) + " " + name) &&
               CRegistrationServices::CreateDesktopShortcut(target, name);
    }
    bool CreateProgramsShortcut(const char* target, const char* link) override {
        return Step("programs " + std::string(target) + " " + link) &&
               CRegistrationServices::CreateProgramsShortcut(target, link);
    }

private:
    bool Step(const std::string& call) {
        calls.push_back(call);
        return static_cast<int>(calls.size()) != failingStep_;
    }
    int failingStep_;
};

TEST(Registration, AFailedStepStopsNothingAndIsToldBeforeTheEnd) {
    // Step 1 is the App Paths write, 3 the uninstall entry's further values,
    // 6 the uninstaller's Start-menu link; 0 fails nothing.
    for (int failing : {0, 1, 2, 3, 4, 5, 6}) {
        SCOPED_TRACE(failing);
        SetupRegistrationScope registration;
        ScratchDir scratch;
        InstalledGame game(scratch, "Games");
        RecordingServices services(failing);
        RegisterAndDismiss(game, services, failing == 0 ? Outcome::Registered : Outcome::Incomplete);
        std::vector<std::string> expected = {
            "app path Sorvane.exe " + game.program,
            "uninstall Sorvane.exe \"" + game.uninstaller + "\" Sorvane",
            "details Sorvane.exe \"" + game.uninstaller + "\" /S",
            "desktop " + game.program + " Sorvane",
            "programs " + game.program + " VINTAL\\Sorvane\\Sorvane",
            "programs " + game.uninstaller + " VINTAL\\Sorvane\\" + kUninstallerLink,
        };
        // Without the entry its further values are not written.
        if (failing == 2) expected.erase(expected.begin() + 2);
        EXPECT_EQ(services.calls, expected);
        if (failing == 2) {
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
            EXPECT_TRUE(ReadShortcut(SetupRegistrationScope::DesktopLink()).loaded);
        } else if (failing <= 1) {
            ExpectRegistered(game, failing != 1);
        }
    }
}

// Whoever starts the registered uninstaller takes the program from the
// command, which older installations wrote without quotes.
TEST(Registration, TheRegisteredUninstallCommandNamesTheProgramQuotedOrNot) {
    const struct {
        const char* command;
        const char* program;
    } cases[] = {
        {"\"C:\\Program Files (x86)\\Vintal\\Sorvane\\UnInstall.exe\"",
         "C:\\Program Files (x86)\\Vintal\\Sorvane\\UnInstall.exe"},
        {"C:\\Program Files (x86)\\Vintal\\Sorvane\\UnInstall.exe",
         "C:\\Program Files (x86)\\Vintal\\Sorvane\\UnInstall.exe"},
        {"\"C:\\a b\\UnInstall.exe\" /S", "C:\\a b\\UnInstall.exe"},
    };
    for (const auto& c : cases) EXPECT_EQ(UninstallProgramOf(c.command), c.program) << c.command;
}

TEST(Registration, InstallingTwiceLeavesTheSecondFolderRegistered) {
    SetupRegistrationScope registration;
    ScratchDir scratch;
    InstalledGame first(scratch, "First");
    InstalledGame second(scratch, "Second");
    CRegistrationServices services;
    RegisterAndDismiss(first, services);
    RegisterAndDismiss(second, services);
    ExpectRegistered(second);
}

}  // namespace
