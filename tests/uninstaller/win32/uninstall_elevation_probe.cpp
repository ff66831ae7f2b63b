// UnInstall.exe's program with its elevation played through the environment,
// since every Wine process is elevated; installed as "UnInstall.exe" by the
// test (see tests/support/win32/elevation_seam.h).
// Each process reports into the folder named by UNINSTALL_PROBE_REPORTS, in
// "<process id>.txt": "<not elevated>|<runas calls>|<exit code>|<arguments>"
// in UTF-8.
#include <windows.h>


#include <string>

#include "framework/system/elevation_rules.h"
#include "framework/system/win32/wide_text.h"
#include "tests/support/win32/elevation_seam.h"
#include "tools/automation/win32/scratch.h"
#include "uninstaller/win32/uninstall_system.h"

int main() {
    elevation_seam::Install();
    const bool limited = elevation_seam::Has("SETUP_PROBE_LIMITED");
    const char16_t* arguments = CommandLineArguments(AsUtf16(GetCommandLineW()));
    const int code = RunUninstaller(arguments);

    wchar_t folder[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"UNINSTALL_PROBE_REPORTS", folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        const std::wstring report =
            std::wstring(folder) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L".txt";
        const std::string text = std::to_string(limited ? 1 : 0) + "|" +
                                 std::to_string(elevation_seam::RunAsCalls()) + "|" +
                                 std::to_string(code) + "|" + Utf8(AsWide(arguments));
        WriteFileBytes(report, text);
    }
    return code;
}
