// Copy jobs: copy one file to a destination path in chunks of 2 MiB while
// the owner polls their status and percent.
//
// A job runs each piece of work on the runner thread of a CJobEngine, whose
// reader threads read the source into the engine's ring while the piece
// writes it (job_engine.cpp says who owns which thread, buffer and handle).
// The jobs made by one factory share one engine, so what the factory names
// ahead (CJobEngine::ReadAhead) is read while the piece before it ends; a
// job made without an engine makes one of its own at its first start.
//
// Poll protocol (the owner's side; the job never calls back):
//   status  1  busy. Every start operation sets it (with percent 0) before
//              the piece is handed to the runner, so a poller never takes
//              the end of an earlier piece for the end of the new one.
//   status  0  idle (never started) or finished. A finished piece reads
//              status 0 with percent 100, and is published only after the
//              job has closed the files it will close.
//   status -1  failed: an open, size check, allocation, read or write
//              failed, or a read or write moved fewer bytes than asked.
//              The percent keeps its last value; GetFailure says why.
// Percent moves only after whole chunks and may read 100 while the status
// is still 1, so the end of a piece is status 0 AND percent 100. A chunk is
// written only once all of it was read.
//
// A failed job accepts a new start operation; a busy one does not. A job
// stopped before it finished (Abort, Stop, destruction) keeps status 1; its
// destination holds whole chunks only, and the stop waits at most for the
// reads in flight and the write in progress.
// Sizes are signed 32-bit: a source of 2 GiB or more fails.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "framework/file/win32/job_engine.h"
#include "framework/file/win32/thread.h"

class CCopyJob : public CThread {
public:
    static constexpr DWORD kChunkBytes = 2u * 1024 * 1024;
    // The most one WriteFile call of the job moves.
    static constexpr DWORD kWritePieceBytes = 256u * 1024;
    // The chunk buffer is this much larger than the chunk.
    static constexpr DWORD kBufferSlack = CJobEngine::kChunkSlack;
    // Path fields: 260 UTF-16 code units of path and the terminating zero.
    static constexpr std::size_t kMaxPathField = 261;
    static constexpr LONG kIdle = 0;
    static constexpr LONG kBusy = 1;
    static constexpr LONG kFailed = -1;

    CCopyJob();
    // Runs every piece on `engine` (null: an engine of its own).
    explicit CCopyJob(std::shared_ptr<CJobEngine> engine);
    // Asks the piece under way to stop and waits for it: a copy in progress
    // ends after its current chunk and leaves a partial destination behind.
    ~CCopyJob() override;

    void Run() override;
    // Hands the piece to the engine's runner, once the previous piece of
    // this job has ended.
    bool Start() override;
    // Clears the running flag and waits for the piece to end (only clears
    // the flag when called from the piece itself).
    void Stop() override;
    bool IsRunning() override;
    // Waits up to `milliseconds` for the current piece to end: WAIT_OBJECT_0
    // when it has ended (or none was started), WAIT_TIMEOUT otherwise.
    DWORD WaitForRun(DWORD milliseconds);

    virtual LONG GetStatus();
    virtual LONG GetPercent();
    // Why the last piece failed, once the status reads -1: the system's
    // error number (0 where the system gave none: a short read or write, a
    // source too large, no buffer, a piece that could not be started) and
    // the bytes the piece wrote to its destination before it failed.
    struct Failure {
        DWORD error = 0;
        std::uint64_t written = 0;
    };
    Failure GetFailure() const { return failure_; }
    // Join operations; a plain copy job refuses them (false).
    virtual bool BeginJoin(const wchar_t* destination, const wchar_t* firstPart);
    virtual bool AppendPart(const wchar_t* part);
    virtual bool AppendLastPart(const wchar_t* part);
    // Copies `source` to `destination`, creating the destination's folder
    // chain. False, with nothing changed, when the job is busy or a path is
    // missing or longer than 260 characters; false with status -1 when the piece
    // could not be handed to the engine.
    virtual bool StartCopy(const wchar_t* source, const wchar_t* destination);
    // Clears the running flag and waits for the piece to end.
    virtual void Abort();

protected:
    friend class CJobEngine;
    enum class Outcome { kDone, kStopped, kFailed };

    // The system calls that move bytes and the allocation of the engine's
    // ring, as seams: tests replace them to fake short transfers and failed
    // allocations. SystemRead answers as ReadJobSource, on a reader thread
    // of the engine (two may read at once); SystemWrite as WriteFile of
    // `count` bytes (moving them in pieces of kWritePieceBytes), on the
    // runner.
    virtual BOOL SystemRead(HANDLE file, OVERLAPPED& at, char* buffer, DWORD count, DWORD* moved);
    virtual BOOL SystemWrite(HANDLE file, const char* buffer, DWORD count, DWORD* moved);
    // Null when the buffer cannot be had.
    virtual std::unique_ptr<char[]> NewBuffer(std::size_t bytes);

    // Copies the whole of the open `source` to the current position of
    // `destination` in chunks of `chunk` bytes, updating the percent after
    // each full chunk and giving up when the running flag is cleared.
    Outcome Transfer(HANDLE source, HANDLE destination, DWORD chunk);
    // Stores the paths into `destination_` and `source_` (a null pointer
    // keeps the field). False, with nothing stored, when one does not fit.
    bool StorePaths(const wchar_t* destination, const wchar_t* source);
    // Creates the folder chain of `destination_`.
    void CreateDestinationFolder();
    // Starts the piece; on failure status -1.
    bool Launch();
    // Stops the piece of this class, whatever a derived class made of Stop.
    void StopRun();
    // Ends a run: status -1 on failure, 0 with percent 100 when done; a
    // stopped run leaves the status busy. Must be the run's last action.
    void Publish(Outcome outcome);
    // Records the system's error `error` (0: none given) as why the piece
    // fails; returns kFailed.
    Outcome Failed(DWORD error);

    wchar_t destination_[kMaxPathField] = {};
    wchar_t source_[kMaxPathField] = {};
    std::atomic<LONG> status_{kIdle};
    std::atomic<LONG> percent_{0};
    // Written by the piece before it publishes status -1, read by the owner
    // after it read that status.
    Failure failure_;

private:
    // The piece as a task of the engine's runner.
    class Piece : public CJobEngine::Task {
    public:
        explicit Piece(CCopyJob& job) : job_(job) {}
        void RunTask() override;

    private:
        CCopyJob& job_;
    };

    // Opens both files of a copy and transfers the source.
    Outcome CopySource();
    Outcome WriteChunks(HANDLE destination, LONG size, DWORD chunk);

    std::shared_ptr<CJobEngine> engine_;
    Piece piece_{*this};
    // Set while no piece is with the engine (manual reset).
    unique_handle pieceEnded_;
    std::atomic<bool> running_{false};
    // The runner's thread while it runs a piece of this job; 0 otherwise.
    std::atomic<DWORD> pieceThread_{0};
};

// The one place where the jobs' paths become files. A source is opened for
// overlapped reads at an offset (ReadJobSource), shared for reading only
// unless `share` says more; INVALID_HANDLE_VALUE on failure.
HANDLE OpenJobSource(const wchar_t* path, DWORD share = FILE_SHARE_READ);
// Creates (or truncates) `path` for writing; INVALID_HANDLE_VALUE on failure.
HANDLE CreateJobDestination(const wchar_t* path);
// Reads `count` bytes at the offset of `at` from a source opened by
// OpenJobSource into `buffer`, waiting for the read with the event of `at`.
// FALSE when the system refuses; past the end of the file a short read.
BOOL ReadJobSource(HANDLE file, OVERLAPPED& at, char* buffer, DWORD count, DWORD* moved);
