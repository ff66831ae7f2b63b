// The engine under the copy and join jobs of one installation: its threads,
// its one set of chunk buffers and the sources it reads. The prose at the
// top of job_engine.cpp says who owns what.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/file/win32/lock.h"
#include "framework/system/win32/unique_handle.h"

class CCopyJob;

class CJobEngine {
public:
    // The largest chunk a job asks for (a join's) and the slack every chunk
    // buffer has past it.
    static constexpr DWORD kLargestChunk = 3u * 1024 * 1024;
    static constexpr DWORD kChunkSlack = 512;
    static constexpr DWORD kSlotBytes = kLargestChunk + kChunkSlack;
    // Requests in flight: one thread, and one chunk buffer, each.
    static constexpr std::size_t kRequests = 3;
    // Sources being copied or named to be, at most.
    static constexpr std::size_t kMaxSources = 16;

    enum class Outcome { kDone, kStopped, kFailed };

    // Work for the runner thread. RunTask must not throw; an exception that
    // escapes it all the same ends the task, not the thread.
    class Task {
    public:
        virtual void RunTask() = 0;

    protected:
        ~Task() = default;

    private:
        friend class CJobEngine;
        Task* next_ = nullptr;
        HANDLE ended_ = nullptr;
    };

    CJobEngine();
    // Ends the threads once the reads and writes under way have ended. The
    // jobs hold the engine while they live, so no piece runs any more.
    ~CJobEngine();
    CJobEngine(const CJobEngine&) = delete;
    CJobEngine& operator=(const CJobEngine&) = delete;

    // Starts the threads and has the runner get the chunk buffers ready,
    // every page touched, before it runs the first piece; returns at once.
    // False when a thread cannot be started.
    bool Prepare();
    // Runs task.RunTask() on the runner once the tasks handed over before it
    // ended, then sets the event `ended`: the last the engine does with the
    // task. False, with nothing run, when the threads cannot be started.
    bool Run(Task& task, HANDLE ended);
    // Names `path` as the source the jobs copy after those named before it,
    // in chunks of `chunk` bytes, so it is read while they still write. The
    // next piece takes what was read only when it opens the same file
    // (volume, file index, size and time of the last write) for the same
    // chunk size; otherwise every source named is dropped. False, with
    // nothing named, for a path longer than 260 bytes, a chunk of 0 or above
    // kLargestChunk, a full list, or threads that cannot be started.
    bool ReadAhead(const char* path, DWORD chunk);
    // Waits up to `milliseconds` until no read or open is under way and none
    // can begin (nothing to read, or every request thread holds a chunk
    // waiting for its piece) and the buffers are ready; false when the time
    // ran out first.
    bool WaitUntilIdle(DWORD milliseconds);
    // The threads started so far.
    std::vector<DWORD> ThreadIds();

    // On the runner, for the piece of `job`: copies the open source `file`
    // (opened for overlapped reads) of `size` bytes in chunks of `chunk` to
    // the current position of `destination`, through job.SystemRead and
    // job.SystemWrite, noting each whole chunk written with job.ChunkWritten
    // and writing none once job.IsRunning is false. Takes over the first
    // source named when it is the same file. Returns once nothing of the
    // source is read or written any more: kDone, kStopped (a chunk was
    // about to be written while the job was not running) or kFailed (a read
    // or write failed or moved fewer bytes, or no buffers: job.NewBuffer).
    // Every source named is dropped unless the outcome is kDone.
    Outcome Copy(CCopyJob& job, HANDLE file, LONG size, DWORD chunk, HANDLE destination);

private:
    // A file read in chunks of `chunk` bytes: whole chunks while more than
    // a chunk is left, then the rest (possibly 0 bytes) in a final one.
    struct Source {
        enum State { kNamed, kOpening, kOpen, kFailed };
        State state = kNamed;
        char path[261] = {};  // of a named source
        DWORD chunk = 0;
        unique_hfile owned;  // a named source's handle, opened here
        HANDLE file = INVALID_HANDLE_VALUE;
        BY_HANDLE_FILE_INFORMATION identity = {};
        LONG size = 0;
        LONG asked = 0;           // bytes asked for so far
        bool finalAsked = false;  // its final chunk was asked for
        bool stopped = false;     // nothing more of it is asked for
        bool dropped = false;     // its chunks are not written
        int busy = 0;             // its open, or its chunks asked and not yet past their turn
        // Once a piece copies it: the piece's job and destination, and how
        // the copy went.
        CCopyJob* job = nullptr;
        HANDLE destination = INVALID_HANDLE_VALUE;
        LONG written = 0;
        bool ended = false;
        Outcome outcome = Outcome::kDone;
    };
    struct Thread {
        CJobEngine* engine = nullptr;
        void (CJobEngine::*serve)(Thread& self) = nullptr;
        char* slot = nullptr;  // a request thread's chunk buffer
        unique_handle event;   // its read's completion event
        unique_handle handle;
        DWORD id = 0;
    };
    // One chunk as read by a request thread.
    struct Chunk {
        Source* source;
        std::uint64_t turn;  // the order in which the chunks are written
        char* bytes;
        DWORD count;
        bool last;
        bool ok;  // all of it was read
    };

    static unsigned __stdcall Entry(void* thread);
    bool StartThreadsLocked();
    void RunTasks(Thread& self);
    void ServeRequests(Thread& self);
    void PrepareBuffersLocked();
    bool HaveBuffersLocked(std::unique_ptr<char[]> buffers);
    Source& SourceAt(std::size_t index);
    Source* NextToReadLocked();
    void OpenLocked(Source& source);
    void CopyChunkLocked(Source& source, Thread& self);
    void WriteInTurnLocked(const Chunk& chunk);
    Source& TakeSourceLocked(CCopyJob& job, HANDLE file, LONG size, DWORD chunk);
    bool IdleLocked();
    void PopSourceLocked();
    void DropSourcesLocked();
    void Changed();

    CLock lock_;
    // Woken at every change of what follows: the one thing every thread of
    // the engine waits on.
    CONDITION_VARIABLE changed_;
    bool quit_ = false;
    Thread threads_[1 + kRequests];  // the runner, then the request threads
    Task* firstTask_ = nullptr;
    Task* lastTask_ = nullptr;
    bool prepare_ = false;
    // The request threads' chunk buffers, kSlotBytes each, in one block.
    std::unique_ptr<char[]> buffers_;
    std::uint64_t asked_ = 0;  // chunks asked for so far
    std::uint64_t turn_ = 0;   // the next chunk to be written (or dropped)
    std::size_t freeThreads_ = 0;  // request threads started and not at work
    std::size_t inFlight_ = 0;     // reads and opens under way
    Source sources_[kMaxSources];
    std::size_t firstSource_ = 0;
    std::size_t sourceCount_ = 0;
};
