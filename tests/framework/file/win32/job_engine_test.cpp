// Jobs over one engine: its threads serve one job after another whatever
// way the previous one ended, its ring is had once, chunks are written in
// file order however their reads end, what was named ahead is taken only
// from the same file, and the threads end with the last owner of the engine.
#include "framework/file/win32/job_engine.h"

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
constexpr DWORD kJoinChunk = CJoinJob::kChunkBytes;

bool Has(const std::vector<DWORD>& ids, DWORD id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Rewrites `path` sharing it, as the engine shares a file named to it while
// it keeps it open.
bool RewriteShared(const std::wstring& path, const std::string& bytes) {
    unique_hfile h(CreateFileW(path.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return h && WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// However the first job's piece ended, the next job of the same engine runs
// on the same three threads (the runner and two readers) and joins
// correctly.
TEST(JobEngine, TheNextJobRunsOnTheSameThreadsAfterEveryKindOfEnd) {
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
    const std::wstring source = dir / "a.src";
    ASSERT_TRUE(WriteFileBytes(source, bytes));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        auto engine = std::make_shared<CJobEngine>();
        auto* first = new CopyJob(engine);
        if (c.second == End::kFailedRead) first->shortReadAt = 1;
        if (c.second == End::kStopped || c.second == End::kDestroyedBusy) first->holdAfterWrite = 0;
        if (c.second == End::kStoppedInRead) first->holdBeforeRead = 2;
        const std::wstring from = c.second == End::kMissingSource ? dir / "none.src" : source;
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
        case End::kStoppedInRead:
            ASSERT_TRUE(first->WaitUntilHeld());
            first->Stop();
            EXPECT_EQ(first->GetStatus(), 1);
            break;
        case End::kDestroyedBusy:
            ASSERT_TRUE(first->WaitUntilHeld());
            ASSERT_TRUE(jobtest::DestroyWithinBound(first));
            first = nullptr;
            EXPECT_EQ(jobtest::FileSize(dir / "first.out"), static_cast<LONG>(kChunk));
            break;
        }
        delete first;

        JoinJob second(engine);
        const std::wstring joined = dir / "joined.out";
        ASSERT_TRUE(second.BeginJoin(joined.c_str(), source.c_str()));
        EXPECT_PIECE_DONE(second);
        ASSERT_TRUE(second.AppendLastPart(source.c_str()));
        EXPECT_PIECE_DONE(second);
        std::string copied;
        ASSERT_TRUE(ReadFileBytes(joined, &copied));
        EXPECT_TRUE(copied == bytes + bytes) << copied.size() << " bytes";
        EXPECT_EQ(engine->ThreadIds().size(), 3u);
        EXPECT_TRUE(Has(engine->ThreadIds(), second.readerThread.load()));
    }
}

// The first chunk's read is held while the chunks after it are read: they
// are written after it, in file order, and a short one among them fails the
// piece with only the chunks before it written.
TEST(JobEngine, ChunksReadOutOfOrderAreWrittenInFileOrder) {
    const struct {
        const char* name;
        int shortReadAt;
        LONG written;  // -1: all of it
    } cases[] = {{"every chunk whole", -1, -1}, {"the third chunk short", 2, 2 * kChunk}};
    ScratchDir dir;
    const std::wstring source = dir / "a.src", out = dir / "a.out";
    const std::string bytes = PatternBytes(4 * kChunk + 7);
    ASSERT_TRUE(WriteFileBytes(source, bytes));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CopyJob job;
        job.holdBeforeRead = 0;
        job.shortReadAt = c.shortReadAt;
        ASSERT_TRUE(job.StartCopy(source.c_str(), out.c_str()));
        ASSERT_TRUE(job.WaitUntilHeld());
        // The other reader reads the second chunk, then begins the third.
        ASSERT_TRUE(WaitUntil([&] { return job.ReadSizes().size() >= 3; }, jobtest::kWhileHeld));
        job.Release();
        if (c.written >= 0) {
            EXPECT_PIECE_FAILED(job);
            EXPECT_EQ(jobtest::FileSize(out), c.written);
            continue;
        }
        EXPECT_PIECE_DONE(job);
        std::string copied;
        ASSERT_TRUE(ReadFileBytes(out, &copied));
        EXPECT_TRUE(copied == bytes) << copied.size() << " bytes";
    }
}

// A job of kind `Base` that counts the buffers it is asked for.
template <typename Base>
class Counting : public Base {
public:
    using Base::Base;
    int buffers = 0;

protected:
    std::unique_ptr<char[]> NewBuffer(std::size_t bytes) override {
        ++buffers;
        return Base::NewBuffer(bytes);
    }
};

// One ring serves every piece of either kind: a prepared engine asks no
// job for a buffer, an unprepared one asks the first piece once.
TEST(JobEngine, HasItsRingOnceForEveryPieceOfEitherKind) {
    ScratchDir dir;
    const std::wstring source = dir / "a.src";
    const std::string bytes = PatternBytes(kJoinChunk + 3);
    ASSERT_TRUE(WriteFileBytes(source, bytes));
    for (const bool prepared : {true, false}) {
        SCOPED_TRACE(prepared ? "prepared" : "not prepared");
        auto engine = std::make_shared<CJobEngine>();
        if (prepared) {
            ASSERT_TRUE(engine->Prepare());
            ASSERT_TRUE(engine->WaitUntilIdle(jobtest::kBound));
        }
        Counting<CCopyJob> copy(engine);
        Counting<CJoinJob> join(engine);
        const std::wstring joined = dir / "joined.out";
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(round == 0 ? join.BeginJoin(joined.c_str(), source.c_str())
                                   : join.AppendLastPart(source.c_str()));
            EXPECT_PIECE_DONE(join);
            ASSERT_TRUE(copy.StartCopy(source.c_str(), (dir / "copy.out").c_str()));
            EXPECT_PIECE_DONE(copy);
        }
        EXPECT_EQ(join.buffers + copy.buffers, prepared ? 0 : 1);
        std::string copied;
        ASSERT_TRUE(ReadFileBytes(joined, &copied));
        EXPECT_TRUE(copied == bytes + bytes) << copied.size() << " bytes";
    }
}

// The threads outlive each job but not the engine: they end once the
// factory and the last job holding the engine are gone, whichever goes
// last. The threads started by Prepare serve the first job.
TEST(JobEngine, EveryThreadEndsWithTheLastOwnerOfTheEngine) {
    ScratchDir dir;
    const std::wstring source = dir / "a.src";
    ASSERT_TRUE(WriteFileBytes(source, PatternBytes(2 * kChunk + 1)));
    auto engine = std::make_shared<CJobEngine>();
    ASSERT_TRUE(engine->Prepare());
    const std::vector<DWORD> prepared = engine->ThreadIds();
    auto job = std::make_unique<CCopyJob>(engine);
    ASSERT_TRUE(job->StartCopy(source.c_str(), (dir / "a.out").c_str()));
    EXPECT_PIECE_DONE(*job);
    EXPECT_EQ(job->WaitForRun(jobtest::kBound), static_cast<DWORD>(WAIT_OBJECT_0));
    const std::vector<DWORD> ids = engine->ThreadIds();
    ASSERT_EQ(ids, prepared);
    ASSERT_EQ(ids.size(), 3u);
    engine.reset();
    for (DWORD id : ids) EXPECT_FALSE(jobtest::ThreadEnded(id)) << "kept for the next job";
    job.reset();
    for (DWORD id : ids) EXPECT_TRUE(jobtest::ThreadEnded(id));
}

// A join's first part is copied while the source named after it is read
// ahead; the next piece takes those chunks only from the same, unchanged
// file for the same chunk size, and otherwise reads every chunk itself.
// Either way it ends with the bytes the file holds when it starts.
TEST(JobEngine, APieceTakesWhatWasReadAheadOnlyOfTheSameFileAndChunk) {
    enum class Then { kSame, kSmall, kJoinPart, kOtherChunk, kOther, kRewritten, kReplaced,
                      kCannotOpen, kStopped, kStoppedInRead, kDestroyed };
    const std::vector<DWORD> all = {kChunk, kChunk, 7};
    const struct {
        const char* name;
        Then then;
        std::vector<DWORD> reads;  // of the next piece through its job
    } cases[] = {
        {"the same file, read ahead whole", Then::kSame, {}},
        {"a small file", Then::kSmall, {}},
        {"the next part of the join", Then::kJoinPart, {}},
        {"the same file named for a join's chunks", Then::kOtherChunk, all},
        {"another file", Then::kOther, all},
        {"the file rewritten", Then::kRewritten, all},
        {"the file replaced by one of the same size and time", Then::kReplaced, all},
        {"the named file cannot be opened", Then::kCannotOpen, all},
        {"the piece before stopped", Then::kStopped, all},
        {"the piece before stopped in a read", Then::kStoppedInRead, all},
        {"the job before destroyed busy", Then::kDestroyed, all},
    };
    ScratchDir dir;
    const std::wstring first = dir / "first.src", next = dir / "next.src", other = dir / "other.src";
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
            unique_hfile a(CreateFileW(next.c_str(), FILE_WRITE_ATTRIBUTES | GENERIC_READ, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
            unique_hfile b(CreateFileW(other.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(a && b && GetFileTime(a.get(), nullptr, nullptr, &written));
            ASSERT_TRUE(SetFileTime(b.get(), nullptr, nullptr, &written));
        }
        unique_hfile lock;
        if (c.then == Then::kCannotOpen) {
            lock.reset(CreateFileW(next.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(lock);
        }
        auto engine = std::make_shared<CJobEngine>();
        auto join = std::make_unique<JoinJob>(engine);
        const std::wstring joined = dir / "joined.out";
        (c.then == Then::kStoppedInRead ? join->holdBeforeRead : join->holdAfterWrite) = 0;
        ASSERT_TRUE(join->BeginJoin(joined.c_str(), first.c_str()));
        // Named once the first part is under way, as the install sequence
        // names each file after the one before it.
        ASSERT_TRUE(join->WaitUntilHeld());
        const bool joinPart = c.then == Then::kJoinPart || c.then == Then::kOtherChunk;
        ASSERT_TRUE(engine->ReadAhead(next.c_str(), joinPart ? kJoinChunk : kChunk));
        // What fits in the ring is read (a held read never ends by itself).
        if (c.then != Then::kStoppedInRead) {
            ASSERT_TRUE(engine->WaitUntilIdle(jobtest::kBound));
        }
        if (c.then == Then::kStopped || c.then == Then::kStoppedInRead) {
            join->Stop();
        } else if (c.then == Then::kDestroyed) {
            ASSERT_TRUE(jobtest::DestroyWithinBound(join.release()));
        } else {
            join->Release();
            EXPECT_PIECE_DONE(*join);
            ASSERT_TRUE(engine->WaitUntilIdle(jobtest::kBound));
        }
        std::string expected = nextBytes;
        if (c.then == Then::kOther || c.then == Then::kReplaced) expected = otherBytes;
        if (c.then == Then::kReplaced) {
            // Moved aside first: a file named to the engine is open, so it
            // cannot be replaced in one move.
            ASSERT_TRUE(MoveFileExW(next.c_str(), (next + L".old").c_str(), MOVEFILE_REPLACE_EXISTING));
            ASSERT_TRUE(MoveFileExW(other.c_str(), next.c_str(), 0));
        } else if (c.then == Then::kRewritten) {
            expected = otherBytes;
            ASSERT_TRUE(RewriteShared(next, otherBytes));
            // Later than the time it was read ahead at, whatever the clock's
            // granularity.
            ULARGE_INTEGER later = {{written.dwLowDateTime, written.dwHighDateTime}};
            later.QuadPart += 10000000;
            const FILETIME time = {later.LowPart, later.HighPart};
            unique_hfile a(CreateFileW(next.c_str(), FILE_WRITE_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(a && SetFileTime(a.get(), nullptr, nullptr, &time));
        }
        lock.reset();

        std::string copied;
        if (c.then == Then::kJoinPart) {
            const std::size_t before = join->ReadSizes().size();
            ASSERT_TRUE(join->AppendLastPart(next.c_str()));
            EXPECT_PIECE_DONE(*join);
            EXPECT_EQ(join->ReadSizes().size() - before, c.reads.size());
            ASSERT_TRUE(ReadFileBytes(joined, &copied));
            expected = firstBytes + nextBytes;
        } else {
            CopyJob copy(engine);
            const std::wstring from = c.then == Then::kOther ? other : next;
            ASSERT_TRUE(copy.StartCopy(from.c_str(), (dir / "next.out").c_str()));
            EXPECT_PIECE_DONE(copy);
            EXPECT_EQ(copy.ReadSizes(), c.reads);
            ASSERT_TRUE(ReadFileBytes(dir / "next.out", &copied));
        }
        EXPECT_TRUE(copied == expected) << copied.size() << " bytes";
        join.reset();
        const std::vector<DWORD> ids = engine->ThreadIds();
        engine.reset();
        for (DWORD id : ids) EXPECT_TRUE(jobtest::ThreadEnded(id));
    }
}

}  // namespace
