#include "framework/file/win32/join_job.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/framework/file/win32/job_test_support.h"
#include "tools/automation/win32/process.h"
#include "tools/automation/win32/scratch.h"

namespace {

using jobtest::FileSize;
using jobtest::NobodyHasOpen;
using JoinJob = jobtest::ScriptedJob<CJoinJob>;

constexpr DWORD kChunk = CJoinJob::kChunkBytes;

// Part files in a scratch folder, each with bytes of its own.
struct Parts {
    ScratchDir dir;
    std::vector<std::wstring> paths;
    std::vector<std::string> bytes;

    explicit Parts(const std::vector<DWORD>& sizes) {
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            paths.push_back(dir / ("part." + std::to_string(i + 1)));
            bytes.push_back(PatternBytes(sizes[i], static_cast<unsigned>(i + 11)));
            EXPECT_TRUE(WriteFileBytes(paths.back(), bytes.back()));
        }
    }
    std::string Joined(std::initializer_list<std::size_t> order) const {
        std::string all;
        for (std::size_t i : order) all += bytes[i];
        return all;
    }
};

std::string Contents(const std::wstring& path) {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path, &bytes));
    return bytes;
}

// Joins `parts` in order into `destination` with one job, polling each part.
void JoinAll(CJoinJob& job, const std::wstring& destination, const std::vector<std::wstring>& parts) {
    for (std::size_t i = 0; i < parts.size(); ++i) {
        SCOPED_TRACE("part " + std::to_string(i + 1));
        bool started = i == 0 ? job.BeginJoin(destination.c_str(), parts[i].c_str())
                       : i + 1 < parts.size() ? job.AppendPart(parts[i].c_str())
                                              : job.AppendLastPart(parts[i].c_str());
        ASSERT_TRUE(started);
        EXPECT_PIECE_DONE(job);
        // Between parts the destination is still open; after the last it is
        // closed.
        EXPECT_EQ(NobodyHasOpen(destination), i + 1 == parts.size());
    }
}

TEST(JoinJob, JoinsPartsOfDifferentSizesInCallOrder) {
    // More than a chunk, exactly a chunk, a few bytes, several chunks and a
    // tail that is not a multiple of 100.
    Parts parts({kChunk + 1, kChunk, 17, 2 * kChunk + 33});
    std::wstring destination = parts.dir / "joined\\into\\cg.dat";
    JoinJob job;
    JoinAll(job, destination, parts.paths);
    EXPECT_TRUE(Contents(destination) == parts.Joined({0, 1, 2, 3}));
    std::vector<DWORD> reads = {kChunk, 1, kChunk, 17, kChunk, kChunk, 33};
    EXPECT_EQ(job.ReadSizes(), reads);
    std::vector<std::pair<LONG, LONG>> busy(4, {1, 0});
    EXPECT_EQ(job.atStart, busy);
    for (const std::wstring& part : parts.paths) EXPECT_TRUE(NobodyHasOpen(part));
}

TEST(JoinJob, TwoJoinsInARowWithOneObject) {
    Parts parts({5, kChunk + 7, 0, 300});
    JoinJob job;
    JoinAll(job, parts.dir / "first.dat", {parts.paths[0], parts.paths[1]});
    JoinAll(job, parts.dir / "second.dat", {parts.paths[2], parts.paths[3], parts.paths[0]});
    EXPECT_TRUE(Contents(parts.dir / "first.dat") == parts.Joined({0, 1}));
    EXPECT_TRUE(Contents(parts.dir / "second.dat") == parts.Joined({2, 3, 0}));
}

TEST(JoinJob, MissingMiddlePartFailsAndANewBeginJoinStartsOver) {
    Parts parts({kChunk + 5, 40, 60});
    std::wstring destination = parts.dir / "cg.dat";
    std::wstring missing = parts.dir / "part.missing";
    JoinJob job;
    ASSERT_TRUE(job.BeginJoin(destination.c_str(), parts.paths[0].c_str()));
    EXPECT_PIECE_DONE(job);
    ASSERT_TRUE(job.AppendPart(missing.c_str()));
    EXPECT_PIECE_FAILED(job);
    // The destination stays open with the first part's bytes.
    EXPECT_FALSE(NobodyHasOpen(destination));
    EXPECT_EQ(FileSize(destination), static_cast<LONG>(kChunk + 5));

    ASSERT_TRUE(job.BeginJoin(destination.c_str(), parts.paths[1].c_str()));
    EXPECT_PIECE_DONE(job);
    ASSERT_TRUE(job.AppendLastPart(parts.paths[2].c_str()));
    EXPECT_PIECE_DONE(job);
    EXPECT_TRUE(NobodyHasOpen(destination));
    EXPECT_TRUE(Contents(destination) == parts.Joined({1, 2}));
}

TEST(JoinJob, AFailedPartLeavesOnlyWholePartsAndCanBeAppendedAgain) {
    enum Fault { kMissing, kShortRead, kShortWrite };
    struct Case {
        const char* name;
        Fault fault;
        int at;  // index of the failing read or write over the job's life
        bool last;  // the failing part is the last one
    };
    // The first part takes reads and writes 0 and 1; the second (two chunks
    // and 9 bytes) 2 to 4.
    const Case cases[] = {
        {"missing middle part", kMissing, 0, false},
        {"missing last part", kMissing, 0, true},
        {"short read in the middle part's second chunk", kShortRead, 3, false},
        {"short write of the middle part's tail", kShortWrite, 4, false},
        {"short write of the last part's first chunk", kShortWrite, 2, true},
    };
    Parts parts({kChunk + 1, 2 * kChunk + 9, 70});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring destination = parts.dir / (std::string(c.name) + ".dat");
        std::wstring second = c.fault == kMissing ? parts.dir / "none" : parts.paths[1];
        JoinJob job;
        ASSERT_TRUE(job.BeginJoin(destination.c_str(), parts.paths[0].c_str()));
        EXPECT_PIECE_DONE(job);
        if (c.fault == kShortRead) job.shortReadAt = c.at;
        if (c.fault == kShortWrite) job.shortWriteAt = c.at;
        ASSERT_TRUE(c.last ? job.AppendLastPart(second.c_str()) : job.AppendPart(second.c_str()));
        EXPECT_PIECE_FAILED(job);
        EXPECT_EQ(FileSize(destination), static_cast<LONG>(kChunk + 1));
        EXPECT_FALSE(NobodyHasOpen(destination));

        job.shortReadAt = job.shortWriteAt = -1;
        if (c.last) {
            ASSERT_TRUE(job.AppendLastPart(parts.paths[1].c_str()));
            EXPECT_PIECE_DONE(job);
            EXPECT_TRUE(Contents(destination) == parts.Joined({0, 1}));
        } else {
            ASSERT_TRUE(job.AppendPart(parts.paths[1].c_str()));
            EXPECT_PIECE_DONE(job);
            ASSERT_TRUE(job.AppendLastPart(parts.paths[2].c_str()));
            EXPECT_PIECE_DONE(job);
            EXPECT_TRUE(Contents(destination) == parts.Joined({0, 1, 2}));
        }
    }
}

TEST(JoinJob, AppendingWithoutAnOpenJoinFails) {
    Parts parts({10, 20});
    JoinJob job;
    ASSERT_TRUE(job.AppendPart(parts.paths[0].c_str()));
    EXPECT_PIECE_FAILED(job);
    ASSERT_TRUE(job.AppendLastPart(parts.paths[1].c_str()));
    EXPECT_PIECE_FAILED(job);
    // Nor after the last part closed the join.
    JoinAll(job, parts.dir / "a.dat", parts.paths);
    ASSERT_TRUE(job.AppendPart(parts.paths[0].c_str()));
    EXPECT_PIECE_FAILED(job);
    EXPECT_TRUE(Contents(parts.dir / "a.dat") == parts.Joined({0, 1}));
}

TEST(JoinJob, StartOperationsOnABusyJobReturnFalse) {
    Parts parts({2 * kChunk + 1, 3});
    std::wstring destination = parts.dir / "cg.dat";
    JoinJob job;
    job.holdAfterWrite = 0;
    ASSERT_TRUE(job.BeginJoin(destination.c_str(), parts.paths[0].c_str()));
    ASSERT_TRUE(job.WaitUntilHeld());
    EXPECT_FALSE(job.BeginJoin((parts.dir / "other.dat").c_str(), parts.paths[1].c_str()));
    EXPECT_FALSE(job.AppendPart(parts.paths[1].c_str()));
    EXPECT_FALSE(job.AppendLastPart(parts.paths[1].c_str()));
    EXPECT_EQ(job.Mode(), CJoinJob::kFirstPart);
    job.Abort();  // does nothing for a join
    EXPECT_TRUE(job.IsRunning());
    job.Release();
    EXPECT_PIECE_DONE(job);
    ASSERT_TRUE(job.AppendLastPart(parts.paths[1].c_str()));
    EXPECT_PIECE_DONE(job);
    EXPECT_TRUE(Contents(destination) == parts.Joined({0, 1}));
    EXPECT_FALSE(PathExists(parts.dir / "other.dat"));
}

TEST(JoinJob, DestroyedBetweenPartsClosesTheDestination) {
    Parts parts({kChunk + 3});
    std::wstring destination = parts.dir / "cg.dat";
    auto job = std::make_unique<JoinJob>();
    ASSERT_TRUE(job->BeginJoin(destination.c_str(), parts.paths[0].c_str()));
    EXPECT_PIECE_DONE(*job);
    EXPECT_FALSE(NobodyHasOpen(destination));
    job.reset();
    EXPECT_TRUE(NobodyHasOpen(destination));
    EXPECT_TRUE(Contents(destination) == parts.bytes[0]);
}

TEST(JoinJob, DestroyingMidPartStopsAfterTheCurrentChunk) {
    Parts parts({kChunk + 2, 5 * kChunk + 1});
    std::wstring destination = parts.dir / "cg.dat";
    auto* job = new JoinJob;
    ASSERT_TRUE(job->BeginJoin(destination.c_str(), parts.paths[0].c_str()));
    EXPECT_PIECE_DONE(*job);
    job->holdAfterWrite = 3;  // the second chunk of the second part
    ASSERT_TRUE(job->AppendPart(parts.paths[1].c_str()));
    ASSERT_TRUE(job->WaitUntilHeld());
    ASSERT_TRUE(jobtest::DestroyWithinBound(job));
    EXPECT_EQ(FileSize(destination), static_cast<LONG>(kChunk + 2 + 2 * kChunk));
    EXPECT_TRUE(NobodyHasOpen(destination));
    EXPECT_TRUE(NobodyHasOpen(parts.paths[1]));
}

}  // namespace

namespace {

bool BeginJoinPiece(JoinJob& job, const std::wstring& part, const std::wstring& destination) {
    return job.BeginJoin(destination.c_str(), part.c_str());
}

TEST(JoinJob, ReadsTheNextChunksWhileOneIsWrittenAtEveryChunkEdge) {
    jobtest::CheckReadAheadAtChunkEdges<JoinJob>(kChunk, BeginJoinPiece);
}

TEST(JoinJob, AFailedReadAheadShowsAfterTheChunkInFlightAndIsCutOff) {
    // The failed first part is cut off again: nothing stays.
    jobtest::CheckFailedReadAhead<JoinJob>(kChunk, BeginJoinPiece, 0);
}

TEST(JoinJob, StopWhileAReadIsInFlightEndsTheReadsAndKeepsWholeChunks) {
    // The destination stays open for the part to come.
    jobtest::CheckStopDuringRead<JoinJob>(kChunk, BeginJoinPiece, false);
}

}  // namespace
