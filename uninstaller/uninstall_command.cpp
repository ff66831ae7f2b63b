#include "uninstaller/uninstall_command.h"

#include <vector>

#include "framework/system/elevation_rules.h"
#include "installer/installer_state.h"
#include "uninstaller/uninstall_sequence.h"

namespace {

const char16_t kQuietSwitch[] = u"/s";
const char16_t kCleanupSwitch[] = u"/cleanup";

bool IsSwitch(std::u16string word, const char16_t* name) {
    LowercaseAscii(&word);
    return word == name;
}

// A decimal number from 1 to 2^64 - 1.
bool ParseHandle(const std::u16string& word, std::uint64_t* value) {
    if (word.empty() || word.size() > 20) return false;
    std::uint64_t number = 0;
    for (char16_t c : word) {
        if (c < u'0' || c > u'9') return false;
        const unsigned digit = static_cast<unsigned>(c - u'0');
        if (number > (UINT64_MAX - digit) / 10) return false;
        number = number * 10 + digit;
    }
    *value = number;
    return number != 0;
}

}  // namespace

UninstallCommand ParseUninstallCommand(std::u16string_view arguments) {
    UninstallCommand command;
    const std::vector<std::u16string> words = CommandLineWords(arguments);
    if (!words.empty() && IsSwitch(words[0], kCleanupSwitch)) {
        command.mode = UninstallMode::kInvalid;
        if (words.size() == 3 && ParseHandle(words[1], &command.waitHandle) &&
            !words[2].empty() && FitsPath(words[2])) {
            command.folder = words[2];
            command.mode = UninstallMode::kCleanup;
        }
        return command;
    }
    for (const std::u16string& word : words) {
        if (IsSwitch(word, kQuietSwitch)) command.mode = UninstallMode::kQuiet;
    }
    return command;
}

bool RunsAsCleanupCopy(std::u16string_view modulePath, std::u16string_view tempFolder,
                       std::u16string_view installFolder) {
    std::u16string folder;
    return FolderOfPath(&folder, modulePath) && SameFolder(folder, tempFolder) &&
           !SameFolder(folder, installFolder);
}

bool IsInstalledUninstaller(std::u16string_view imagePath, std::u16string_view installFolder) {
    std::u16string folder;
    std::u16string name;
    // The uninstaller's file name is ASCII, the same in every code page.
    return FolderOfPath(&folder, imagePath) && SameFolder(folder, installFolder) &&
           WidenAscii(FileTable[1], &name) && FolderNameIs(imagePath, name);
}

std::u16string FormatCleanupArguments(std::uint64_t waitHandle, std::u16string_view folder) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + waitHandle % 10));
        waitHandle /= 10;
    } while (waitHandle != 0);
    return std::u16string(kCleanupSwitch) + u' ' + digits + u" \"" + std::u16string(folder) +
           u'"';
}
