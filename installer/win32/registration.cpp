#include "installer/win32/registration.h"

#include <string>

#include "framework/log/win32/run_log.h"
#include "framework/system/path_text.h"
#include "framework/system/win32/message_box.h"
#include "framework/system/win32/system_services.h"
#include "framework/system/win32/wide_text.h"
#include "installer/install_folder.h"
#include "installer/installation_names.h"
#include "installer/installer_texts.h"

namespace {

using namespace installation_name;

const wchar_t kQuietSwitch[] = L"/S";

// "EstimatedSize" is in KiB, rounded up, and a 32-bit value.
std::uint32_t KiBytes(std::uint64_t bytes) {
    const std::uint64_t kib = bytes / 1024 + (bytes % 1024 != 0);
    return kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(kib);
}

// "<folder>\<name>" of an installed file; false when it would not fit.
bool InstalledFilePath(const wchar_t* folder, const char* name, std::wstring* out) {
    std::wstring wideName;
    char16_t path[kMaxPath];
    if (!WidenShiftJis(name, &wideName) ||
        !FormInstalledFilePath(path, kMaxPath, AsUtf16(folder), AsUtf16(wideName)))
        return false;
    out->assign(AsWide(path));
    return true;
}

// The values beside the name and command; false when one was not written.
bool WriteDetails(const wchar_t* folder, const std::wstring& program,
                  const std::wstring& uninstaller, CRegistrationServices& services) {
    const std::wstring quiet = L"\"" + uninstaller + L"\" " + kQuietSwitch;
    const UninstallDetails details = {program.c_str(), kPublisher, folder, quiet.c_str(),
                                      KiBytes(services.InstalledBytes(folder))};
    return services.WriteUninstallDetails(FileTable[0], details);
}

// Logs a step that has just ended; passes its result on. `what` is a
// Shift-JIS name of the program's or a UTF-16 path.
template <typename Text>
bool Logged(bool done, const char* step, const Text* what) {
    const SystemError error{GetLastError()};
    CLogLine line;
    line << "registration: " << step << " " << what << ": ";
    if (done) {
        line << "done";
    } else {
        line << "failed, " << error;
    }
    return done;
}

}  // namespace

bool CRegistrationServices::WriteAppPath(const char* programName, const wchar_t* programPath) {
    return CSystemServices().WriteAppPath(programName, programPath);
}

bool CRegistrationServices::WriteUninstallEntry(const char* keyName,
                                                const wchar_t* uninstallCommand,
                                                const char* displayName) {
    return CSystemServices().WriteUninstallEntry(keyName, uninstallCommand, displayName);
}

bool CRegistrationServices::WriteUninstallDetails(const char* keyName,
                                                  const UninstallDetails& details) {
    return CSystemServices().WriteUninstallDetails(keyName, details);
}

std::uint64_t CRegistrationServices::InstalledBytes(const wchar_t* folder) {
    std::uint64_t total = 0;
    for (const char* name : InstalledFileTable) {
        std::wstring path;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (InstalledFilePath(folder, name, &path) &&
            GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
            total += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return total;
}

bool CRegistrationServices::CreateDesktopShortcut(const wchar_t* targetPath,
                                                  const char* linkName) {
    return CSystemServices().CreateDesktopShortcut(targetPath, linkName);
}

bool CRegistrationServices::CreateProgramsShortcut(const wchar_t* targetPath,
                                                   const char* relativeLink) {
    return CSystemServices().CreateProgramsShortcut(targetPath, relativeLink);
}

bool RegisterGame(const InstallerStateData& state, CRegistrationServices& services) {
    const char* programName = FileTable[0];
    const wchar_t* folder = AsWide(state.InstallFolder);
    std::wstring program;
    std::wstring uninstaller;
    // The wizard keeps the folder short enough for both paths; should they
    // still not fit, nothing is registered rather than a cut-off path.
    if (!InstalledFilePath(folder, programName, &program) ||
        !InstalledFilePath(folder, FileTable[1], &uninstaller)) {
        CLogLine() << "registration: the paths of " << folder << " do not fit";
        return false;
    }
    // The command quoted: a path with spaces ("C:\Program Files (x86)\...")
    // taken apart at the first space would name "C:\Program.exe".
    const std::wstring command = L"\"" + uninstaller + L"\"";
    // Every step runs whatever the earlier ones did. The further values go
    // only into an entry that has its name and command, never into a key of
    // their own.
    int failed = 0;
    failed += !Logged(services.WriteAppPath(programName, program.c_str()), "App Paths entry",
                      program.c_str());
    if (Logged(services.WriteUninstallEntry(programName, command.c_str(), kDisplayName),
               "uninstall entry", command.c_str()))
        failed += !Logged(WriteDetails(folder, program, uninstaller, services),
                          "uninstall entry's details of", programName);
    else
        ++failed;
    failed += !Logged(services.CreateDesktopShortcut(program.c_str(), kDesktopLink),
                      "desktop shortcut", kDesktopLink);
    failed += !Logged(services.CreateProgramsShortcut(program.c_str(), kGameMenuLink),
                      "Start-menu shortcut", kGameMenuLink);
    failed += !Logged(services.CreateProgramsShortcut(uninstaller.c_str(), kUninstallerMenuLink),
                      "Start-menu shortcut", kUninstallerMenuLink);
    return failed == 0;
}

bool RegisterInstallation(HWND owner, const InstallerStateData& state,
                          CRegistrationServices& services) {
    const bool complete = RegisterGame(state, services);
    // The files are in place either way, so the end is still announced; but
    // without its entries the next start would not find the game (and offer
    // to install it again), so the user is told first.
    if (!complete) {
        ShowMessageBox(owner, installer_text::kRegistrationIncompleteText,
                       installer_text::kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
    }
    ShowMessageBox(owner, installer_text::kDoneText, installer_text::kDoneCaption,
                   MB_OK | MB_ICONINFORMATION);
    return complete;
}
