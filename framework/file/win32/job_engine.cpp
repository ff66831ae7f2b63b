// The engine under the copy and join jobs of one installation. One
// mechanism keeps the drive busy: a fixed number of requests in flight,
// each on a thread of its own that reads one chunk at its offset and then,
// in its turn, writes it.
//
// Who owns what:
// - The runner thread (the engine's) runs the pieces of the jobs (a copy, or
//   one part of a join) one after another, in the order they were started.
//   A piece opens its destination and its source, hands both to Copy, which
//   waits until the request threads are done with them, closes both and
//   publishes its end (copy_job.h). Those two handles belong to the job.
// - Three request threads (the engine's) each ask for the next chunk in
//   order, read it into their own chunk buffer from a handle opened for
//   overlapped reads at the chunk's offset, wait for its turn (every chunk
//   asked for before it written or dropped) and write it themselves. So
//   while one writes, two reads wait at the drive, and the drive never
//   idles between requests; and a chunk is written by the thread (and the
//   processor's cache) that read it: handing a chunk to another thread
//   costs more than the copy itself from a warm cache. Under Wine an
//   overlapped read of a file is done inside ReadFile (which reports
//   ERROR_IO_PENDING once the bytes are in), so every request in flight
//   needs a thread; each has its own completion event.
// - The chunk buffers (the engine's): one block of kRequests buffers of
//   kSlotBytes, one per request thread, had once (on the runner by Prepare,
//   or for the first piece through its job's NewBuffer) and kept until the
//   engine ends.
// - The sources (the engine's list, in reading order): the source of the
//   piece under way, then the sources named ahead (ReadAhead). The chunks
//   are asked for in list order, so the next source is read while the last
//   chunks of the current one are written, and while its job ends and the
//   next one starts; a chunk read ahead waits, with its thread, for the
//   piece that copies its source. A named source is opened by a request
//   thread, sharing everything (naming a file never keeps anyone from
//   changing it); its handle belongs to the engine. A piece takes a named
//   source only when its own handle shows the same file (what the file
//   system reports, not the path); otherwise every named source is dropped
//   and the piece's own handle is read.
//
// Under the lock: turns are given in the order the chunks were asked for,
// so the chunks are written in file order and the sources in list order. A
// chunk is written only in its turn, only when all of it was read, only for
// a piece whose copy goes on, and only while its job runs. A source leaves
// the list only once none of its chunks is read or waits for its turn.
#include "framework/file/win32/job_engine.h"

#include <process.h>

#include <new>
#include <utility>

#include "framework/file/win32/copy_job.h"
#include "framework/system/path_text.h"

namespace {

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow &&
           a.nFileSizeHigh == b.nFileSizeHigh && a.nFileSizeLow == b.nFileSizeLow &&
           a.ftLastWriteTime.dwLowDateTime == b.ftLastWriteTime.dwLowDateTime &&
           a.ftLastWriteTime.dwHighDateTime == b.ftLastWriteTime.dwHighDateTime;
}

// The size, when it fits the signed 32-bit sizes of the jobs.
bool JobSize(const BY_HANDLE_FILE_INFORMATION& info, LONG* size) {
    if (info.nFileSizeHigh != 0 || info.nFileSizeLow > 0x7FFFFFFFu) return false;
    *size = static_cast<LONG>(info.nFileSizeLow);
    return true;
}

// A fresh buffer's first touch costs more than copying a few megabytes from
// a warm cache, and Wine touches every page of a read's buffer before it
// reads: the pages are had once, before anything is copied.
void TouchPages(char* buffer, std::size_t bytes) {
    constexpr std::size_t kPageBytes = 4096;
    volatile char* page = buffer;
    for (std::size_t at = 0; at < bytes; at += kPageBytes) page[at] = 0;
}

constexpr std::size_t kBufferBytes = CJobEngine::kRequests * std::size_t{CJobEngine::kSlotBytes};

}  // namespace

CJobEngine::CJobEngine() {
    InitializeConditionVariable(&changed_);
    for (Thread& thread : threads_) thread.serve = &CJobEngine::ServeRequests;
    threads_[0].serve = &CJobEngine::RunTasks;
}

CJobEngine::~CJobEngine() {
    {
        CLockScope hold(lock_);
        quit_ = true;
        Changed();
    }
    for (Thread& thread : threads_) {
        if (thread.handle) WaitForSingleObject(thread.handle.get(), INFINITE);
    }
}

void CJobEngine::Changed() { WakeAllConditionVariable(&changed_); }

bool CJobEngine::StartThreadsLocked() {
    for (Thread& thread : threads_) {
        if (thread.handle) continue;
        thread.engine = this;
        if (!thread.event) thread.event.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        if (!thread.event) return false;
        unsigned id = 0;
        const uintptr_t handle = _beginthreadex(nullptr, 0, &CJobEngine::Entry, &thread, 0, &id);
        if (handle == 0) return false;
        thread.handle.reset(reinterpret_cast<HANDLE>(handle));
        thread.id = id;
        if (&thread != &threads_[0]) ++freeThreads_;
        // They only move bytes, and a drive waiting for them is time lost.
        SetThreadPriority(thread.handle.get(), THREAD_PRIORITY_TIME_CRITICAL);
    }
    return true;
}

unsigned __stdcall CJobEngine::Entry(void* thread) {
    Thread& self = *static_cast<Thread*>(thread);
    try {
        (self.engine->*self.serve)(self);
    } catch (...) {
        // Nothing the engine calls throws; the thread ends either way.
    }
    return 0;
}

bool CJobEngine::Prepare() {
    CLockScope hold(lock_);
    if (!StartThreadsLocked()) return false;
    prepare_ = !buffers_;
    Changed();
    return true;
}

bool CJobEngine::Run(Task& task, HANDLE ended) {
    CLockScope hold(lock_);
    if (!StartThreadsLocked()) return false;
    task.next_ = nullptr;
    task.ended_ = ended;
    (lastTask_ != nullptr ? lastTask_->next_ : firstTask_) = &task;
    lastTask_ = &task;
    Changed();
    return true;
}

bool CJobEngine::ReadAhead(const char* path, DWORD chunk) {
    if (path == nullptr || chunk == 0 || chunk > kLargestChunk) return false;
    CLockScope hold(lock_);
    if (sourceCount_ == kMaxSources || !StartThreadsLocked()) return false;
    Source& source = SourceAt(sourceCount_);
    if (!CopyText(source.path, path)) return false;
    source.chunk = chunk;
    ++sourceCount_;
    Changed();
    return true;
}

bool CJobEngine::WaitUntilIdle(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    CLockScope hold(lock_);
    while (!IdleLocked()) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= milliseconds) return false;
        lock_.Sleep(changed_, milliseconds - spent);
    }
    return true;
}

bool CJobEngine::IdleLocked() {
    return !prepare_ && inFlight_ == 0 && (freeThreads_ == 0 || NextToReadLocked() == nullptr);
}

std::vector<DWORD> CJobEngine::ThreadIds() {
    CLockScope hold(lock_);
    std::vector<DWORD> ids;
    for (const Thread& thread : threads_) {
        if (thread.handle) ids.push_back(thread.id);
    }
    return ids;
}

void CJobEngine::RunTasks(Thread&) {
    CLockScope hold(lock_);
    for (;;) {
        while (!quit_ && firstTask_ == nullptr && !prepare_) lock_.Sleep(changed_);
        if (quit_) return;
        if (prepare_) {
            PrepareBuffersLocked();
            continue;
        }
        Task& task = *firstTask_;
        firstTask_ = task.next_;
        if (firstTask_ == nullptr) lastTask_ = nullptr;
        const HANDLE ended = task.ended_;
        CUnlockScope run(lock_);
        try {
            task.RunTask();
        } catch (...) {
            // The task ends here; its owner learns of it through `ended`.
        }
        SetEvent(ended);
    }
}

void CJobEngine::PrepareBuffersLocked() {
    if (!buffers_) {
        std::unique_ptr<char[]> buffers;
        {
            CUnlockScope touch(lock_);
            buffers.reset(new (std::nothrow) char[kBufferBytes]);
            if (buffers) TouchPages(buffers.get(), kBufferBytes);
        }
        HaveBuffersLocked(std::move(buffers));
    }
    prepare_ = false;
    Changed();
}

// Only the runner makes the buffers (preparing them, or for a piece), so
// they never change while the runner does not hold the lock.
bool CJobEngine::HaveBuffersLocked(std::unique_ptr<char[]> buffers) {
    if (buffers_) return true;
    if (!buffers) return false;
    buffers_ = std::move(buffers);
    for (std::size_t i = 0; i < kRequests; ++i) threads_[1 + i].slot = buffers_.get() + i * std::size_t{kSlotBytes};
    return true;
}

void CJobEngine::ServeRequests(Thread& self) {
    CLockScope hold(lock_);
    for (;;) {
        Source* source = nullptr;
        while (!quit_ && (source = NextToReadLocked()) == nullptr) lock_.Sleep(changed_);
        if (quit_) return;
        --freeThreads_;
        if (source->state == Source::kNamed) {
            OpenLocked(*source);
        } else {
            CopyChunkLocked(*source, self);
        }
        ++freeThreads_;
    }
}

CJobEngine::Source& CJobEngine::SourceAt(std::size_t index) {
    return sources_[(firstSource_ + index) % kMaxSources];
}

// The first source in the list with chunks left to ask for, when it is to be
// opened, or is open and the buffers are there; null when there is nothing
// to do.
CJobEngine::Source* CJobEngine::NextToReadLocked() {
    for (std::size_t i = 0; i < sourceCount_; ++i) {
        Source& source = SourceAt(i);
        if (source.stopped || source.finalAsked) continue;
        if (source.state == Source::kNamed) return &source;
        return source.state == Source::kOpen && buffers_ ? &source : nullptr;
    }
    return nullptr;
}

void CJobEngine::OpenLocked(Source& source) {
    source.state = Source::kOpening;
    ++source.busy;
    ++inFlight_;
    unique_hfile file;
    BY_HANDLE_FILE_INFORMATION identity = {};
    LONG size = 0;
    bool opened = false;
    {
        CUnlockScope open(lock_);
        file.reset(OpenJobSource(source.path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
        opened = file && GetFileInformationByHandle(file.get(), &identity) && JobSize(identity, &size);
    }
    --inFlight_;
    --source.busy;
    source.state = opened ? Source::kOpen : Source::kFailed;
    if (opened) {
        source.owned = std::move(file);
        source.file = source.owned.get();
        source.identity = identity;
        source.size = size;
    }
    Changed();
}

void CJobEngine::CopyChunkLocked(Source& source, Thread& self) {
    const DWORD left = static_cast<DWORD>(source.size - source.asked);
    Chunk chunk = {&source, asked_++, self.slot, left, left <= source.chunk, false};
    if (!chunk.last) chunk.count = source.chunk;
    OVERLAPPED at = {};
    const std::int64_t offset = source.asked;
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    at.hEvent = self.event.get();
    source.asked += static_cast<LONG>(chunk.count);
    source.finalAsked = chunk.last;
    ++source.busy;
    ++inFlight_;
    CCopyJob* job = source.job;
    {
        CUnlockScope read(lock_);
        DWORD moved = 0;
        chunk.ok = (job != nullptr ? job->SystemRead(source.file, at, chunk.bytes, chunk.count, &moved)
                                   : ReadJobSource(source.file, at, chunk.bytes, chunk.count, &moved)) &&
                   moved == chunk.count;
    }
    --inFlight_;
    // After a failed or short read nothing more of the source is asked for.
    if (!chunk.ok) source.stopped = true;
    Changed();
    // A chunk read ahead of its piece waits for the piece (or for its drop).
    while (!quit_ && (turn_ != chunk.turn || (source.job == nullptr && !source.dropped)))
        lock_.Sleep(changed_);
    if (quit_) return;
    WriteInTurnLocked(chunk);
    ++turn_;
    --source.busy;
    Changed();
}

void CJobEngine::WriteInTurnLocked(const Chunk& chunk) {
    Source& source = *chunk.source;
    if (source.dropped || source.ended) return;
    CCopyJob& job = *source.job;
    const bool running = job.IsRunning();
    bool written = false;
    if (chunk.ok && running) {
        CUnlockScope write(lock_);
        DWORD moved = 0;
        written = job.SystemWrite(source.destination, chunk.bytes, chunk.count, &moved) &&
                  moved == chunk.count;
    }
    if (written && !chunk.last) {
        source.written += static_cast<LONG>(chunk.count);
        job.ChunkWritten(source.written, source.size);
        return;
    }
    source.ended = true;
    source.stopped = true;
    source.outcome = written                ? Outcome::kDone
                     : chunk.ok && !running ? Outcome::kStopped
                                            : Outcome::kFailed;
}

CJobEngine::Outcome CJobEngine::Copy(CCopyJob& job, HANDLE file, LONG size, DWORD chunk,
                                     HANDLE destination) {
    std::unique_ptr<char[]> buffers;
    if (!buffers_) buffers = job.NewBuffer(kBufferBytes);
    CLockScope hold(lock_);
    if (!HaveBuffersLocked(std::move(buffers))) return Outcome::kFailed;
    Source& source = TakeSourceLocked(job, file, size, chunk);
    source.destination = destination;
    source.job = &job;
    Changed();
    while (!source.ended || source.busy > 0) lock_.Sleep(changed_);
    const Outcome outcome = source.outcome;
    // A piece that did not finish drops what was named after it too: its
    // caller will not go on as it said.
    if (outcome == Outcome::kDone) {
        PopSourceLocked();
    } else {
        DropSourcesLocked();
    }
    Changed();
    return outcome;
}

// The first source named when it shows the same file as `file` for the same
// chunk size, else `file` itself after every named source was dropped.
CJobEngine::Source& CJobEngine::TakeSourceLocked(CCopyJob& job, HANDLE file, LONG size,
                                                 DWORD chunk) {
    if (sourceCount_ > 0) {
        BY_HANDLE_FILE_INFORMATION identity;
        bool same = false;
        {
            CUnlockScope ask(lock_);
            same = GetFileInformationByHandle(file, &identity) != FALSE;
        }
        Source& named = SourceAt(0);
        if (named.state == Source::kNamed) OpenLocked(named);
        while (named.state == Source::kOpening) lock_.Sleep(changed_);
        same = same && named.state == Source::kOpen && named.chunk == chunk &&
               SameFile(named.identity, identity);
        if (same) return named;
        DropSourcesLocked();
    }
    Source& own = SourceAt(0);
    own.state = Source::kOpen;
    own.file = file;
    own.size = size;
    own.chunk = chunk;
    sourceCount_ = 1;
    return own;
}

void CJobEngine::PopSourceLocked() {
    sources_[firstSource_] = Source();
    firstSource_ = (firstSource_ + 1) % kMaxSources;
    --sourceCount_;
}

// Their chunks pass their turns unwritten; a source goes once none is left.
void CJobEngine::DropSourcesLocked() {
    for (std::size_t i = 0; i < sourceCount_; ++i) {
        SourceAt(i).stopped = true;
        SourceAt(i).dropped = true;
    }
    Changed();
    for (std::size_t i = 0; i < sourceCount_; ++i) {
        while (SourceAt(i).busy > 0) lock_.Sleep(changed_);
    }
    while (sourceCount_ > 0) PopSourceLocked();
}
