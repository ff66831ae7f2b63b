#include "installer/setup_command.h"

#include <string>
#include <vector>

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c; }

// The arguments after the program's name, which the system splits off so:
// up to the closing quote when it starts with one, else up to a blank.
const char16_t* Arguments(const char16_t* p) {
    if (*p == u'"') {
        ++p;
        while (*p != u'\0' && *p != u'"') ++p;
        if (*p == u'"') ++p;
    } else {
        while (*p != u'\0' && !IsBlank(*p)) ++p;
    }
    return p;
}

// Splits at blanks outside double quotes and drops the quotes.
std::vector<std::u16string> Words(const char16_t* p) {
    std::vector<std::u16string> words;
    std::u16string word;
    bool inWord = false;
    bool quoted = false;
    for (; *p != u'\0'; ++p) {
        if (*p == u'"') {
            quoted = !quoted;
            inWord = true;
        } else if (IsBlank(*p) && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += *p;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

// Whether `word` starts with `prefix` (lower-case ASCII) in any case.
bool StartsWith(const std::u16string& word, const char16_t* prefix) {
    std::size_t i = 0;
    for (; prefix[i] != u'\0'; ++i) {
        if (i >= word.size() || LowerAscii(word[i]) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

SetupCommand ParseSetupCommand(const char16_t* commandLine) {
    SetupCommand command;
    bool quiet = false;
    bool folderGiven = false;
    const SetupCommand invalid{SetupMode::kInvalid, {}};
    for (const std::u16string& word : Words(Arguments(commandLine ? commandLine : u""))) {
        if (word.size() == 2 && StartsWith(word, u"/s")) {
            quiet = true;
        } else if (StartsWith(word, u"/d=")) {
            const std::u16string folder = word.substr(3);
            if (folderGiven || folder.empty() || folder.size() >= kMaxPath) return invalid;
            folder.copy(command.folder, folder.size());
            command.folder[folder.size()] = u'\0';
            folderGiven = true;
        } else {
            return invalid;
        }
    }
    if (folderGiven && !quiet) return invalid;
    command.mode = quiet ? SetupMode::kUnattended : SetupMode::kInteractive;
    return command;
}

int UnattendedExitCode(SetupOutcome outcome) {
    return outcome == SetupOutcome::kGameStarted ? 0 : static_cast<int>(outcome);
}

const char* SetupOutcomeText(SetupOutcome outcome) {
    switch (outcome) {
    case SetupOutcome::kInstalled: return "installed";
    case SetupOutcome::kCancelled: return "cancelled";
    case SetupOutcome::kDiscMissing: return "a disc was not found";
    case SetupOutcome::kFolderRefused: return "the folder was refused";
    case SetupOutcome::kCopyFailed: return "a copy failed";
    case SetupOutcome::kRegistrationIncomplete: return "installed, registration incomplete";
    case SetupOutcome::kAlreadyRunning: return "another setup is running";
    case SetupOutcome::kBadArguments: return "malformed arguments";
    case SetupOutcome::kGameStarted: return "the installed game was started";
    }
    return "unknown";
}
