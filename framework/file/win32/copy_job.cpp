#include "framework/file/win32/copy_job.h"

#include <cwchar>
#include <string>
#include <new>
#include <utility>

#include "framework/system/win32/path_utils.h"
#include "framework/system/win32/unique_handle.h"

namespace {

// Percent after `copied` of `size` bytes, in steps of size / 100 as the
// progress display expects. Only reached with more than a chunk left, so
// the step is never 0 in practice; it is guarded all the same.
LONG ChunkPercent(LONG copied, LONG size) {
    LONG step = size / 100;
    if (step <= 0) return 100;
    LONG percent = copied / step;
    return percent > 100 ? 100 : percent;
}

// The size of an open file when it fits the signed 32-bit sizes of the jobs;
// false otherwise, with the system's error of the query in `error` (0 for a
// size too large).
bool JobFileSize(HANDLE file, LONG* size, DWORD* error) {
    LARGE_INTEGER bytes;
    *error = GetFileSizeEx(file, &bytes) ? 0 : GetLastError();
    if (*error != 0 || bytes.QuadPart < 0 || bytes.QuadPart > 0x7FFFFFFF) return false;
    *size = static_cast<LONG>(bytes.QuadPart);
    return true;
}

}  // namespace

HANDLE OpenJobSource(const wchar_t* path, DWORD share) {
    return CreateFileW(path, GENERIC_READ, share, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
}

HANDLE CreateJobDestination(const wchar_t* path) {
    return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Windows may leave the read pending; Wine reads before ReadFile returns and
// reports it pending all the same. Either way GetOverlappedResult has the
// count once the event is set. Past the end of the file the read ends
// short: ReadFile or GetOverlappedResult says ERROR_HANDLE_EOF (Wine, the
// latter).
BOOL ReadJobSource(HANDLE file, OVERLAPPED& at, char* buffer, DWORD count, DWORD* moved) {
    *moved = 0;
    if (!ReadFile(file, buffer, count, nullptr, &at)) {
        const DWORD error = GetLastError();
        if (error == ERROR_HANDLE_EOF) return TRUE;
        if (error != ERROR_IO_PENDING) return FALSE;
    }
    if (GetOverlappedResult(file, &at, moved, TRUE)) return TRUE;
    *moved = 0;
    return GetLastError() == ERROR_HANDLE_EOF;
}

CCopyJob::CCopyJob() : CCopyJob(nullptr) {}

CCopyJob::CCopyJob(std::shared_ptr<CJobEngine> engine)
    : engine_(std::move(engine)), pieceEnded_(CreateEventA(nullptr, TRUE, TRUE, nullptr)) {}

CCopyJob::~CCopyJob() { StopRun(); }

bool CCopyJob::Start() {
    if (!pieceEnded_) return false;
    // A piece publishes its end just before it returns: the next piece of
    // this job waits for that return, so two never overlap.
    WaitForSingleObject(pieceEnded_.get(), INFINITE);
    if (!engine_) engine_.reset(new (std::nothrow) CJobEngine);
    if (!engine_) return false;
    ResetEvent(pieceEnded_.get());
    running_ = true;
    if (engine_->Run(piece_, pieceEnded_.get())) return true;
    running_ = false;
    SetEvent(pieceEnded_.get());
    return false;
}

void CCopyJob::Stop() {
    running_ = false;
    if (pieceThread_.load() == GetCurrentThreadId() || !pieceEnded_) return;
    WaitForSingleObject(pieceEnded_.get(), INFINITE);
}

bool CCopyJob::IsRunning() { return running_.load(); }

DWORD CCopyJob::WaitForRun(DWORD milliseconds) {
    if (!pieceEnded_) return WAIT_OBJECT_0;
    return WaitForSingleObject(pieceEnded_.get(), milliseconds);
}

void CCopyJob::StopRun() { CCopyJob::Stop(); }

void CCopyJob::Piece::RunTask() {
    job_.failure_ = Failure();
    job_.pieceThread_ = GetCurrentThreadId();
    job_.Run();
    job_.pieceThread_ = 0;
}

LONG CCopyJob::GetStatus() { return status_.load(); }

LONG CCopyJob::GetPercent() { return percent_.load(); }

bool CCopyJob::BeginJoin(const wchar_t*, const wchar_t*) { return false; }

bool CCopyJob::AppendPart(const wchar_t*) { return false; }

bool CCopyJob::AppendLastPart(const wchar_t*) { return false; }

bool CCopyJob::StartCopy(const wchar_t* source, const wchar_t* destination) {
    if (status_.load() == kBusy) return false;
    if (source == nullptr || destination == nullptr) return false;
    if (!StorePaths(destination, source)) return false;
    status_ = kBusy;
    percent_ = 0;
    CreateDestinationFolder();
    return Launch();
}

void CCopyJob::Abort() {
    // Stop clears the running flag before it waits for the piece.
    StopRun();
}

void CCopyJob::Run() {
    // Both files are closed before the outcome is published.
    Publish(CopySource());
}

CCopyJob::Outcome CCopyJob::CopySource() {
    unique_hfile destination(CreateJobDestination(destination_));
    if (!destination) return Failed(GetLastError());
    unique_hfile source(OpenJobSource(source_));
    if (!source) return Failed(GetLastError());
    return Transfer(source.get(), destination.get(), kChunkBytes);
}

CCopyJob::Outcome CCopyJob::Transfer(HANDLE source, HANDLE destination, DWORD chunk) {
    LONG size = 0;
    DWORD error = 0;
    if (!JobFileSize(source, &size, &error)) return Failed(error);
    if (!IsRunning()) return Outcome::kStopped;
    if (!engine_->BeginSource(*this, source, size, chunk)) return Failed(0);
    const Outcome outcome = WriteChunks(destination, size, chunk);
    // A piece that did not finish drops what was named after it too: its
    // caller will not go on as it said.
    engine_->EndSource(outcome == Outcome::kDone);
    return outcome;
}

CCopyJob::Outcome CCopyJob::WriteChunks(HANDLE destination, LONG size, DWORD chunk) {
    for (LONG copied = 0;;) {
        const CJobEngine::Chunk& next = engine_->NextChunk();
        if (!next.ok) return Failed(next.error);
        // A stop that came while this chunk was read ends the run before it
        // is written: the destination keeps whole chunks either way.
        if (!IsRunning()) return Outcome::kStopped;
        DWORD moved = 0;
        const BOOL wrote = SystemWrite(destination, next.bytes, next.count, &moved);
        const DWORD error = wrote ? 0 : GetLastError();
        failure_.written += moved;
        if (!wrote || moved != next.count) return Failed(error);
        if (next.last) return Outcome::kDone;
        engine_->ReleaseChunk();
        copied += static_cast<LONG>(chunk);
        percent_ = ChunkPercent(copied, size);
        if (!IsRunning()) return Outcome::kStopped;
    }
}

BOOL CCopyJob::SystemRead(HANDLE file, OVERLAPPED& at, char* buffer, DWORD count, DWORD* moved) {
    return ReadJobSource(file, at, buffer, count, moved);
}

// A chunk goes to the system in pieces of kWritePieceBytes: one WriteFile of
// a whole chunk into a warm cache took two to four times as long under Wine
// on this kind of machine. A piece that moves fewer bytes than asked is
// followed by one for the rest: on a full disk the system may first write
// what fits and fail only then, saying why (ERROR_DISK_FULL), which the
// failure keeps for the log. A write that moves nothing ends the call short;
// the piece then fails, as on a short read: the rest would be stale bytes.
BOOL CCopyJob::SystemWrite(HANDLE file, const char* buffer, DWORD count, DWORD* moved) {
    *moved = 0;
    while (*moved < count) {
        const DWORD ask = count - *moved < kWritePieceBytes ? count - *moved : kWritePieceBytes;
        DWORD put = 0;
        if (!WriteFile(file, buffer + *moved, ask, &put, nullptr)) return FALSE;
        *moved += put;
        if (put == 0) break;
    }
    return TRUE;
}

std::unique_ptr<char[]> CCopyJob::NewBuffer(std::size_t bytes) {
    return std::unique_ptr<char[]>(new (std::nothrow) char[bytes]);
}

bool CCopyJob::StorePaths(const wchar_t* destination, const wchar_t* source) {
    const auto fits = [](const wchar_t* path) {
        return path == nullptr || std::wcslen(path) < kMaxPathField;
    };
    if (!fits(destination) || !fits(source)) return false;
    if (destination != nullptr) std::wcscpy(destination_, destination);
    if (source != nullptr) std::wcscpy(source_, source);
    return true;
}

void CCopyJob::CreateDestinationFolder() {
    std::wstring folder;
    std::wstring name;
    if (SplitPath(&folder, &name, destination_)) CreateDirectoryTree(folder.c_str());
}

bool CCopyJob::Launch() {
    if (Start()) return true;
    failure_ = Failure();
    status_ = kFailed;
    return false;
}

CCopyJob::Outcome CCopyJob::Failed(DWORD error) {
    failure_.error = error;
    return Outcome::kFailed;
}

void CCopyJob::Publish(Outcome outcome) {
    if (outcome == Outcome::kFailed) {
        status_ = kFailed;
    } else if (outcome == Outcome::kDone) {
        // Percent first: a poller that reads status 0 and then the percent
        // is sure to read 100.
        percent_ = 100;
        status_ = kIdle;
    }
}
