// Jobs over long-lived threads: a thread serves one job after another
// whatever way the previous one ended, busy jobs never wait for each other,
// and the threads end with the last owner of the pool.
#include "framework/file/win32/job_threads.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "framework/file/win32/join_job.h"
#include "tests/framework/file/win32/job_test_support.h"
#include "tools/automation/win32/scratch.h"

namespace {

using CopyJob = jobtest::ScriptedJob<CCopyJob>;
using JoinJob = jobtest::ScriptedJob<CJoinJob>;

constexpr DWORD kChunk = CCopyJob::kChunkBytes;

bool Has(const std::vector<DWORD>& ids, DWORD id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// However the first job's piece ended, the next job of the same pool runs
// on the same three threads (a worker, a reader and a second reader of the
// pieces of each chunk) and joins correctly.
TEST(JobThreads, TheNextJobReusesBothThreadsAfterEveryKindOfEnd) {
    enum class End { kDone, kFailedRead, kMissingSource, kStopped, kStoppedInRead, kDestroyedBusy };
    const std::pair<const char*, End> cases[] = {
        {"done", End::kDone},
        {"a read ahead fails", End::kFailedRead},
        {"the source is missing", End::kMissingSource},
        {"stopped while a write is held", End::kStopped},
        {"stopped while a read is held", End::kStoppedInRead},
        {"destroyed while a write is held", End::kDestroyedBusy},
    };
    ScratchDir dir;
    const std::string bytes = PatternBytes(3 * kChunk + 7);
    const std::string source = dir / "a.src";
    ASSERT_TRUE(WriteFileBytes(source, bytes));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        auto pool = std::make_shared<CJobThreads>();
        auto* first = new CopyJob(pool);
        if (c.second == End::kFailedRead) first->shortReadAt = 1;
        if (c.second == End::kStopped || c.second == End::kDestroyedBusy) first->holdAfterWrite = 0;
        if (c.second == End::kStoppedInRead) first->holdBeforeRead = 2;
        const std::string from = c.second == End::kMissingSource ? dir / "none.src" : source;
        ASSERT_TRUE(first->StartCopy(from.c_str(), (dir / "first.out").c_str()));
        switch (c.second) {
        case End::kDone:
            EXPECT_PIECE_DONE(*first);
            break;
        case End::kFailedRead:
        case End::kMissingSource:
            EXPECT_PIECE_FAILED(*first);
            break;
        case End::kStopped:
            ASSERT_TRUE(first->WaitUntilHeld());
            first->Stop();
            EXPECT_EQ(first->GetStatus(), 1);
            EXPECT_EQ(jobtest::FileSize(dir / "first.out"), static_cast<LONG>(kChunk));
            break;
        case End::kStoppedInRead:
            ASSERT_TRUE(first->WaitUntilHeld());
            ASSERT_TRUE(WaitUntil([&] { return first->writes.load() == 2; }, jobtest::kBound));
            first->Stop();
            EXPECT_EQ(first->GetStatus(), 1);
            EXPECT_EQ(jobtest::FileSize(dir / "first.out"), static_cast<LONG>(2 * kChunk));
            break;
        case End::kDestroyedBusy:
            ASSERT_TRUE(first->WaitUntilHeld());
            ASSERT_TRUE(jobtest::DestroyWithinBound(first));
            first = nullptr;
            EXPECT_EQ(jobtest::FileSize(dir / "first.out"), static_cast<LONG>(kChunk));
            break;
        }
        delete first;

        JoinJob second(pool);
        const std::string joined = dir / "joined.out";
        ASSERT_TRUE(second.BeginJoin(joined.c_str(), source.c_str()));
        EXPECT_PIECE_DONE(second);
        ASSERT_TRUE(second.AppendLastPart(source.c_str()));
        EXPECT_PIECE_DONE(second);
        std::string copied;
        ASSERT_TRUE(ReadFileBytes(joined, &copied));
        EXPECT_TRUE(copied == bytes + bytes) << copied.size() << " bytes";
        EXPECT_EQ(pool->ThreadCount(), 3u);
        EXPECT_TRUE(Has(pool->ThreadIds(), second.readerThread.load()));
    }
}

// A job held in the middle of a piece keeps its threads; a second job of
// the pool copies on threads of its own meanwhile.
TEST(JobThreads, ABusyJobDoesNotHoldUpAnotherJobOfThePool) {
    ScratchDir dir;
    const std::string source = dir / "a.src";
    const std::string bytes = PatternBytes(2 * kChunk + 1);
    ASSERT_TRUE(WriteFileBytes(source, bytes));
    auto pool = std::make_shared<CJobThreads>();
    CopyJob held(pool);
    held.holdAfterWrite = 0;
    ASSERT_TRUE(held.StartCopy(source.c_str(), (dir / "held.out").c_str()));
    ASSERT_TRUE(held.WaitUntilHeld());
    CopyJob other(pool);
    ASSERT_TRUE(other.StartCopy(source.c_str(), (dir / "other.out").c_str()));
    EXPECT_PIECE_DONE(other);
    EXPECT_EQ(held.GetStatus(), 1);
    held.Release();
    EXPECT_PIECE_DONE(held);
    for (const char* name : {"held.out", "other.out"}) {
        std::string copied;
        ASSERT_TRUE(ReadFileBytes(dir / name, &copied));
        EXPECT_TRUE(copied == bytes) << name << ": " << copied.size() << " bytes";
    }
    EXPECT_EQ(pool->ThreadCount(), 6u);
}

// The second reader helps only while chunks come at a drive's pace: jobs
// whose reads are slow (as from a disc) and fast (as from a warm cache), in
// turn over one pool, copy every byte in order, and a short chunk fails
// either way.
TEST(JobThreads, CopiesAlikeAtADrivesPaceAndFromTheCache) {
    struct PacedJob : CopyJob {
        using CopyJob::CopyJob;
        DWORD pauseMs = 0;
        BOOL SystemRead(HANDLE file, char* buffer, DWORD count, DWORD* moved) override {
            Sleep(pauseMs);
            return CopyJob::SystemRead(file, buffer, count, moved);
        }
    };
    const struct {
        const char* name;
        DWORD pauseMs;
        int shortReadAt;
    } cases[] = {
        {"drive", 40, -1}, {"cache", 0, -1}, {"drive, short chunk", 40, 2},
        {"cache, short chunk", 0, 2}, {"drive again", 40, -1},
    };
    ScratchDir dir;
    const std::string bytes = PatternBytes(4 * kChunk + 7);
    const std::string source = dir / "a.src";
    ASSERT_TRUE(WriteFileBytes(source, bytes));
    auto pool = std::make_shared<CJobThreads>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = dir / "a.out";
        PacedJob job(pool);
        job.pauseMs = c.pauseMs;
        job.shortReadAt = c.shortReadAt;
        ASSERT_TRUE(job.StartCopy(source.c_str(), out.c_str()));
        if (c.shortReadAt >= 0) {
            EXPECT_PIECE_FAILED(job);
            // Its last piece came short after the next chunk's first ones
            // were asked for: the chunks before it are written, nothing of
            // it or after it.
            EXPECT_EQ(jobtest::FileSize(out), static_cast<LONG>(c.shortReadAt * kChunk));
            continue;
        }
        EXPECT_PIECE_DONE(job);
        std::string copied;
        ASSERT_TRUE(ReadFileBytes(out, &copied));
        EXPECT_TRUE(copied == bytes) << copied.size() << " bytes";
    }
}

// From the cache the worker reads every chunk itself, on no other thread;
// the first chunk that comes at a drive's pace starts the read-ahead for the
// rest of the file, which reads the next chunk while that one is written,
// and a chunk of the read-ahead that comes fast ends it again. Either way
// the chunk sizes, their order, the bytes, the percent protocol, a stop and
// a short read are those of the read-ahead.
TEST(JobThreads, ReadsAheadOnlyWhileTheChunksComeAtADrivesPace) {
    const struct {
        const char* name;
        const char* pace;  // of each read in turn
        int shortReadAt;
        int holdAfterWrite;
        int readsWhileHeld;  // reached while that write is held
        bool stop;           // the held job is stopped, not let go on
        int writes;          // once the piece ended (-1: done)
        std::size_t threads;  // of the pool by then
    } cases[] = {
        {"from the cache", "c", -1, -1, 0, false, -1, 1},
        {"from the cache, then a drive", "ccd", -1, 1, 3, false, -1, 3},
        {"from the cache, stopped in a write", "c", -1, 1, 2, true, 2, 1},
        {"a short read after the switch", "ccd", 3, -1, 0, false, 3, 3},
        // Nothing is read ahead of the held write any more.
        {"from a drive, then the cache, stopped in a write", "dc", -1, 3, 4, true, 4, 3},
    };
    ScratchDir dir;
    const std::string bytes = PatternBytes(4 * kChunk + 7);
    const std::string source = dir / "a.src", out = dir / "a.out";
    ASSERT_TRUE(WriteFileBytes(source, bytes));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto pool = std::make_shared<CJobThreads>();
        CopyJob job(pool);
        job.pace = c.pace;
        job.shortReadAt = c.shortReadAt;
        job.holdAfterWrite = c.holdAfterWrite;
        ASSERT_TRUE(job.StartCopy(source.c_str(), out.c_str()));
        if (c.holdAfterWrite >= 0) {
            ASSERT_TRUE(job.WaitUntilHeld());
            EXPECT_TRUE(WaitUntil([&] { return job.reads.load() >= c.readsWhileHeld; }, jobtest::kWhileHeld));
            if (c.stop) job.Stop();
            job.Release();
        }
        if (c.writes < 0) {
            EXPECT_PIECE_DONE(job);
            std::string copied;
            ASSERT_TRUE(ReadFileBytes(out, &copied));
            EXPECT_TRUE(copied == bytes) << copied.size() << " bytes";
            EXPECT_EQ(job.readSizes, (std::vector<DWORD>{kChunk, kChunk, kChunk, kChunk, 7}));
        } else {
            if (!c.stop) EXPECT_PIECE_FAILED(job);
            job.Stop();
            EXPECT_EQ(job.GetStatus(), c.stop ? 1 : -1);
            EXPECT_EQ(job.writes.load(), c.writes);
            EXPECT_EQ(job.reads.load(), c.writes + 1 - (c.stop ? 1 : 0));
            EXPECT_EQ(jobtest::FileSize(out), static_cast<LONG>(c.writes * kChunk));
        }
        EXPECT_EQ(pool->ThreadCount(), c.threads);
    }
}

// The buffers made ready ahead of the first copy take one thread of the
// pool for a while, and that thread still ends with the pool.
TEST(JobThreads, PreparingBuffersLeavesNoThreadBehind) {
    auto pool = std::make_shared<CJobThreads>();
    CCopyJob::PrepareBuffers(*pool, {CCopyJob::kChunkBytes, CJoinJob::kChunkBytes});
    EXPECT_EQ(CCopyJob::WaitForPreparedBuffers(jobtest::kBound), static_cast<DWORD>(WAIT_OBJECT_0));
    const std::vector<DWORD> ids = pool->ThreadIds();
    EXPECT_EQ(ids.size(), 1u);
    pool.reset();
    for (DWORD id : ids) EXPECT_TRUE(jobtest::ThreadEnded(id));
}

// The threads outlive each job but not the pool: they end once the factory
// and the last job holding the pool are gone, whichever goes last. Threads
// started ahead serve the first job.
TEST(JobThreads, EveryThreadEndsWithTheLastOwnerOfThePool) {
    ScratchDir dir;
    const std::string source = dir / "a.src";
    ASSERT_TRUE(WriteFileBytes(source, PatternBytes(2 * kChunk + 1)));
    auto pool = std::make_shared<CJobThreads>();
    ASSERT_TRUE(pool->Reserve(3));
    const std::vector<DWORD> reserved = pool->ThreadIds();
    auto job = std::make_unique<CCopyJob>(pool);
    ASSERT_TRUE(job->StartCopy(source.c_str(), (dir / "a.out").c_str()));
    EXPECT_PIECE_DONE(*job);
    EXPECT_EQ(job->WaitForRun(jobtest::kBound), static_cast<DWORD>(WAIT_OBJECT_0));
    const std::vector<DWORD> ids = pool->ThreadIds();
    ASSERT_EQ(ids, reserved);
    ASSERT_EQ(ids.size(), 3u);
    pool.reset();
    for (DWORD id : ids) EXPECT_FALSE(jobtest::ThreadEnded(id)) << "kept for the next job";
    job.reset();
    for (DWORD id : ids) EXPECT_TRUE(jobtest::ThreadEnded(id));
}

// At the end of a piece the first chunk of the source named next is read
// ahead; the next piece takes it only from the same, unchanged file, and
// otherwise reads every chunk itself. Either way it ends with the bytes the
// file holds when it starts.
TEST(JobThreads, TheNextPieceTakesTheChunkReadAheadOnlyFromTheSameFile) {
    enum class Then { kSame, kSameFromCache, kSmall, kJoinPart, kOther, kRewritten, kReplaced, kReadFails, kStopped, kStoppedInRead, kDestroyed };
    constexpr DWORD kJoinChunk = CJoinJob::kChunkBytes;
    const std::vector<DWORD> all = {kChunk, kChunk, 7};
    const struct {
        const char* name;
        Then then;
        std::vector<DWORD> reads;  // of the next piece
    } cases[] = {
        {"the same file", Then::kSame, {kChunk, 7}},
        {"the same file, copied from the cache", Then::kSameFromCache, {kChunk, 7}},
        {"a small file, read ahead whole", Then::kSmall, {}},
        {"the next part of the join", Then::kJoinPart, {kJoinChunk - kChunk, 2 * kChunk + 7 - kJoinChunk}},
        {"another file", Then::kOther, all},
        {"the file rewritten", Then::kRewritten, all},
        {"the file replaced by one of the same size and time", Then::kReplaced, all},
        {"the read ahead cannot open the file", Then::kReadFails, all},
        {"the piece stopped", Then::kStopped, all},
        {"the piece stopped as its last chunk is read", Then::kStoppedInRead, all},
        {"the job destroyed busy", Then::kDestroyed, all},
    };
    ScratchDir dir;
    const std::string first = dir / "first.src", next = dir / "next.src", other = dir / "other.src";
    const std::string firstBytes = PatternBytes(kJoinChunk + 1, 1);
    ASSERT_TRUE(WriteFileBytes(first, firstBytes));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t size = c.then == Then::kSmall ? 1000 : 2 * kChunk + 7;
        const std::string nextBytes = PatternBytes(size, 2), otherBytes = PatternBytes(size, 3);
        ASSERT_TRUE(WriteFileBytes(next, nextBytes));
        ASSERT_TRUE(WriteFileBytes(other, otherBytes));
        FILETIME written = {};
        {
            // The replacement differs from the file read ahead only in its
            // index on the volume.
            unique_hfile a(CreateFileA(next.c_str(), FILE_WRITE_ATTRIBUTES | GENERIC_READ, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
            unique_hfile b(CreateFileA(other.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(a && b && GetFileTime(a.get(), nullptr, nullptr, &written));
            ASSERT_TRUE(SetFileTime(b.get(), nullptr, nullptr, &written));
        }
        unique_hfile lock;
        if (c.then == Then::kReadFails) {
            lock.reset(CreateFileA(next.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(lock);
        }
        auto pool = std::make_shared<CJobThreads>();
        auto join = std::make_unique<JoinJob>(pool);
        const std::string joined = dir / "joined.out";
        const bool stops = c.then == Then::kStopped || c.then == Then::kDestroyed;
        if (stops) join->holdAfterWrite = 0;
        if (c.then == Then::kStoppedInRead) join->holdBeforeRead = 1;
        ASSERT_TRUE(join->SetNextSource(next.c_str()));
        ASSERT_TRUE(join->BeginJoin(joined.c_str(), first.c_str()));
        if (stops) {
            // The last chunk (one byte) is read while the first is held.
            ASSERT_TRUE(join->WaitUntilHeld());
            ASSERT_TRUE(WaitUntil([&] { return join->reads.load() == 2; }, jobtest::kBound));
            if (c.then == Then::kStopped) join->Stop();
            if (c.then == Then::kDestroyed) {
                ASSERT_TRUE(jobtest::DestroyWithinBound(join.release()));
            }
        } else if (c.then == Then::kStoppedInRead) {
            ASSERT_TRUE(join->WaitUntilHeld());
            join->Stop();
        } else {
            EXPECT_PIECE_DONE(*join);
        }
        ASSERT_TRUE(pool->WaitForReadAhead(jobtest::kBound));
        std::string expected = nextBytes;
        switch (c.then) {
        case Then::kOther:
        case Then::kReplaced:
            expected = otherBytes;
            if (c.then == Then::kReplaced) {
                ASSERT_TRUE(MoveFileExA(other.c_str(), next.c_str(), MOVEFILE_REPLACE_EXISTING));
            }
            break;
        case Then::kRewritten: {
            expected = otherBytes;
            ASSERT_TRUE(WriteFileBytes(next, otherBytes));
            // Later than the time it was read ahead at, whatever the clock's
            // granularity.
            ULARGE_INTEGER later = {{written.dwLowDateTime, written.dwHighDateTime}};
            later.QuadPart += 10000000;
            const FILETIME time = {later.LowPart, later.HighPart};
            unique_hfile a(CreateFileA(next.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(a && SetFileTime(a.get(), nullptr, nullptr, &time));
            break;
        }
        case Then::kReadFails:
            lock.reset();
            break;
        default:
            break;
        }

        std::string copied;
        if (c.then == Then::kJoinPart) {
            const std::size_t before = join->readSizes.size();
            ASSERT_TRUE(join->AppendLastPart(next.c_str()));
            EXPECT_PIECE_DONE(*join);
            ASSERT_TRUE(join->WaitForRun(jobtest::kBound) == WAIT_OBJECT_0);
            EXPECT_EQ(std::vector<DWORD>(join->readSizes.begin() + before, join->readSizes.end()),
                      c.reads);
            ASSERT_TRUE(ReadFileBytes(joined, &copied));
            expected = firstBytes + nextBytes;
        } else {
            CopyJob copy(pool);
            if (c.then == Then::kSameFromCache) copy.pace = "c";
            const std::string from = c.then == Then::kOther ? other : next;
            ASSERT_TRUE(copy.StartCopy(from.c_str(), (dir / "next.out").c_str()));
            EXPECT_PIECE_DONE(copy);
            ASSERT_TRUE(copy.WaitForRun(jobtest::kBound) == WAIT_OBJECT_0);
            EXPECT_EQ(copy.readSizes, c.reads);
            ASSERT_TRUE(ReadFileBytes(dir / "next.out", &copied));
        }
        EXPECT_TRUE(copied == expected) << copied.size() << " bytes";
        join.reset();
        const std::vector<DWORD> ids = pool->ThreadIds();
        pool.reset();
        for (DWORD id : ids) EXPECT_TRUE(jobtest::ThreadEnded(id));
    }
}

}  // namespace
