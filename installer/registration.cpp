#include "installer/registration.h"

#include "framework/system/path_text.h"
#include "framework/system/system_services.h"
#include "installer/install_folder.h"

namespace {

const char kDisplayName[] = "Sorvane";
const char kDesktopLinkName[] = "Sorvane";
const char kGameMenuLink[] = "VINTAL\\Sorvane\\Sorvane";
const char kUninstallerMenuLink[] = "VINTAL\\Sorvane\\アンインストーラ";
const char kFinishedText[] = "全てのセットアップ作業が終了しました。";
const char kFinishedCaption[] = "終了確認";

}  // namespace

const char kRegistrationIncompleteText[] =
    "ゲームのシステムへの登録（アプリケーションパス、アンインストール情報、\n"
    "ショートカット）を完了できませんでした。";
const char kRegistrationIncompleteCaption[] = "エラー";

bool CRegistrationServices::WriteAppPath(const char* programName, const char* programPath) {
    return CSystemServices().WriteAppPath(programName, programPath);
}

bool CRegistrationServices::WriteUninstallEntry(const char* keyName,
                                                const char* uninstallCommand,
                                                const char* displayName) {
    return CSystemServices().WriteUninstallEntry(keyName, uninstallCommand, displayName);
}

bool CRegistrationServices::CreateDesktopShortcut(const char* targetPath, const char* linkName) {
    return CSystemServices().CreateDesktopShortcut(targetPath, linkName);
}

bool CRegistrationServices::CreateProgramsShortcut(const char* targetPath,
                                                   const char* relativeLink) {
    return CSystemServices().CreateProgramsShortcut(targetPath, relativeLink);
}

void RegisterInstallation(HWND owner, const InstallerStateData& state,
                          CRegistrationServices& services) {
    const char* programName = FileTable[0];
    char program[kMaxPath];
    char uninstaller[kMaxPath];
    // The wizard keeps the folder short enough for both paths; should they
    // still not fit, nothing is registered rather than a cut-off path.
    int failed = 1;
    if (FormInstalledFilePath(program, sizeof program, state.InstallFolder, programName) &&
        FormInstalledFilePath(uninstaller, sizeof uninstaller, state.InstallFolder,
                              FileTable[1])) {
        // Every step runs whatever the earlier ones did.
        failed = 0;
        failed += !services.WriteAppPath(programName, program);
        failed += !services.WriteUninstallEntry(programName, uninstaller, kDisplayName);
        failed += !services.CreateDesktopShortcut(program, kDesktopLinkName);
        failed += !services.CreateProgramsShortcut(program, kGameMenuLink);
        failed += !services.CreateProgramsShortcut(uninstaller, kUninstallerMenuLink);
    }
    // The files are in place either way, so the end is still announced; but
    // without its entries the next start would not find the game (and offer
    // to install it again), so the user is told first.
    if (failed > 0) {
        MessageBoxA(owner, kRegistrationIncompleteText, kRegistrationIncompleteCaption,
                    MB_OK | MB_ICONEXCLAMATION);
    }
    MessageBoxA(owner, kFinishedText, kFinishedCaption, MB_OK | MB_ICONINFORMATION);
}
