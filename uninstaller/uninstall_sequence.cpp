#include "uninstaller/uninstall_sequence.h"

#include <cstring>
#include <string>
#include <vector>

#include "framework/system/registry_keys.h"
#include "installer/install_folder.h"
#include "installer/installation_names.h"
#include "installer/installer_state.h"
#include "uninstaller/uninstall_texts.h"

namespace {

using namespace installation_name;

// A registry key of the game as the user reads it in a message:
// "HKEY_LOCAL_MACHINE\<key>".
std::string MachineKeyName(const char* format) {
    char key[kMaxPath];
    FormatText(key, sizeof key, format, kGameProgramFile);
    return std::string("HKEY_LOCAL_MACHINE\\") + key;
}

// The uninstaller's own file: left to the cleanup copy, never probed.
const char* SelfName() { return FileTable[1]; }

// Folder text for comparison: separators normalised, no trailing one,
// ASCII letters lower-case.
bool ComparableFolder(char* out, std::size_t cap, const char* folder,
                      const LeadByteTable& lead) {
    if (!NormalizeSeparators(out, cap, folder, lead)) return false;
    if (EndsWithSeparator(out, lead)) out[std::strlen(out) - 1] = '\0';
    LowercaseAscii(out, lead);
    return true;
}

// The installed files' full paths, formed before anything is asked.
struct InstalledPaths {
    char path[kInstalledFileCount][kMaxPath];
};

bool FormPaths(const char* folder, InstalledPaths* paths) {
    for (std::size_t i = 0; i < kInstalledFileCount; ++i) {
        if (!FormInstalledFilePath(paths->path[i], kMaxPath, folder, InstalledFileTable[i]))
            return false;
    }
    return true;
}

bool IsSelf(std::size_t index) { return std::strcmp(InstalledFileTable[index], SelfName()) == 0; }

UninstallResult Refuse(UninstallServices& s, UninstallResult result, const char* text) {
    s.prompts.ShowMessage(text, MessageIcon::kError);
    return result;
}

// Where the running uninstaller is, against what is registered.
UninstallResult CheckLocation(const char* modulePath, const LeadByteTable& lead,
                              UninstallServices& s, char* folder) {
    if (!FolderOfPath(folder, kMaxPath, modulePath, lead))
        return Refuse(s, UninstallResult::kNotInstalled, uninstall_text::kNotInstalled);
    char program[kMaxPath] = {};
    switch (s.registry.ReadAppPath(kGameProgramFile, program)) {
    case AppPathRead::kFound:
        break;
    case AppPathRead::kMissing:
        return Refuse(s, UninstallResult::kNotInstalled, uninstall_text::kNotInstalled);
    case AppPathRead::kNotString:
    case AppPathRead::kTooLong:
        return Refuse(s, UninstallResult::kInvalidEntry, uninstall_text::kInvalidEntry);
    }
    char normalized[kMaxPath] = {};
    char registered[kMaxPath] = {};
    if (!NormalizeSeparators(normalized, sizeof normalized, program, lead) ||
        !HasDriveRoot(normalized) ||
        !FolderOfPath(registered, sizeof registered, normalized, lead))
        return Refuse(s, UninstallResult::kInvalidEntry, uninstall_text::kInvalidEntry);
    if (!SameFolder(registered, folder, lead))
        return Refuse(s, UninstallResult::kNotInstalled, uninstall_text::kNotInstalled);
    if (!s.files.FolderExists(folder))
        return Refuse(s, UninstallResult::kInvalidEntry, uninstall_text::kInvalidEntry);
    return UninstallResult::kRemoved;
}

// Every installed file must be removable before the first is removed, so a
// running game never leaves a half-removed installation. kRemoved when all
// are; kInUse when the user gave up; kNoRights at once for a file this user
// may not remove, which no retry would change.
UninstallResult WaitUntilNothingInUse(const InstalledPaths& paths, UninstallServices& s) {
    for (;;) {
        std::size_t busy = kInstalledFileCount;
        for (std::size_t i = 0; i < kInstalledFileCount; ++i) {
            if (IsSelf(i)) continue;
            const FileState state = s.files.Probe(paths.path[i]);
            if (state == FileState::kNoAccess)
                return Refuse(s, UninstallResult::kNoRights, uninstall_text::kNoRights);
            if (state == FileState::kInUse && busy == kInstalledFileCount) busy = i;
        }
        if (busy == kInstalledFileCount) return UninstallResult::kRemoved;
        char text[512];
        FormatText(text, sizeof text, uninstall_text::kInUseFormat, InstalledFileTable[busy]);
        if (!s.prompts.RetryInUse(text)) return UninstallResult::kInUse;
    }
}

void RemoveLinks(UninstallServices& s, std::vector<std::string>* left) {
    char desktop[kMaxPath] = {};
    char link[kMaxPath];
    if (s.shell.DesktopFolder(desktop) &&
        FormatText(link, sizeof link, "%s\\%s%s", desktop, kDesktopLink, kLinkExtension) &&
        !s.files.RemoveFile(link))
        left->push_back(link);

    char programs[kMaxPath] = {};
    if (!s.shell.ProgramsFolder(programs)) return;
    for (const char* relative : kMenuLinks) {
        if (FormatText(link, sizeof link, "%s\\%s%s", programs, relative, kLinkExtension) &&
            !s.files.RemoveFile(link))
            left->push_back(link);
    }
    // The Start-menu folders go only when nothing else (another title of
    // the publisher) is in them.
    char folder[kMaxPath];
    if (FormatText(folder, sizeof folder, "%s\\%s", programs, kGameMenuFolder))
        s.files.RemoveEmptyFolder(folder);
    if (FormatText(folder, sizeof folder, "%s\\%s", programs, kMenuFolder))
        s.files.RemoveEmptyFolder(folder);
}

}  // namespace

bool FolderOfPath(char* out, std::size_t cap, const char* path, const LeadByteTable& lead) {
    const char* separator = LastInnerSeparator(path, lead);
    if (separator == nullptr) return false;
    return CopyText(out, cap, path, static_cast<std::size_t>(separator - path));
}

bool SameFolder(const char* a, const char* b, const LeadByteTable& lead) {
    char left[kMaxPath];
    char right[kMaxPath];
    return ComparableFolder(left, sizeof left, a, lead) &&
           ComparableFolder(right, sizeof right, b, lead) && std::strcmp(left, right) == 0;
}

bool FolderNameIs(const char* folder, const char* name, const LeadByteTable& lead) {
    char text[kMaxPath];
    char wanted[kMaxPath];
    if (!ComparableFolder(text, sizeof text, folder, lead) ||
        !CopyText(wanted, sizeof wanted, name))
        return false;
    LowercaseAscii(wanted, lead);
    const char* separator = LastInnerSeparator(text, lead);
    return separator != nullptr && std::strcmp(separator + 1, wanted) == 0;
}

UninstallResult RunUninstall(const char* modulePath, const LeadByteTable& lead,
                             UninstallServices& s) {
    char folder[kMaxPath] = {};
    const UninstallResult located = CheckLocation(modulePath, lead, s, folder);
    if (located != UninstallResult::kRemoved) return located;
    InstalledPaths paths;
    if (!FormPaths(folder, &paths))
        return Refuse(s, UninstallResult::kInvalidEntry, uninstall_text::kInvalidEntry);

    // There is something to remove: from here on administrator rights count.
    UninstallResult elsewhere = UninstallResult::kRemoved;
    if (!s.elevation.RunsHere(&elsewhere)) return elsewhere;
    if (!s.prompts.ConfirmRemoval()) return UninstallResult::kCancelled;
    const UninstallResult probed = WaitUntilNothingInUse(paths, s);
    if (probed != UninstallResult::kRemoved) return probed;

    // Links first, so the game cannot be started half removed; the
    // registration last, so an interrupted run can be started again.
    std::vector<std::string> left;
    RemoveLinks(s, &left);
    for (std::size_t i = 0; i < kInstalledFileCount; ++i) {
        if (!IsSelf(i) && !s.files.RemoveFile(paths.path[i]))
            left.push_back(InstalledFileTable[i]);
    }
    if (!s.registry.DeleteAppPath(kGameProgramFile))
        left.push_back(MachineKeyName(kAppPathsKeyFormat));
    if (!s.registry.DeleteUninstallEntry(kGameProgramFile))
        left.push_back(MachineKeyName(kUninstallKeyFormat));
    const bool selfRemoval = s.files.PrepareSelfRemoval(folder);
    if (!selfRemoval) left.push_back(SelfName());

    UninstallResult result = UninstallResult::kRemoved;
    if (!left.empty()) {
        std::string text = uninstall_text::kLeftHeading;
        text += "\n";
        for (const std::string& item : left) text += "\n" + item;
        s.prompts.ShowMessage(text.c_str(), MessageIcon::kWarning);
        result = UninstallResult::kIncomplete;
    } else if (s.files.HoldsOtherThan(folder, SelfName())) {
        char text[1024];
        FormatText(text, sizeof text, uninstall_text::kKeptFormat, folder);
        s.prompts.ShowMessage(text, MessageIcon::kInformation);
    } else {
        s.prompts.ShowMessage(uninstall_text::kDone, MessageIcon::kInformation);
    }
    if (selfRemoval) s.files.StartSelfRemoval();
    return result;
}
