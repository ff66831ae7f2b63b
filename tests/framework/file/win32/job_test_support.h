// Helpers shared by the copy and join job tests: a poller that follows the
// install sequence's protocol and checks it on the way, a job with seams
// that fake short transfers, failed allocations and failed starts, and small
// file helpers.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "framework/file/win32/copy_job.h"
#include "framework/system/win32/unique_handle.h"
#include "tools/automation/win32/process.h"
#include "framework/system/win32/wide_text.h"
#include "tools/automation/win32/scratch.h"

// The jobs take paths in UTF-16; the job tests name their files in
// Shift-JIS, as the data's names are.
inline std::wstring operator/(const ScratchDir& dir, const std::string& name) {
    return dir.path() + L"\\" + Widen(name);
}

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
// start can be made to misbehave, and which can hold its piece after a
// given write, or a read before it starts, until the test lets it go on.
//
// The engine's two readers read the chunks of a piece at the same time, so
// the reads are counted in file order, not in the order they begin: read n
// of the job's life is chunk n - (reads of its earlier pieces) of the
// current piece.
template <typename Base>
class ScriptedJob : public Base {
public:
    ScriptedJob() : ScriptedJob(nullptr) {}
    // Over `engine` (null: an engine of its own).
    explicit ScriptedJob(std::shared_ptr<CJobEngine> engine) : Base(std::move(engine)) {}
    // The engine calls into this class: stop the piece before its members
    // go. A held piece goes on once the stop request has cleared its flag.
    ~ScriptedJob() override { this->CCopyJob::Abort(); }

    // Counting from 0 over the whole life of the job.
    int shortReadAt = -1;   // this read reports one byte less than asked
    int failedReadAt = -1;  // this read fails with ERROR_CRC (a damaged disc)
    int shortWriteAt = -1;  // this write reports one byte less than asked
    // After this write the piece waits for Release() or for its running
    // flag to be cleared (Stop, Abort, destruction).
    int holdAfterWrite = -1;
    // Before this read its reader waits the same way: a read in flight.
    int holdBeforeRead = -1;
    bool noBuffer = false;
    bool failStart = false;
    std::atomic<int> reads{0};  // begun
    std::atomic<int> writes{0};
    std::atomic<DWORD> readerThread{0};  // the thread of the latest read
    // Status and percent at each Start: the piece is not with the engine yet.
    std::vector<std::pair<LONG, LONG>> atStart;

    bool WaitUntilHeld() { return WaitForSingleObject(reached_.get(), kBound) == WAIT_OBJECT_0; }
    void Release() { SetEvent(gate_.get()); }
    // The sizes the job asked the system for, in file order piece by piece.
    std::vector<DWORD> ReadSizes() {
        std::lock_guard<std::mutex> hold(readsLock_);
        std::vector<DWORD> sizes;
        for (const auto& read : readSizes_) sizes.push_back(read.second);
        return sizes;
    }

    bool Start() override {
        atStart.emplace_back(this->GetStatus(), this->GetPercent());
        if (failStart) return false;
        // The reads of the pieces before have ended: the previous piece has.
        pieceFirstRead_ = static_cast<int>(ReadSizes().size());
        return Base::Start();
    }

protected:
    BOOL SystemRead(HANDLE file, OVERLAPPED& at, char* buffer, DWORD count, DWORD* moved) override {
        readerThread = GetCurrentThreadId();
        ++reads;
        const int index = pieceFirstRead_ + static_cast<int>(at.Offset / Base::kChunkBytes);
        {
            std::lock_guard<std::mutex> hold(readsLock_);
            readSizes_[index] = count;
        }
        if (index == holdBeforeRead) Hold();
        if (index == failedReadAt) {
            SetLastError(ERROR_CRC);
            return FALSE;
        }
        if (index == shortReadAt && count > 0) {
            // A source that shrank: the system reads what is left.
            return Base::SystemRead(file, at, buffer, count - 1, moved);
        }
        return Base::SystemRead(file, at, buffer, count, moved);
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
    std::mutex readsLock_;
    std::map<int, DWORD> readSizes_;  // by read index
    std::atomic<int> pieceFirstRead_{0};
};

inline LONG FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return kNoSize;
    return static_cast<LONG>(data.nFileSizeLow);
}

// True when no handle of this process (or any other) has the file open.
inline bool NobodyHasOpen(const std::wstring& path) {
    unique_hfile h(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
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

// Checks shared by both kinds of job of what reading ahead of the writes
// brings. `start` starts one piece (StartCopy, or BeginJoin). What must
// happen while a write is held is awaited for less than a hold lasts at
// most, so a job that only reads after the write cannot pass.
constexpr DWORD kWhileHeld = kBound / 3;
template <typename Job>
using StartPiece = bool (*)(Job& job, const std::wstring& source, const std::wstring& destination);

// A piece's source and destination in a scratch folder of their own.
struct PieceFiles {
    explicit PieceFiles(const std::string& name) : source(dir / (name + ".src")), destination(dir / (name + ".out")) {}
    ScratchDir dir;
    std::wstring source, destination;
};

// Writes `bytes` to the source, starts the piece on `job` (whose hold is
// set) and waits until the piece holds.
template <typename Job>
::testing::AssertionResult StartUntilHeld(Job& job, StartPiece<Job> start, const PieceFiles& files,
                                          const std::string& bytes) {
    if (!WriteFileBytes(files.source, bytes)) return ::testing::AssertionFailure() << "cannot write " << files.source;
    if (!start(job, files.source, files.destination))
        return ::testing::AssertionFailure() << "the piece did not start";
    if (!job.WaitUntilHeld()) return ::testing::AssertionFailure() << "the piece never held";
    return ::testing::AssertionSuccess();
}

// At the chunk edges: while the first write is held, the chunks after it
// (if any) are read, and the piece still asks for the same chunk sizes and
// ends with the same bytes, holding no file open.
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
        const int all = static_cast<int>(c.reads.size());
        EXPECT_TRUE(WaitUntil([&] { return job.reads.load() == all; }, kWhileHeld));
        EXPECT_EQ(job.GetStatus(), 1);
        job.Release();
        EXPECT_PIECE_DONE(job);
        EXPECT_EQ(job.ReadSizes(), c.reads);
        EXPECT_EQ(FileSize(files.destination), static_cast<LONG>(c.size));
        EXPECT_TRUE(NobodyHasOpen(files.source));
    }
}

// A read ahead of a write fails: the chunk being written still lands, the
// failure shows only after it, and no chunk after the failed one is written.
// `keptBytes` is what the destination holds then (the kind decides whether
// a failed piece is cut off again).
template <typename Job>
void CheckFailedReadAhead(DWORD chunk, StartPiece<Job> start, LONG keptBytes) {
    const PieceFiles files("a");
    Job job;
    job.holdAfterWrite = 0;
    job.shortReadAt = 1;
    ASSERT_TRUE(StartUntilHeld(job, start, files, PatternBytes(3 * chunk + 5)));
    ASSERT_TRUE(WaitUntil([&] { return job.ReadSizes().size() >= 2; }, kWhileHeld));
    EXPECT_EQ(job.GetStatus(), 1);  // not before the chunk in flight is written
    job.Release();
    EXPECT_PIECE_FAILED(job);
    EXPECT_EQ(job.GetPercent(), 33);  // the first of three chunks and 5 bytes
    EXPECT_EQ(job.writes.load(), 1);
    EXPECT_EQ(FileSize(files.destination), keptBytes);
    EXPECT_TRUE(NobodyHasOpen(files.source));
}

// A stop while a read is in flight: Stop returns once the reads in flight
// ended, the destination holds the whole chunks written before, and the
// source is closed: nothing reads it any more.
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
    EXPECT_EQ(job.writes.load(), 2);
    // No more than the ring holds was read ahead of the writes.
    EXPECT_LE(job.reads.load(), 2 + static_cast<int>(CJobEngine::kSlots));
    EXPECT_EQ(FileSize(files.destination), static_cast<LONG>(2 * chunk));
    EXPECT_TRUE(NobodyHasOpen(files.source));
    EXPECT_EQ(NobodyHasOpen(files.destination), closesDestination);
}

}  // namespace jobtest
