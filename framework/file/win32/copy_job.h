// Copy jobs: a worker thread that copies one file to a destination path in
// chunks of 2 MiB, while the owner polls its status and percent.
//
// For a source of more than one chunk whose chunks come at a drive's pace, a
// second thread of the job reads one chunk ahead into a second buffer, so
// the drive is never left idle while a chunk is written. It works only
// inside a run: every run ends with its reader done. From a warm cache the
// worker reads and writes each chunk itself.
//
// At the end of a piece the drive would stand idle while the last chunk is
// written and the caller starts the next piece. A caller that names the
// source it opens next (SetNextSource) has its first chunk read meanwhile on
// a thread of the pool, and the next piece begins with those bytes.
//
// A job made without threads starts a worker thread (and a reader) of its
// own for every piece; they are gone once the piece has ended and the job
// was stopped. A job made over a CJobThreads runs both on threads of that
// pool instead, which outlive the piece and serve the next job at once.
//
// Poll protocol (the owner's side; the job never calls back):
//   status  1  busy. Every start operation sets it (with percent 0) before
//              the worker thread exists, so a poller never takes the end of
//              an earlier piece for the end of the new one.
//   status  0  idle (never started) or finished. A finished piece reads
//              status 0 with percent 100, and is published only after the
//              job has closed the files it will close.
//   status -1  failed: an open, size check, allocation, read or write
//              failed, or a read or write moved fewer bytes than asked.
//              The percent keeps its last value.
// Percent moves only after whole chunks and may read 100 while the status
// is still 1, so the end of a piece is status 0 AND percent 100.
//
// A failed job accepts a new start operation; a busy one does not. A job
// stopped before it finished (Abort, Stop, destruction) keeps status 1; its
// destination holds whole chunks only, and the stop waits at most for the
// read and the write in flight.
// Sizes are signed 32-bit: a source of 2 GiB or more fails.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <initializer_list>
#include <memory>

#include "framework/file/win32/job_threads.h"
#include "framework/file/win32/thread.h"

class CCopyJob : public CThread {
public:
    static constexpr DWORD kChunkBytes = 2u * 1024 * 1024;
    // The most one ReadFile or WriteFile call of the job moves.
    static constexpr DWORD kIoPieceBytes = 256u * 1024;
    // The chunk buffer is this much larger than the chunk.
    static constexpr DWORD kBufferSlack = 512;
    // Path fields: 260 bytes of path and the terminating zero.
    static constexpr std::size_t kMaxPathField = 261;
    static constexpr LONG kIdle = 0;
    static constexpr LONG kBusy = 1;
    static constexpr LONG kFailed = -1;

    CCopyJob();
    // Runs every piece on the threads of `threads` (null: threads of its own).
    explicit CCopyJob(std::shared_ptr<CJobThreads> threads);
    // Asks the worker to stop and waits for it: a copy in progress ends
    // after its current chunk and leaves a partial destination behind.
    ~CCopyJob() override;

    void Run() override;
    // Over a pool: hands the run to a thread of the pool (once the previous
    // run of this job has ended). Otherwise as CThread.
    bool Start() override;
    // Over a pool: clears the running flag and waits for the run to end
    // (only clears the flag when called from the run itself).
    void Stop() override;
    bool IsRunning() override;
    // Waits up to `milliseconds` for the current run to end: WAIT_OBJECT_0
    // when it has ended (or none was started), WAIT_TIMEOUT otherwise.
    DWORD WaitForRun(DWORD milliseconds);

    // Gets two buffers of each chunk size in `chunks` (at most two sizes:
    // a copy's and a join's) ready for the first runs of the process on a
    // thread of `threads`: the first touch of a buffer's pages costs more
    // than copying a few megabytes from a warm cache, and Wine touches every
    // page of a read's buffer. To be called while nothing is copied yet.
    // Returns at once; only the first call of the process does anything.
    static void PrepareBuffers(CJobThreads& threads, std::initializer_list<DWORD> chunks);
    // Waits up to `milliseconds` for the buffers of PrepareBuffers:
    // WAIT_OBJECT_0 once they are ready (or could not be had), WAIT_TIMEOUT
    // otherwise, and also when PrepareBuffers was never called.
    static DWORD WaitForPreparedBuffers(DWORD milliseconds);

    virtual LONG GetStatus();
    virtual LONG GetPercent();
    // Join operations; a plain copy job refuses them (false).
    virtual bool BeginJoin(const char* destination, const char* firstPart);
    virtual bool AppendPart(const char* part);
    virtual bool AppendLastPart(const char* part);
    // Copies `source` to `destination`, creating the destination's folder
    // chain. False, with nothing changed, when the job is busy or a path is
    // missing or longer than 260 bytes; false with status -1 when the worker
    // thread could not be started.
    virtual bool StartCopy(const char* source, const char* destination);
    // Clears the running flag and waits for the worker to end.
    virtual void Abort();
    // Names the source its caller opens next, on this job or another of the
    // same pool (null or empty: none), for the next start operation only.
    // Over a pool, `path` is opened on a thread of the pool while that
    // piece reads its last chunk, and its first 2 MiB are read once that
    // chunk is in; the next piece that opens the same, unchanged file takes
    // them instead of reading them again. A piece that fails or is stopped
    // drops them. False, with nothing stored, when the job is busy or the
    // path is longer than 260 bytes.
    virtual bool SetNextSource(const char* path);

protected:
    enum class Outcome { kDone, kStopped, kFailed };
    // The read-ahead of one run (copy_job.cpp).
    class ReadAhead;
    // A second reader of the pieces of a chunk (copy_job.cpp).
    class PieceReader;

    // The system calls that move bytes and the buffer allocation, as seams:
    // tests replace them to fake short transfers and failed allocations.
    // They answer as ReadFile and WriteFile do of `count` bytes (moving them
    // in pieces of kIoPieceBytes; over a pool, with two pieces of the read
    // ahead asked for at a time while the chunks come at a drive's pace).
    // SystemWrite runs on the worker, SystemRead on the reader thread while
    // the chunks are read ahead, else on the worker.
    virtual BOOL SystemRead(HANDLE file, char* buffer, DWORD count, DWORD* moved);
    virtual BOOL SystemWrite(HANDLE file, const char* buffer, DWORD count, DWORD* moved);
    // Null when the buffer cannot be had.
    virtual std::unique_ptr<char[]> NewBuffer(std::size_t bytes);
    // Whether the next chunk is expected at a drive's pace (then it is read
    // ahead): as the latest chunk read in the process came. A seam for
    // tests, which choose the path a run takes.
    virtual bool NextChunkAtDrivePace();

    // True only when all `count` bytes moved.
    bool ReadChunk(HANDLE file, char* buffer, DWORD count);
    // Reads the next chunk of `source_` (open as `file`) as ReadChunk does.
    // The `first` chunk (at the file's start) takes the bytes read ahead of
    // it when they are those of the same file; *taken says how many were
    // (0 for any other chunk). For the `last` chunk the next source is got
    // ready meanwhile.
    bool ReadSourceChunk(HANDLE file, char* buffer, DWORD count, bool first, bool last,
                         DWORD* taken);
    // Gets the read ahead of the next source of this piece ready (if one was
    // named) while its last chunk is read, and lets it read once it was.
    void PrepareNextSource();
    void ReadNextSourceAhead();
    bool WriteChunk(HANDLE file, const char* buffer, DWORD count);
    // Copies the whole of `source` (from its start) to the current position
    // of `destination` in chunks of `chunk` bytes, updating the percent
    // after each full chunk and giving up when the running flag is cleared.
    // While the chunks come at a drive's pace, the next chunk is read (on a
    // reader thread) while the current one is written.
    Outcome Transfer(HANDLE source, HANDLE destination, DWORD chunk);
    // Stores the paths into `destination_` and `source_` (a null pointer
    // keeps the field). False, with nothing stored, when one does not fit.
    bool StorePaths(const char* destination, const char* source);
    // Creates the folder chain of `destination_`.
    void CreateDestinationFolder();
    // Starts the worker at time-critical priority; on failure status -1.
    bool Launch();
    // Stops the worker of this class, whatever a derived class made of Stop.
    void StopRun();
    // Ends a run: status -1 on failure, 0 with percent 100 when done; a
    // stopped run leaves the status busy. Must be the run's last action.
    void Publish(Outcome outcome);

    char destination_[kMaxPathField] = {};
    char source_[kMaxPathField] = {};
    // The next source for the next start, and that of the current piece.
    char nextSource_[kMaxPathField] = {};
    char pieceNextSource_[kMaxPathField] = {};
    std::atomic<LONG> status_{kIdle};
    std::atomic<LONG> percent_{0};

private:
    // A run of the job on a pool thread.
    class PooledRun : public CJobThreads::Task {
    public:
        explicit PooledRun(CCopyJob& job) : job_(job) {}
        void RunTask() override;

    private:
        CCopyJob& job_;
    };

    std::shared_ptr<CJobThreads> threads_;
    PooledRun pooledRun_{*this};
    // Over a pool: set while no run is on a thread (manual reset).
    unique_handle runEnded_;
    std::atomic<bool> pooledRunning_{false};
    // The pool thread of the current run; 0 between runs.
    std::atomic<DWORD> runThread_{0};
    // The second reader of the read-ahead in progress (pool only), else null.
    PieceReader* pieces_ = nullptr;
};

// Opens `path` for reading (shared for reading only); the returned handle
// is INVALID_HANDLE_VALUE on failure.
HANDLE OpenJobSource(const char* path);
// Creates (or truncates) `path` for writing; INVALID_HANDLE_VALUE on failure.
HANDLE CreateJobDestination(const char* path);
