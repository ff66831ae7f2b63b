#include "tools/automation/win32/process.h"

#include <atomic>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "framework/system/win32/unique_handle.h"

ChildProcess::~ChildProcess() {
    const unique_handle process(info_.hProcess), thread(info_.hThread);
    if (process && Running()) {
        TerminateProcess(process.get(), 255);
        WaitForSingleObject(process.get(), 5000);
    }
}

bool ChildProcess::Start(const std::wstring& commandLine, const std::wstring& workingDir) {
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          workingDir.empty() ? nullptr : workingDir.c_str(), &startup,
                          &info_) != FALSE;
}

bool ChildProcess::Wait(DWORD timeoutMs, DWORD* exitCode) {
    if (!info_.hProcess) return false;
    if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    if (exitCode) *exitCode = code;
    return true;
}

void ChildProcess::Terminate() {
    if (info_.hProcess && Running()) {
        TerminateProcess(info_.hProcess, 255);
        WaitForSingleObject(info_.hProcess, 5000);
    }
}

bool ChildProcess::Running() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool RunProcess(const std::wstring& commandLine, DWORD timeoutMs, DWORD* exitCode,
                const std::wstring& workingDir) {
    ChildProcess child;
    if (!child.Start(commandLine, workingDir)) return false;
    return child.Wait(timeoutMs, exitCode);
}

bool FinishesWithin(std::function<void()> action, DWORD timeoutMs) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([action = std::move(action), done] {
        action();
        *done = true;
    }).detach();
    return WaitUntil([&] { return done->load(); }, timeoutMs);
}
