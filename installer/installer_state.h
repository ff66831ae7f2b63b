// Process-wide values of the installer. Written on the main thread before
// the application thread exists, afterwards only on the application thread,
// so they need no lock.
#pragma once

#include <cstddef>

constexpr std::size_t kGroupCount = 9;
constexpr std::size_t kFileCount = 15;
constexpr std::size_t kFileNameField = 261;

struct InstallerStateData {
    // Root of the drive holding the disc in use ("X:\"), empty when unknown.
    // Formed by the program from a drive letter: ASCII, like DataPath.
    char SourceRoot[260];
    // Folder of the data files on the disc ("X:\data\data" once found, else
    // the relative "data\data"). Joined with the Shift-JIS names of
    // FileTable, it names the disc's files.
    char DataPath[260];
    // Target folder, "<base>\Vintal\Sorvane" once the wizard has run, in
    // UTF-16 as the user chose it: 259 characters at most.
    char16_t InstallFolder[260];
    // One flag per data-group check box of the wizard.
    bool GroupSelection[kGroupCount];
};

extern InstallerStateData InstallerState;

// The installable files, in install order; the index is what the install
// sequence and the disc requests use.
extern const char FileTable[kFileCount][kFileNameField];

// The files an installation leaves in the install folder: the whole files
// of FileTable and the two files joined from their parts. The setup program
// copies and joins them; the uninstaller removes exactly these.
constexpr std::size_t kInstalledFileCount = 11;
extern const char InstalledFileTable[kInstalledFileCount][kFileNameField];

// The file whose presence in "data\data" marks the installation disc.
extern const char kDiscMarkerFile[];
// The game's program file, the name it is registered under.
extern const char kGameProgramFile[];

// Puts the values back to their start-of-process state.
void ResetInstallerState();
