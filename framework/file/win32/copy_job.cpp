#include "framework/file/win32/copy_job.h"

#include <process.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

#include "framework/file/win32/lock.h"
#include "framework/system/path_text.h"
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

// The chunk buffers of ended runs, kept for the next run of any job of the
// process. The first touch of a fresh buffer's pages costs more than
// copying a few megabytes from a warm cache (13 ms for two buffers under
// Wine on this kind of machine), and the install sequence starts a new job
// for every file and a new run for every part of a join. Wine checks every
// page of a read's buffer before it reads, so a fresh buffer's pages are
// faulted in one by one: with new buffers for each part, that was most of
// the readers' time at a drive's pace. One run's worth (two buffers) is
// kept of each chunk size: copies and joins take turns in an installation.
class BufferShelf {
public:
    std::unique_ptr<char[]> Take(std::size_t bytes) {
        CLockScope scope(lock_);
        for (Kept& kept : kept_) {
            if (kept.buffer && kept.bytes == bytes) return std::move(kept.buffer);
        }
        return nullptr;
    }
    void Keep(std::unique_ptr<char[]> buffer, std::size_t bytes) {
        CLockScope scope(lock_);
        int sameSize = 0;
        Kept* empty = nullptr;
        for (Kept& kept : kept_) {
            if (!kept.buffer) {
                if (!empty) empty = &kept;
            } else if (kept.bytes == bytes) {
                ++sameSize;
            }
        }
        if (sameSize >= kPerSize || !empty) return;
        empty->buffer = std::move(buffer);
        empty->bytes = bytes;
    }

private:
    static constexpr int kPerSize = 2;
    struct Kept {
        std::unique_ptr<char[]> buffer;
        std::size_t bytes = 0;
    };
    CLock lock_;
    Kept kept_[2 * kPerSize];
};

// Never destroyed: a job may still end a run while the process exits.
BufferShelf& Shelf() {
    static BufferShelf* shelf = new BufferShelf;
    return *shelf;
}

// Hands a chunk buffer of `bytes` back for the next run.
void ShelveBuffer(std::unique_ptr<char[]> buffer, std::size_t bytes) {
    if (buffer) Shelf().Keep(std::move(buffer), bytes);
}

// Puts two buffers of each chunk size asked for on the shelf, with every
// page touched (one run's worth of each, the read-ahead's two). Lives as
// long as the process, like the shelf.
class BufferWarmUp : public CJobThreads::Task {
public:
    void RunTask() override {
        for (DWORD chunk : chunks) {
            if (chunk == 0) continue;
            const std::size_t bytes = std::size_t{chunk} + CCopyJob::kBufferSlack;
            for (int i = 0; i < 2; ++i) {
                std::unique_ptr<char[]> buffer(new (std::nothrow) char[bytes]);
                if (!buffer) return;
                TouchPages(buffer.get(), bytes);
                ShelveBuffer(std::move(buffer), bytes);
            }
        }
    }

    DWORD chunks[2] = {};
    std::atomic<bool> started{false};
    unique_handle ready{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

BufferWarmUp& WarmUp() {
    static BufferWarmUp* warmUp = new BufferWarmUp;
    return *warmUp;
}

// Whether the chunks of the process come at a drive's pace. Sharing the
// pieces of a chunk with the piece reader only pays while the reader waits
// for the drive: from a warm cache it costs a third thread, a second handle
// and a hand-over per chunk for bytes the system already holds (the copy
// took 1.2 to 1.4 times as long). Every chunk read of the read-ahead
// updates it, so the first chunk of the next file is read as the last one
// was; it starts as a drive, which is what the first file of an
// installation comes from.
std::atomic<bool> gDrivePaced{true};

// A chunk that comes slower than this came from a drive: DVD 16x is 22 MB/s,
// a warm cache several hundred MB/s even when the machine is busy.
constexpr std::int64_t kDrivePacedBytesPerSecond = 100 * 1000 * 1000;

// Notes the pace of a chunk read of `bytes` that started at `start`.
void NoteReadPace(DWORD bytes, const LARGE_INTEGER& start) {
    LARGE_INTEGER end, frequency;
    if (bytes == 0 || !QueryPerformanceCounter(&end) || !QueryPerformanceFrequency(&frequency) ||
        frequency.QuadPart <= 0)
        return;
    // Slow: the read took longer than `bytes` at the threshold's rate.
    const std::int64_t ticks = end.QuadPart - start.QuadPart;
    gDrivePaced = ticks * kDrivePacedBytesPerSecond > std::int64_t{bytes} * frequency.QuadPart;
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

CCopyJob::CCopyJob() : CCopyJob(nullptr) {}

CCopyJob::CCopyJob(std::shared_ptr<CJobThreads> threads) : threads_(std::move(threads)) {
    if (threads_) runEnded_.reset(CreateEventA(nullptr, TRUE, TRUE, nullptr));
}

CCopyJob::~CCopyJob() { StopRun(); }

bool CCopyJob::Start() {
    if (!threads_) return CThread::Start();
    if (!runEnded_) return false;
    // A piece publishes its end just before its run returns: the next run
    // of this job waits for that return, so two never overlap.
    WaitForSingleObject(runEnded_.get(), INFINITE);
    ResetEvent(runEnded_.get());
    pooledRunning_ = true;
    if (threads_->Run(pooledRun_, runEnded_.get())) return true;
    pooledRunning_ = false;
    SetEvent(runEnded_.get());
    return false;
}

void CCopyJob::Stop() {
    if (!threads_) {
        CThread::Stop();
        return;
    }
    pooledRunning_ = false;
    if (runThread_.load() == GetCurrentThreadId() || !runEnded_) return;
    WaitForSingleObject(runEnded_.get(), INFINITE);
}

bool CCopyJob::IsRunning() { return threads_ ? pooledRunning_.load() : CThread::IsRunning(); }

DWORD CCopyJob::WaitForRun(DWORD milliseconds) {
    if (!threads_) return WaitForEnd(milliseconds);
    if (!runEnded_) return WAIT_OBJECT_0;
    return WaitForSingleObject(runEnded_.get(), milliseconds);
}

void CCopyJob::StopRun() { CCopyJob::Stop(); }

void CCopyJob::PooledRun::RunTask() {
    job_.runThread_ = GetCurrentThreadId();
    job_.Run();
    job_.runThread_ = 0;
}

void CCopyJob::PrepareBuffers(CJobThreads& threads, std::initializer_list<DWORD> chunks) {
    BufferWarmUp& warmUp = WarmUp();
    if (!warmUp.ready || warmUp.started.exchange(true)) return;
    std::size_t at = 0;
    for (DWORD chunk : chunks) {
        if (at < 2) warmUp.chunks[at++] = chunk;
    }
    if (!threads.Run(warmUp, warmUp.ready.get())) SetEvent(warmUp.ready.get());
}

DWORD CCopyJob::WaitForPreparedBuffers(DWORD milliseconds) {
    BufferWarmUp& warmUp = WarmUp();
    if (!warmUp.ready) return WAIT_OBJECT_0;
    return WaitForSingleObject(warmUp.ready.get(), milliseconds);
}

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

bool CCopyJob::SetNextSource(const char* path) {
    if (status_.load() == kBusy) return false;
    if (path == nullptr) path = "";
    if (std::strlen(path) >= kMaxPathField) return false;
    CopyText(nextSource_, path);
    return true;
}

void CCopyJob::Abort() {
    // Stop clears the running flag before it waits for the worker.
    StopRun();
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

// A drive that reads ahead of nobody stands idle from the end of one read
// until the next arrives: a millisecond or two per piece under Wine on a
// busy machine, a tenth of the time of a 256 KiB piece at DVD speed. The
// piece reader keeps a second request waiting: on a handle of its own, it
// reads the odd pieces of each chunk while the reader reads the even ones,
// both at their offsets, so the drive always has the next piece asked for.
// It shares only while the chunks come at a drive's pace (gDrivePaced).
//
// It runs on a thread of the job's pool for the whole read-ahead and opens
// its handle there, while the reader reads its first pieces; when it cannot
// be opened, the reader reads every piece itself.
//
// At the end of a chunk the reader waits for the thread's last piece before
// it hands the chunk over and asks for the next one: the drive would stand
// idle for a round trip at every chunk. So when the next chunk's buffer is
// free once the reader's share is in while the thread's is not, the reader
// asks for the next chunk's first piece at once, and the thread for its
// second once its share is in; the next Read of that chunk takes them. The
// chunk is then handed over once that early piece is in, a piece's time
// later: the worker, whose buffer came back, has written the chunk before,
// and the chunks still come at the drive's rate.
class CCopyJob::PieceReader : private CJobThreads::Task {
public:
    // Where the chunk after the one being read goes, when its buffer is
    // free already.
    struct NextChunk {
        char* buffer = nullptr;
        std::int64_t start = 0;  // in the file
        DWORD count = 0;
    };
    // The reader's side: gives the next chunk and its buffer (free until
    // it is read) when it can be had at once.
    class Seam {
    public:
        virtual bool TakeNext(NextChunk* next) = 0;

    protected:
        ~Seam() = default;
    };

    PieceReader(const char* path, Seam& seam) : path_(path), seam_(seam) {}
    ~PieceReader() {
        if (ended_ == nullptr) return;
        quit_ = true;
        SetEvent(go_.get());
        WaitForSingleObject(ended_, INFINITE);
    }
    PieceReader(const PieceReader&) = delete;
    PieceReader& operator=(const PieceReader&) = delete;

    // Starts the thread; false when it cannot run (the reader then reads
    // alone).
    bool Start(CJobThreads& threads) {
        go_.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        done_.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        end_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        settled_.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        if (!go_ || !done_ || !end_ || !settled_ || !threads.Run(*this, end_.get())) return false;
        ended_ = end_.get();
        return true;
    }

    // Reads `count` bytes from the current position of `file` into `buffer`
    // as SystemRead does, sharing the pieces with the thread, and leaves the
    // position after the bytes read. False, with nothing read, when the
    // thread cannot help: the caller reads alone. Otherwise *result is what
    // ReadFile would have returned.
    bool Read(HANDLE file, char* buffer, DWORD count, DWORD* moved, BOOL* result) {
        const DWORD pieces = (count + kIoPieceBytes - 1) / kIoPieceBytes;
        if (opened_.load() == kFailed || pieces > kMaxPieces) return false;
        LARGE_INTEGER zero = {}, start = {};
        if (!SetFilePointerEx(file, zero, &start, FILE_CURRENT)) return false;
        buffer_ = buffer;
        count_ = count;
        start_ = start.QuadPart;
        pieces_ = pieces;
        stopAt_ = pieces;
        armed_ = kUnarmed;
        earlyGot_[0] = earlyGot_[1] = 0;
        SetEvent(go_.get());
        ReadShare(file, 0);
        // The thread's share still in flight: the next chunk's first piece
        // keeps the drive busy after it.
        if (opened_.load() == kOpen && stopAt_.load() == pieces && armed_.load() == kUnarmed &&
            seam_.TakeNext(&next_)) {
            LONG unarmed = kUnarmed;
            if (armed_.compare_exchange_strong(unarmed, kArmed)) {
                ++earlyAsked_;
                ReadAheadPiece(file, next_, 0);
            }
        }
        WaitForSingleObject(done_.get(), INFINITE);
        // The handle could not be opened after all: the odd pieces too.
        if (opened_.load() == kFailed) ReadShare(file, 1);

        gotEarly_ = earlyGot_[0] + earlyGot_[1];

        // As one sequential read would end: at the first failed or short
        // piece.
        *moved = 0;
        *result = TRUE;
        for (DWORD i = 0; i < pieces; ++i) {
            if (!ok_[i]) {
                *result = FALSE;
                break;
            }
            *moved += got_[i];
            if (got_[i] != Ask(i)) break;
        }
        LARGE_INTEGER after;
        after.QuadPart = start_ + *moved;
        if (!SetFilePointerEx(file, after, nullptr, FILE_BEGIN)) *result = FALSE;
        return true;
    }

    // How many bytes of the chunk of the latest Read were read at the end
    // of the chunk before it; 0 once asked.
    DWORD TakeBytesReadEarly() { return std::exchange(gotEarly_, 0); }

    // Waits until the thread reads no piece of a next chunk any more: the
    // caller is to read that chunk another way.
    void Settle() {
        while (earlyRead_.load() < earlyAsked_) WaitForSingleObject(settled_.get(), INFINITE);
    }

private:
    static constexpr LONG kPending = 0;
    static constexpr LONG kOpen = 1;
    static constexpr LONG kFailed = -1;
    static constexpr DWORD kMaxPieces = 16;  // the largest chunk is 12 pieces
    // Whether the next chunk's first pieces are read at the end of this one:
    // the reader arms it while the thread's share is in flight, else the
    // thread closes it once its share is in.
    static constexpr LONG kUnarmed = 0;
    static constexpr LONG kArmed = 1;
    static constexpr LONG kClosed = -1;

    // A piece read at the end of the chunk before its own.
    struct EarlyPiece {
        bool valid = false;
        char* buffer = nullptr;
        std::int64_t start = 0;  // of its chunk
        DWORD ask = 0;
        bool ok = false;
        DWORD got = 0;
    };

    void RunTask() override {
        source_.reset(OpenJobSource(path_));
        opened_ = source_ ? kOpen : kFailed;
        for (;;) {
            WaitForSingleObject(go_.get(), INFINITE);
            if (quit_) return;
            if (source_) ReadShare(source_.get(), 1);
            LONG unarmed = kUnarmed;
            const bool early = !armed_.compare_exchange_strong(unarmed, kClosed);
            NextChunk next;
            if (early) next = next_;
            SetEvent(done_.get());
            if (early && source_) ReadAheadPiece(source_.get(), next, 1);
            if (early) {
                ++earlyRead_;
                SetEvent(settled_.get());
            }
        }
    }

    static DWORD AskOf(DWORD count, DWORD piece) {
        const DWORD offset = piece * kIoPieceBytes;
        return count - offset < kIoPieceBytes ? count - offset : kIoPieceBytes;
    }
    DWORD Ask(DWORD piece) const { return AskOf(count_, piece); }

    // Reads `piece` (0 by the reader, 1 by the thread) of the next chunk.
    void ReadAheadPiece(HANDLE file, const NextChunk& next, DWORD piece) {
        EarlyPiece& early = early_[piece];
        early.valid = false;
        if (std::int64_t{piece} * kIoPieceBytes >= next.count) return;
        early.buffer = next.buffer;
        early.start = next.start;
        early.ask = AskOf(next.count, piece);
        early.ok = ReadFileAt(file, next.buffer + piece * kIoPieceBytes,
                          next.start + std::int64_t{piece} * kIoPieceBytes, early.ask, &early.got);
        early.valid = true;
    }

    // Reads every other piece from `first` on, until one fails or comes
    // short (or one before it did). The first may have been read early.
    void ReadShare(HANDLE file, DWORD first) {
        for (DWORD i = first; i < pieces_; i += 2) {
            ok_[i] = false;
            got_[i] = 0;
        }
        EarlyPiece& early = early_[first];
        const bool readEarly = early.valid && early.buffer == buffer_ && early.start == start_ &&
                               first < pieces_ && Ask(first) <= early.ask;
        early.valid = false;
        for (DWORD i = first; i < pieces_ && i < stopAt_.load(); i += 2) {
            DWORD got = 0;
            if (i == first && readEarly) {
                ok_[i] = early.ok;
                got = early.got < Ask(i) ? early.got : Ask(i);
            } else {
                ok_[i] = ReadFileAt(file, buffer_ + i * kIoPieceBytes,
                                start_ + std::int64_t{i} * kIoPieceBytes, Ask(i), &got);
            }
            got_[i] = ok_[i] ? got : 0;
            if (i == first && readEarly) earlyGot_[first] = got_[i];
            if (!ok_[i] || got_[i] != Ask(i)) {
                DWORD seen = stopAt_.load();
                while (i < seen && !stopAt_.compare_exchange_weak(seen, i)) {
                }
                return;
            }
        }
    }

    const char* path_;
    Seam& seam_;
    unique_hfile source_;
    std::atomic<LONG> opened_{kPending};
    std::atomic<bool> quit_{false};
    unique_handle go_;    // a chunk's pieces are there to read
    unique_handle done_;  // the thread's share of them is read
    unique_handle end_;   // set by the pool once the task ended
    unique_handle settled_;  // set after each early piece of the thread
    HANDLE ended_ = nullptr;
    // The chunk being read; written before go_ is set, read after it.
    char* buffer_ = nullptr;
    DWORD count_ = 0;
    std::int64_t start_ = 0;
    DWORD pieces_ = 0;
    std::atomic<DWORD> stopAt_{0};  // no piece from here on is read
    bool ok_[kMaxPieces] = {};
    DWORD got_[kMaxPieces] = {};
    // The next chunk, written by the reader before it arms; the thread
    // takes it once it sees it armed.
    std::atomic<LONG> armed_{kUnarmed};
    NextChunk next_;
    EarlyPiece early_[2];  // the reader's, the thread's
    // The early pieces asked of the thread (reader only) and read by it.
    unsigned earlyAsked_ = 0;
    std::atomic<unsigned> earlyRead_{0};
    // The bytes of the chunk that each side took from its early piece, and
    // their sum once the chunk is read (reader only).
    DWORD earlyGot_[2] = {};
    DWORD gotEarly_ = 0;
};

// A chunk moves through the system in pieces of kIoPieceBytes: one call of
// 2 MiB copies every byte through a buffer larger than the processor's
// cache on its way in and out of the page cache, and takes about twice as
// long on a warm cache (as `dd bs=2M` against `bs=256K` natively). A piece
// that moves fewer bytes than asked ends the call, as a short ReadFile or
// WriteFile of the whole chunk would.
BOOL CCopyJob::SystemRead(HANDLE file, char* buffer, DWORD count, DWORD* moved) {
    if (pieces_ != nullptr && count > kIoPieceBytes && gDrivePaced.load()) {
        BOOL result = FALSE;
        if (pieces_->Read(file, buffer, count, moved, &result)) return result;
    }
    // A piece of this chunk read early may still be coming in.
    if (pieces_ != nullptr) pieces_->Settle();
    *moved = 0;
    while (*moved < count) {
        DWORD ask = count - *moved < kIoPieceBytes ? count - *moved : kIoPieceBytes;
        DWORD got = 0;
        if (!ReadFile(file, buffer + *moved, ask, &got, nullptr)) return FALSE;
        *moved += got;
        if (got != ask) break;
    }
    return TRUE;
}

BOOL CCopyJob::SystemWrite(HANDLE file, const char* buffer, DWORD count, DWORD* moved) {
    *moved = 0;
    while (*moved < count) {
        DWORD ask = count - *moved < kIoPieceBytes ? count - *moved : kIoPieceBytes;
        DWORD put = 0;
        if (!WriteFile(file, buffer + *moved, ask, &put, nullptr)) return FALSE;
        *moved += put;
        if (put != ask) break;
    }
    return TRUE;
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

bool CCopyJob::ReadSourceChunk(HANDLE file, char* buffer, DWORD count, bool first, bool last,
                               DWORD* taken) {
    *taken = first && threads_ ? threads_->TakeReadAhead(source_, file, buffer, count) : 0;
    if (last) PrepareNextSource();
    if (*taken == 0) return ReadChunk(file, buffer, count);
    LARGE_INTEGER after;
    after.QuadPart = *taken;
    if (!SetFilePointerEx(file, after, nullptr, FILE_BEGIN)) return false;
    return *taken == count || ReadChunk(file, buffer + *taken, count - *taken);
}

void CCopyJob::PrepareNextSource() {
    // Always the first 2 MiB: the next piece may be a copy or a join part,
    // and a join's first chunk takes them and reads the rest itself.
    if (threads_ && pieceNextSource_[0] != '\0' && IsRunning())
        threads_->PrepareReadAhead(pieceNextSource_, kChunkBytes);
}

void CCopyJob::ReadNextSourceAhead() {
    // Even when stopped meanwhile: a stopped piece drops it as it ends.
    if (threads_ && pieceNextSource_[0] != '\0') threads_->StartReadAhead(pieceNextSource_);
}

std::unique_ptr<char[]> CCopyJob::NewBuffer(std::size_t bytes) {
    if (std::unique_ptr<char[]> kept = Shelf().Take(bytes)) return kept;
    return std::unique_ptr<char[]>(new (std::nothrow) char[bytes]);
}

// The reader of one run. It reads the chunks of the source in order into
// two buffers and hands each to the worker, which writes it and gives the
// buffer back: while chunk n is written, chunk n + 1 is read. It starts at
// the source's current position, `from` bytes into it (the worker may have
// read the first chunks itself). The chunk sizes are those of the plain
// loop: whole chunks while more than a chunk is left, then the rest
// (possibly 0 bytes) in one final read.
//
// The reader ends after the final chunk, after a failed read, when the
// job's running flag is cleared, or when the worker leaves; the destructor
// waits for it, so it never outlives the run or the handles it reads from.
// It runs on a thread of the job's pool, or on a thread of its own.
class CCopyJob::ReadAhead : private CJobThreads::Task, private PieceReader::Seam {
public:
    struct Chunk {
        std::unique_ptr<char[]> bytes;
        DWORD count = 0;
        bool last = false;
        bool ok = false;
    };

    ReadAhead(CCopyJob& job, HANDLE source, LONG size, DWORD chunk, LONG from)
        : job_(job), source_(source), size_(size), chunk_(chunk), from_(from) {}
    ~ReadAhead() {
        if (ended_ != nullptr) {
            quitting_ = true;
            SetEvent(quit_.get());
            WaitForSingleObject(ended_, INFINITE);
        }
        job_.pieces_ = nullptr;
        pieces_.reset();
        for (Chunk& c : chunks_) ShelveBuffer(std::move(c.bytes), std::size_t{chunk_} + kBufferSlack);
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The two buffers; false when one cannot be had.
    bool Allocate() {
        for (Chunk& c : chunks_) {
            c.bytes = job_.NewBuffer(std::size_t{chunk_} + kBufferSlack);
            if (!c.bytes) return false;
        }
        return true;
    }

    // Starts the reader at the worker's priority; false when it cannot run.
    bool Start() {
        free_.reset(CreateSemaphoreA(nullptr, 0, kChunks, nullptr));
        filled_.reset(CreateSemaphoreA(nullptr, 0, kChunks, nullptr));
        quit_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        if (!free_ || !filled_ || !quit_) return false;
        if (job_.threads_) {
            // The piece reader helps from the second chunk on at the latest;
            // without it the reader reads alone.
            PieceReader::Seam& seam = *this;
            pieces_ = std::make_unique<PieceReader>(job_.source_, seam);
            if (pieces_->Start(*job_.threads_))
                job_.pieces_ = pieces_.get();
            else
                pieces_.reset();
            done_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
            if (!done_ || !job_.threads_->Run(*this, done_.get())) return false;
            ended_ = done_.get();
            return true;
        }
        uintptr_t thread = _beginthreadex(nullptr, 0, &ReadAhead::Entry, this, 0, nullptr);
        if (thread == 0) return false;
        thread_.reset(reinterpret_cast<HANDLE>(thread));
        ended_ = thread_.get();
        SetThreadPriority(thread_.get(), THREAD_PRIORITY_TIME_CRITICAL);
        return true;
    }

    // Waits for the next chunk in order. Null when the reader ended without
    // one (it was stopped); the chunk's `ok` is false when its read failed.
    const Chunk* Next() {
        if (filledCount_.fetch_sub(1) <= 0) {
            HANDLE waits[] = {filled_.get(), ended_};
            // A chunk handed over before the reader ended comes first.
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) return nullptr;
        }
        return &chunks_[taken_++ % kChunks];
    }

    // Gives the buffer of the chunk from Next back to the reader.
    void Return() { Post(freeCount_, free_.get()); }

    // Asks the reader to end after the read in flight, without waiting for
    // it: Next still gives every chunk it handed over, then null.
    void Quit() {
        quitting_ = true;
        SetEvent(quit_.get());
    }

private:
    static constexpr LONG kChunks = 2;

    // Adds one to `count`, waking the thread that waits on `waiter` if any.
    static void Post(std::atomic<LONG>& count, HANDLE waiter) {
        if (count.fetch_add(1) < 0) ReleaseSemaphore(waiter, 1, nullptr);
    }

    static unsigned __stdcall Entry(void* self) {
        static_cast<ReadAhead*>(self)->RunTask();
        return 0;
    }

    void RunTask() override {
        try {
            ReadAll();
        } catch (...) {
            // Ending without handing a chunk over tells the worker.
        }
    }

    // The next chunk and its buffer, when that is free now: the buffer is
    // then taken for it.
    bool TakeNext(PieceReader::NextChunk* next) override {
        if (next_.count <= kIoPieceBytes || nextTaken_) return false;
        LONG free = freeCount_.load();
        for (;;) {
            if (free <= 0) return false;
            if (freeCount_.compare_exchange_weak(free, free - 1)) break;
        }
        nextTaken_ = true;
        *next = next_;
        return true;
    }

    void ReadAll() {
        LONG done = from_;
        for (unsigned index = 0;; ++index) {
            if (quitting_.load()) return;
            if (nextTaken_) {
                nextTaken_ = false;
            } else if (freeCount_.fetch_sub(1) <= 0) {
                HANDLE waits[] = {quit_.get(), free_.get()};
                if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
            }
            if (!job_.IsRunning()) return;
            Chunk& c = chunks_[index % kChunks];
            DWORD left = static_cast<DWORD>(size_ - done);
            c.last = left <= chunk_;
            c.count = c.last ? left : chunk_;
            // What the piece reader may start on at the end of this chunk.
            next_ = {};
            if (!c.last) {
                const DWORD after = left - c.count;
                next_.buffer = chunks_[(index + 1) % kChunks].bytes.get();
                next_.start = std::int64_t{done} + c.count;
                next_.count = after <= chunk_ ? after : chunk_;
            }
            if (pieces_) pieces_->TakeBytesReadEarly();
            LARGE_INTEGER start = {};
            QueryPerformanceCounter(&start);
            DWORD taken = 0;
            // A read-ahead started after chunks read by the worker does not
            // begin at the file's first chunk.
            c.ok = job_.ReadSourceChunk(source_, c.bytes.get(), c.count, done == 0, c.last, &taken);
            // Bytes read ahead say nothing of the drive's pace, nor do those
            // read at the end of the chunk before (a short last chunk would
            // seem to come from the cache).
            const DWORD early = pieces_ ? pieces_->TakeBytesReadEarly() : 0;
            if (c.ok && taken == 0) NoteReadPace(c.count - early, start);
            done += static_cast<LONG>(c.count);
            next_ = {};
            Post(filledCount_, filled_.get());
            if (c.last && c.ok) job_.ReadNextSourceAhead();
            if (c.last || !c.ok) return;
        }
    }

    CCopyJob& job_;
    HANDLE source_;
    LONG size_;
    DWORD chunk_;
    LONG from_;
    Chunk chunks_[kChunks];
    unsigned taken_ = 0;
    // The buffers the reader may fill and the chunks the worker may write.
    // A count below 0 is a thread waiting on the semaphore beside it, which
    // is released only then: a hand-over to a thread that does not wait
    // (the usual case from a warm cache) is no call to the system.
    std::atomic<LONG> freeCount_{kChunks};
    std::atomic<LONG> filledCount_{0};
    // The chunk after the one being read, and whether its buffer was taken
    // for it already (reader thread only).
    PieceReader::NextChunk next_;
    bool nextTaken_ = false;
    unique_handle free_;
    unique_handle filled_;
    std::atomic<bool> quitting_{false};
    unique_handle quit_;    // set when the worker leaves
    unique_handle thread_;  // the reader's own thread, without a pool
    unique_handle done_;    // set by the pool once the reader ended
    HANDLE ended_ = nullptr;  // signalled once the reader ended
    std::unique_ptr<PieceReader> pieces_;
};

bool CCopyJob::NextChunkAtDrivePace() { return gDrivePaced.load(); }

// From a warm cache the worker reads and writes each chunk itself: handing
// chunks from a reader to the worker fills a chunk on one core and writes
// it from another, and takes a second thread and a hand-over per chunk,
// with nothing to win while no drive is waited for. So the
// read-ahead runs only while chunks come at a drive's pace: from the first
// chunk when the last chunk read in the process came so, or from the chunk
// after the first one the worker read at that pace. A chunk of the
// read-ahead that came faster ends it: the chunks it read are written, and
// the worker reads the rest. A source of one chunk leaves nothing to
// overlap and is always read here.
CCopyJob::Outcome CCopyJob::Transfer(HANDLE source, HANDLE destination, DWORD chunk) {
    LONG size = 0;
    if (!JobFileSize(source, &size) || !SeekToStart(source)) return Outcome::kFailed;
    const std::size_t bufferBytes = std::size_t{chunk} + kBufferSlack;
    std::unique_ptr<char[]> own;  // the buffer of the chunks read here
    std::optional<ReadAhead> reader;
    // Starts the read-ahead for the chunks from `from` on: kDone once it
    // runs, else how the run ends.
    auto readAhead = [&](LONG from) {
        reader.emplace(*this, source, size, chunk, from);
        if (!reader->Allocate()) return Outcome::kFailed;
        if (!IsRunning()) return Outcome::kStopped;
        return reader->Start() ? Outcome::kDone : Outcome::kFailed;
    };
    if (static_cast<DWORD>(size) > chunk && NextChunkAtDrivePace()) {
        const Outcome started = readAhead(0);
        if (started != Outcome::kDone) return started;
    } else {
        own = NewBuffer(bufferBytes);
        if (!own) return Outcome::kFailed;
    }
    struct ShelveOwn {
        std::unique_ptr<char[]>& buffer;
        std::size_t bytes;
        ~ShelveOwn() { ShelveBuffer(std::move(buffer), bytes); }
    } shelveOwn{own, bufferBytes};

    LONG copied = 0;
    bool quitting = false;  // the read-ahead was asked to end
    for (;;) {
        const char* bytes = nullptr;
        DWORD count = 0;
        bool last = false;
        bool ahead = reader.has_value();  // the chunk is in a reader's buffer
        if (ahead) {
            const ReadAhead::Chunk* next = reader->Next();
            if (next == nullptr && quitting) {
                // Every chunk read ahead is written: the rest is read here.
                reader.reset();
                quitting = false;
                own = NewBuffer(bufferBytes);
                if (!own) return Outcome::kFailed;
                continue;
            }
            if (next == nullptr) return IsRunning() ? Outcome::kFailed : Outcome::kStopped;
            if (!next->ok) return Outcome::kFailed;
            bytes = next->bytes.get();
            count = next->count;
            last = next->last;
            if (!last && !quitting && !NextChunkAtDrivePace()) {
                reader->Quit();
                quitting = true;
            }
        } else {
            if (!IsRunning()) return Outcome::kStopped;
            const DWORD left = static_cast<DWORD>(size - copied);
            last = left <= chunk;
            count = last ? left : chunk;
            LARGE_INTEGER start = {};
            QueryPerformanceCounter(&start);
            DWORD taken = 0;
            if (!ReadSourceChunk(source, own.get(), count, copied == 0, last, &taken))
                return Outcome::kFailed;
            // The next source is read while this one's last chunk is written.
            if (last) ReadNextSourceAhead();
            bytes = own.get();
            // Bytes read ahead say nothing of the drive's pace.
            if (!last && taken == 0) {
                NoteReadPace(count, start);
                // This chunk came from a drive: the rest is read ahead.
                if (NextChunkAtDrivePace()) {
                    const Outcome started = readAhead(copied + static_cast<LONG>(count));
                    if (started != Outcome::kDone) return started;
                }
            }
        }
        // A stop that came while this chunk was read ends the run before it
        // is written: the destination keeps whole chunks either way.
        if (!IsRunning()) return Outcome::kStopped;
        if (!WriteChunk(destination, bytes, count)) return Outcome::kFailed;
        if (last) return Outcome::kDone;
        if (ahead) reader->Return();
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
    CopyText(pieceNextSource_, nextSource_);
    nextSource_[0] = '\0';
    if (!Start()) {
        status_ = kFailed;
        return false;
    }
    // Pool threads run at this priority already.
    if (!threads_) SetPriority(THREAD_PRIORITY_TIME_CRITICAL);
    return true;
}

void CCopyJob::Publish(Outcome outcome) {
    // The caller will not go on to the next source as it said.
    if (outcome != Outcome::kDone && threads_ && pieceNextSource_[0] != '\0')
        threads_->DropReadAhead(pieceNextSource_);
    if (outcome == Outcome::kFailed) {
        status_ = kFailed;
    } else if (outcome == Outcome::kDone) {
        // Percent first: a poller that reads status 0 and then the percent
        // is sure to read 100.
        percent_ = 100;
        status_ = kIdle;
    }
}
