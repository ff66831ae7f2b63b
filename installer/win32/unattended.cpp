#include "installer/win32/unattended.h"

#include <windows.h>

#include "framework/log/win32/run_log.h"
#include "framework/system/win32/path_utils.h"
#include "framework/system/win32/wide_text.h"
#include "installer/install_folder.h"

namespace {

const char16_t kDefaultBaseFolder[] = u"C:\\";

// Whether files can be made in `folder`, which is made first with the
// folders above it, as the first copy would make it.
bool CanWriteInto(const wchar_t* folder) {
    CreateDirectoryTree(folder);
    wchar_t probe[MAX_PATH];
    if (!GetTempFileNameW(folder, L"stp", 0, probe)) {
        const SystemError error{GetLastError()};
        CLogLine() << "refused: no file can be made in " << folder << ", " << error;
        return false;
    }
    DeleteFileW(probe);
    return true;
}

}  // namespace

void CUnattendedPrompts::BaseFolder(char16_t* out) {
    if (baseFolder_[0] != u'\0') {
        CopyWide(out, kMaxPath, baseFolder_);
        CLogLine() << "unattended: the base folder " << out;
        return;
    }
    // As page 3 offers it.
    if (!wizard_.ReadProgramFilesDir(AsWide(out))) CopyWide(out, kMaxPath, kDefaultBaseFolder);
    CLogLine() << "unattended: the default base folder " << out;
}

WizardResult CUnattendedPrompts::RunWizard() {
    char16_t base[kMaxPath];
    BaseFolder(base);
    char16_t folder[kMaxPath];
    if (FormInstallFolder(folder, kMaxPath, base) != FolderText::Formed) {
        CLogLine() << "refused: the install folder below " << base << " does not fit a path";
        return WizardResult::FolderRefused;
    }
    if (!FitsShiftJis(AsWide(folder))) {
        CLogLine() << "the folder holds characters that code page 932 cannot hold; it is taken "
                      "as the wizard takes it after its question, but the game may not start "
                      "from it";
    }
    CopyWide(state_.InstallFolder, folder);
    if (CheckInstallFolder(state_.InstallFolder, wizard_) != FolderCheck::kAccepted ||
        !CanWriteInto(AsWide(state_.InstallFolder)))
        return WizardResult::FolderRefused;
    for (bool& group : state_.GroupSelection) group = true;
    return WizardResult::Install;
}
