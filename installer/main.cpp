// Entry point of setup.exe.
#include <windows.h>

#include "framework/app/app_instance.h"
#include "framework/app/application.h"
#include "installer/installer_app.h"
#include "installer/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand) {
    // The drive scan asks every drive for its volume; an empty CD drive must
    // answer "no" rather than raise the system's "no disk" box.
    SetErrorMode(SEM_FAILCRITICALERRORS);

    CAppInstance appInstance(instance, previousInstance, commandLine, showCommand);
    if (RunStartupChecks()) {
        CInstallerApp app;
        app.Initialize();
        ++MessageLoopCount;
        RunMessageLoop();
        --MessageLoopCount;
    }
    EndStartup();
    return 0;
}
