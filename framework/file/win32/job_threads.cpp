#include "framework/file/win32/job_threads.h"

#include <process.h>

#include <atomic>
#include <cstring>
#include <new>
#include <utility>

namespace {

// The most one ReadFile call of a read ahead moves; a drop waits at most
// for one such call (on each of its two threads).
constexpr DWORD kAheadPieceBytes = 256u * 1024;
constexpr std::size_t kMaxAheadPath = 261;

// Whether two handles (or one handle at two moments) show the same file with
// the same contents: volume, file index, size and last write time.
bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow &&
           a.nFileSizeHigh == b.nFileSizeHigh && a.nFileSizeLow == b.nFileSizeLow &&
           a.ftLastWriteTime.dwLowDateTime == b.ftLastWriteTime.dwLowDateTime &&
           a.ftLastWriteTime.dwHighDateTime == b.ftLastWriteTime.dwHighDateTime;
}

}  // namespace

// The first bytes of one file, read on a thread of the pool. The thread
// opens the file and notes what it is while the drive is still busy with
// the piece before, then waits for the word to read (Go): the drive reads
// one file at a time. The file is opened sharing everything, so naming it
// ahead never keeps anyone from changing or replacing it; what it was
// before the read is compared with the handle of whoever takes the bytes,
// so a change from then on shows as another file.
//
// The pieces are read on two threads, each with a handle of its own: the
// task's own thread takes the even ones, a partner on a second thread of
// the pool the odd ones. One alone left the drive idle between a piece's
// end and the next request (eight times a file, 6 ms a file at DVD speed);
// two keep a request waiting at the drive while it reads the other. The
// partner's handle must show the same file as the task's, or nothing read
// is used.
class CJobThreads::SourceAhead : public CJobThreads::Task {
public:
    SourceAhead(DWORD bytes, std::unique_ptr<char[]> buffer)
        : bytes_(bytes), buffer_(std::move(buffer)) {}
    ~SourceAhead() { Stop(); }
    SourceAhead(const SourceAhead&) = delete;
    SourceAhead& operator=(const SourceAhead&) = delete;

    // False when the path does not fit or the thread cannot start.
    bool Start(CJobThreads& pool, const char* path) {
        if (std::strlen(path) >= kMaxAheadPath) return false;
        std::memcpy(path_, path, std::strlen(path) + 1);
        go_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        read_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        ended_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        partnerEnded_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        if (!go_ || !read_ || !ended_ || !partnerEnded_) return false;
        // The partner first, so that the task knows whether it has one; when
        // no thread can be had for it, the task reads every piece itself.
        partnered_ = pool.Run(partner_, partnerEnded_.get());
        if (!pool.Run(*this, ended_.get())) {
            if (partnered_) {
                Cancel();
                WaitForSingleObject(partnerEnded_.get(), INFINITE);
            }
            return false;
        }
        started_ = true;
        return true;
    }
    void Go() { SetEvent(go_.get()); }
    // Ends the read at its next piece (or before it began).
    void Cancel() {
        stop_ = true;
        if (go_) SetEvent(go_.get());
    }
    // The same, waiting for the thread.
    void Stop() {
        Cancel();
        Wait(INFINITE);
    }
    // False while the read is still going after `milliseconds`.
    bool Wait(DWORD milliseconds) {
        return !started_ || WaitForSingleObject(ended_.get(), milliseconds) == WAIT_OBJECT_0;
    }
    // Waits until the bytes are in (or the read gave up), not for the file
    // to be closed.
    void WaitForBytes() {
        if (!started_) return;
        HANDLE waits[] = {read_.get(), ended_.get()};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    }
    bool IsOf(const char* path) const { return std::strcmp(path_, path) == 0; }
    // Once the bytes are in (or the read gave up): copies at most `count`
    // of them when the file was `now` before they were read; the number
    // copied (0 after a failed or stopped read).
    DWORD CopyTo(const BY_HANDLE_FILE_INFORMATION& now, char* buffer, DWORD count) const {
        if (got_ < want_ || !SameFile(now, identity_)) return 0;
        const DWORD copied = got_ < count ? got_ : count;
        std::memcpy(buffer, buffer_.get(), copied);
        return copied;
    }
    DWORD Bytes() const { return bytes_; }
    std::unique_ptr<char[]> TakeBuffer() { return std::move(buffer_); }

private:
    class Partner : public CJobThreads::Task {
    public:
        explicit Partner(SourceAhead& owner) : owner_(owner) {}

    private:
        void RunTask() override {
            owner_.partnerRead_ = owner_.ReadPieces(1, 2, &owner_.partnerIdentity_);
        }

        SourceAhead& owner_;
    };

    void RunTask() override {
        const DWORD step = partnered_ ? 2 : 1;
        bool read = ReadPieces(0, step, &identity_);
        // On a failed read the partner ends at its next piece.
        if (!read) Cancel();
        if (partnered_) {
            WaitForSingleObject(partnerEnded_.get(), INFINITE);
            read = read && partnerRead_ && SameFile(partnerIdentity_, identity_);
        }
        if (!read) return;
        got_ = want_;
        SetEvent(read_.get());
    }

    // Opens the file, notes what it is in `identity`, waits for the word and
    // reads pieces first, first + step, ... of the bytes wanted. False when
    // the file cannot be opened, a piece comes short or fails, or the read
    // is stopped.
    bool ReadPieces(DWORD first, DWORD step, BY_HANDLE_FILE_INFORMATION* identity) {
        unique_hfile file(CreateFileA(path_, GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !GetFileInformationByHandle(file.get(), identity)) return false;
        // Both threads come to the same count for the same file; for another
        // one the identities differ.
        const DWORD want = identity->nFileSizeHigh == 0 && identity->nFileSizeLow < bytes_
                               ? identity->nFileSizeLow
                               : bytes_;
        if (first == 0) want_ = want;
        WaitForSingleObject(go_.get(), INFINITE);
        for (DWORD at = first * kAheadPieceBytes; at < want; at += step * kAheadPieceBytes) {
            if (stop_.load()) return false;
            const DWORD ask = want - at < kAheadPieceBytes ? want - at : kAheadPieceBytes;
            DWORD read = 0;
            if (!ReadFileAt(file.get(), buffer_.get() + at, at, ask, &read) || read != ask)
                return false;
        }
        return true;
    }

    const DWORD bytes_;
    std::unique_ptr<char[]> buffer_;
    char path_[kMaxAheadPath] = {};
    unique_handle go_;     // set when the drive is free for this read
    unique_handle read_;   // set once every byte is in
    unique_handle ended_;  // set by the pool once the task ended
    unique_handle partnerEnded_;  // the same for the partner
    Partner partner_{*this};
    bool partnered_ = false;
    bool started_ = false;
    std::atomic<bool> stop_{false};
    // Written by the task, looked at once the bytes are in or it ended.
    BY_HANDLE_FILE_INFORMATION identity_ = {};
    DWORD want_ = 1;
    DWORD got_ = 0;
    // Written by the partner, looked at by the task once the partner ended.
    BY_HANDLE_FILE_INFORMATION partnerIdentity_ = {};
    bool partnerRead_ = false;
};

CJobThreads::CJobThreads() = default;

CJobThreads::~CJobThreads() {
    // The read ahead runs on a thread of the pool: it ends first.
    DropReadAhead(nullptr);
    {
        CLockScope hold(lock_);
        for (std::unique_ptr<Worker>& worker : workers_) {
            worker->quit = true;
            SetEvent(worker->wake.get());
        }
    }
    for (std::unique_ptr<Worker>& worker : workers_)
        WaitForSingleObject(worker->thread.get(), INFINITE);
}

bool CJobThreads::Run(Task& task, HANDLE ended) {
    CLockScope hold(lock_);
    Worker* worker = nullptr;
    if (idle_.empty()) {
        worker = StartWorkerLocked();
        if (worker == nullptr) return false;
    } else {
        worker = idle_.back();
        idle_.pop_back();
    }
    worker->task = &task;
    worker->ended = ended;
    SetEvent(worker->wake.get());
    return true;
}

bool CJobThreads::Reserve(std::size_t count) {
    CLockScope hold(lock_);
    while (workers_.size() < count) {
        Worker* worker = StartWorkerLocked();
        if (worker == nullptr) return false;
        idle_.push_back(worker);
    }
    return true;
}

std::size_t CJobThreads::ThreadCount() {
    CLockScope hold(lock_);
    return workers_.size();
}

std::vector<DWORD> CJobThreads::ThreadIds() {
    CLockScope hold(lock_);
    std::vector<DWORD> ids;
    for (const std::unique_ptr<Worker>& worker : workers_) ids.push_back(worker->id);
    return ids;
}

CJobThreads::Worker* CJobThreads::StartWorkerLocked() {
    auto worker = std::make_unique<Worker>();
    worker->pool = this;
    worker->wake.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!worker->wake) return nullptr;
    // Reserved first: once the thread runs, losing track of it is no longer
    // an option.
    workers_.reserve(workers_.size() + 1);
    idle_.reserve(workers_.size() + 1);
    unsigned id = 0;
    uintptr_t thread = _beginthreadex(nullptr, 0, &CJobThreads::Entry, worker.get(), 0, &id);
    if (thread == 0) return nullptr;
    worker->thread.reset(reinterpret_cast<HANDLE>(thread));
    worker->id = id;
    SetThreadPriority(worker->thread.get(), THREAD_PRIORITY_TIME_CRITICAL);
    workers_.push_back(std::move(worker));
    return workers_.back().get();
}

unsigned __stdcall CJobThreads::Entry(void* worker) {
    Worker& self = *static_cast<Worker*>(worker);
    self.pool->Serve(self);
    return 0;
}

void CJobThreads::Serve(Worker& worker) {
    for (;;) {
        WaitForSingleObject(worker.wake.get(), INFINITE);
        Task* task = nullptr;
        HANDLE ended = nullptr;
        {
            CLockScope hold(lock_);
            if (worker.quit) return;
            task = worker.task;
            ended = worker.ended;
            worker.task = nullptr;
        }
        if (task == nullptr) continue;
        try {
            task->RunTask();
        } catch (...) {
            // The task ends here; its owner learns of it through `ended`.
        }
        {
            // Idle again before the owner hears of the end, so the owner's
            // next task finds this thread waiting.
            CLockScope hold(lock_);
            idle_.push_back(&worker);
        }
        SetEvent(ended);
    }
}

void CJobThreads::PrepareReadAhead(const char* path, DWORD bytes) {
    DropReadAhead(nullptr);
    if (path == nullptr || *path == '\0' || bytes == 0) return;
    std::unique_ptr<char[]> buffer;
    {
        CLockScope hold(aheadLock_);
        if (spare_ && spareBytes_ == bytes) buffer = std::move(spare_);
    }
    if (!buffer) buffer.reset(new (std::nothrow) char[bytes]);
    if (!buffer) return;
    std::unique_ptr<SourceAhead> ahead(new (std::nothrow) SourceAhead(bytes, std::move(buffer)));
    if (!ahead || !ahead->Start(*this, path)) return;
    std::unique_ptr<SourceAhead> earlier;
    {
        CLockScope hold(aheadLock_);
        earlier = std::move(ahead_);
        ahead_ = std::move(ahead);
    }
    // Another job named its next source at the same moment: the later wins.
    Retire(std::move(earlier));
}

void CJobThreads::StartReadAhead(const char* path) {
    CLockScope hold(aheadLock_);
    if (ahead_ && ahead_->IsOf(path)) ahead_->Go();
}

DWORD CJobThreads::TakeReadAhead(const char* path, HANDLE file, char* buffer, DWORD count) {
    std::unique_ptr<SourceAhead> ahead;
    {
        CLockScope hold(aheadLock_);
        ahead = std::move(ahead_);
    }
    if (!ahead) return 0;
    DWORD taken = 0;
    // The handle is asked what it is while the bytes are still coming.
    BY_HANDLE_FILE_INFORMATION now;
    if (path != nullptr && ahead->IsOf(path) && GetFileInformationByHandle(file, &now)) {
        ahead->Go();
        // A fresh buffer's first touch costs more than the copy itself (10
        // ms and more for 2 MiB under Wine): its pages are touched while the
        // bytes are still coming.
        TouchPages(buffer, count);
        ahead->WaitForBytes();
        taken = ahead->CopyTo(now, buffer, count);
    }
    ahead->Cancel();
    // Its thread may still be closing the file (or ending a piece not
    // wanted): it is put to rest by the next read ahead or the pool's end,
    // not while the drive waits.
    std::unique_ptr<SourceAhead> earlier;
    {
        CLockScope hold(aheadLock_);
        earlier = std::move(taken_);
        taken_ = std::move(ahead);
    }
    Retire(std::move(earlier));
    return taken;
}

void CJobThreads::DropReadAhead(const char* path) {
    std::unique_ptr<SourceAhead> ahead, taken;
    {
        CLockScope hold(aheadLock_);
        if (ahead_ && (path == nullptr || ahead_->IsOf(path))) ahead = std::move(ahead_);
        taken = std::move(taken_);
    }
    Retire(std::move(ahead));
    Retire(std::move(taken));
}

bool CJobThreads::WaitForReadAhead(DWORD milliseconds) {
    // Held while waiting, so the read ahead cannot be dropped meanwhile.
    CLockScope hold(aheadLock_);
    return !ahead_ || ahead_->Wait(milliseconds);
}

void CJobThreads::Retire(std::unique_ptr<SourceAhead> ahead) {
    if (!ahead) return;
    ahead->Stop();
    std::unique_ptr<char[]> buffer = ahead->TakeBuffer();
    if (!buffer) return;
    CLockScope hold(aheadLock_);
    spare_ = std::move(buffer);
    spareBytes_ = ahead->Bytes();
}

bool ReadFileAt(HANDLE file, char* buffer, std::int64_t offset, DWORD ask, DWORD* got) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    *got = 0;
    // A synchronous handle reads at the given offset; past the end it
    // reports ERROR_HANDLE_EOF.
    if (ReadFile(file, buffer, ask, got, &at)) return true;
    *got = 0;
    return GetLastError() == ERROR_HANDLE_EOF;
}

void TouchPages(char* buffer, std::size_t bytes) {
    constexpr std::size_t kPageBytes = 4096;
    volatile char* page = buffer;
    for (std::size_t at = 0; at < bytes; at += kPageBytes) page[at] = 0;
}
