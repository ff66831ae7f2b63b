#include "installer/win32/unattended.h"

#include <windows.h>

#include "framework/log/win32/run_log.h"
#include "framework/system/win32/path_utils.h"
#include "installer/install_folder.h"

namespace {

const char kDefaultBaseFolder[] = "C:\\";

// Whether files can be made in `folder`, which is made first with the
// folders above it, as the first copy would make it.
bool CanWriteInto(const char* folder) {
    CreateDirectoryTree(folder);
    char probe[kMaxPath];
    if (!GetTempFileNameA(folder, "stp", 0, probe)) {
        const SystemError error{GetLastError()};
        CLogLine() << "refused: no file can be made in " << folder << ", " << error;
        return false;
    }
    DeleteFileA(probe);
    return true;
}

}  // namespace

bool CUnattendedPrompts::BaseFolder(char* out, const LeadByteTable** lead) {
    if (baseFolder_[0] == u'\0') {
        // As page 3 offers it, in the system's code page.
        if (!wizard_.ReadProgramFilesDir(out)) CopyText(out, kMaxPath, kDefaultBaseFolder);
        *lead = &AnsiLeadBytes();
        CLogLine() << "unattended: the default base folder " << out;
        return true;
    }
    CLogLine() << "unattended: the base folder " << baseFolder_;
    *lead = &Cp932LeadBytes();
    if (ShiftJisFromUtf16(out, kMaxPath, reinterpret_cast<const wchar_t*>(baseFolder_)))
        return true;
    CLogLine() << "refused: the folder has characters that code page 932 cannot hold, or it "
                  "is too long for it";
    return false;
}

WizardResult CUnattendedPrompts::RunWizard() {
    char base[kMaxPath];
    const LeadByteTable* lead = nullptr;
    if (!BaseFolder(base, &lead)) return WizardResult::FolderRefused;
    char folder[kMaxPath];
    if (FormInstallFolder(folder, sizeof folder, base, *lead) != FolderText::Formed) {
        CLogLine() << "refused: the install folder below " << base << " does not fit a path";
        return WizardResult::FolderRefused;
    }
    CopyText(state_.InstallFolder, folder);
    if (CheckInstallFolder(state_.InstallFolder, wizard_) != FolderCheck::kAccepted ||
        !CanWriteInto(state_.InstallFolder))
        return WizardResult::FolderRefused;
    for (bool& group : state_.GroupSelection) group = true;
    return WizardResult::Install;
}
