#include "uninstaller/uninstall_command.h"

#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <string>
#include <vector>

#include "installer/installer_state.h"
#include "uninstaller/uninstall_sequence.h"

namespace {

const char kQuietSwitch[] = "/s";
const char kCleanupSwitch[] = "/cleanup";

// Splits at spaces outside double quotes; the quotes are dropped. Walks
// whole characters, so no second byte is taken for a space or a quote.
std::vector<std::string> Words(const char* s, const LeadByteTable& lead) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    while (*s) {
        std::size_t n = CharLength(s, lead);
        if (n == 1 && *s == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (n == 1 && (*s == ' ' || *s == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word.append(s, n);
            inWord = true;
        }
        s += n;
    }
    if (inWord) words.push_back(word);
    return words;
}

bool IsSwitch(const std::string& word, const char* name, const LeadByteTable& lead) {
    std::string lower = word;
    LowercaseAscii(&lower[0], lead);
    return lower == name;
}

bool ParseHandle(const std::string& word, std::uint64_t* value) {
    if (word.empty() || word.size() > 20) return false;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
    }
    char* end = nullptr;
    errno = 0;
    *value = std::strtoull(word.c_str(), &end, 10);
    return errno != ERANGE && end && *end == '\0' && *value != 0;
}

}  // namespace

UninstallCommand ParseUninstallCommand(const char* arguments, const LeadByteTable& lead) {
    UninstallCommand command;
    const std::vector<std::string> words = Words(arguments ? arguments : "", lead);
    if (!words.empty() && IsSwitch(words[0], kCleanupSwitch, lead)) {
        command.mode = UninstallMode::kInvalid;
        if (words.size() == 3 && ParseHandle(words[1], &command.waitHandle) &&
            !words[2].empty() && CopyText(command.folder, words[2].c_str())) {
            command.mode = UninstallMode::kCleanup;
        }
        return command;
    }
    for (const std::string& word : words) {
        if (IsSwitch(word, kQuietSwitch, lead)) command.mode = UninstallMode::kQuiet;
    }
    return command;
}

bool RunsAsCleanupCopy(const char* modulePath, const char* tempFolder,
                       const char* installFolder, const LeadByteTable& lead) {
    char folder[kMaxPath];
    return FolderOfPath(folder, sizeof folder, modulePath, lead) &&
           SameFolder(folder, tempFolder, lead) && !SameFolder(folder, installFolder, lead);
}

bool IsInstalledUninstaller(const char* imagePath, const char* installFolder,
                            const LeadByteTable& lead) {
    char folder[kMaxPath];
    return FolderOfPath(folder, sizeof folder, imagePath, lead) &&
           SameFolder(folder, installFolder, lead) && FolderNameIs(imagePath, FileTable[1], lead);
}

bool FormatCleanupArguments(char* out, std::size_t cap, std::uint64_t waitHandle,
                            const char* folder) {
    return FormatText(out, cap, "%s %" PRIu64 " \"%s\"", kCleanupSwitch, waitHandle, folder);
}
