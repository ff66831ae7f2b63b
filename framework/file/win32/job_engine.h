// The engine under the copy and join jobs of one installation: its threads,
// its one ring of chunk buffers and the sources it reads into that ring.
// The prose at the top of job_engine.cpp says who owns what.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "framework/file/win32/lock.h"
#include "framework/system/win32/unique_handle.h"

class CCopyJob;

class CJobEngine {
public:
    // The largest chunk a job asks for (a join's) and the slack every chunk
    // buffer has past it; a slot of the ring holds one chunk.
    static constexpr DWORD kLargestChunk = 3u * 1024 * 1024;
    static constexpr DWORD kChunkSlack = 512;
    static constexpr DWORD kSlotBytes = kLargestChunk + kChunkSlack;
    static constexpr std::size_t kSlots = 4;
    // Sources being read or named to be read, at most.
    static constexpr std::size_t kMaxSources = 16;

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

    // One chunk of the source being copied, as it lies in the ring.
    struct Chunk {
        char* bytes = nullptr;
        DWORD count = 0;
        bool last = false;  // the source's final chunk
        bool ok = false;    // every one of the `count` bytes was read
        DWORD error = 0;    // of a failed read, the system's error (0 for a short one)
    };

    CJobEngine();
    // Ends the threads once the reads in flight have ended. The jobs hold
    // the engine while they live, so no piece runs any more.
    ~CJobEngine();
    CJobEngine(const CJobEngine&) = delete;
    CJobEngine& operator=(const CJobEngine&) = delete;

    // Starts the threads and has the runner get the ring ready, every page
    // touched, before it runs the first piece; returns at once. False when a
    // thread cannot be started.
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
    // nothing named, for a path longer than 260 characters, a chunk of 0 or above
    // kLargestChunk, a full list, or threads that cannot be started.
    bool ReadAhead(const wchar_t* path, DWORD chunk);
    // Waits up to `milliseconds` until the readers have nothing left to do
    // and the ring is ready; false when they are still busy.
    bool WaitUntilIdle(DWORD milliseconds);
    // The threads started so far.
    std::vector<DWORD> ThreadIds();

    // The piece on the runner reads its source through these.
    //
    // Starts reading the open source `file` (opened for overlapped reads) of
    // `size` bytes in chunks of `chunk`, through job.SystemRead, unless the
    // first source named is the same file: that one goes on. False when no
    // ring can be had (job.NewBuffer).
    bool BeginSource(CCopyJob& job, HANDLE file, LONG size, DWORD chunk);
    // Waits for the source's next chunk, in order. Valid until ReleaseChunk
    // or EndSource.
    const Chunk& NextChunk();
    // Gives the slot of the chunk from NextChunk back for reading.
    void ReleaseChunk();
    // Ends the source: asks for nothing more of it, waits for its reads in
    // flight and frees its slots. With `keepNamed` false the sources named
    // ahead are dropped too. The handle of a named source is closed here.
    void EndSource(bool keepNamed);

private:
    // A file read into the ring, in chunks of `chunk` bytes: whole chunks
    // while more than a chunk is left, then the rest (possibly 0 bytes).
    struct Source {
        enum State { kNamed, kOpening, kOpen, kFailed };
        State state = kNamed;
        wchar_t path[261] = {};  // of a named source
        DWORD chunk = 0;
        unique_hfile owned;  // a named source's handle, opened here
        HANDLE file = INVALID_HANDLE_VALUE;
        BY_HANDLE_FILE_INFORMATION identity = {};
        LONG size = 0;
        LONG asked = 0;           // bytes asked for so far
        bool finalAsked = false;  // its final chunk was asked for
        bool stopped = false;     // nothing more of it is asked for
        int busy = 0;             // its open or reads under way
        CCopyJob* job = nullptr;  // the piece that copies it, once one does
    };
    struct Slot {
        Chunk chunk;
        Source* source = nullptr;
        bool ready = false;
    };
    struct Thread {
        CJobEngine* engine = nullptr;
        void (CJobEngine::*serve)(HANDLE event) = nullptr;
        unique_handle event;  // a reader's completion event
        unique_handle handle;
        DWORD id = 0;
    };

    static unsigned __stdcall Entry(void* thread);
    bool StartThreadsLocked();
    void RunTasks(HANDLE unused);
    void ReadChunks(HANDLE event);
    void PrepareRingLocked();
    Source& SourceAt(std::size_t index);
    Source* NextToReadLocked();
    void OpenLocked(Source& source);
    void ReadLocked(Source& source, HANDLE event);
    bool IdleLocked();
    // Waits until no read or open of the first `count` sources is under way.
    void WaitForSourcesLocked(std::size_t count);
    void FreeSlotsOfLocked(const Source& source);
    void PopSourceLocked();
    void DropSourcesLocked();
    void Changed();

    CLock lock_;
    // Woken at every change of what follows: the one thing every thread
    // of the engine waits on.
    CONDITION_VARIABLE changed_;
    bool quit_ = false;
    Thread threads_[3];  // the runner, then the two readers
    Task* firstTask_ = nullptr;
    Task* lastTask_ = nullptr;
    bool prepare_ = false;
    std::unique_ptr<char[]> ring_;
    Slot slots_[kSlots];
    std::size_t take_ = 0;  // the slot of the next chunk to write
    std::size_t used_ = 0;  // slots from take_ on asked for, in order
    Source sources_[kMaxSources];
    std::size_t firstSource_ = 0;
    std::size_t sourceCount_ = 0;
};
