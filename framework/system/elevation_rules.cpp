#include "framework/system/elevation_rules.h"

bool NeedsElevatedRelaunch(bool needsAdministrator, bool elevated, bool elevationAvailable) {
    return needsAdministrator && !elevated && elevationAvailable;
}

StartAction ChooseStartAction(bool installed, bool elevated, bool elevationAvailable) {
    if (installed) return StartAction::StartGame;
    return NeedsElevatedRelaunch(true, elevated, elevationAvailable) ? StartAction::RelaunchElevated
                                                                      : StartAction::RunHere;
}

const char16_t* CommandLineArguments(const char16_t* commandLine) {
    // The system splits off the program name this way: up to the closing
    // quote when it starts with one, else up to the first blank.
    const char16_t* p = commandLine;
    if (*p == u'"') {
        ++p;
        while (*p != u'\0' && *p != u'"') ++p;
        if (*p == u'"') ++p;
    } else {
        while (*p != u'\0' && *p != u' ' && *p != u'\t') ++p;
    }
    while (*p == u' ' || *p == u'\t') ++p;
    return p;
}
