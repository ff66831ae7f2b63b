// The setup wizard: four modal pages (welcome, data groups, target folder,
// ready) owned by the main window, with the navigation between them, the
// folder test and the free-space test. It fills GroupSelection and
// InstallFolder of the installer state it is given.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/file/win32/thread.h"
#include "framework/system/win32/unique_handle.h"
#include "installer/installer_state.h"

// What the wizard asks of the system. The defaults use CSystemServices and
// the kernel; tests put their own answers in.
class CWizardServices {
public:
    virtual ~CWizardServices() = default;

    // "ProgramFilesDir" into `out` (kMaxPath wide characters); false when it
    // cannot be read.
    virtual bool ReadProgramFilesDir(wchar_t* out);
    // The shell folder picker; true with the chosen folder in `out`
    // (kMaxPath wide characters).
    virtual bool BrowseForFolder(const char* title, wchar_t* out);

    enum class FreeSpace { Unavailable, Failed, Known };
    // Bytes free to the caller on the drive `root` ("X:\"), through
    // GetDiskFreeSpaceExW looked up in kernel32 at run time. Unavailable when
    // the system has no such function, Failed when it refused the root.
    virtual FreeSpace QueryFreeSpace(const wchar_t* root, std::uint64_t* bytesFree);

    // False once the program must end: the running flag of the calling
    // thread's application (true on a thread without one).
    virtual bool IsRunning();
};

// FolderRefused: only an unattended run, which has no page to go back to,
// ends so.
enum class WizardResult { Cancelled, Install, FolderRefused };

enum class FolderCheck { kAccepted, kNoDriveRoot, kNoSuchDrive, kTooLittleSpace };

// What a final install folder must pass before anything is installed there:
// a drive root ("X:\"), and room for the installation on that drive where
// the system can tell. The folder and the free space found are logged.
FolderCheck CheckInstallFolder(const char16_t* folder, CWizardServices& services);

// The pages' font (their FONT statement) for a display of `dc`'s resolution.
LOGFONTW WizardPageFont(HDC dc);

// Makes the pages' font and measures some of their characters on a worker.
// The first text a process draws costs the system its font set-up (the more
// for a Japanese face and its substitutes); begun at the program's start,
// that work overlaps the start-up checks and the making of the main window
// instead of delaying the first page. The font is kept until destruction,
// so that the pages find it made.
class CPageFontWarmUp : public CThread {
public:
    ~CPageFontWarmUp() override;
    // Starts the worker; false when none could be started (the pages then
    // make the font themselves, as without this).
    bool Begin() { return Start(); }

private:
    void Run() override;

    unique_hgdiobj font_;
};

// Page results, as the page dialogs end.
constexpr INT_PTR kPageCancelled = 0;
constexpr INT_PTR kPageForward = 1;
constexpr INT_PTR kPageBack = 2;

// Runs the pages from the resources of `instance`, owned by `owner`, on the
// calling thread until the user cancels (after confirming) or chooses to
// install. Once the services say the program must end it opens nothing more
// and ends as cancelled; each page and message box is recorded as the
// application's open dialog, so that the main thread can end it. On
// Install, `state.InstallFolder` holds the final folder (with room for every
// installed file's path) on a drive with enough free space. A folder that
// code page 932 cannot hold (the game's code page) is taken only after the
// user said Yes to the question about it on page 3.
WizardResult RunSetupWizard(HINSTANCE instance, HWND owner, InstallerStateData& state,
                            CWizardServices& services);
