// Helpers shared by the copy and join job tests: a poller that follows the
// install sequence's protocol and checks it on the way, a job with seams
// that fake short transfers, failed allocations and failed starts, and small
// file helpers.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "framework/file/copy_job.h"
#include "tests/support/scratch.h"

namespace jobtest {

constexpr DWORD kBound = 30000;  // every wait on a job ends by then
constexpr LONG kNoSize = -1;

struct PollResult {
    LONG status = CCopyJob::kBusy;  // 1 when the poll timed out
    LONG percent = 0;
    std::string problem;  // empty while the protocol held
};

// Polls `job` until it fails (status -1) or ends a piece (status 0 with
// percent 100). On the way the status must stay 1, the percent must stay
// within 0..100 and never go down, and status 0 must come with percent 100.
inline PollResult PollJob(CCopyJob& job, DWORD timeoutMs = kBound) {
    PollResult result;
    LONG lastPercent = 0;
    DWORD start = GetTickCount();
    for (;;) {
        LONG status = job.GetStatus();
        LONG percent = job.GetPercent();
        result.status = status;
        result.percent = percent;
        if (status == CCopyJob::kFailed) return result;
        if (percent < lastPercent || percent < 0 || percent > 100)
            result.problem = "percent went from " + std::to_string(lastPercent) + " to " +
                             std::to_string(percent);
        lastPercent = percent;
        if (status == CCopyJob::kIdle) {
            if (percent != 100) result.problem = "status 0 with percent " + std::to_string(percent);
            return result;
        }
        if (status != CCopyJob::kBusy) {
            result.problem = "status " + std::to_string(status);
            return result;
        }
        if (GetTickCount() - start >= timeoutMs) {
            result.problem = "timed out";
            return result;
        }
        Sleep(1);
    }
}

// Expects a finished piece with the protocol held.
#define EXPECT_PIECE_DONE(job)                              \
    do {                                                    \
        jobtest::PollResult polled = jobtest::PollJob(job); \
        EXPECT_EQ(polled.problem, "");                      \
        EXPECT_EQ(polled.status, 0);                        \
        EXPECT_EQ(polled.percent, 100);                     \
    } while (0)

#define EXPECT_PIECE_FAILED(job)                            \
    do {                                                    \
        jobtest::PollResult polled = jobtest::PollJob(job); \
        EXPECT_EQ(polled.problem, "");                      \
        EXPECT_EQ(polled.status, -1);                       \
    } while (0)

// A job of kind `Base` (CCopyJob or CJoinJob) whose byte moves, buffer and
// start can be made to misbehave, and which can hold its worker after a
// given write until the test lets it go on.
template <typename Base>
class ScriptedJob : public Base {
public:
    ScriptedJob() {
        reached_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        gate_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    // The worker calls into this class: stop it before its members go. A
    // held worker goes on once the stop request has cleared its flag.
    ~ScriptedJob() override {
        this->CCopyJob::Abort();
        CloseHandle(reached_);
        CloseHandle(gate_);
    }

    // Counting from 0 over the whole life of the job.
    int shortReadAt = -1;   // this read reports one byte less than asked
    int shortWriteAt = -1;  // this write reports one byte less than asked
    // After this write the worker waits for Release() or for its running
    // flag to be cleared (Stop, Abort, destruction).
    int holdAfterWrite = -1;
    bool noBuffer = false;
    bool failStart = false;
    std::atomic<int> reads{0};
    std::atomic<int> writes{0};
    std::vector<DWORD> readSizes;  // written by the worker; read once it ended
    // Status and percent at each Start: the thread does not exist yet.
    std::vector<std::pair<LONG, LONG>> atStart;

    bool WaitUntilHeld() { return WaitForSingleObject(reached_, kBound) == WAIT_OBJECT_0; }
    void Release() { SetEvent(gate_); }

    bool Start() override {
        atStart.emplace_back(this->GetStatus(), this->GetPercent());
        if (failStart) return false;
        return Base::Start();
    }

protected:
    BOOL SystemRead(HANDLE file, char* buffer, DWORD count, DWORD* moved) override {
        int index = reads++;
        readSizes.push_back(count);
        if (index == shortReadAt && count > 0) {
            // A source that shrank: the system reads what is left.
            return Base::SystemRead(file, buffer, count - 1, moved);
        }
        return Base::SystemRead(file, buffer, count, moved);
    }
    BOOL SystemWrite(HANDLE file, const char* buffer, DWORD count, DWORD* moved) override {
        int index = writes++;
        BOOL ok = index == shortWriteAt && count > 0
                      ? Base::SystemWrite(file, buffer, count - 1, moved)  // a full disk
                      : Base::SystemWrite(file, buffer, count, moved);
        if (index == holdAfterWrite) {
            SetEvent(reached_);
            DWORD start = GetTickCount();
            while (this->IsRunning() && WaitForSingleObject(gate_, 1) == WAIT_TIMEOUT &&
                   GetTickCount() - start < kBound) {
            }
        }
        return ok;
    }
    std::unique_ptr<char[]> NewBuffer(std::size_t bytes) override {
        if (noBuffer) return nullptr;
        return Base::NewBuffer(bytes);
    }

private:
    HANDLE reached_ = nullptr;
    HANDLE gate_ = nullptr;
};

inline LONG FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return kNoSize;
    return static_cast<LONG>(data.nFileSizeLow);
}

// True when no handle of this process (or any other) has the file open.
inline bool NobodyHasOpen(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

// Destroys `job` on a thread of its own, as the install sequence does from
// the application thread. True when the destruction returned within the
// bound; on false the thread is left behind (the test fails either way).
template <typename Job>
bool DestroyWithinBound(Job* job) {
    auto destroyed = std::make_shared<std::atomic<bool>>(false);
    std::thread([job, destroyed] {
        delete job;
        *destroyed = true;
    }).detach();
    DWORD start = GetTickCount();
    while (!destroyed->load()) {
        if (GetTickCount() - start >= kBound) return false;
        Sleep(5);
    }
    return true;
}

}  // namespace jobtest
