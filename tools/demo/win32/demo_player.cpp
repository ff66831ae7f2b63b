// Runs setup.exe of the demo discs the way a person would, for a demo
// without a display:
//
//   demo_player SETUP.EXE DISCS MEDIUM SHOTS [--quiet]
//
// DISCS is the folder holding disc1 ... disc6, MEDIUM the folder that is the
// medium of the CD-ROM drive setup.exe runs from (disc 1 is moved in first),
// SHOTS the folder that receives the screenshots (BMP; the demo script
// turns them into PNG). The player starts setup.exe from the drive, answers
// the four wizard pages with their defaults, swaps in the disc each disc
// prompt asks for and presses Retry, saves a picture of each wizard page,
// of the first disc prompt, of the progress screen as the installation
// passes a quarter, a half and three quarters of its bytes, and of the
// completion message; then it prints what was installed. It then removes
// the game again with the installed UnInstall.exe, saving pictures of its
// question and final message, and prints whether anything of the
// installation is left. Exit code 0 when the installation completed and the
// removal left the machine clean, 1 otherwise. --quiet takes no screenshots
// and removes nothing (for the benchmark).
//
// It reads what a person sees: the windows' texts in UTF-16, compared with
// the texts of tools/automation/win32/shown_texts.h, so it works under any
// system code page. When the window it waits for does not come within a
// minute (and the copy makes no progress meanwhile), it gives up, naming
// what it waited for and the windows it saw instead. Its output is UTF-8.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "framework/system/win32/unique_handle.h"
#include "installer/setup_resources.h"
#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/setup_run.h"

namespace {

using namespace setup_text;

// How long the player waits for a window it expects, or for the copy to
// move on, before it gives up.
const DWORD kPatienceMs = 60 * 1000;

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    return folder + L"\\" + name;
}

void Print(const std::wstring& line) { std::printf("%s\n", Utf8(line).c_str()); }

// The visible windows of a process, as a person would describe them: class,
// caption and, for a message box, its message.
std::wstring DescribeWindows(DWORD processId) {
    std::wstring text;
    for (HWND window : VisibleWindows(processId, nullptr)) {
        text += L"\n    " + ClassNameOf(window) + L" \"" + WindowTextOf(window) + L"\"";
        const std::wstring message = MessageBoxTextOf(window);
        if (!message.empty()) text += L": \"" + message + L"\"";
    }
    return text.empty() ? L" none" : text;
}

// The drive's medium: a disc is inserted by moving its folder's contents
// into the medium folder, and ejected by moving them back.
class DiscChanger {
public:
    DiscChanger(std::wstring discs, std::wstring medium)
        : discs_(std::move(discs)), medium_(std::move(medium)) {}

    bool Insert(int disc) {
        if (disc == current_) return true;
        if (current_ != 0 && !MoveFolderEntries(medium_, DiscFolder(current_))) return false;
        current_ = 0;
        if (!MoveFolderEntries(DiscFolder(disc), medium_)) return false;
        current_ = disc;
        return true;
    }
    // Puts the disc in the drive back into its folder.
    void Eject() {
        if (current_ != 0 && MoveFolderEntries(medium_, DiscFolder(current_))) current_ = 0;
    }

private:
    std::wstring DiscFolder(int disc) const { return Join(discs_, L"disc" + std::to_wstring(disc)); }
    std::wstring discs_, medium_;
    int current_ = 0;
};

std::uint64_t FolderBytes(const std::wstring& folder) {
    std::uint64_t total = 0;
    WIN32_FIND_DATAW found;
    const unique_hfind find(FindFirstFileW(Join(folder, L"*").c_str(), &found));
    if (!find) return 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            total += (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
    } while (FindNextFileW(find.get(), &found));
    return total;
}

std::uint64_t DiscBytes(const std::wstring& discs) {
    std::uint64_t total = 0;
    for (int disc = 1; disc <= 6; ++disc)
        total += FolderBytes(Join(discs, L"disc" + std::to_wstring(disc) + L"\\data\\data"));
    return total;
}

class Player {
public:
    Player(std::wstring discs, std::wstring medium, std::wstring shots, bool quiet)
        : changer_(discs, std::move(medium)),
          shots_(std::move(shots)),
          quiet_(quiet),
          totalBytes_(DiscBytes(discs)) {}

    // Runs setup.exe to its end; true when the completion message came.
    bool Run(const std::wstring& setup);
    const std::wstring& InstallFolder() const { return installFolder_; }
    // The registry view setup.exe wrote: a 32-bit setup.exe on 64-bit
    // Windows writes the 32-bit view (Uninstall lies below Wow6432Node).
    REGSAM RegistryView() const { return registryView_; }
    void Eject() { changer_.Eject(); }

private:
    void Shot(const wchar_t* name);
    // Answers `dialog` when it is one of setup.exe's; false when it is not.
    bool Answer(HWND dialog);
    void WatchProgress(DWORD processId);
    // True once the player has waited too long for what it expects, or the
    // whole run for too long; says so.
    bool GivesUp(DWORD processId);
    void Progressed(const wchar_t* next) {
        lastProgress_ = GetTickCount();
        expected_ = next;
    }

    DiscChanger changer_;
    std::wstring shots_;
    bool quiet_;
    REGSAM registryView_ = KEY_WOW64_64KEY;
    std::uint64_t totalBytes_;
    std::uint64_t copiedBytes_ = 0;
    std::wstring installFolder_;
    std::set<HWND> answered_;
    const wchar_t* expected_ = L"wizard page 1";
    DWORD lastProgress_ = GetTickCount();
    int progressShots_ = 0;
    bool promptShot_ = false;
    bool completed_ = false;
    bool failed_ = false;
};

void Player::Shot(const wchar_t* name) {
    if (quiet_ || shots_.empty()) return;
    // The whole screen: the setup window with its dialog in front.
    if (SaveWindowBitmap(GetDesktopWindow(), Join(shots_, std::wstring(name) + L".bmp")))
        Print(std::wstring(L"screenshot ") + name);
}

bool Player::Answer(HWND dialog) {
    const std::wstring caption = WindowTextOf(dialog);
    const wchar_t* kCopying = L"a disc prompt or the completion message, the copy going on";
    if (caption == PageCaption(1)) {
        Shot(L"1-wizard-welcome");
        PressButton(dialog, IDC_WELCOME_NEXT);
        Progressed(L"wizard page 2");
    } else if (caption == PageCaption(2)) {
        Shot(L"2-wizard-groups");
        PressButton(dialog, IDC_GROUPS_NEXT);
        Progressed(L"wizard page 3");
    } else if (caption == PageCaption(3)) {
        Shot(L"3-wizard-folder");
        installFolder_ = WindowTextOf(GetDlgItem(dialog, IDC_FOLDER_EDIT)) + L"\\Vintal\\Sorvane";
        PressButton(dialog, IDC_FOLDER_NEXT);
        Progressed(L"wizard page 4");
    } else if (caption == PageCaption(4)) {
        Shot(L"4-wizard-ready");
        PressButton(dialog, IDC_READY_INSTALL);
        Progressed(kCopying);
    } else if (caption == kDiscCaption) {
        const int disc = SetupRun::PromptedDisc(dialog);
        if (!promptShot_) Shot(L"5-disc-prompt");
        promptShot_ = true;
        if (disc == 0 || !changer_.Insert(disc)) {
            Print(L"cannot answer the disc prompt \"" + MessageBoxTextOf(dialog) + L"\"");
            PressButton(dialog, IDCANCEL);
            return true;
        }
        std::printf("disc %d inserted\n", disc);
        PressButton(dialog, IDRETRY);
        Progressed(kCopying);
    } else if (caption == kDoneCaption) {
        Shot(L"9-completion");
        completed_ = true;
        PressButton(dialog, IDOK);
        Progressed(L"setup.exe to end");
    } else if (caption == kErrorCaption) {
        Shot(L"9-error");
        failed_ = true;
        Print(L"setup reported an error: " + MessageBoxTextOf(dialog));
        PressButton(dialog, IDOK);
        Progressed(L"setup.exe to end");
    } else if (caption == kConfirmCaption) {
        PressButton(dialog, IDNO);
    } else {
        return false;  // not ours to answer (yet)
    }
    answered_.insert(dialog);
    return true;
}

// A picture of the progress screen each time the installed bytes pass
// another quarter of the discs' bytes. Bytes copied are progress too.
void Player::WatchProgress(DWORD processId) {
    if (installFolder_.empty() || totalBytes_ == 0) return;
    const std::uint64_t done = FolderBytes(installFolder_);
    if (done != copiedBytes_) {
        copiedBytes_ = done;
        lastProgress_ = GetTickCount();
    }
    if (progressShots_ >= 3 || done * 4 < totalBytes_ * std::uint64_t(progressShots_ + 1)) return;
    if (ProcessMainWindow(processId)) {
        const std::wstring name = std::to_wstring(6 + progressShots_) + L"-progress-" +
                                  std::to_wstring(25 * (progressShots_ + 1));
        Shot(name.c_str());
    }
    ++progressShots_;
}

bool Player::GivesUp(DWORD processId) {
    if (GetTickCount() - lastProgress_ < kPatienceMs) return false;
    Print(L"gave up after " + std::to_wstring(kPatienceMs / 1000) + L" s waiting for " +
          expected_ + L"; setup.exe shows:" + DescribeWindows(processId));
    return true;
}

bool Player::Run(const std::wstring& setup) {
    if (!changer_.Insert(1)) {
        std::printf("cannot insert disc 1\n");
        return false;
    }
    const std::wstring root = setup.substr(0, 3);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + setup + L"\"";
    if (!CreateProcessW(setup.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        root.c_str(), &startup, &process)) {
        Print(L"cannot start " + setup + L" (error " + std::to_wstring(GetLastError()) + L")");
        return false;
    }
    const unique_handle processHandle(process.hProcess), threadHandle(process.hThread);
    BOOL wow64 = FALSE;
    if (IsWow64Process(process.hProcess, &wow64) && wow64) registryView_ = KEY_WOW64_32KEY;
    Progressed(L"wizard page 1");
    while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
        if (GivesUp(process.dwProcessId)) {
            TerminateProcess(process.hProcess, 1);
            break;
        }
        // A closed dialog's handle may come back for a new one.
        for (auto it = answered_.begin(); it != answered_.end();)
            it = IsWindow(*it) ? std::next(it) : answered_.erase(it);
        for (HWND dialog : ProcessDialogs(process.dwProcessId))
            if (!answered_.count(dialog)) Answer(dialog);
        WatchProgress(process.dwProcessId);
    }
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    std::printf("setup.exe ended with exit code %lu\n", code);
    return completed_ && !failed_ && code == 0;
}

void PrintValue(HKEY root, REGSAM view, const std::wstring& key, const wchar_t* value) {
    unique_hkey handle;
    const std::wstring name = value ? value : L"(default)";
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | view, handle.put()) != ERROR_SUCCESS) {
        Print(L"  HKLM\\" + key + L": missing");
        return;
    }
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t), type = 0;
    if (RegQueryValueExW(handle.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS)
        Print(L"  HKLM\\" + key + L"  " + name + L" = " + data);
    else
        Print(L"  HKLM\\" + key + L"  " + name + L": missing");
}

void PrintShortcut(const std::wstring& path) {
    Print(L"  " + path + (PathExists(path) ? L": present" : L": missing"));
}

void PrintInstalled(const std::wstring& folder, REGSAM view) {
    Print(L"\nInstalled into " + folder + L":");
    WIN32_FIND_DATAW found;
    const unique_hfind find(FindFirstFileW(Join(folder, L"*").c_str(), &found));
    if (find) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            std::uint64_t size = (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
            std::printf("  %-14s %12llu\n", Utf8(found.cFileName).c_str(),
                        static_cast<unsigned long long>(size));
        } while (FindNextFileW(find.get(), &found));
    }
    std::printf("Registry:\n");
    const std::wstring appPath = SetupRegistrationScope::AppPathsKey();
    const std::wstring uninstall = SetupRegistrationScope::UninstallKey();
    PrintValue(HKEY_LOCAL_MACHINE, view, appPath, nullptr);
    PrintValue(HKEY_LOCAL_MACHINE, view, appPath, L"Path");
    for (const wchar_t* value : {L"DisplayName", L"UninstallString", L"QuietUninstallString",
                                 L"Publisher", L"InstallLocation"})
        PrintValue(HKEY_LOCAL_MACHINE, view, uninstall, value);
    std::printf("Shortcuts:\n");
    wchar_t programs[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs);
    PrintShortcut(SetupRegistrationScope::DesktopLink());
    PrintShortcut(Join(programs, L"VINTAL\\Sorvane\\Sorvane.lnk"));
    PrintShortcut(Join(programs, L"VINTAL\\Sorvane\\アンインストーラ.lnk"));
}

// A string value of the machine's registry in the view `view`; empty when
// missing.
std::wstring MachineString(const std::wstring& key, const wchar_t* value, REGSAM view) {
    unique_hkey handle;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | view, handle.put()) !=
        ERROR_SUCCESS)
        return std::wstring();
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t), type = 0;
    if (RegQueryValueExW(handle.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(data),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::wstring();
    return data;
}

// Runs the registered UnInstall.exe like a user, as the list of installed
// programs starts it ("UninstallString"): Yes to its question, OK to its
// final message. True when it ended with exit code 0.
bool Uninstall(const std::wstring& folder, REGSAM view, const std::wstring& shots) {
    const std::wstring program = UninstallProgramOf(
        MachineString(SetupRegistrationScope::UninstallKey(), L"UninstallString", view));
    if (program.empty()) {
        std::printf("\nNo uninstaller is registered.\n");
        return false;
    }
    Print(L"\nRemoving the game with " + program);
    SetupRun run;
    if (!run.Start(program, folder)) {
        Print(L"cannot start " + program);
        return false;
    }
    const struct {
        const wchar_t* shot;
        const wchar_t* says;
        int answer;
    } steps[] = {
        {L"10-uninstall-question", L"uninstaller asks: ", IDYES},
        {L"11-uninstall-done", L"uninstaller says: ", IDOK},
    };
    for (const auto& [shot, says, answer] : steps) {
        HWND box = run.WaitForDialog(uninstaller_text::kCaption, kPatienceMs);
        if (!box) {
            Print(std::wstring(L"gave up waiting for the uninstaller's message box \"") +
                  uninstaller_text::kCaption + L"\"; it shows:" + DescribeWindows(run.Id()));
            run.Terminate();
            return false;
        }
        Print(says + MessageBoxTextOf(box));
        if (SaveWindowBitmap(GetDesktopWindow(), Join(shots, std::wstring(shot) + L".bmp")))
            Print(std::wstring(L"screenshot ") + shot);
        if (!run.Answer(box, answer, kPatienceMs)) return false;
    }
    DWORD code = 1;
    if (!run.Wait(kPatienceMs, &code)) return false;
    std::printf("UnInstall.exe ended with exit code %lu\n", code);
    // Its own file goes a moment later, removed by its temporary copy.
    WaitUntil([&] { return !PathExists(folder); }, kPatienceMs);
    return code == 0;
}

// True when nothing of the installation is left: folder, keys, shortcuts.
bool MachineIsClean(const std::wstring& folder, REGSAM view) {
    auto keyExists = [view](const std::wstring& key) {
        unique_hkey handle;
        return RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | view,
                             handle.put()) == ERROR_SUCCESS;
    };
    bool clean = true;
    auto check = [&](bool present, const std::wstring& what) {
        if (present) Print(L"  left: " + what);
        clean = clean && !present;
    };
    check(PathExists(folder), folder);
    for (const std::wstring& key :
         {SetupRegistrationScope::AppPathsKey(), SetupRegistrationScope::UninstallKey()})
        check(keyExists(key), L"HKLM\\" + key);
    for (const std::wstring& path :
         {SetupRegistrationScope::DesktopLink(), SetupRegistrationScope::ProgramsFolder()})
        check(PathExists(path), path);
    return clean;
}

// After a person installed with a display: what the installation left, found
// through the game's App Paths entry (a PE32 setup.exe wrote the uninstall
// entry into the 32-bit view). False when the game is not registered.
bool ReportInstalled() {
    const std::wstring folder =
        MachineString(SetupRegistrationScope::AppPathsKey(), L"Path", KEY_WOW64_64KEY);
    if (folder.empty()) {
        std::printf("The game is not registered: nothing was installed.\n");
        return false;
    }
    const bool view32 = !MachineString(SetupRegistrationScope::UninstallKey(), L"DisplayName",
                                       KEY_WOW64_32KEY)
                             .empty();
    PrintInstalled(folder, view32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY);
    return true;
}

}  // namespace

int main() {
    int argc = 0;
    const unique_hlocal arguments(CommandLineToArgvW(GetCommandLineW(), &argc));
    wchar_t** argv = static_cast<wchar_t**>(arguments.get());
    if (argv == nullptr) return 2;
    if (argc == 2 && std::wstring(argv[1]) == L"--report") return ReportInstalled() ? 0 : 1;
    if (argc < 5) {
        std::fprintf(stderr,
                     "usage: demo_player SETUP.EXE DISCS MEDIUM SHOTS [--quiet]\n"
                     "       demo_player --report\n");
        return 2;
    }
    const bool quiet = argc > 5 && std::wstring(argv[5]) == L"--quiet";
    Player player(argv[2], argv[3], argv[4], quiet);
    const bool completed = player.Run(argv[1]);
    player.Eject();
    if (!player.InstallFolder().empty() && !quiet) PrintInstalled(player.InstallFolder(), player.RegistryView());
    std::printf("%s\n", completed ? "Setup completed." : "Setup did not complete.");
    std::fflush(stdout);
    if (!completed || quiet) return completed ? 0 : 1;

    const bool removed = Uninstall(player.InstallFolder(), player.RegistryView(), argv[4]);
    const bool clean = MachineIsClean(player.InstallFolder(), player.RegistryView());
    std::printf("%s\n", removed && clean ? "The game is removed: the machine is clean again."
                                         : "The removal left something behind.");
    std::fflush(stdout);
    return removed && clean ? 0 : 1;
}
