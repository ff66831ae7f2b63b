#include "installer/installer_state.h"

#include <cstring>

#include "framework/system/wide_path_text.h"

InstallerStateData InstallerState = {"", "data\\data", u"C:\\Vintal", {}};

const char FileTable[kFileCount][kFileNameField] = {
    "Sorvane.exe", "UnInstall.exe", "bg.dat",  "extra.dat", "obj.dat",
    "cg.001",      "cg.002",        "cg.003",  "cg.004",    "bgm.dat",
    "se.dat",      "voice.dat",     "scr.dat", "sc.001",    "sc.002",
};

const char InstalledFileTable[kInstalledFileCount][kFileNameField] = {
    "Sorvane.exe", "UnInstall.exe", "bg.dat", "extra.dat", "obj.dat", "cg.dat",
    "bgm.dat",     "se.dat",        "voice.dat", "scr.dat", "sc.dat",
};

const char kDiscMarkerFile[] = "UnInstall.exe";
const char kGameProgramFile[] = "Sorvane.exe";

void ResetInstallerState() {
    std::memset(&InstallerState, 0, sizeof InstallerState);
    std::strcpy(InstallerState.DataPath, "data\\data");
    CopyWide(InstallerState.InstallFolder, u"C:\\Vintal");
}
