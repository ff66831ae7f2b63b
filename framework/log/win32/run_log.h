// The log of a run of setup.exe or UnInstall.exe: one UTF-8 file in the
// user's temporary folder, one event a line (framework/log/log_text.h has
// its form).
//
// Owner: the one process-wide CRunLog (TheRunLog), written by the main
// thread and the application thread under its lock; no other thread logs
// (the copy jobs' lines come from the install run, which knows source,
// destination, bytes and times). Each line goes to the file as it is
// written, with one WriteFile and no flush, so a run that is killed still
// leaves its lines. The file is opened for appending only and shared for
// reading and appending: a process that continues the log of the same run
// (the elevated copy of a program, or the uninstaller's cleanup copy) adds
// whole lines at its end, and a user may read it while the program runs.
//
// A log that cannot be opened or written changes nothing the program does:
// every call then returns at once, and no call changes the calling thread's
// last error.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <string_view>
#include <type_traits>

#include "framework/file/win32/lock.h"
#include "framework/system/path_text.h"
#include "framework/system/win32/unique_handle.h"

class CRunLog {
public:
    enum class Start {
        kNew,       // keeps the previous run's file once as "<name>.old"
        kContinue,  // appends to the log an earlier process of this run began
    };

    CRunLog() = default;
    CRunLog(const CRunLog&) = delete;
    CRunLog& operator=(const CRunLog&) = delete;

    // Opens "<the user's temporary folder>\<name>" (any log open before is
    // closed first). False when it cannot be had; nothing is logged then.
    bool Open(const wchar_t* name, Start start);
    // The same with the file's full path.
    bool OpenAt(const wchar_t* path, Start start);
    void Close();
    bool IsOpen() const { return open_.load(std::memory_order_acquire); }
    // Writes the UTF-8 `text` as one line, with the milliseconds since the
    // process started. A write that fails closes the log.
    void Write(std::string_view text);

private:
    CLock lock_;
    unique_hfile file_;
    std::atomic<bool> open_{false};
    // GetTickCount at the process's start.
    DWORD startTick_ = 0;
    std::string line_;
};

CRunLog& TheRunLog();

// The system's error number `code`, logged with the system's own text for it
// in the system's language: "error 112 (...)".
struct SystemError {
    DWORD code;
};

// Bytes moved in a time, logged as "<bytes> bytes in <ms> ms (<rate> MiB/s)".
struct LogTransfer {
    unsigned long long bytes;
    DWORD milliseconds;
};

// One line of the process's log, written when the object ends. Pieces are
// added with <<: a char text is Shift-JIS (the programs' texts and the
// data's names; converted with code page 932, whatever the system's code
// page), a wchar_t or char16_t text UTF-16 as the system gives it (paths),
// an integer in decimal. Costs nothing while the log is closed.
class CLogLine {
public:
    CLogLine();
    ~CLogLine();
    CLogLine(const CLogLine&) = delete;
    CLogLine& operator=(const CLogLine&) = delete;

    CLogLine& operator<<(const char* shiftJis);
    CLogLine& operator<<(const wchar_t* utf16);
    CLogLine& operator<<(const char16_t* utf16);
    CLogLine& operator<<(SystemError error);
    CLogLine& operator<<(LogTransfer transfer);
    template <typename T, typename = std::enable_if_t<std::is_integral_v<T> &&
                                                      !std::is_same_v<T, bool> &&
                                                      !std::is_same_v<T, char> &&
                                                      !std::is_same_v<T, wchar_t> &&
                                                      !std::is_same_v<T, char16_t>>>
    CLogLine& operator<<(T value) {
        if constexpr (std::is_signed_v<T>) return Signed(static_cast<long long>(value));
        return Unsigned(static_cast<unsigned long long>(value));
    }

private:
    CLogLine& Signed(long long value);
    CLogLine& Unsigned(unsigned long long value);

    bool open_;
    DWORD lastError_;
    std::string text_;
};

// The first lines of a program's log: its name and version, the local time,
// its path, command line and process, the system's version, code pages and
// language, and the process's elevation. `continues` says that this process
// continues a log an earlier process began.
void LogProgramStart(const char* program, bool continues);

// Opens the log `name` in the user's temporary folder and writes its first
// lines (LogProgramStart) when it could be opened.
void BeginRunLog(const wchar_t* name, const char* program, CRunLog::Start start);
