// Entry point of setup.exe.
#include <windows.h>

#include "framework/app/win32/app_instance.h"
#include "framework/app/win32/application.h"
#include "framework/system/win32/dll_search.h"
#include "installer/win32/elevated_start.h"
#include "installer/win32/installer_app.h"
#include "installer/win32/installer_screen.h"
#include "installer/win32/setup_wizard.h"
#include "installer/win32/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand) {
    // Before anything can load a DLL by name: never from the program's folder
    // (a download folder may hold planted ones) or the current folder.
    RestrictDllSearch();

    // The drive scan asks every drive for its volume; an empty CD drive must
    // answer "no" rather than raise the system's "no disk" box.
    SetErrorMode(SEM_FAILCRITICALERRORS);

    // The system's graphics and font set-up for the wizard runs beside the
    // start-up checks and the making of the window.
    CPageFontWarmUp pageFont;
    pageFont.Begin();

    CAppInstance appInstance(instance, previousInstance, commandLine, showCommand);
    if (RunStartupChecks() && InstallerRunsHere()) {
        // The drive reads the screen's first pictures while the window is
        // being made.
        CScreenPictures pictures;
        pictures.Begin();
        CInstallerApp app(&pictures);
        app.Initialize();
        ++MessageLoopCount;
        RunMessageLoop();
        --MessageLoopCount;
    }
    EndStartup();
    return 0;
}
