// Drives setup.exe from another process the way a user would: starts it,
// answers the wizard pages by control id, answers the disc prompts and swaps
// the discs of the test drives, waits for the completion message and reads
// the exit code. Also builds small disc sets in the layout setup.exe reads
// and removes what an installation registers. Every wait is bounded; texts
// and paths are UTF-16.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tools/automation/win32/disc_drives.h"
#include "tools/automation/win32/process.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/shown_texts.h"

// The installable files in install order (ASCII names), the disc (1 to 6)
// each is on, and the eleven files an installation leaves.
struct SetupSourceFile {
    const char* name;
    int disc;
};
extern const SetupSourceFile kSetupSourceFiles[15];
std::vector<std::wstring> InstalledFileNames();

// A 24-bit bottom-up BMP of one colour (0x00BBGGRR).
std::string SolidBmp(int width, int height, COLORREF colour);

// Pictures of data\obj: name -> file bytes. Small and of distinct colours
// unless `fullScreen`, which makes the seven backgrounds 800 x 600.
std::map<std::string, std::string> SetupPictures(bool fullScreen);

// Builds disc folders "<prefix>1" to "<prefix>6" in `drives` with the files
// of kSetupSourceFiles (pattern bytes of `fileBytes` each; split parts
// differ) and the pictures on every disc. Returns the bytes of each source
// file by name. A file named in `replacements` gets the bytes given there.
std::map<std::string, std::string> BuildSetupDiscs(
    DiscDrives& drives, const std::string& prefix, std::size_t fileBytes,
    const std::map<std::string, std::string>& pictures,
    const std::map<std::string, std::string>& replacements = {});

// The first installed file in `folder` whose bytes differ from what the
// discs of `sources` (BuildSetupDiscs) give it, the joined files included;
// empty when every one is right.
std::wstring FirstWrongInstalledFile(const std::wstring& folder,
                                     const std::map<std::string, std::string>& sources);

// Where the default build keeps setup.exe and UnInstall.exe, seen from a
// test program.
std::wstring DefaultSetupProgram();
std::wstring DefaultUninstallProgram();

// The program that an uninstall command ("UninstallString") starts: the
// quoted first word, or (as older installations wrote it, unquoted) the
// whole command.
std::wstring UninstallProgramOf(const std::wstring& command);

// The visible dialogs (class "#32770", message boxes included) of a process.
std::vector<HWND> ProcessDialogs(DWORD processId);
// The main window of setup.exe in that process; null when none.
HWND ProcessMainWindow(DWORD processId);

class SetupRun {
public:
    SetupRun() = default;
    // A process still running is terminated.
    ~SetupRun() = default;

    // Starts `program` (setup.exe, or another program whose dialogs the
    // test answers) with `arguments` after its quoted path.
    bool Start(const std::wstring& program, const std::wstring& workingDir,
               const std::wstring& arguments = std::wstring());
    DWORD Id() const { return process_.Id(); }
    bool Running() const { return process_.Running(); }

    // First visible dialog of the process with `caption`; null after `timeoutMs`.
    HWND WaitForDialog(const std::wstring& caption, DWORD timeoutMs);
    HWND WaitForMainWindow(DWORD timeoutMs);
    // Presses button `id` of `dialog` and waits until the dialog is gone.
    bool Answer(HWND dialog, int id, DWORD timeoutMs);
    // Walks the wizard from page 1 to Install with `baseFolder` typed on
    // page 3 (the game goes to "<baseFolder>\Vintal\Sorvane"). A question
    // page 3 asks about the folder is answered Yes and kept (FolderQuestion).
    bool CompleteWizard(const std::wstring& baseFolder, DWORD timeoutMs);
    // The question page 3 asked about the folder in the last CompleteWizard;
    // empty when it asked none.
    const std::wstring& FolderQuestion() const { return folderQuestion_; }
    // Waits for a message box with `caption`; on the way, answers each disc
    // prompt by inserting the disc it asks for (disc N is the disc named
    // "<discPrefix>N") and pressing Retry. `letters` holds the drive of each
    // disc ("mnopqr"), or one letter for all. Records the prompts. Null
    // when an error message comes instead.
    HWND ServeDiscsUntil(const std::wstring& caption, DiscChanger& drives,
                         const std::string& letters, const std::string& discPrefix,
                         DWORD timeoutMs);
    // The disc number a disc prompt asks for; 0 for another text.
    static int PromptedDisc(HWND prompt);
    const std::vector<std::wstring>& Prompts() const { return prompts_; }

    // Captions of every dialog the process shows until it ends; false when
    // it has not ended within `timeoutMs`.
    bool CaptionsUntilExit(DWORD timeoutMs, std::vector<std::wstring>* captions);

    bool Wait(DWORD timeoutMs, DWORD* exitCode) { return process_.Wait(timeoutMs, exitCode); }
    void Terminate() { process_.Terminate(); }

private:
    // Presses Next on page 3 and answers the folder question if it comes.
    bool LeaveFolderPage(HWND page, int next, DWORD timeoutMs);

    ChildProcess process_;
    std::vector<std::wstring> prompts_;
    std::wstring folderQuestion_;
};

// `program` run to its end with `arguments` from `workingDir`, its
// temporary folder (TEMP and TMP) being `temp`: its exit code, 1000 when it
// did not start or end within `timeoutMs`. `captions` receives the caption
// of every dialog it showed.
DWORD RunToExit(const std::wstring& program, const std::wstring& workingDir,
                const std::wstring& arguments, const std::wstring& temp, DWORD timeoutMs,
                std::vector<std::wstring>* captions);

// A whole installation by setup.exe from the discs "<discPrefix>1" to "6",
// all through drive `letter`, into "<baseFolder>\Vintal\Sorvane"; the
// completion message is answered. True when it was shown and setup.exe then
// ended with exit code 0. `folderQuestion`, when given, receives the
// question page 3 asked about the folder (empty when none).
bool InstallWithSetup(DiscDrives& drives, char letter, const std::string& discPrefix,
                      const std::wstring& baseFolder, DWORD timeoutMs,
                      std::wstring* folderQuestion = nullptr);

// What an installation registers: the App Paths and Uninstall keys of
// "Sorvane.exe", the desktop shortcut and the Start-menu folder. Removed
// when the scope starts; when it ends, what the scope left is removed and
// what was there before is put back.
class SetupRegistrationScope {
public:
    SetupRegistrationScope();

    static std::wstring AppPathsKey();
    static std::wstring UninstallKey();
    static std::wstring DesktopLink();
    static std::wstring ProgramsFolder();  // the "VINTAL" folder of the Start menu

private:
    RegistryKeyScope appPaths_;
    RegistryKeyScope uninstall_;
    SavedPath desktopLink_;
    SavedPath programsFolder_;
};
