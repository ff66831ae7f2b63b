#include "framework/file/win32/job_threads.h"

#include <process.h>

CJobThreads::~CJobThreads() {
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
