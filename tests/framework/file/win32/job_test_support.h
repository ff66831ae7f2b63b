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

#include "framework/file/win32/copy_job.h"
#include "framework/system/win32/unique_handle.h"
#include "tools/automation/win32/process.h"
#include "framework/system/win32/wide_text.h"
#include "tools/automation/win32/scratch.h"

// The jobs take the paths of the data in Shift-JIS: the job tests name
// their files so.
inline std::string operator/(const ScratchDir& dir, const std::string& name) {
    return ShiftJisPath(dir.path()) + "\\" + name;
}
inline bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    return WriteFileBytes(Widen(path), bytes);
}
inline bool WriteSparseFile(const std::string& path, std::uint64_t size) {
    return WriteSparseFile(Widen(path), size);
}
inline bool ReadFileBytes(const std::string& path, std::string* bytes) {
    return ReadFileBytes(Widen(path), bytes);
}
inline bool PathExists(const std::string& path) { return PathExists(Widen(path)); }

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
    ScriptedJob() : ScriptedJob(nullptr) {}
    // Over the threads of `threads` (null: threads of its own).
    explicit ScriptedJob(std::shared_ptr<CJobThreads> threads) : Base(std::move(threads)) {}
    // The worker calls into this class: stop it before its members go. A
    // held worker goes on once the stop request has cleared its flag.
    ~ScriptedJob() override { this->CCopyJob::Abort(); }

    // Counting from 0 over the whole life of the job.
    int shortReadAt = -1;   // this read reports one byte less than asked
    int shortWriteAt = -1;  // this write reports one byte less than asked
    // After this write the worker waits for Release() or for its running
    // flag to be cleared (Stop, Abort, destruction).
    int holdAfterWrite = -1;
    // Before this read the reader waits the same way: a read in flight.
    int holdBeforeRead = -1;
    bool noBuffer = false;
    bool failStart = false;
    // The pace the job is to expect of each read in turn, the last letter
    // going on: 'd' a drive's (the chunk is read ahead), 'c' the cache's
    // (the worker reads it itself).
    std::string pace = "d";
    std::atomic<int> reads{0};
    std::atomic<int> writes{0};
    std::atomic<DWORD> readerThread{0};  // the thread of the latest read
    std::vector<DWORD> readSizes;  // written by the worker; read once it ended
    // Status and percent at each Start: the thread does not exist yet.
    std::vector<std::pair<LONG, LONG>> atStart;

    bool WaitUntilHeld() { return WaitForSingleObject(reached_.get(), kBound) == WAIT_OBJECT_0; }
    void Release() { SetEvent(gate_.get()); }

    bool Start() override {
        atStart.emplace_back(this->GetStatus(), this->GetPercent());
        if (failStart) return false;
        return Base::Start();
    }

protected:
    BOOL SystemRead(HANDLE file, char* buffer, DWORD count, DWORD* moved) override {
        readerThread = GetCurrentThreadId();
        int index = reads++;
        readSizes.push_back(count);
        if (index == holdBeforeRead) Hold();
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
        if (index == holdAfterWrite) Hold();
        return ok;
    }
    std::unique_ptr<char[]> NewBuffer(std::size_t bytes) override {
        if (noBuffer) return nullptr;
        return Base::NewBuffer(bytes);
    }
    bool NextChunkAtDrivePace() override {
        const std::size_t next = static_cast<std::size_t>(reads.load());
        return pace.empty() || pace[next < pace.size() ? next : pace.size() - 1] == 'd';
    }

private:
    void Hold() {
        SetEvent(reached_.get());
        DWORD start = GetTickCount();
        while (this->IsRunning() && WaitForSingleObject(gate_.get(), 1) == WAIT_TIMEOUT &&
               GetTickCount() - start < kBound) {
        }
    }

    unique_handle reached_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    unique_handle gate_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

inline LONG FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) return kNoSize;
    return static_cast<LONG>(data.nFileSizeLow);
}

// True when no handle of this process (or any other) has the file open.
inline bool NobodyHasOpen(const std::string& path) {
    unique_hfile h(CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    return h.valid();
}

// Destroys `job` on a thread of its own, as the install sequence does from
// the application thread. True when the destruction returned within the
// bound; on false the thread is left behind (the test fails either way).
template <typename Job>
bool DestroyWithinBound(Job* job) {
    return FinishesWithin([job] { delete job; }, kBound);
}

// True when the thread with this id has ended (or never existed).
inline bool ThreadEnded(DWORD id) {
    unique_handle h(OpenThread(SYNCHRONIZE, FALSE, id));
    return !h || WaitForSingleObject(h.get(), 0) == WAIT_OBJECT_0;
}

// Checks shared by both kinds of job of what reading one chunk ahead of the
// writes brings. `start` starts one piece (StartCopy, or BeginJoin).
// What must happen while a write is held is awaited for less than a hold
// lasts at most, so a job that only reads after the write cannot pass.
constexpr DWORD kWhileHeld = kBound / 3;
template <typename Job>
using StartPiece = bool (*)(Job& job, const std::string& source, const std::string& destination);

// A piece's source and destination in a scratch folder of their own.
struct PieceFiles {
    explicit PieceFiles(const std::string& name) : source(dir / (name + ".src")), destination(dir / (name + ".out")) {}
    ScratchDir dir;
    std::string source, destination;
};

// Writes `bytes` to the source, starts the piece on `job` (whose hold is
// set) and waits until the worker holds.
template <typename Job>
::testing::AssertionResult StartUntilHeld(Job& job, StartPiece<Job> start, const PieceFiles& files,
                                          const std::string& bytes) {
    if (!WriteFileBytes(files.source, bytes)) return ::testing::AssertionFailure() << "cannot write " << files.source;
    if (!start(job, files.source, files.destination))
        return ::testing::AssertionFailure() << "the piece did not start";
    if (!job.WaitUntilHeld()) return ::testing::AssertionFailure() << "the worker never held";
    return ::testing::AssertionSuccess();
}

// At the chunk edges: while the first write is held, the next chunk (if
// any) is read, and the piece still asks for the same chunk sizes and ends
// with the same bytes.
template <typename Job>
void CheckReadAheadAtChunkEdges(DWORD chunk, StartPiece<Job> start) {
    struct Case {
        const char* name;
        DWORD size;
        std::vector<DWORD> reads;
    };
    const Case cases[] = {
        {"exactly one chunk", chunk, {chunk}},
        {"one chunk and one byte", chunk + 1, {chunk, 1}},
        {"exactly two chunks", 2 * chunk, {chunk, chunk}},
        {"two chunks and one byte", 2 * chunk + 1, {chunk, chunk, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PieceFiles files(c.name);
        Job job;
        job.holdAfterWrite = 0;
        ASSERT_TRUE(StartUntilHeld(job, start, files, PatternBytes(c.size, c.size)));
        int ahead = c.reads.size() > 1 ? 2 : 1;
        EXPECT_TRUE(WaitUntil([&] { return job.reads.load() >= ahead; }, kWhileHeld));
        EXPECT_EQ(job.GetStatus(), 1);
        job.Release();
        EXPECT_PIECE_DONE(job);
        job.Stop();
        EXPECT_EQ(job.readSizes, c.reads);
        EXPECT_EQ(FileSize(files.destination), static_cast<LONG>(c.size));
        EXPECT_TRUE(ThreadEnded(job.readerThread.load()));
    }
}

// The read ahead of a write fails: the chunk being written still lands, the
// failure shows only after it, and nothing more is read. `keptBytes` is what
// the destination holds then (the kind decides whether a failed piece is cut
// off again).
template <typename Job>
void CheckFailedReadAhead(DWORD chunk, StartPiece<Job> start, LONG keptBytes) {
    const PieceFiles files("a");
    Job job;
    job.holdAfterWrite = 0;
    job.shortReadAt = 1;
    ASSERT_TRUE(StartUntilHeld(job, start, files, PatternBytes(3 * chunk + 5)));
    ASSERT_TRUE(WaitUntil([&] { return job.reads.load() == 2; }, kWhileHeld));
    EXPECT_EQ(job.GetStatus(), 1);  // not before the chunk in flight is written
    job.Release();
    EXPECT_PIECE_FAILED(job);
    job.Stop();
    EXPECT_EQ(job.GetPercent(), 33);  // the first of three chunks and 5 bytes
    EXPECT_EQ(job.reads.load(), 2);
    EXPECT_EQ(job.writes.load(), 1);
    EXPECT_EQ(FileSize(files.destination), keptBytes);
    EXPECT_TRUE(NobodyHasOpen(files.source));
    EXPECT_TRUE(ThreadEnded(job.readerThread.load()));
}

// A stop while a read is in flight: Stop returns once that read ended, no
// further read starts, the destination holds the whole chunks written
// before, and the reader thread is gone with the worker.
template <typename Job>
void CheckStopDuringRead(DWORD chunk, StartPiece<Job> start, bool closesDestination) {
    const PieceFiles files("big");
    Job job;
    job.holdBeforeRead = 2;
    ASSERT_TRUE(StartUntilHeld(job, start, files, PatternBytes(6 * chunk + 1)));
    // The first two chunks are read; wait until the second is being written.
    ASSERT_TRUE(WaitUntil([&] { return job.writes.load() == 2; }, kBound));
    job.Stop();
    EXPECT_EQ(job.GetStatus(), 1);
    EXPECT_EQ(job.reads.load(), 3);
    EXPECT_EQ(job.writes.load(), 2);
    EXPECT_EQ(FileSize(files.destination), static_cast<LONG>(2 * chunk));
    EXPECT_TRUE(NobodyHasOpen(files.source));
    EXPECT_EQ(NobodyHasOpen(files.destination), closesDestination);
    EXPECT_TRUE(ThreadEnded(job.readerThread.load()));
}

}  // namespace jobtest
