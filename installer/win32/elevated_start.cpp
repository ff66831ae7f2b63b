#include "installer/win32/elevated_start.h"

#include "framework/system/win32/elevation.h"
#include "framework/system/elevation_rules.h"

bool InstallerRunsHere() {
    ElevationState state = QueryElevation();
    // The start-up checks have already started an installed game.
    if (ChooseStartAction(false, state.elevated, state.available) !=
        StartAction::RelaunchElevated) {
        return true;
    }
    switch (RelaunchElevated()) {
        case RelaunchResult::HandedOver: return false;
        case RelaunchResult::Declined: return false;
        case RelaunchResult::Failed: return true;
    }
    return true;
}
