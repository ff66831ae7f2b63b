#include "tools/automation/win32/setup_run.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framework/system/win32/wide_text.h"
#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/log_file.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"
#include "tools/support/bmp_writer.h"

namespace setup_text {
std::wstring DiscPrompt(int disc) {
    if (disc < 1 || disc > kDiscCount) return std::wstring();
    return kDiscPrompts[disc - 1];
}

std::wstring PageCaption(int page) {
    return std::wstring(kTitle) + L" (" + std::to_wstring(page) + L"/4)";
}
}  // namespace setup_text

namespace uninstaller_text {
std::wstring Text(const wchar_t* format, const std::wstring& argument) {
    std::wstring text = format;
    const std::size_t at = text.find(L"%s");
    if (at != std::wstring::npos) text.replace(at, 2, argument);
    return text;
}
}  // namespace uninstaller_text


const SetupSourceFile kSetupSourceFiles[15] = {
    {"Sorvane.exe", 1}, {"UnInstall.exe", 1}, {"bg.dat", 1},    {"extra.dat", 1},
    {"obj.dat", 1},     {"cg.001", 2},        {"cg.002", 3},    {"cg.003", 4},
    {"cg.004", 5},      {"bgm.dat", 5},       {"se.dat", 5},    {"voice.dat", 5},
    {"scr.dat", 5},     {"sc.001", 5},        {"sc.002", 6},
};

std::vector<std::wstring> InstalledFileNames() {
    return {L"Sorvane.exe", L"UnInstall.exe", L"bg.dat",    L"extra.dat", L"obj.dat", L"cg.dat",
            L"bgm.dat",     L"se.dat",        L"voice.dat", L"scr.dat",   L"sc.dat"};
}

std::wstring FirstWrongInstalledFile(const std::wstring& folder,
                                     const std::map<std::string, std::string>& sources) {
    const auto source = [&](const char* name) {
        const auto found = sources.find(name);
        return found == sources.end() ? std::string() : found->second;
    };
    std::map<std::string, std::string> expected;
    for (const SetupSourceFile& file : kSetupSourceFiles) expected[file.name] = source(file.name);
    expected["cg.dat"] = source("cg.001") + source("cg.002") + source("cg.003") + source("cg.004");
    expected["sc.dat"] = source("sc.001") + source("sc.002");
    for (const std::wstring& name : InstalledFileNames()) {
        std::string bytes;
        if (!ReadFileBytes(folder + L"\\" + name, &bytes) || bytes != expected[Utf8(name)])
            return name;
    }
    return std::wstring();
}

std::string SolidBmp(int width, int height, COLORREF colour) {
    const std::uint32_t stride = BmpRowStride(width, 24);
    const std::vector<std::uint8_t> headers = BmpHeaders(width, height, 24, stride * static_cast<std::uint32_t>(height));
    std::string bytes(headers.begin(), headers.end());
    std::string row(stride, '\0');
    for (int x = 0; x < width; ++x) {
        row[x * 3] = static_cast<char>(GetBValue(colour));
        row[x * 3 + 1] = static_cast<char>(GetGValue(colour));
        row[x * 3 + 2] = static_cast<char>(GetRValue(colour));
    }
    for (int y = 0; y < height; ++y) bytes += row;
    return bytes;
}

std::map<std::string, std::string> SetupPictures(bool fullScreen) {
    std::map<std::string, std::string> pictures;
    char name[32];
    for (int stage = 0; stage < 7; ++stage) {
        std::snprintf(name, sizeof name, "t000_%03d.bmp", stage);
        const COLORREF colour = RGB(30 * stage + 20, 200 - 25 * stage, 100 + stage);
        pictures[name] = fullScreen ? SolidBmp(800, 600, colour) : SolidBmp(16, 12, colour);
    }
    pictures["t000_007.bmp"] = SolidBmp(280, 60, RGB(40, 40, 40));   // frame
    pictures["t000_008.bmp"] = SolidBmp(130, 16, RGB(0, 0, 160));    // empty bar
    pictures["t000_009.bmp"] = SolidBmp(130, 16, RGB(250, 200, 0));  // full bar
    for (int digit = 0; digit <= 10; ++digit) {
        std::snprintf(name, sizeof name, "t001_%03d.bmp", digit);
        pictures[name] = SolidBmp(14, 20, RGB(10 * digit + 5, 255 - 10 * digit, 128));
    }
    return pictures;
}

std::map<std::string, std::string> BuildSetupDiscs(
    DiscDrives& drives, const std::string& prefix, std::size_t fileBytes,
    const std::map<std::string, std::string>& pictures,
    const std::map<std::string, std::string>& replacements) {
    std::map<std::string, std::string> sources;
    std::wstring discs[7];
    for (int disc = 1; disc <= 6; ++disc) {
        discs[disc] = drives.NewDisc(prefix + std::to_string(disc));
        for (const auto& picture : pictures) {
            drives.AddFile(discs[disc], L"data\\obj\\" + Widen(picture.first), picture.second);
        }
    }
    unsigned seed = 1;
    for (const SetupSourceFile& file : kSetupSourceFiles) {
        // Sizes differ a little so that a part copied twice or in the wrong
        // order cannot give the expected joined file.
        std::string bytes = PatternBytes(fileBytes + seed * 7, seed);
        ++seed;
        auto replacement = replacements.find(file.name);
        if (replacement != replacements.end()) bytes = replacement->second;
        drives.AddFile(discs[file.disc], L"data\\data\\" + Widen(file.name), bytes);
        sources[file.name] = std::move(bytes);
    }
    return sources;
}

std::wstring DefaultSetupProgram() { return TestProgramPath(L"..\\..\\installer\\setup.exe"); }
std::wstring DefaultUninstallProgram() {
    return TestProgramPath(L"..\\..\\uninstaller\\UnInstall.exe");
}

std::wstring UninstallProgramOf(const std::wstring& command) {
    if (command.empty() || command[0] != L'"') return command;
    const std::size_t end = command.find(L'"', 1);
    return command.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1);
}

std::vector<HWND> ProcessDialogs(DWORD processId) { return VisibleWindows(processId, L"#32770"); }

HWND ProcessMainWindow(DWORD processId) {
    std::vector<HWND> windows = VisibleWindows(processId, L"TesselSDK_Application");
    return windows.empty() ? nullptr : windows.front();
}

bool SetupRun::Start(const std::wstring& program, const std::wstring& workingDir,
                     const std::wstring& arguments) {
    prompts_.clear();
    folderQuestion_.clear();
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    return process_.Start(commandLine, workingDir);
}

bool SetupRun::CaptionsUntilExit(DWORD timeoutMs, std::vector<std::wstring>* captions) {
    std::vector<HWND> seen;
    return WaitUntil(
        [&] {
            for (HWND dialog : ProcessDialogs(Id())) {
                if (std::find(seen.begin(), seen.end(), dialog) != seen.end()) continue;
                seen.push_back(dialog);
                captions->push_back(WindowTextOf(dialog));
            }
            return !Running();
        },
        timeoutMs);
}

DWORD RunToExit(const std::wstring& program, const std::wstring& workingDir,
                const std::wstring& arguments, const std::wstring& temp, DWORD timeoutMs,
                std::vector<std::wstring>* captions) {
    SetupRun run;
    {
        TempFolderScope scope(temp);
        if (!run.Start(program, workingDir, arguments)) return 1000;
    }
    DWORD code = 1000;
    if (run.CaptionsUntilExit(timeoutMs, captions)) run.Wait(timeoutMs, &code);
    return code;
}

bool InstallWithSetup(DiscDrives& drives, char letter, const std::string& discPrefix,
                      const std::wstring& baseFolder, DWORD timeoutMs,
                      std::wstring* folderQuestion) {
    SetupRun run;
    if (!drives.Insert(letter, discPrefix + "1") ||
        !run.Start(DefaultSetupProgram(), baseFolder) ||
        !run.CompleteWizard(baseFolder, timeoutMs))
        return false;
    if (folderQuestion) *folderQuestion = run.FolderQuestion();
    HWND done = run.ServeDiscsUntil(setup_text::kDoneCaption, drives, std::string(1, letter),
                                    discPrefix, timeoutMs);
    DWORD code = 1;
    return done && run.Answer(done, IDOK, timeoutMs) && run.Wait(timeoutMs, &code) && code == 0;
}

HWND SetupRun::WaitForDialog(const std::wstring& caption, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND dialog : ProcessDialogs(Id())) {
                if (WindowTextOf(dialog) == caption) {
                    found = dialog;
                    return true;
                }
            }
            return !process_.Running();
        },
        timeoutMs);
    return found;
}

HWND SetupRun::WaitForMainWindow(DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = ProcessMainWindow(Id())) != nullptr || !Running(); },
              timeoutMs);
    return found;
}

bool SetupRun::Answer(HWND dialog, int id, DWORD timeoutMs) {
    if (!dialog) return false;
    PressButton(dialog, id);
    return WaitForWindowGone(dialog, timeoutMs);
}

bool SetupRun::CompleteWizard(const std::wstring& baseFolder, DWORD timeoutMs) {
    // Forward buttons of pages 1 to 4 (see installer/setup_resources.h).
    const int forward[] = {1001, 1001, 1016, 1001};
    const int folderEdit = 1015;
    folderQuestion_.clear();
    for (int page = 1; page <= 4; ++page) {
        HWND dialog = WaitForDialog(setup_text::PageCaption(page), timeoutMs);
        if (!dialog) return false;
        if (page == 3) {
            SendMessageTimeoutW(GetDlgItem(dialog, folderEdit), WM_SETTEXT, 0,
                                reinterpret_cast<LPARAM>(baseFolder.c_str()), SMTO_BLOCK,
                                timeoutMs, nullptr);
            if (!LeaveFolderPage(dialog, forward[page - 1], timeoutMs)) return false;
        } else if (!Answer(dialog, forward[page - 1], timeoutMs)) {
            return false;
        }
    }
    return true;
}

bool SetupRun::LeaveFolderPage(HWND page, int next, DWORD timeoutMs) {
    PressButton(page, next);
    HWND question = nullptr;
    WaitUntil(
        [&] {
            for (HWND dialog : ProcessDialogs(Id())) {
                if (dialog != page && WindowTextOf(dialog) == setup_text::kConfirmCaption)
                    question = dialog;
            }
            return question || !IsWindow(page) || !Running();
        },
        timeoutMs);
    if (question) {
        folderQuestion_ = MessageBoxTextOf(question);
        if (!Answer(question, IDYES, timeoutMs)) return false;
    }
    return WaitForWindowGone(page, timeoutMs);
}

int SetupRun::PromptedDisc(HWND prompt) {
    const std::wstring text = MessageBoxTextOf(prompt);
    for (int n = 1; n <= 6; ++n) {
        if (text == setup_text::DiscPrompt(n)) return n;
    }
    return 0;
}

HWND SetupRun::ServeDiscsUntil(const std::wstring& caption, DiscChanger& drives,
                               const std::string& letters, const std::string& discPrefix,
                               DWORD timeoutMs) {
    if (letters.empty()) return nullptr;
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs || !Running()) return nullptr;
        HWND found = nullptr;
        HWND prompt = nullptr;
        bool error = false;
        WaitUntil(
            [&] {
                for (HWND dialog : ProcessDialogs(Id())) {
                    const std::wstring text = WindowTextOf(dialog);
                    if (text == caption) found = dialog;
                    if (text == setup_text::kDiscCaption) prompt = dialog;
                    error = error || text == setup_text::kErrorCaption;
                }
                return found || prompt || error || !Running();
            },
            timeoutMs - elapsed);
        if (found) return found;
        // An error message not waited for: the installation failed.
        if (!prompt) return nullptr;
        prompts_.push_back(MessageBoxTextOf(prompt));
        const int disc = PromptedDisc(prompt);
        if (disc == 0) return nullptr;
        const char letter = letters.size() >= 6 ? letters[disc - 1] : letters[0];
        if (!drives.Insert(letter, discPrefix + std::to_string(disc))) return nullptr;
        if (!Answer(prompt, IDRETRY, timeoutMs)) return nullptr;
    }
}

SetupRegistrationScope::SetupRegistrationScope()
    : appPaths_(HKEY_LOCAL_MACHINE, AppPathsKey()),
      uninstall_(HKEY_LOCAL_MACHINE, UninstallKey()),
      desktopLink_(DesktopLink()),
      programsFolder_(ProgramsFolder()) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, AppPathsKey());
    DeleteKeyTree(HKEY_LOCAL_MACHINE, UninstallKey());
}

std::wstring SetupRegistrationScope::AppPathsKey() {
    return L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Sorvane.exe";
}

std::wstring SetupRegistrationScope::UninstallKey() {
    return L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sorvane.exe";
}

std::wstring SetupRegistrationScope::DesktopLink() {
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_DESKTOPDIRECTORY, FALSE)) return L"";
    return std::wstring(folder) + L"\\Sorvane.lnk";
}

std::wstring SetupRegistrationScope::ProgramsFolder() {
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAMS, FALSE)) return L"";
    return std::wstring(folder) + L"\\VINTAL";
}

