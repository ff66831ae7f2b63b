#include "installer/setup_command.h"

#include <string>
#include <string_view>

#include "framework/system/elevation_rules.h"
#include "framework/system/wide_path_text.h"

namespace {

// Whether `word` starts with `prefix` (lower-case ASCII) in any ASCII case.
bool StartsWith(std::u16string word, std::u16string_view prefix) {
    LowercaseAscii(&word);
    return word.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

SetupCommand ParseSetupCommand(const char16_t* commandLine) {
    SetupCommand command;
    bool quiet = false;
    bool folderGiven = false;
    const SetupCommand invalid{SetupMode::kInvalid, {}};
    for (const std::u16string& word :
         CommandLineWords(CommandLineArguments(commandLine ? commandLine : u""))) {
        if (word.size() == 2 && StartsWith(word, u"/s")) {
            quiet = true;
        } else if (StartsWith(word, u"/d=")) {
            const std::u16string folder = word.substr(3);
            if (folderGiven || folder.empty() || !CopyWide(command.folder, folder)) return invalid;
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
