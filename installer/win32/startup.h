// Start-up checks run by the entry point before anything else.
#pragma once

// Keeps the installer to one instance, finds the installation disc and makes
// its root the current directory, and starts the installed game when it is
// registered and present. True when the installer is to run; false when the
// process is to end at once (another installer runs, or the game started).
// A game that the system refuses to start counts as not installed, so a
// new installation can repair it.
// The instance guard stays held until EndStartup.
bool RunStartupChecks();

// Releases the instance guard. The entry point calls it last on every path.
void EndStartup();

// Looks at the drives C: to Z: in order for "data\data\UnInstall.exe"; the
// first that has it wins: SourceRoot becomes "X:\", DataPath "X:\data\data",
// and the root the current directory. False, and nothing changed, when no
// drive has the disc.
bool FindInstallDisc();

// The same walk for any file of "data\data": the first drive from C: to Z:
// with a volume and the file becomes the source, as above. Used by the
// install sequence when it asks for a further disc.
bool FindDiscHolding(const char* fileName);
