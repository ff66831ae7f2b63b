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

std::vector<std::u16string> CommandLineWords(std::u16string_view arguments) {
    std::vector<std::u16string> words;
    std::u16string word;
    bool inWord = false;
    bool quoted = false;
    for (char16_t c : arguments) {
        if (c == u'"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == u' ' || c == u'\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word.push_back(c);
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}
