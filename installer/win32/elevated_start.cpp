#include "installer/win32/elevated_start.h"

#include "framework/log/win32/run_log.h"
#include "framework/system/elevation_rules.h"
#include "framework/system/win32/elevation.h"
#include "installer/setup_command.h"
#include "installer/win32/startup.h"

bool InstallerRunsHere(bool unattended, int* exitCode) {
    *exitCode = UnattendedExitCode(SetupOutcome::kInstalled);
    ElevationState state = QueryElevation();
    // The start-up checks have already started an installed game.
    if (ChooseStartAction(false, state.elevated, state.available) !=
        StartAction::RelaunchElevated) {
        return true;
    }
    CLogLine() << "installing needs administrator rights: setup starts itself again elevated";
    DWORD copyCode = 0;
    const RelaunchResult result =
        unattended ? RunInElevatedCopy(SetupInstanceGuard(),
                                       UnattendedExitCode(SetupOutcome::kAlreadyRunning),
                                       &copyCode)
                   : RelaunchElevated();
    const SystemError error{GetLastError()};
    switch (result) {
        case RelaunchResult::HandedOver: {
            CLogLine line;
            line << "the elevated copy took over";
            if (unattended) line << " and ended with exit code " << copyCode;
            *exitCode = static_cast<int>(copyCode);
            return false;
        }
        case RelaunchResult::Declined:
            CLogLine() << "the user declined elevation";
            *exitCode = UnattendedExitCode(SetupOutcome::kCancelled);
            return false;
        case RelaunchResult::Failed:
            CLogLine() << "no elevated copy could be started, " << error
                       << "; setup installs as this user";
            return true;
    }
    return true;
}
