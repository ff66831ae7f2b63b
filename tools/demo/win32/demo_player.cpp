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
#include <windows.h>
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
#include "uninstaller/uninstall_texts.h"

namespace {

using namespace setup_text;

const DWORD kRunLimitMs = 60 * 60 * 1000;

std::string Join(const std::string& folder, const std::string& name) {
    return folder + "\\" + name;
}

// The drive's medium: a disc is inserted by moving its folder's contents
// into the medium folder, and ejected by moving them back.
class DiscChanger {
public:
    DiscChanger(std::string discs, std::string medium)
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
    std::string DiscFolder(int disc) const { return Join(discs_, "disc" + std::to_string(disc)); }
    std::string discs_, medium_;
    int current_ = 0;
};

std::string ControlText(HWND dialog, int id) {
    char text[MAX_PATH] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof text,
                        reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 2000, &ignored);
    return text;
}

std::uint64_t FolderBytes(const std::string& folder) {
    std::uint64_t total = 0;
    WIN32_FIND_DATAA found;
    const unique_hfind find(FindFirstFileA(Join(folder, "*").c_str(), &found));
    if (!find) return 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            total += (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
    } while (FindNextFileA(find.get(), &found));
    return total;
}

std::uint64_t DiscBytes(const std::string& discs) {
    std::uint64_t total = 0;
    for (int disc = 1; disc <= 6; ++disc)
        total += FolderBytes(Join(discs, "disc" + std::to_string(disc) + "\\data\\data"));
    return total;
}

class Player {
public:
    Player(std::string discs, std::string medium, std::string shots, bool quiet)
        : changer_(discs, std::move(medium)),
          shots_(std::move(shots)),
          quiet_(quiet),
          totalBytes_(DiscBytes(discs)) {}

    // Runs setup.exe to its end; true when the completion message came.
    bool Run(const std::string& setup);
    const std::string& InstallFolder() const { return installFolder_; }
    // The registry view setup.exe wrote: a 32-bit setup.exe on 64-bit
    // Windows writes the 32-bit view (Uninstall lies below Wow6432Node).
    REGSAM RegistryView() const { return registryView_; }
    void Eject() { changer_.Eject(); }

private:
    void Shot(const char* name, HWND window);
    void Answer(HWND dialog);
    void WatchProgress(DWORD processId);

    DiscChanger changer_;
    std::string shots_;
    bool quiet_;
    REGSAM registryView_ = KEY_WOW64_64KEY;
    std::uint64_t totalBytes_;
    std::string installFolder_;
    std::set<HWND> answered_;
    int progressShots_ = 0;
    bool promptShot_ = false;
    bool completed_ = false;
    bool failed_ = false;
};

void Player::Shot(const char* name, HWND window) {
    if (quiet_ || shots_.empty()) return;
    // The whole screen: the setup window with its dialog in front.
    (void)window;
    if (SaveWindowBitmap(GetDesktopWindow(), Join(shots_, std::string(name) + ".bmp")))
        std::printf("screenshot %s\n", name);
}

void Player::Answer(HWND dialog) {
    const std::string caption = WindowTextOf(dialog);
    if (caption == PageCaption(1)) {
        Shot("1-wizard-welcome", dialog);
        PressButton(dialog, IDC_WELCOME_NEXT);
    } else if (caption == PageCaption(2)) {
        Shot("2-wizard-groups", dialog);
        PressButton(dialog, IDC_GROUPS_NEXT);
    } else if (caption == PageCaption(3)) {
        Shot("3-wizard-folder", dialog);
        installFolder_ = ControlText(dialog, IDC_FOLDER_EDIT) + "\\Vintal\\Sorvane";
        PressButton(dialog, IDC_FOLDER_NEXT);
    } else if (caption == PageCaption(4)) {
        Shot("4-wizard-ready", dialog);
        PressButton(dialog, IDC_READY_INSTALL);
    } else if (caption == kDiscCaption) {
        const std::string text = MessageBoxTextOf(dialog);
        const int disc = SetupRun::PromptedDisc(dialog);
        if (!promptShot_) Shot("5-disc-prompt", dialog);
        promptShot_ = true;
        if (disc == 0 || !changer_.Insert(disc)) {
            std::printf("cannot answer the disc prompt \"%s\"\n", text.c_str());
            PressButton(dialog, IDCANCEL);
            return;
        }
        std::printf("disc %d inserted\n", disc);
        PressButton(dialog, IDRETRY);
    } else if (caption == kDoneCaption) {
        Shot("9-completion", dialog);
        completed_ = true;
        PressButton(dialog, IDOK);
    } else if (caption == kErrorCaption) {
        Shot("9-error", dialog);
        failed_ = true;
        std::printf("setup reported an error: %s\n", MessageBoxTextOf(dialog).c_str());
        PressButton(dialog, IDOK);
    } else if (caption == kConfirmCaption) {
        PressButton(dialog, IDNO);
    } else {
        return;  // not ours to answer (yet)
    }
    answered_.insert(dialog);
}

// A picture of the progress screen each time the installed bytes pass
// another quarter of the discs' bytes.
void Player::WatchProgress(DWORD processId) {
    if (installFolder_.empty() || totalBytes_ == 0 || progressShots_ >= 3) return;
    const std::uint64_t done = FolderBytes(installFolder_);
    if (done * 4 < totalBytes_ * std::uint64_t(progressShots_ + 1)) return;
    if (HWND window = ProcessMainWindow(processId)) {
        char name[32];
        std::snprintf(name, sizeof name, "%d-progress-%d", 6 + progressShots_,
                      25 * (progressShots_ + 1));
        Shot(name, window);
    }
    ++progressShots_;
}

bool Player::Run(const std::string& setup) {
    if (!changer_.Insert(1)) {
        std::printf("cannot insert disc 1\n");
        return false;
    }
    const std::string root = setup.substr(0, 3);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + setup + "\"";
    if (!CreateProcessA(setup.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        root.c_str(), &startup, &process)) {
        std::printf("cannot start %s (error %lu)\n", setup.c_str(), GetLastError());
        return false;
    }
    const unique_handle processHandle(process.hProcess), threadHandle(process.hThread);
    BOOL wow64 = FALSE;
    if (IsWow64Process(process.hProcess, &wow64) && wow64) registryView_ = KEY_WOW64_32KEY;
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
        if (GetTickCount() - start > kRunLimitMs) {
            std::printf("setup.exe did not end in time\n");
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

void PrintValue(HKEY root, REGSAM view, const std::string& key, const char* value) {
    unique_hkey handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE | view, handle.put()) != ERROR_SUCCESS) {
        std::printf("  HKLM\\%s: missing\n", key.c_str());
        return;
    }
    char data[1024] = {};
    DWORD size = sizeof data - 1, type = 0;
    if (RegQueryValueExA(handle.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS)
        std::printf("  HKLM\\%s  %s = %s\n", key.c_str(), value ? value : "(default)", data);
    else
        std::printf("  HKLM\\%s  %s: missing\n", key.c_str(), value ? value : "(default)");
}

void PrintShortcut(const std::string& path) {
    std::printf("  %s: %s\n", path.c_str(),
                GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? "missing" : "present");
}

void PrintInstalled(const std::string& folder, REGSAM view) {
    std::printf("\nInstalled into %s:\n", folder.c_str());
    WIN32_FIND_DATAA found;
    const unique_hfind find(FindFirstFileA(Join(folder, "*").c_str(), &found));
    if (find) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            std::uint64_t size = (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
            std::printf("  %-14s %12llu\n", found.cFileName, static_cast<unsigned long long>(size));
        } while (FindNextFileA(find.get(), &found));
    }
    std::printf("Registry:\n");
    const std::string appPath = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Sorvane.exe";
    const std::string uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sorvane.exe";
    PrintValue(HKEY_LOCAL_MACHINE, view, appPath, nullptr);
    PrintValue(HKEY_LOCAL_MACHINE, view, appPath, "Path");
    for (const char* value : {"DisplayName", "UninstallString", "QuietUninstallString",
                              "Publisher", "InstallLocation"})
        PrintValue(HKEY_LOCAL_MACHINE, view, uninstall, value);
    std::printf("Shortcuts:\n");
    char desktop[MAX_PATH] = {}, programs[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop);
    SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs);
    PrintShortcut(Join(desktop, "Sorvane.lnk"));
    PrintShortcut(Join(programs, "VINTAL\\Sorvane\\Sorvane.lnk"));
    PrintShortcut(Join(programs, "VINTAL\\Sorvane\\アンインストーラ.lnk"));
}

// The uninstaller the installation registered, as the list of installed
// programs starts it ("UninstallString" in the registry view `view`); empty
// when none is registered.
std::string RegisteredUninstaller(REGSAM view) {
    unique_hkey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SetupRegistrationScope::UninstallKey().c_str(), 0,
                      KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS)
        return std::string();
    char command[1024] = {};
    DWORD size = sizeof command - 1, type = 0;
    if (RegQueryValueExA(key.get(), "UninstallString", nullptr, &type,
                         reinterpret_cast<BYTE*>(command), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    return UninstallProgramOf(command);
}

// Runs the registered UnInstall.exe like a user: Yes to its question, OK to
// its final message. True when it ended with exit code 0.
bool Uninstall(const std::string& folder, REGSAM view, const std::string& shots) {
    const std::string program = RegisteredUninstaller(view);
    if (program.empty()) {
        std::printf("\nNo uninstaller is registered.\n");
        return false;
    }
    std::printf("\nRemoving the game with %s\n", program.c_str());
    SetupRun run;
    if (!run.Start(program, folder)) {
        std::printf("cannot start %s\n", program.c_str());
        return false;
    }
    const DWORD kStepMs = 60000;
    HWND question = run.WaitForDialog(uninstall_text::kCaption, kStepMs);
    if (!question) return false;
    std::printf("uninstaller asks: %s\n", MessageBoxTextOf(question).c_str());
    if (SaveWindowBitmap(GetDesktopWindow(), Join(shots, "10-uninstall-question.bmp")))
        std::printf("screenshot 10-uninstall-question\n");
    if (!run.Answer(question, IDYES, kStepMs)) return false;
    HWND done = run.WaitForDialog(uninstall_text::kCaption, kStepMs);
    if (!done) return false;
    std::printf("uninstaller says: %s\n", MessageBoxTextOf(done).c_str());
    if (SaveWindowBitmap(GetDesktopWindow(), Join(shots, "11-uninstall-done.bmp")))
        std::printf("screenshot 11-uninstall-done\n");
    DWORD code = 1;
    if (!run.Answer(done, IDOK, kStepMs) || !run.Wait(kStepMs, &code)) return false;
    std::printf("UnInstall.exe ended with exit code %lu\n", code);
    // Its own file goes a moment later, removed by its temporary copy.
    WaitUntil([&] { return GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES; },
              kStepMs);
    return code == 0;
}

// True when nothing of the installation is left: folder, keys, shortcuts.
bool MachineIsClean(const std::string& folder, REGSAM view) {
    auto keyExists = [view](const std::string& key) {
        unique_hkey handle;
        return RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | view,
                             handle.put()) == ERROR_SUCCESS;
    };
    bool clean = true;
    auto check = [&](bool present, const std::string& what) {
        if (present) std::printf("  left: %s\n", what.c_str());
        clean = clean && !present;
    };
    check(GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES, folder);
    check(keyExists(SetupRegistrationScope::AppPathsKey()),
          "HKLM\\" + SetupRegistrationScope::AppPathsKey());
    check(keyExists(SetupRegistrationScope::UninstallKey()),
          "HKLM\\" + SetupRegistrationScope::UninstallKey());
    const std::string desktop = SetupRegistrationScope::DesktopLink();
    check(GetFileAttributesA(desktop.c_str()) != INVALID_FILE_ATTRIBUTES, desktop);
    const std::string menu = SetupRegistrationScope::ProgramsFolder();
    check(GetFileAttributesA(menu.c_str()) != INVALID_FILE_ATTRIBUTES, menu);
    return clean;
}

// After a person installed with a display: what the installation left, found
// through the game's App Paths entry (a PE32 setup.exe wrote the uninstall
// entry into the 32-bit view). False when the game is not registered.
bool ReportInstalled() {
    const std::string appPath = SetupRegistrationScope::AppPathsKey();
    char folder[MAX_PATH] = {};
    unique_hkey handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, appPath.c_str(), 0, KEY_QUERY_VALUE, handle.put()) != ERROR_SUCCESS) {
        std::printf("The game is not registered: nothing was installed.\n");
        return false;
    }
    DWORD size = sizeof folder - 1, type = 0;
    const bool read = RegQueryValueExA(handle.get(), "Path", nullptr, &type,
                                       reinterpret_cast<BYTE*>(folder), &size) == ERROR_SUCCESS &&
                      type == REG_SZ;
    if (!read) return false;
    const std::string uninstall = SetupRegistrationScope::UninstallKey();
    REGSAM view = KEY_WOW64_64KEY;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstall.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY,
                      handle.put()) == ERROR_SUCCESS) {
        view = KEY_WOW64_32KEY;
    }
    PrintInstalled(folder, view);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--report") return ReportInstalled() ? 0 : 1;
    if (argc < 5) {
        std::fprintf(stderr,
                     "usage: demo_player SETUP.EXE DISCS MEDIUM SHOTS [--quiet]\n"
                     "       demo_player --report\n");
        return 2;
    }
    const bool quiet = argc > 5 && std::string(argv[5]) == "--quiet";
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
