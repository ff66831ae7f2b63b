// Entry point of setup.exe.
#include <windows.h>

#include "framework/app/win32/app_instance.h"
#include "framework/app/win32/application.h"
#include "framework/log/win32/run_log.h"
#include "framework/system/win32/dll_search.h"
#include "framework/system/win32/wide_text.h"
#include "installer/setup_command.h"
#include "installer/win32/elevated_start.h"
#include "installer/win32/installer_app.h"
#include "installer/win32/installer_screen.h"
#include "installer/win32/setup_wizard.h"
#include "installer/win32/startup.h"

namespace {

// The installer's window and its two threads, when the installer runs in
// this process; otherwise the exit code of its elevated copy.
int RunInstaller(const SetupCommand& command) {
    int copyCode = 0;
    if (!InstallerRunsHere(command.mode == SetupMode::kUnattended, &copyCode)) return copyCode;
    // The drive reads the screen's first pictures while the window is being
    // made.
    CScreenPictures pictures;
    pictures.Begin();
    CInstallerApp app(&pictures, &command);
    app.Initialize();
    ++MessageLoopCount;
    RunMessageLoop();
    --MessageLoopCount;
    CLogLine() << "the installation ended: " << SetupOutcomeText(app.Outcome());
    return UnattendedExitCode(app.Outcome());
}

// Everything after the command line; the exit code an unattended run has.
int RunSetup(const SetupCommand& command) {
    switch (RunStartupChecks(command.mode == SetupMode::kUnattended)) {
        case StartupResult::kAlreadyRunning:
            return UnattendedExitCode(SetupOutcome::kAlreadyRunning);
        case StartupResult::kGameStarted:
            return UnattendedExitCode(SetupOutcome::kGameStarted);
        case StartupResult::kRunInstaller:
            break;
    }
    return RunInstaller(command);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand) {
    // Before anything can load a DLL by name: never from the program's folder
    // (a download folder may hold planted ones) or the current folder.
    RestrictDllSearch();

    // The drive scan asks every drive for its volume; an empty CD drive must
    // answer "no" rather than raise the system's "no disk" box.
    SetErrorMode(SEM_FAILCRITICALERRORS);

    // A malformed argument ends setup before it writes anything, its log
    // included.
    const SetupCommand command =
        ParseSetupCommand(AsUtf16(GetCommandLineW()));
    if (command.mode == SetupMode::kInvalid) return UnattendedExitCode(SetupOutcome::kBadArguments);
    const bool unattended = command.mode == SetupMode::kUnattended;

    // The system's graphics and font set-up for the wizard runs beside the
    // start-up checks and the making of the window.
    CPageFontWarmUp pageFont;
    if (!unattended) pageFont.Begin();

    CAppInstance appInstance(instance, previousInstance, commandLine, showCommand);
    const int exitCode = RunSetup(command);
    // An unattended run's caller learns the outcome; the wizard's run ends
    // with 0 whatever happened.
    const int returned = unattended ? exitCode : 0;
    CLogLine() << "setup ends with exit code " << returned;
    TheRunLog().Close();
    EndStartup();
    return returned;
}
