// What the user waits for, the Windows half of scripts/bench-paced.sh:
//
//   bench_setup firstpage PROGRAM [CAPTION]
//       Starts PROGRAM from its own folder and waits until a window of it
//       with CAPTION (any visible top-level window when none is given) is
//       shown and has handled everything sent to it before, i.e. is drawn.
//       Prints "firstpage SECONDS", then ends the program.
//   bench_setup install SETUP.EXE
//       Runs setup.exe, answers the wizard with its defaults and prints the
//       host's clock (seconds since 1970) when Install is pressed and when
//       the completion message shows: "install START END". Exit code 0 when
//       the installation completed.
//
// Both print the process id Wine gave the program on a line of its own
// ("started ID") as soon as it runs.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "framework/system/win32/unique_handle.h"
#include "framework/system/win32/wide_text.h"
#include "installer/setup_resources.h"
#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/setup_run.h"

namespace {

using namespace setup_text;

constexpr DWORD kLimitMs = 10 * 60 * 1000;

double Seconds() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The host's clock: Wine's system time is the host's.
double EpochSeconds() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    ULONGLONG ticks = (ULONGLONG{now.dwHighDateTime} << 32) | now.dwLowDateTime;
    return static_cast<double>(ticks - 116444736000000000ULL) / 1e7;
}

struct Started {
    unique_handle handle;
    DWORD id = 0;
};

// `program` is an ASCII path below the build tree.
bool Launch(const std::string& program, Started* process) {
    const std::wstring wide = Widen(program);
    std::wstring folder = wide.substr(0, wide.find_last_of(L'\\') + 1);
    std::wstring commandLine = L"\"" + wide + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(wide.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
        std::fprintf(stderr, "cannot start %s (error %lu)\n", program.c_str(), GetLastError());
        return false;
    }
    const unique_handle thread(info.hThread);
    process->handle.reset(info.hProcess);
    process->id = info.dwProcessId;
    std::printf("started %lu\n", process->id);
    std::fflush(stdout);
    return true;
}

// The first visible window of the process, with `caption` when not null.
HWND ShownWindow(DWORD processId, const wchar_t* caption) {
    for (HWND hwnd : VisibleWindows(processId, nullptr)) {
        if (caption == nullptr || WindowTextOf(hwnd) == caption) return hwnd;
    }
    return nullptr;
}

int FirstPage(const std::string& program, const wchar_t* caption) {
    Started process;
    double start = Seconds();
    if (!Launch(program, &process)) return 1;
    int result = 1;
    for (;;) {
        const HWND found = ShownWindow(process.id, caption);
        if (found != nullptr) {
            // Returns once the window's thread has handled what was sent
            // before, among it the painting of the newly shown window.
            DWORD_PTR ignored = 0;
            UpdateWindow(found);
            SendMessageTimeoutW(found, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored);
            std::printf("firstpage %.6f\n", Seconds() - start);
            result = 0;
            break;
        }
        if (WaitForSingleObject(process.handle.get(), 1) != WAIT_TIMEOUT) {
            std::fprintf(stderr, "%s ended before it showed a window\n", program.c_str());
            break;
        }
        if (Seconds() - start > kLimitMs / 1000.0) break;
    }
    TerminateProcess(process.handle.get(), 0);
    WaitForSingleObject(process.handle.get(), 10000);
    return result;
}

int Install(const std::string& setup) {
    Started process;
    if (!Launch(setup, &process)) return 1;
    std::set<HWND> answered;
    double pressed = 0, completed = 0;
    bool failed = false;
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(process.handle.get(), 10) == WAIT_TIMEOUT) {
        if (GetTickCount() - start > kLimitMs) {
            std::fprintf(stderr, "setup.exe did not end in time\n");
            TerminateProcess(process.handle.get(), 1);
            break;
        }
        for (auto it = answered.begin(); it != answered.end();)
            it = IsWindow(*it) ? std::next(it) : answered.erase(it);
        for (HWND dialog : ProcessDialogs(process.id)) {
            if (answered.count(dialog)) continue;
            const std::wstring caption = WindowTextOf(dialog);
            if (caption == PageCaption(1)) {
                PressButton(dialog, IDC_WELCOME_NEXT);
            } else if (caption == PageCaption(2)) {
                PressButton(dialog, IDC_GROUPS_NEXT);
            } else if (caption == PageCaption(3)) {
                PressButton(dialog, IDC_FOLDER_NEXT);
            } else if (caption == PageCaption(4)) {
                pressed = EpochSeconds();
                PressButton(dialog, IDC_READY_INSTALL);
            } else if (caption == kDoneCaption) {
                completed = EpochSeconds();
                PressButton(dialog, IDOK);
            } else if (caption == kDiscCaption || caption == kErrorCaption) {
                // The one-disc layout must not ask for a disc.
                std::fprintf(stderr, "setup showed \"%s\": %s\n", Utf8(caption).c_str(),
                             Utf8(MessageBoxTextOf(dialog)).c_str());
                failed = true;
                PressButton(dialog, IDCANCEL);
                PressButton(dialog, IDOK);
            } else {
                continue;
            }
            answered.insert(dialog);
        }
    }
    DWORD code = 1;
    GetExitCodeProcess(process.handle.get(), &code);
    if (failed || completed == 0 || pressed == 0 || code != 0) {
        std::fprintf(stderr, "the installation did not complete (exit code %lu)\n", code);
        return 1;
    }
    std::printf("install %.6f %.6f\n", pressed, completed);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "firstpage") == 0) {
        std::wstring caption = argc >= 4 && std::strcmp(argv[3], "wizard") == 0 ? PageCaption(1) : L"";
        return FirstPage(argv[2], caption.empty() ? nullptr : caption.c_str());
    }
    if (argc >= 3 && std::strcmp(argv[1], "install") == 0) return Install(argv[2]);
    std::printf("bench_setup: run through scripts/bench-paced.sh (make bench)\n");
    return 0;
}
