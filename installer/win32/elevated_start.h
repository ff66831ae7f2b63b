// Where the installation runs once the start-up checks have passed.
#pragma once

// True when the installer is to run in this process. False when an elevated
// copy of setup has taken over (this process ends and releases its instance
// guard as usual), or when the user declined elevation, which ends setup
// quietly, as Cancel does. When no elevated copy can be started, setup
// installs as the invoking user.
bool InstallerRunsHere();
