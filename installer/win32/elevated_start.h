// Where the installation runs once the start-up checks have passed.
#pragma once

// True when the installer is to run in this process: it runs elevated, the
// system has no elevation, or no elevated copy could be started (setup then
// installs as the invoking user). False when an elevated copy of setup has
// taken over, or when the user declined elevation, which ends setup as
// Cancel does; `*exitCode` is then this process's exit code as an
// unattended run has it. An unattended run (`unattended`) waits for its
// elevated copy and ends with the copy's exit code; the wizard's run ends at
// once, leaving the rest to the copy.
bool InstallerRunsHere(bool unattended, int* exitCode);
