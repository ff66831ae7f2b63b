// Start-up checks run by the entry point before anything else.
#pragma once

class CSingleInstanceGuard;

enum class StartupResult {
    kRunInstaller,    // the installer is to run
    kAlreadyRunning,  // another installer runs: the process ends at once
    kGameStarted,     // the installed game was started: the process ends at once
};

// Keeps the installer to one instance, finds the installation disc and makes
// its root the current directory, and starts the installed game when it is
// registered and present; an unattended run (`unattended`) installs again
// over it instead. A game that the system refuses to start counts as not
// installed, so a new installation can repair it.
// Once the instance is this process's, the run's log is begun in the user's
// temporary folder (continued when the instance was handed over by the
// process that started this one elevated) and the checks are logged.
// The instance guard stays held until EndStartup.
StartupResult RunStartupChecks(bool unattended);

// Releases the instance guard. The entry point calls it last on every path.
void EndStartup();

// The instance guard of the process.
CSingleInstanceGuard& SetupInstanceGuard();

// Looks at the drives C: to Z: in order for "data\data\UnInstall.exe"; the
// first that has it wins: SourceRoot becomes "X:\", DataPath "X:\data\data",
// and the root the current directory. False, and nothing changed, when no
// drive has the disc.
bool FindInstallDisc();

// The same walk for any file of "data\data": the first drive from C: to Z:
// with a volume and the file becomes the source, as above. Used by the
// install sequence when it asks for a further disc. Each drive there is is
// logged with its type and what was found on it.
bool FindDiscHolding(const char* fileName);
