#include "uninstaller/uninstall_sequence.h"

#include <cstring>
#include <vector>

#include "framework/system/registry_keys.h"
#include "installer/install_folder.h"
#include "installer/installation_names.h"
#include "installer/installer_state.h"
#include "uninstaller/uninstall_texts.h"

namespace {

using namespace installation_name;

// The sequence's Shift-JIS texts and names in UTF-16. They are the
// program's own and valid; one that should not be comes out empty.
std::u16string Widen(const UninstallServices& s, const char* text) {
    std::u16string wide;
    s.text.Widen(text, &wide);
    return wide;
}

// A registry key of the game as the user reads it in a message:
// "HKEY_LOCAL_MACHINE\<key>".
std::u16string MachineKeyName(const UninstallServices& s, const char* format) {
    char key[kMaxPath];
    FormatText(key, sizeof key, format, kGameProgramFile);
    return u"HKEY_LOCAL_MACHINE\\" + Widen(s, key);
}

// The uninstaller's own file: left to the cleanup copy, never probed.
const char* SelfName() { return FileTable[1]; }

// Folder text for comparison: separators normalised, no trailing one,
// ASCII letters lower-case.
std::u16string ComparableFolder(std::u16string_view folder) {
    std::u16string text = NormalizeSeparators(folder);
    if (EndsWithSeparator(text)) text.pop_back();
    LowercaseAscii(&text);
    return text;
}

// The installed files' full paths, formed before anything is asked.
struct InstalledPaths {
    std::u16string path[kInstalledFileCount];
};

bool FormPaths(const UninstallServices& s, const std::u16string& folder, InstalledPaths* paths) {
    for (std::size_t i = 0; i < kInstalledFileCount; ++i) {
        char16_t path[kMaxPath];
        if (!FormInstalledFilePath(path, kMaxPath, folder, Widen(s, InstalledFileTable[i])))
            return false;
        paths->path[i] = path;
    }
    return true;
}

bool IsSelf(std::size_t index) { return std::strcmp(InstalledFileTable[index], SelfName()) == 0; }

UninstallResult Refuse(UninstallServices& s, UninstallResult result, const char* text) {
    s.prompts.ShowMessage(Widen(s, text), MessageIcon::kError);
    return result;
}

// Where the running uninstaller is, against what is registered.
UninstallResult CheckLocation(std::u16string_view modulePath, UninstallServices& s,
                              std::u16string* folder) {
    if (!FolderOfPath(folder, modulePath) || !FitsPath(*folder))
        return Refuse(s, UninstallResult::kNotInstalled, uninstall_text::kNotInstalled);
    std::u16string program;
    switch (s.registry.ReadAppPath(kGameProgramFile, &program)) {
    case AppPathRead::kFound:
        break;
    case AppPathRead::kMissing:
        return Refuse(s, UninstallResult::kNotInstalled, uninstall_text::kNotInstalled);
    case AppPathRead::kNotString:
    case AppPathRead::kTooLong:
        return Refuse(s, UninstallResult::kInvalidEntry, uninstall_text::kInvalidEntry);
    }
    const std::u16string normalized = NormalizeSeparators(program);
    std::u16string registered;
    if (!FitsPath(program) || !HasDriveRoot(normalized) || !FolderOfPath(&registered, normalized))
        return Refuse(s, UninstallResult::kInvalidEntry, uninstall_text::kInvalidEntry);
    if (!SameFolder(registered, *folder))
        return Refuse(s, UninstallResult::kNotInstalled, uninstall_text::kNotInstalled);
    if (!s.files.FolderExists(*folder))
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
        if (!s.prompts.RetryInUse(Widen(s, text))) return UninstallResult::kInUse;
    }
}

// "<folder>\<name><extension>", where name and extension are Shift-JIS.
std::u16string InFolder(const UninstallServices& s, const std::u16string& folder,
                        const char* name, const char* extension = "") {
    return folder + u'\\' + Widen(s, name) + Widen(s, extension);
}

// A link longer than a path can be was never made (setup bounds them too).
void RemoveLink(UninstallServices& s, const std::u16string& link,
                std::vector<std::u16string>* left) {
    if (FitsPath(link) && !s.files.RemoveFile(link)) left->push_back(link);
}

void RemoveLinks(UninstallServices& s, std::vector<std::u16string>* left) {
    std::u16string desktop;
    if (s.shell.DesktopFolder(&desktop))
        RemoveLink(s, InFolder(s, desktop, kDesktopLink, kLinkExtension), left);
    std::u16string programs;
    if (!s.shell.ProgramsFolder(&programs)) return;
    for (const char* relative : kMenuLinks)
        RemoveLink(s, InFolder(s, programs, relative, kLinkExtension), left);
    // The Start-menu folders go only when nothing else (another title of
    // the publisher) is in them.
    for (const char* menuFolder : {kGameMenuFolder, kMenuFolder}) {
        const std::u16string folder = InFolder(s, programs, menuFolder);
        if (FitsPath(folder)) s.files.RemoveEmptyFolder(folder);
    }
}

// The final message: what was left, else the folder kept for other files,
// else done.
void ShowOutcome(UninstallServices& s, const std::u16string& folder,
                 const std::vector<std::u16string>& left) {
    if (!left.empty()) {
        std::u16string text = Widen(s, uninstall_text::kLeftHeading) + u"\n";
        for (const std::u16string& item : left) text += u"\n" + item;
        s.prompts.ShowMessage(text, MessageIcon::kWarning);
    } else if (s.files.HoldsOtherThan(folder, Widen(s, SelfName()))) {
        std::u16string text = Widen(s, uninstall_text::kKeptFormat);
        const std::size_t at = text.find(u"%s");
        if (at != std::u16string::npos) text.replace(at, 2, folder);
        s.prompts.ShowMessage(text, MessageIcon::kInformation);
    } else {
        s.prompts.ShowMessage(Widen(s, uninstall_text::kDone), MessageIcon::kInformation);
    }
}

}  // namespace

bool FolderOfPath(std::u16string* out, std::u16string_view path) {
    const std::size_t separator = LastInnerSeparator(path);
    if (separator == std::u16string_view::npos) return false;
    out->assign(path.substr(0, separator));
    return true;
}

bool SameFolder(std::u16string_view a, std::u16string_view b) {
    return ComparableFolder(a) == ComparableFolder(b);
}

bool FolderNameIs(std::u16string_view folder, std::u16string_view name) {
    const std::u16string text = ComparableFolder(folder);
    std::u16string wanted(name);
    LowercaseAscii(&wanted);
    const std::size_t separator = LastInnerSeparator(text);
    return separator != std::u16string::npos && text.compare(separator + 1, std::u16string::npos,
                                                             wanted) == 0;
}

UninstallResult RunUninstall(std::u16string_view modulePath, UninstallServices& s) {
    std::u16string folder;
    const UninstallResult located = CheckLocation(modulePath, s, &folder);
    if (located != UninstallResult::kRemoved) return located;
    InstalledPaths paths;
    if (!FormPaths(s, folder, &paths))
        return Refuse(s, UninstallResult::kInvalidEntry, uninstall_text::kInvalidEntry);

    // There is something to remove: from here on administrator rights count.
    UninstallResult elsewhere = UninstallResult::kRemoved;
    if (!s.elevation.RunsHere(&elsewhere)) return elsewhere;
    if (!s.prompts.ConfirmRemoval()) return UninstallResult::kCancelled;
    const UninstallResult probed = WaitUntilNothingInUse(paths, s);
    if (probed != UninstallResult::kRemoved) return probed;

    // Links first, so the game cannot be started half removed; the
    // registration last, so an interrupted run can be started again.
    std::vector<std::u16string> left;
    RemoveLinks(s, &left);
    for (std::size_t i = 0; i < kInstalledFileCount; ++i) {
        if (!IsSelf(i) && !s.files.RemoveFile(paths.path[i]))
            left.push_back(Widen(s, InstalledFileTable[i]));
    }
    if (!s.registry.DeleteAppPath(kGameProgramFile))
        left.push_back(MachineKeyName(s, kAppPathsKeyFormat));
    if (!s.registry.DeleteUninstallEntry(kGameProgramFile))
        left.push_back(MachineKeyName(s, kUninstallKeyFormat));
    const bool selfRemoval = s.files.PrepareSelfRemoval(folder);
    if (!selfRemoval) left.push_back(Widen(s, SelfName()));

    ShowOutcome(s, folder, left);
    if (selfRemoval) s.files.StartSelfRemoval();
    return left.empty() ? UninstallResult::kRemoved : UninstallResult::kIncomplete;
}
