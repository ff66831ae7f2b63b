// Long-lived threads for the copy and join jobs. Starting a thread costs
// several milliseconds under Wine (more than copying a small file from a
// warm cache), and an installation runs a job for every file with a reader
// beside it; with the drive paced, every one of those milliseconds is time
// the drive stands idle. The jobs made by one factory run their pieces and
// their read-ahead on the threads of one CJobThreads instead, which keeps
// each thread waiting between tasks for the next one.
//
// A task runs on an idle thread, or on a new one when all are busy, so two
// tasks never wait for each other. The threads run at time-critical
// priority: they only move bytes. The destructor ends every thread; it
// waits for a task still running, so the owners of tasks (the jobs, which
// hold the pool while they live) end their tasks first.
//
// The pool also reads ahead the first bytes of the source a job's caller
// names as the one it opens next (CCopyJob::SetNextSource): at the end of a
// file the drive then goes on reading while the last chunk is written and
// the next job starts, and that job takes the bytes instead of reading them
// again. Only one such read ahead is kept; it never outlives the pool.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/file/win32/lock.h"
#include "framework/system/win32/unique_handle.h"

class CJobThreads {
public:
    // Work handed to a thread of the pool. RunTask must not throw; an
    // exception that escapes it all the same ends the task, not the thread.
    class Task {
    public:
        virtual void RunTask() = 0;

    protected:
        ~Task() = default;
    };

    CJobThreads();
    // Ends every thread (waiting for a task still running).
    ~CJobThreads();
    CJobThreads(const CJobThreads&) = delete;
    CJobThreads& operator=(const CJobThreads&) = delete;

    // Runs task.RunTask() on a thread of the pool, then sets the event
    // `ended`: the last thing the pool does with the task, so its owner may
    // go once the event is set. False, with nothing run and `ended` left as
    // it was, when no thread could be had.
    bool Run(Task& task, HANDLE ended);
    // Starts idle threads until there are at least `count`, so the first
    // tasks do not wait for a thread's start. False when one cannot start.
    bool Reserve(std::size_t count);
    // The threads started so far, busy or idle.
    std::size_t ThreadCount();
    // The ids of those threads.
    std::vector<DWORD> ThreadIds();

    // Gets a read ahead of the first `bytes` of `path` (all of it when it
    // is smaller) ready on two threads of the pool (one when no second can
    // be had), into a buffer the pool keeps: each opens the file and notes
    // what it is, and they read alternate pieces once StartReadAhead says
    // the drive is free. Drops a read ahead not taken.
    // Nothing is read when no thread or buffer can be had.
    void PrepareReadAhead(const char* path, DWORD bytes);
    // Lets the read ahead of `path`, if it is the one prepared, read.
    void StartReadAhead(const char* path);
    // Copies at most `count` bytes read ahead of `path` into `buffer` when
    // they came from the same file as the open handle `file` (same volume,
    // file index, size and last write time as before they were read),
    // waiting for the read if it is still going (and letting it start). Returns how many bytes were
    // copied: 0 for another path, another or changed file or a failed read.
    // The read ahead is dropped either way.
    DWORD TakeReadAhead(const char* path, HANDLE file, char* buffer, DWORD count);
    // Drops the read ahead of `path` (whatever path, when null): stops it at
    // its next piece and waits for it.
    void DropReadAhead(const char* path);
    // Waits up to `milliseconds` for a read ahead in flight to end; false
    // when it is still reading.
    bool WaitForReadAhead(DWORD milliseconds);

private:
    class SourceAhead;

    struct Worker {
        CJobThreads* pool = nullptr;
        unique_handle thread;
        unique_handle wake;  // auto-reset: a task (or the end) is there
        DWORD id = 0;
        Task* task = nullptr;
        HANDLE ended = nullptr;
        bool quit = false;
    };

    static unsigned __stdcall Entry(void* worker);
    // Runs the tasks handed to `worker` until it is told to quit.
    void Serve(Worker& worker);
    // A new idle worker; null when its thread cannot be started.
    Worker* StartWorkerLocked();

    // Stops `ahead` (waiting for its thread) and keeps its buffer for the
    // next.
    void Retire(std::unique_ptr<SourceAhead> ahead);

    CLock lock_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::vector<Worker*> idle_;
    // The read ahead of the next source, the last one taken (its thread may
    // still be closing the file) and a buffer for the next one; guarded by
    // aheadLock_.
    CLock aheadLock_;
    std::unique_ptr<SourceAhead> ahead_;
    std::unique_ptr<SourceAhead> taken_;
    std::unique_ptr<char[]> spare_;
    std::size_t spareBytes_ = 0;
};

// Reads `ask` bytes at `offset` of the synchronous handle `file` into
// `buffer`, as the readers that share out a file's pieces do: false when the
// system refuses; past the end it is a short read (*got below `ask`).
bool ReadFileAt(HANDLE file, char* buffer, std::int64_t offset, DWORD ask, DWORD* got);

// Touches every page of `bytes` bytes at `buffer`, so that the system has
// them in place before a read: Wine checks each page of a read's buffer, and
// a fresh buffer's first touch costs more than a few megabytes of copying.
void TouchPages(char* buffer, std::size_t bytes);

