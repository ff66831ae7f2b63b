// The engine under the copy and join jobs of one installation. One
// mechanism keeps the drive busy: requests in flight on the engine's own
// reader threads, completing into one ring of buffers, written in order.
//
// Who owns what:
// - The runner thread (the engine's) runs the pieces of the jobs (a copy, or
//   one part of a join) one after another, in the order they were started.
//   A piece opens its destination and its source, writes the source's
//   chunks in order from the ring, closes both and publishes its end (see
//   copy_job.h). Those handles belong to the piece's job.
// - Two reader threads (the engine's) each keep one read request at the
//   drive, so that when one request ends the next is already waiting and
//   the drive never idles between them. A request reads one chunk at its
//   offset from a handle opened for overlapped reads, so both can read one
//   file at once. Under Wine an overlapped read of a file is done inside
//   ReadFile (it reports ERROR_IO_PENDING only once the bytes are in), so
//   each request in flight needs a thread of its own; each reader has its
//   own completion event.
// - The ring (the engine's) holds kSlots chunks of up to kSlotBytes in one
//   allocation, made once (on the runner by Prepare, or for the first piece
//   through its job's NewBuffer) and kept until the engine ends.
// - The sources (the engine's list, in reading order): the source of the
//   piece under way, then the sources named ahead (ReadAhead). The readers
//   ask for the chunks of the first source that has chunks left, so the
//   next source is read while the last chunks of the current one are
//   written and while its job ends and the next job starts. A named source
//   is opened by a reader, sharing everything (naming a file keeps nobody
//   from reading, writing or renaming it); its handle belongs to the
//   engine. A piece takes a named source only when its own handle shows the
//   same file (what the file system reports, not the path), else every
//   named source is dropped and the piece's own handle is read.
//
// Under the lock: the used_ slots from take_ on hold requests in the order
// they were asked for, so they belong to the sources in list order, and a
// source's chunks are asked for in file order. A slot is ready once its read
// ended; the piece writes a chunk only when it is ready and all of it was
// read. A source leaves the list only once no open or read of it is under
// way, and its slots are freed with it.
#include "framework/file/win32/job_engine.h"

#include <process.h>

#include <cstdint>
#include <cwchar>
#include <iterator>
#include <new>
#include <utility>

#include "framework/file/win32/copy_job.h"

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

// Every slot starts on a page: a paced drive (a direct-I/O FUSE mount) cuts
// a read into a buffer off its page boundaries into a short request more,
// and the drive waited for each.
constexpr std::size_t kPageBytes = 4096;
constexpr std::size_t kSlotStride = (CJobEngine::kSlotBytes + kPageBytes - 1) / kPageBytes * kPageBytes;
constexpr std::size_t kRingBytes = CJobEngine::kSlots * kSlotStride + kPageBytes;

char* SlotOf(char* ring, std::size_t index) {
    const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(ring) + kPageBytes - 1) & ~(kPageBytes - 1);
    return reinterpret_cast<char*>(first) + index * kSlotStride;
}

// A fresh buffer's first touch costs more than copying a few megabytes from
// a warm cache, and Wine touches every page of a read's buffer before it
// reads: the pages are had once, before anything is copied.
void TouchPages(char* buffer, std::size_t bytes) {
    volatile char* page = buffer;
    for (std::size_t at = 0; at < bytes; at += kPageBytes) page[at] = 0;
}

}  // namespace

CJobEngine::CJobEngine() {
    InitializeConditionVariable(&changed_);
    threads_[0].serve = &CJobEngine::RunTasks;
    threads_[1].serve = threads_[2].serve = &CJobEngine::ReadChunks;
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
        // They only move bytes, and a drive waiting for them is time lost.
        SetThreadPriority(thread.handle.get(), THREAD_PRIORITY_TIME_CRITICAL);
    }
    return true;
}

unsigned __stdcall CJobEngine::Entry(void* thread) {
    Thread& self = *static_cast<Thread*>(thread);
    try {
        (self.engine->*self.serve)(self.event.get());
    } catch (...) {
        // Nothing the engine calls throws; the thread ends either way.
    }
    return 0;
}

bool CJobEngine::Prepare() {
    CLockScope hold(lock_);
    if (!StartThreadsLocked()) return false;
    prepare_ = !ring_;
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

bool CJobEngine::ReadAhead(const wchar_t* path, DWORD chunk) {
    if (path == nullptr || chunk == 0 || chunk > kLargestChunk) return false;
    CLockScope hold(lock_);
    if (sourceCount_ == kMaxSources || !StartThreadsLocked()) return false;
    Source& source = SourceAt(sourceCount_);
    if (std::wcslen(path) >= std::size(source.path)) return false;
    std::wcscpy(source.path, path);
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

std::vector<DWORD> CJobEngine::ThreadIds() {
    CLockScope hold(lock_);
    std::vector<DWORD> ids;
    for (const Thread& thread : threads_) {
        if (thread.handle) ids.push_back(thread.id);
    }
    return ids;
}

void CJobEngine::RunTasks(HANDLE) {
    CLockScope hold(lock_);
    for (;;) {
        while (!quit_ && firstTask_ == nullptr && !prepare_) lock_.Sleep(changed_);
        if (quit_) return;
        if (prepare_) {
            PrepareRingLocked();
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

// Only the runner makes the ring (here, or for a piece in BeginSource), so
// it never changes while the runner does not hold the lock.
void CJobEngine::PrepareRingLocked() {
    if (!ring_) {
        std::unique_ptr<char[]> ring;
        {
            CUnlockScope touch(lock_);
            ring.reset(new (std::nothrow) char[kRingBytes]);
            if (ring) TouchPages(ring.get(), kRingBytes);
        }
        ring_ = std::move(ring);
    }
    prepare_ = false;
    Changed();
}

void CJobEngine::ReadChunks(HANDLE event) {
    CLockScope hold(lock_);
    for (;;) {
        Source* source = nullptr;
        while (!quit_ && (source = NextToReadLocked()) == nullptr) lock_.Sleep(changed_);
        if (quit_) return;
        if (source->state == Source::kNamed) {
            OpenLocked(*source);
        } else {
            ReadLocked(*source, event);
        }
    }
}

CJobEngine::Source& CJobEngine::SourceAt(std::size_t index) {
    return sources_[(firstSource_ + index) % kMaxSources];
}

// The first source in the list with chunks left to ask for, when it is to be
// opened, or is open and a slot is free; null when there is nothing to do.
CJobEngine::Source* CJobEngine::NextToReadLocked() {
    for (std::size_t i = 0; i < sourceCount_; ++i) {
        Source& source = SourceAt(i);
        if (source.stopped || source.finalAsked) continue;
        if (source.state == Source::kNamed) return &source;
        const bool canAsk = source.state == Source::kOpen && ring_ && used_ < kSlots;
        return canAsk ? &source : nullptr;
    }
    return nullptr;
}

void CJobEngine::OpenLocked(Source& source) {
    source.state = Source::kOpening;
    ++source.busy;
    unique_hfile file;
    BY_HANDLE_FILE_INFORMATION identity = {};
    LONG size = 0;
    bool opened = false;
    {
        CUnlockScope open(lock_);
        file.reset(OpenJobSource(source.path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
        opened = file && GetFileInformationByHandle(file.get(), &identity) && JobSize(identity, &size);
    }
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

void CJobEngine::ReadLocked(Source& source, HANDLE event) {
    const std::size_t index = (take_ + used_++) % kSlots;
    const DWORD left = static_cast<DWORD>(source.size - source.asked);
    const bool last = left <= source.chunk;
    Slot& slot = slots_[index];
    slot.source = &source;
    slot.ready = false;
    slot.chunk = {SlotOf(ring_.get(), index), last ? left : source.chunk, last, false};
    const std::int64_t offset = source.asked;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    at.hEvent = event;
    source.asked += static_cast<LONG>(slot.chunk.count);
    source.finalAsked = last;
    ++source.busy;
    CCopyJob* job = source.job;
    char* bytes = slot.chunk.bytes;
    const DWORD count = slot.chunk.count;
    bool ok = false;
    DWORD error = 0;
    {
        CUnlockScope read(lock_);
        DWORD moved = 0;
        const BOOL done = job != nullptr ? job->SystemRead(source.file, at, bytes, count, &moved)
                                         : ReadJobSource(source.file, at, bytes, count, &moved);
        if (!done) error = GetLastError();
        ok = done && moved == count;
    }
    --source.busy;
    slot.chunk.ok = ok;
    slot.chunk.error = error;
    slot.ready = true;
    // After a failed or short read nothing more of the source is asked for.
    if (!ok) source.stopped = true;
    Changed();
}

bool CJobEngine::IdleLocked() {
    if (prepare_ || NextToReadLocked() != nullptr) return false;
    for (std::size_t i = 0; i < sourceCount_; ++i) {
        if (SourceAt(i).busy > 0) return false;
    }
    return true;
}

bool CJobEngine::BeginSource(CCopyJob& job, HANDLE file, LONG size, DWORD chunk) {
    std::unique_ptr<char[]> ring;
    if (!ring_) ring = job.NewBuffer(kRingBytes);
    BY_HANDLE_FILE_INFORMATION identity;
    const bool known = GetFileInformationByHandle(file, &identity) != FALSE;
    CLockScope hold(lock_);
    if (!ring_) {
        if (!ring) return false;
        ring_ = std::move(ring);
    }
    if (sourceCount_ > 0) {
        Source& named = SourceAt(0);
        if (named.state == Source::kNamed) OpenLocked(named);
        while (named.state == Source::kOpening) lock_.Sleep(changed_);
        if (!known || named.state != Source::kOpen || named.chunk != chunk ||
            !SameFile(named.identity, identity)) {
            DropSourcesLocked();
        }
    }
    if (sourceCount_ == 0) {
        Source& own = SourceAt(0);
        own.state = Source::kOpen;
        own.file = file;
        own.size = size;
        own.chunk = chunk;
        sourceCount_ = 1;
    }
    SourceAt(0).job = &job;
    Changed();
    return true;
}

const CJobEngine::Chunk& CJobEngine::NextChunk() {
    CLockScope hold(lock_);
    while (used_ == 0 || !slots_[take_].ready) lock_.Sleep(changed_);
    return slots_[take_].chunk;
}

void CJobEngine::ReleaseChunk() {
    CLockScope hold(lock_);
    take_ = (take_ + 1) % kSlots;
    --used_;
    Changed();
}

void CJobEngine::EndSource(bool keepNamed) {
    CLockScope hold(lock_);
    if (!keepNamed) {
        DropSourcesLocked();
    } else {
        Source& source = SourceAt(0);
        source.stopped = true;
        WaitForSourcesLocked(1);
        FreeSlotsOfLocked(source);
        PopSourceLocked();
    }
    Changed();
}

void CJobEngine::WaitForSourcesLocked(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        while (SourceAt(i).busy > 0) lock_.Sleep(changed_);
    }
}

void CJobEngine::FreeSlotsOfLocked(const Source& source) {
    while (used_ > 0 && slots_[take_].source == &source) {
        take_ = (take_ + 1) % kSlots;
        --used_;
    }
}

void CJobEngine::PopSourceLocked() {
    sources_[firstSource_] = Source();
    firstSource_ = (firstSource_ + 1) % kMaxSources;
    --sourceCount_;
}

void CJobEngine::DropSourcesLocked() {
    for (std::size_t i = 0; i < sourceCount_; ++i) SourceAt(i).stopped = true;
    WaitForSourcesLocked(sourceCount_);
    take_ = (take_ + used_) % kSlots;
    used_ = 0;
    while (sourceCount_ > 0) PopSourceLocked();
}
