#include "framework/system/elevation_rules.h"

bool NeedsElevatedRelaunch(bool needsAdministrator, bool elevated, bool elevationAvailable) {
    return needsAdministrator && !elevated && elevationAvailable;
}

StartAction ChooseStartAction(bool installed, bool elevated, bool elevationAvailable) {
    if (installed) return StartAction::StartGame;
    return NeedsElevatedRelaunch(true, elevated, elevationAvailable) ? StartAction::RelaunchElevated
                                                                      : StartAction::RunHere;
}

const char* CommandLineArguments(const char* commandLine) {
    // The system splits off the program name this way: up to the closing
    // quote when it starts with one, else up to the first blank. Quote and
    // blank are never the second byte of a double-byte character.
    const char* p = commandLine;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}
