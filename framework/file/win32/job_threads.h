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
#pragma once

#include <windows.h>

#include <cstddef>
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

    CJobThreads() = default;
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

private:
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

    CLock lock_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::vector<Worker*> idle_;
};
