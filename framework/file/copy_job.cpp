#include "framework/file/copy_job.h"

#include <cstring>
#include <new>

#include "framework/system/path_text.h"
#include "framework/system/path_utils.h"
#include "framework/system/unique_handle.h"

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

// The size of an open file when it fits the signed 32-bit sizes of the jobs.
bool JobFileSize(HANDLE file, LONG* size) {
    LARGE_INTEGER bytes;
    if (!GetFileSizeEx(file, &bytes)) return false;
    if (bytes.QuadPart < 0 || bytes.QuadPart > 0x7FFFFFFF) return false;
    *size = static_cast<LONG>(bytes.QuadPart);
    return true;
}

bool SeekToStart(HANDLE file) {
    LARGE_INTEGER zero = {};
    return SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) != FALSE;
}

}  // namespace

HANDLE OpenJobSource(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE CreateJobDestination(const char* path) {
    return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

CCopyJob::~CCopyJob() { CCopyJob::Abort(); }

LONG CCopyJob::GetStatus() { return status_.load(); }

LONG CCopyJob::GetPercent() { return percent_.load(); }

bool CCopyJob::BeginJoin(const char*, const char*) { return false; }

bool CCopyJob::AppendPart(const char*) { return false; }

bool CCopyJob::AppendLastPart(const char*) { return false; }

bool CCopyJob::StartCopy(const char* source, const char* destination) {
    if (status_.load() == kBusy) return false;
    if (source == nullptr || destination == nullptr) return false;
    if (!StorePaths(destination, source)) return false;
    status_ = kBusy;
    percent_ = 0;
    CreateDestinationFolder();
    return Launch();
}

void CCopyJob::Abort() {
    // Stop clears the running flag before it waits for the worker.
    CThread::Stop();
}

void CCopyJob::Run() {
    Outcome outcome = Outcome::kFailed;
    {
        unique_hfile destination(CreateJobDestination(destination_));
        if (destination) {
            unique_hfile source(OpenJobSource(source_));
            if (source && SeekToStart(destination.get()))
                outcome = Transfer(source.get(), destination.get(), kChunkBytes);
        }
    }
    // Both files are closed before the outcome is published.
    Publish(outcome);
}

BOOL CCopyJob::SystemRead(HANDLE file, char* buffer, DWORD count, DWORD* moved) {
    return ReadFile(file, buffer, count, moved, nullptr);
}

BOOL CCopyJob::SystemWrite(HANDLE file, const char* buffer, DWORD count, DWORD* moved) {
    return WriteFile(file, buffer, count, moved, nullptr);
}

// A transfer that succeeds but moves fewer bytes than asked (a source that
// shrank while it was copied, a full disk) is a failure: the rest of the
// buffer holds stale bytes.
bool CCopyJob::ReadChunk(HANDLE file, char* buffer, DWORD count) {
    DWORD moved = 0;
    return SystemRead(file, buffer, count, &moved) && moved == count;
}

bool CCopyJob::WriteChunk(HANDLE file, const char* buffer, DWORD count) {
    DWORD moved = 0;
    return SystemWrite(file, buffer, count, &moved) && moved == count;
}

std::unique_ptr<char[]> CCopyJob::NewBuffer(std::size_t bytes) {
    return std::unique_ptr<char[]>(new (std::nothrow) char[bytes]);
}

CCopyJob::Outcome CCopyJob::Transfer(HANDLE source, HANDLE destination, DWORD chunk) {
    LONG size = 0;
    if (!JobFileSize(source, &size) || !SeekToStart(source)) return Outcome::kFailed;
    std::unique_ptr<char[]> buffer = NewBuffer(std::size_t{chunk} + kBufferSlack);
    if (!buffer) return Outcome::kFailed;
    if (!IsRunning()) return Outcome::kStopped;

    LONG copied = 0;
    for (;;) {
        DWORD left = static_cast<DWORD>(size - copied);
        if (left <= chunk) {
            // The rest fits in one chunk (possibly 0 bytes).
            bool moved = ReadChunk(source, buffer.get(), left) &&
                         WriteChunk(destination, buffer.get(), left);
            return moved ? Outcome::kDone : Outcome::kFailed;
        }
        if (!ReadChunk(source, buffer.get(), chunk) || !WriteChunk(destination, buffer.get(), chunk))
            return Outcome::kFailed;
        copied += static_cast<LONG>(chunk);
        percent_ = ChunkPercent(copied, size);
        if (!IsRunning()) return Outcome::kStopped;
    }
}

bool CCopyJob::StorePaths(const char* destination, const char* source) {
    if (destination != nullptr && std::strlen(destination) >= kMaxPathField) return false;
    if (source != nullptr && std::strlen(source) >= kMaxPathField) return false;
    if (destination != nullptr) CopyText(destination_, destination);
    if (source != nullptr) CopyText(source_, source);
    return true;
}

void CCopyJob::CreateDestinationFolder() {
    char folder[kMaxPathField];
    char name[kMaxPathField];
    if (SplitPath(folder, name, destination_)) CreateDirectoryTree(folder);
}

bool CCopyJob::Launch() {
    if (!Start()) {
        status_ = kFailed;
        return false;
    }
    SetPriority(THREAD_PRIORITY_TIME_CRITICAL);
    return true;
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
