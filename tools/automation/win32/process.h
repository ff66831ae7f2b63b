// Starts programs as processes of their own and reads their exit codes,
// with a bound on every wait.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();  // a process still running is terminated
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `commandLine` (program path first, quoted as needed) in
    // `workingDir` (the caller's when empty).
    bool Start(const std::wstring& commandLine, const std::wstring& workingDir = std::wstring());
    // Waits up to `timeoutMs` for the end; true with the exit code when it ended.
    bool Wait(DWORD timeoutMs, DWORD* exitCode = nullptr);
    void Terminate();
    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }
    bool Running() const;

private:
    PROCESS_INFORMATION info_ = {};
};

// Runs `commandLine` to its end. False when it could not start or did not end
// within `timeoutMs` (it is then terminated).
bool RunProcess(const std::wstring& commandLine, DWORD timeoutMs, DWORD* exitCode,
                const std::wstring& workingDir = std::wstring());

// Waits until `predicate` holds, checking every 10 ms; false after `timeoutMs`.
template <typename Predicate>
bool WaitUntil(Predicate predicate, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!predicate()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(10);
    }
    return true;
}

// Runs `action` on a thread of its own; true when it ended within
// `timeoutMs`. A thread that did not end is left behind (the caller has
// failed anyway).
bool FinishesWithin(std::function<void()> action, DWORD timeoutMs);
