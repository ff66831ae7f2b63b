#include "framework/log/win32/run_log.h"

#include <cstdio>
#include <cwchar>

#include "framework/log/log_text.h"
#include "framework/system/win32/elevation.h"
#include "framework/system/win32/wide_text.h"

namespace {

// The system's text for an error number is at most a few lines.
constexpr DWORD kMessageChars = 512;

const wchar_t kOldSuffix[] = L".old";

// `head` and `tail` into `out` (`cap` units); false when they do not fit.
bool JoinWide(wchar_t* out, std::size_t cap, const wchar_t* head, const wchar_t* tail) {
    const std::size_t a = std::wcslen(head);
    const std::size_t b = std::wcslen(tail);
    if (a + b >= cap) return false;
    std::wmemmove(out, head, a);
    std::wmemcpy(out + a, tail, b + 1);
    return true;
}

// Milliseconds from the process's creation until now.
DWORD SinceProcessStart() {
    FILETIME creation, exited, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exited, &kernel, &user)) return 0;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    // The clock may have been set back since the start.
    if (ticks(now) < ticks(creation)) return 0;
    return static_cast<DWORD>((ticks(now) - ticks(creation)) / 10000);
}

void AppendWide(std::string& out, const char16_t* text) {
    if (text != nullptr) AppendUtf8(out, text);
}

// Shift-JIS into UTF-8 through the programs' one conversion (code page 932).
// Bytes that are no Shift-JIS still leave a trace: ASCII comes through, the
// others show as '?'.
void AppendShiftJis(std::string& out, const char* text) {
    if (text == nullptr || *text == '\0') return;
    std::wstring wide;
    if (WidenShiftJis(text, &wide)) {
        AppendUtf8(out, AsUtf16(wide));
        return;
    }
    for (const char* p = text; *p != '\0'; ++p)
        out += static_cast<unsigned char>(*p) < 0x80 ? *p : '?';
}

const char* ArchitectureText() {
#if defined(_WIN64)
    return "64-bit program";
#else
    BOOL wow64 = FALSE;
    using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto query = reinterpret_cast<IsWow64>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process"));
    if (query != nullptr && query(GetCurrentProcess(), &wow64) && wow64)
        return "32-bit program on a 64-bit system";
    return "32-bit program";
#endif
}

// The version the system really has (the manifest's list of supported
// systems limits what GetVersionEx admits to), and Wine's where it runs.
void LogSystem() {
    using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    using WineGetVersion = const char*(CDECL*)();
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    auto get = ntdll ? reinterpret_cast<RtlGetVersion>(GetProcAddress(ntdll, "RtlGetVersion"))
                     : nullptr;
    if (get == nullptr || get(&version) != 0) version = {};
    auto wine = ntdll ? reinterpret_cast<WineGetVersion>(GetProcAddress(ntdll, "wine_get_version"))
                      : nullptr;
    CLogLine line;
    line << "Windows " << version.dwMajorVersion << "." << version.dwMinorVersion << "."
         << version.dwBuildNumber << " " << version.szCSDVersion << ", " << ArchitectureText();
    if (wine != nullptr) line << ", Wine " << wine();
}

}  // namespace

CRunLog& TheRunLog() {
    static CRunLog log;
    return log;
}

bool CRunLog::Open(const wchar_t* name, Start start) {
    const DWORD lastError = GetLastError();
    wchar_t path[kMaxPath];
    const DWORD length = GetTempPathW(kMaxPath, path);
    const bool fits = length > 0 && length < kMaxPath && JoinWide(path, kMaxPath, path, name);
    SetLastError(lastError);
    if (!fits) {
        Close();
        return false;
    }
    return OpenAt(path, start);
}

bool CRunLog::OpenAt(const wchar_t* path, Start start) {
    const DWORD lastError = GetLastError();
    CLockScope scope(lock_);
    open_.store(false, std::memory_order_release);
    file_.reset();
    if (start == Start::kNew) {
        wchar_t old[kMaxPath + 8];
        if (JoinWide(old, sizeof old / sizeof old[0], path, kOldSuffix))
            MoveFileExW(path, old, MOVEFILE_REPLACE_EXISTING);
    }
    // Appending only: every write lands at the end, whoever else appends.
    file_.reset(CreateFileW(path, FILE_APPEND_DATA | SYNCHRONIZE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            start == Start::kNew ? CREATE_ALWAYS : OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    bool ok = static_cast<bool>(file_);
    LARGE_INTEGER size = {};
    if (ok && GetFileSizeEx(file_.get(), &size) && size.QuadPart == 0) {
        DWORD written = 0;
        ok = WriteFile(file_.get(), kLogByteOrderMark, sizeof kLogByteOrderMark - 1, &written,
                       nullptr) != FALSE;
    }
    if (!ok) file_.reset();
    startTick_ = GetTickCount() - SinceProcessStart();
    open_.store(ok, std::memory_order_release);
    SetLastError(lastError);
    return ok;
}

void CRunLog::Close() {
    CLockScope scope(lock_);
    open_.store(false, std::memory_order_release);
    file_.reset();
}

void CRunLog::Write(std::string_view text) {
    if (!IsOpen()) return;
    const DWORD lastError = GetLastError();
    {
        CLockScope scope(lock_);
        if (file_) {
            line_.clear();
            AppendLogLine(line_, GetTickCount() - startTick_, text);
            DWORD written = 0;
            if (!WriteFile(file_.get(), line_.data(), static_cast<DWORD>(line_.size()), &written,
                           nullptr) ||
                written != line_.size()) {
                open_.store(false, std::memory_order_release);
                file_.reset();
            }
        }
    }
    SetLastError(lastError);
}

CLogLine::CLogLine() : open_(TheRunLog().IsOpen()), lastError_(GetLastError()) {}

CLogLine::~CLogLine() {
    if (open_) TheRunLog().Write(text_);
    SetLastError(lastError_);
}

CLogLine& CLogLine::operator<<(const char* shiftJis) {
    if (open_) AppendShiftJis(text_, shiftJis);
    return *this;
}

CLogLine& CLogLine::operator<<(const wchar_t* utf16) { return *this << AsUtf16(utf16); }

CLogLine& CLogLine::operator<<(const char16_t* utf16) {
    if (open_) AppendWide(text_, utf16);
    return *this;
}

CLogLine& CLogLine::operator<<(SystemError error) {
    if (!open_) return *this;
    // An HRESULT (a COM failure) reads best in hexadecimal.
    char number[16];
    std::snprintf(number, sizeof number, error.code & 0x80000000u ? "0x%08lX" : "%lu",
                  static_cast<unsigned long>(error.code));
    text_ += "error ";
    text_ += number;
    wchar_t message[kMessageChars] = {};
    // Language 0: the system's own order (thread, user, system language).
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       error.code, 0, message, kMessageChars, nullptr);
    if (length == 0) return *this;
    text_ += " (";
    AppendUtf8(text_, AsUtf16(std::wstring_view(message, length)));
    // The system's texts end in a line break, which the line turns into
    // blanks; they go before the closing parenthesis.
    while (!text_.empty() && (text_.back() == '\n' || text_.back() == '\r' ||
                              text_.back() == ' '))
        text_.pop_back();
    text_ += ")";
    return *this;
}

CLogLine& CLogLine::operator<<(LogTransfer transfer) {
    if (open_) AppendTransfer(text_, transfer.bytes, transfer.milliseconds);
    return *this;
}

CLogLine& CLogLine::Signed(long long value) {
    if (open_) text_ += std::to_string(value);
    return *this;
}

CLogLine& CLogLine::Unsigned(unsigned long long value) {
    if (open_) text_ += std::to_string(value);
    return *this;
}

void LogProgramStart(const char* program, bool continues) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char time[32];
    std::snprintf(time, sizeof time, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    CLogLine() << program << " " << SETUP_VERSION_TEXT << ", started " << time
               << " (local time), process " << GetCurrentProcessId()
               << (continues ? ", continuing this log" : "");
    wchar_t self[kMaxPath] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, kMaxPath);
    if (length == 0 || length >= kMaxPath) self[0] = L'\0';
    CLogLine() << "program " << self;
    CLogLine() << "command line " << GetCommandLineW();
    LogSystem();
    char language[8];
    std::snprintf(language, sizeof language, "%04X",
                  static_cast<unsigned>(GetUserDefaultUILanguage()));
    CLogLine() << "code pages: ANSI " << GetACP() << ", OEM " << GetOEMCP()
               << "; user interface language 0x" << language;
    const ElevationState elevation = QueryElevation();
    CLogLine() << "elevation: "
               << (!elevation.available ? "not available on this system"
                   : elevation.elevated ? "this process is elevated"
                                        : "this process is not elevated");
}

void BeginRunLog(const wchar_t* name, const char* program, CRunLog::Start start) {
    if (TheRunLog().Open(name, start)) LogProgramStart(program, start == CRunLog::Start::kContinue);
}
