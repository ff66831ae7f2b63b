#include "installer/win32/registration.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "framework/system/win32/wide_text.h"
#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/process.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/setup_run.h"
#include "tools/automation/win32/shortcut.h"

namespace {

const DWORD kWait = 10000;
const std::wstring kAppPathsKey = SetupRegistrationScope::AppPathsKey();
const std::wstring kUninstallKey = SetupRegistrationScope::UninstallKey();
const std::wstring kUninstallerLink = L"アンインストーラ";

// A REG_SZ value of the machine's registry as text; empty when missing or
// of another type.
std::wstring StringValue(const std::wstring& key, const wchar_t* name, bool* found = nullptr) {
    const RegValue v = ReadRegValue(HKEY_LOCAL_MACHINE, key, name);
    const bool ok = v.found && v.type == REG_SZ;
    if (found) *found = ok;
    return ok ? ValueText(v) : std::wstring();
}

// The bytes of a REG_SZ value of `text`, its zero included.
std::string StringBytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()),
                       (text.size() + 1) * sizeof(wchar_t));
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

// An installed game: the folder with its program and uninstaller.
struct InstalledGame {
    explicit InstalledGame(const ScratchDir& scratch, const std::wstring& base) {
        folder = scratch / (base + L"\\Vintal\\Sorvane");
        program = folder + L"\\Sorvane.exe";
        uninstaller = folder + L"\\UnInstall.exe";
        WriteFileBytes(program, "MZ");
        WriteFileBytes(uninstaller, "MZ");
        // With the two programs, 5004 installed bytes: 5 KiB rounded up.
        WriteFileBytes(folder + L"\\bg.dat", std::string(5000, 'b'));
        std::memset(&state, 0, sizeof state);
        std::wcscpy(AsWide(state.InstallFolder), folder.c_str());
    }
    std::wstring folder;
    std::wstring program;
    std::wstring uninstaller;
    InstallerStateData state;
};

// Checks everything one registration of `game` leaves in the system.
void ExpectRegistered(const InstalledGame& game, bool appPathExpected = true) {
    bool found = false;
    std::wstring program = StringValue(kAppPathsKey, nullptr, &found);
    EXPECT_EQ(found, appPathExpected);
    if (appPathExpected) {
        EXPECT_EQ(program, game.program);
        EXPECT_EQ(StringValue(kAppPathsKey, L"Path"), game.folder);
    }
    EXPECT_EQ(StringValue(kUninstallKey, L"DisplayName"), L"Sorvane");
    EXPECT_EQ(StringValue(kUninstallKey, L"UninstallString"), L"\"" + game.uninstaller + L"\"");
    const struct {
        const wchar_t* name;
        DWORD type;
        std::string bytes;
    } values[] = {
        {L"DisplayIcon", REG_SZ, StringBytes(game.program)},
        {L"Publisher", REG_SZ, StringBytes(L"Vintal")},
        {L"InstallLocation", REG_SZ, StringBytes(game.folder)},
        {L"QuietUninstallString", REG_SZ, StringBytes(L"\"" + game.uninstaller + L"\" /S")},
        {L"EstimatedSize", REG_DWORD, std::string("\x05\0\0\0", 4)},
        {L"NoModify", REG_DWORD, std::string("\x01\0\0\0", 4)},
        {L"NoRepair", REG_DWORD, std::string("\x01\0\0\0", 4)},
    };
    for (const auto& v : values) {
        const RegValue read = ReadRegValue(HKEY_LOCAL_MACHINE, kUninstallKey, v.name);
        EXPECT_TRUE(read.found) << v.name;
        EXPECT_EQ(read.type, v.type) << v.name;
        EXPECT_EQ(read.bytes, v.bytes) << v.name;
    }

    const struct {
        std::wstring link;
        std::wstring target;
    } links[] = {
        {SetupRegistrationScope::DesktopLink(), game.program},
        {SetupRegistrationScope::ProgramsFolder() + L"\\Sorvane\\Sorvane.lnk", game.program},
        {SetupRegistrationScope::ProgramsFolder() + L"\\Sorvane\\" + kUninstallerLink + L".lnk",
         game.uninstaller},
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

// Every value and link names the folder exactly as chosen: "表示" (in
// Shift-JIS the second byte of 表 is a backslash), and a folder no code page
// but UTF-16 holds ("ü" in a Japanese name).
TEST(Registration, RegistersTheGameAndAnnouncesTheEnd) {
    for (const std::wstring base : {L"表示", L"ゲーム\\J\xFCrgen"}) {
        SCOPED_TRACE(base);
        SetupRegistrationScope registration;
        ScratchDir scratch;
        InstalledGame game(scratch, base);
        CRegistrationServices services;
        RegisterAndDismiss(game, services, Outcome::Registered, [&] { ExpectRegistered(game); });
    }
}

// Forwards to the system, records the calls, and fails one chosen step
// without doing it.
class RecordingServices : public CRegistrationServices {
public:
    explicit RecordingServices(int failingStep) : failingStep_(failingStep) {}
    std::vector<std::wstring> calls;

    bool WriteAppPath(const char* name, const wchar_t* path) override {
        return Step(L"app path " + Widen(name) + L" " + path) &&
               CRegistrationServices::WriteAppPath(name, path);
    }
    bool WriteUninstallEntry(const char* key, const wchar_t* command, const char* display) override {
        return Step(L"uninstall " + Widen(key) + L" " + command + L" " + Widen(display)) &&
               CRegistrationServices::WriteUninstallEntry(key, command, display);
    }
    bool WriteUninstallDetails(const char* key, const UninstallDetails& details) override {
        return Step(L"details " + Widen(key) + L" " + details.quietUninstallString) &&
               CRegistrationServices::WriteUninstallDetails(key, details);
    }
    bool CreateDesktopShortcut(const wchar_t* target, const char* name) override {
        return Step(L"desktop " + std::wstring(target) + L" " + Widen(name)) &&
               CRegistrationServices::CreateDesktopShortcut(target, name);
    }
    bool CreateProgramsShortcut(const wchar_t* target, const char* link) override {
        return Step(L"programs " + std::wstring(target) + L" " + Widen(link)) &&
               CRegistrationServices::CreateProgramsShortcut(target, link);
    }

private:
    bool Step(const std::wstring& call) {
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
        InstalledGame game(scratch, L"Games");
        RecordingServices services(failing);
        RegisterAndDismiss(game, services, failing == 0 ? Outcome::Registered : Outcome::Incomplete);
        std::vector<std::wstring> expected = {
            L"app path Sorvane.exe " + game.program,
            L"uninstall Sorvane.exe \"" + game.uninstaller + L"\" Sorvane",
            L"details Sorvane.exe \"" + game.uninstaller + L"\" /S",
            L"desktop " + game.program + L" Sorvane",
            L"programs " + game.program + L" VINTAL\\Sorvane\\Sorvane",
            L"programs " + game.uninstaller + L" VINTAL\\Sorvane\\" + kUninstallerLink,
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
        const wchar_t* command;
        const wchar_t* program;
    } cases[] = {
        {L"\"C:\\Program Files (x86)\\Vintal\\Sorvane\\UnInstall.exe\"",
         L"C:\\Program Files (x86)\\Vintal\\Sorvane\\UnInstall.exe"},
        {L"C:\\Program Files (x86)\\Vintal\\Sorvane\\UnInstall.exe",
         L"C:\\Program Files (x86)\\Vintal\\Sorvane\\UnInstall.exe"},
        {L"\"C:\\a b\\UnInstall.exe\" /S", L"C:\\a b\\UnInstall.exe"},
    };
    for (const auto& c : cases) EXPECT_EQ(UninstallProgramOf(c.command), c.program) << c.command;
}

TEST(Registration, InstallingTwiceLeavesTheSecondFolderRegistered) {
    SetupRegistrationScope registration;
    ScratchDir scratch;
    InstalledGame first(scratch, L"First");
    InstalledGame second(scratch, L"Second");
    CRegistrationServices services;
    RegisterAndDismiss(first, services);
    RegisterAndDismiss(second, services);
    ExpectRegistered(second);
}

}  // namespace
