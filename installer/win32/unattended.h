// What an unattended installation (setup.exe /S) answers in place of the
// user: no wizard page, message box or disc prompt. The folder is the one
// of the command line or the wizard's default; it passes the wizard's folder
// and free-space tests and a test that files can be made in it. A folder
// that code page 932 cannot hold is taken, as page 3 takes it after its
// Yes: the command line chose it. The registration runs without its
// messages. Each decision is logged.
#pragma once

#include "installer/win32/install_run.h"
#include "installer/win32/registration.h"
#include "installer/win32/setup_wizard.h"

class CUnattendedPrompts : public CInstallPrompts {
public:
    // `baseFolder`: the folder of /D= (UTF-16), empty for the wizard's
    // default (the program-files folder, or "C:\"). The services must
    // outlive the prompts.
    CUnattendedPrompts(InstallerStateData& state, const char16_t* baseFolder,
                       CWizardServices& wizard, CRegistrationServices& registration)
        : CInstallPrompts(state), baseFolder_(baseFolder), wizard_(wizard),
          registration_(registration) {}

    bool AsksUser() const override { return false; }
    // Install with the final folder in InstallFolder and every group
    // selected, as the wizard leaves them; FolderRefused otherwise.
    WizardResult RunWizard() override;
    bool AskForDisc(const char*) override { return false; }
    bool ConfirmAbort() override { return true; }
    void ReportError() override {}
    bool Complete() override { return RegisterGame(state_, registration_); }

private:
    // The base folder into `out` (kMaxPath code units): that of /D=, or the
    // one page 3 offers.
    void BaseFolder(char16_t* out);

    const char16_t* baseFolder_;
    CWizardServices& wizard_;
    CRegistrationServices& registration_;
};
