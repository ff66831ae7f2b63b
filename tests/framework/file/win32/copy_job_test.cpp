#include "framework/file/win32/copy_job.h"

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
using CopyJob = jobtest::ScriptedJob<CCopyJob>;

constexpr DWORD kChunk = CCopyJob::kChunkBytes;

TEST(CopyJob, CopiesEverySizeByteForByteInWholeChunks) {
    struct Case {
        const char* name;
        DWORD size;
        std::vector<DWORD> reads;  // the sizes the job asks the system for
    };
    const Case cases[] = {
        {"empty", 0, {0}},
        {"one byte", 1, {1}},
        {"exactly one chunk", kChunk, {kChunk}},
        {"one chunk and one byte", kChunk + 1, {kChunk, 1}},
        // 10485797 is not a multiple of 100: the last percent step is short.
        {"five chunks and 37 bytes", 5 * kChunk + 37, {kChunk, kChunk, kChunk, kChunk, kChunk, 37}},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring source = dir / (std::string(c.name) + ".src");
        // A folder chain that does not exist yet.
        std::wstring destination = dir / ("out\\" + std::string(c.name) + "\\deeper\\file.dat");
        std::string bytes = PatternBytes(c.size, c.size + 7);
        ASSERT_TRUE(WriteFileBytes(source, bytes));

        CopyJob job;
        EXPECT_EQ(job.GetStatus(), 0);
        EXPECT_EQ(job.GetPercent(), 0);
        ASSERT_TRUE(job.StartCopy(source.c_str(), destination.c_str()));
        EXPECT_PIECE_DONE(job);
        EXPECT_EQ(job.ReadSizes(), c.reads);
        std::string copied;
        ASSERT_TRUE(ReadFileBytes(destination, &copied));
        EXPECT_TRUE(copied == bytes) << "copy differs, " << copied.size() << " bytes";
        EXPECT_TRUE(NobodyHasOpen(source));
        EXPECT_TRUE(NobodyHasOpen(destination));
    }
}

// A failed piece says why: the system's error (none for a short transfer)
// and the bytes it wrote, which the install run logs.
TEST(CopyJob, FailuresEndWithStatusMinusOneAndNoOpenHandle) {
    enum Fault { kMissingSource, kShortRead, kFailedRead, kShortWrite, kNoBuffer,
                 kDestinationIsAFolder };
    struct Case {
        const char* name;
        Fault fault;
        int at;             // index of the failing read or write
        LONG percent;       // percent kept from the chunks before the fault
        LONG writtenBytes;  // what the destination holds, or kNoSize
        DWORD error;        // the failure's system error
    };
    const DWORD size = 3 * kChunk + 50;  // percent steps of size / 100 = 62915
    const Case cases[] = {
        {"missing source", kMissingSource, 0, 0, 0, ERROR_FILE_NOT_FOUND},
        {"short read of the first chunk", kShortRead, 0, 0, 0, 0},
        // The second chunk's read comes short: the first chunk stays written.
        {"short read in the middle", kShortRead, 1, 33, static_cast<LONG>(kChunk), 0},
        {"short read of the final piece", kShortRead, 3, 99, static_cast<LONG>(3 * kChunk), 0},
        {"failed read of the third chunk", kFailedRead, 2, 66, static_cast<LONG>(2 * kChunk),
         ERROR_CRC},
        {"short write of the second chunk", kShortWrite, 1, 33, static_cast<LONG>(2 * kChunk - 1),
         0},
        {"no chunk buffer", kNoBuffer, 0, 0, 0, 0},
        {"destination is a folder", kDestinationIsAFolder, 0, 0, jobtest::kNoSize,
         ERROR_ACCESS_DENIED},
    };
    ScratchDir dir;
    std::wstring source = dir / "source.bin";
    ASSERT_TRUE(WriteFileBytes(source, PatternBytes(size)));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring destination = dir / (std::string(c.name) + ".out");
        std::wstring from = c.fault == kMissingSource ? dir / "missing.bin" : source;
        if (c.fault == kDestinationIsAFolder) {
            ASSERT_TRUE(CreateDirectoryW(destination.c_str(), nullptr));
        }
        CopyJob job;
        if (c.fault == kShortRead) job.shortReadAt = c.at;
        if (c.fault == kFailedRead) job.failedReadAt = c.at;
        if (c.fault == kShortWrite) job.shortWriteAt = c.at;
        job.noBuffer = c.fault == kNoBuffer;
        ASSERT_TRUE(job.StartCopy(from.c_str(), destination.c_str()));
        EXPECT_PIECE_FAILED(job);
        EXPECT_EQ(job.GetPercent(), c.percent);
        EXPECT_EQ(job.GetFailure().error, c.error);
        EXPECT_EQ(job.GetFailure().written,
                  static_cast<std::uint64_t>(c.writtenBytes == jobtest::kNoSize ? 0 : c.writtenBytes));
        if (c.writtenBytes != jobtest::kNoSize) {
            EXPECT_EQ(FileSize(destination), c.writtenBytes);
            EXPECT_TRUE(NobodyHasOpen(destination));
        }
        EXPECT_TRUE(NobodyHasOpen(source));

        // A failed job takes new work.
        std::wstring again = destination + L".again";
        job.shortReadAt = job.failedReadAt = job.shortWriteAt = -1;
        job.noBuffer = false;
        ASSERT_TRUE(job.StartCopy(source.c_str(), again.c_str()));
        EXPECT_PIECE_DONE(job);
        EXPECT_EQ(FileSize(again), static_cast<LONG>(size));
    }
}

TEST(CopyJob, StartCopyOnABusyJobReturnsFalseAndChangesNothing) {
    ScratchDir dir;
    std::wstring source = dir / "a.bin", other = dir / "b.bin";
    ASSERT_TRUE(WriteFileBytes(source, PatternBytes(2 * kChunk + 3)));
    ASSERT_TRUE(WriteFileBytes(other, "other"));
    CopyJob job;
    job.holdAfterWrite = 0;
    ASSERT_TRUE(job.StartCopy(source.c_str(), (dir / "a.out").c_str()));
    ASSERT_TRUE(job.WaitUntilHeld());
    EXPECT_FALSE(job.StartCopy(other.c_str(), (dir / "b.out").c_str()));
    EXPECT_EQ(job.GetStatus(), 1);
    job.Release();
    EXPECT_PIECE_DONE(job);
    EXPECT_EQ(FileSize(dir / "a.out"), static_cast<LONG>(2 * kChunk + 3));
    EXPECT_FALSE(PathExists(dir / "b.out"));
    EXPECT_EQ(job.atStart.size(), 1u);
}

TEST(CopyJob, RefusesPathsThatDoNotFitAndJoins) {
    ScratchDir dir;
    std::wstring source = dir / "a.bin";
    ASSERT_TRUE(WriteFileBytes(source, "abc"));
    std::wstring longest = L"C:\\" + std::wstring(258, L'x');  // 261 characters: one too many
    CopyJob job;
    EXPECT_FALSE(job.StartCopy(source.c_str(), longest.c_str()));
    EXPECT_FALSE(job.StartCopy(longest.c_str(), (dir / "a.out").c_str()));
    EXPECT_FALSE(job.StartCopy(nullptr, (dir / "a.out").c_str()));
    EXPECT_FALSE(job.BeginJoin((dir / "j.out").c_str(), source.c_str()));
    EXPECT_FALSE(job.AppendPart(source.c_str()));
    EXPECT_FALSE(job.AppendLastPart(source.c_str()));
    EXPECT_EQ(job.GetStatus(), 0);
    EXPECT_TRUE(job.atStart.empty());
    EXPECT_FALSE(PathExists(dir / "j.out"));
}

TEST(CopyJob, AThreadThatCannotStartIsAFailure) {
    ScratchDir dir;
    std::wstring source = dir / "a.bin";
    ASSERT_TRUE(WriteFileBytes(source, "abc"));
    CopyJob job;
    job.failStart = true;
    EXPECT_FALSE(job.StartCopy(source.c_str(), (dir / "a.out").c_str()));
    EXPECT_EQ(job.GetStatus(), -1);  // not left busy for a poller to wait on
    job.failStart = false;
    EXPECT_TRUE(job.StartCopy(source.c_str(), (dir / "a.out").c_str()));
    EXPECT_PIECE_DONE(job);
}

TEST(CopyJob, StatusIsBusyBeforeTheThreadExistsOnEveryStart) {
    // After a finished piece (0, 100) and after a failure (-1) alike, the
    // poller must never see the old end while the new thread is created.
    ScratchDir dir;
    std::wstring source = dir / "a.bin";
    ASSERT_TRUE(WriteFileBytes(source, PatternBytes(kChunk + 9)));
    CopyJob job;
    ASSERT_TRUE(job.StartCopy(source.c_str(), (dir / "1.out").c_str()));
    EXPECT_PIECE_DONE(job);
    ASSERT_TRUE(job.StartCopy(source.c_str(), (dir / "2.out").c_str()));
    EXPECT_PIECE_DONE(job);
    ASSERT_TRUE(job.StartCopy((dir / "missing").c_str(), (dir / "3.out").c_str()));
    EXPECT_PIECE_FAILED(job);
    ASSERT_TRUE(job.StartCopy(source.c_str(), (dir / "4.out").c_str()));
    EXPECT_PIECE_DONE(job);
    std::vector<std::pair<LONG, LONG>> busy(4, {1, 0});
    EXPECT_EQ(job.atStart, busy);
}

TEST(CopyJob, SourcesOfTwoGibibytesOrMoreFail) {
    // 2^32 + 5: a size cut to its low word would copy five bytes.
    for (std::uint64_t size : {0x80000000ull, 0x100000005ull}) {
        SCOPED_TRACE(size);
        ScratchDir dir;
        const std::wstring source = dir / "huge.bin";
        ASSERT_TRUE(WriteSparseFile(source, size));
        CopyJob job;
        ASSERT_TRUE(job.StartCopy(source.c_str(), (dir / "huge.out").c_str()));
        EXPECT_PIECE_FAILED(job);
        EXPECT_EQ(job.reads.load(), 0);
        EXPECT_EQ(FileSize(dir / "huge.out"), 0);
        DeleteFileW(source.c_str());
    }
}

// Destroying a job in the middle of a copy waits for the chunk in progress
// and no more, and leaves the partial destination behind.
template <typename Job, typename StartFn>
void CheckDestroyMidCopy(DWORD chunk, StartFn start) {
    ScratchDir dir;
    std::wstring source = dir / "big.bin", destination = dir / "big.out";
    ASSERT_TRUE(WriteFileBytes(source, PatternBytes(6 * chunk + 1)));
    auto* job = new Job;
    job->holdAfterWrite = 1;  // the second chunk is in progress
    ASSERT_TRUE(start(*job, source, destination));
    ASSERT_TRUE(job->WaitUntilHeld());
    ASSERT_TRUE(jobtest::DestroyWithinBound(job));
    EXPECT_EQ(FileSize(destination), static_cast<LONG>(2 * chunk));
    EXPECT_TRUE(NobodyHasOpen(destination));
    EXPECT_TRUE(NobodyHasOpen(source));
}

TEST(CopyJob, DestroyingMidCopyStopsAfterTheCurrentChunk) {
    CheckDestroyMidCopy<CopyJob>(kChunk, [](CopyJob& job, const std::wstring& from, const std::wstring& to) {
        return job.StartCopy(from.c_str(), to.c_str());
    });
}

TEST(CopyJob, AbortStopsTheWorkerAndKeepsTheJobBusy) {
    ScratchDir dir;
    std::wstring source = dir / "big.bin";
    ASSERT_TRUE(WriteFileBytes(source, PatternBytes(4 * kChunk)));
    CopyJob job;
    job.holdAfterWrite = 0;
    ASSERT_TRUE(job.StartCopy(source.c_str(), (dir / "big.out").c_str()));
    ASSERT_TRUE(job.WaitUntilHeld());
    job.Abort();
    EXPECT_FALSE(job.IsRunning());
    EXPECT_EQ(job.GetStatus(), 1);
    EXPECT_EQ(job.GetPercent(), 25);
    EXPECT_EQ(FileSize(dir / "big.out"), static_cast<LONG>(kChunk));
}

}  // namespace

namespace {

bool StartCopyPiece(CopyJob& job, const std::wstring& source, const std::wstring& destination) {
    return job.StartCopy(source.c_str(), destination.c_str());
}

TEST(CopyJob, ReadsTheNextChunksWhileOneIsWrittenAtEveryChunkEdge) {
    jobtest::CheckReadAheadAtChunkEdges<CopyJob>(kChunk, StartCopyPiece);
}

TEST(CopyJob, AFailedReadAheadShowsAfterTheChunkInFlightIsWritten) {
    jobtest::CheckFailedReadAhead<CopyJob>(kChunk, StartCopyPiece, static_cast<LONG>(kChunk));
}

TEST(CopyJob, StopWhileAReadIsInFlightEndsTheReadsAndKeepsWholeChunks) {
    jobtest::CheckStopDuringRead<CopyJob>(kChunk, StartCopyPiece, true);
}

// A source's chunk is read at its offset, whatever the handle's file
// pointer; past the end of the file the read comes short (the job then fails
// the chunk) without an error. A write the system refuses is a failure.
TEST(CopyJob, ReadsASourceAtAnOffsetAndShortPastItsEnd) {
    struct PieceJob : CCopyJob {
        using CCopyJob::SystemRead;
        using CCopyJob::SystemWrite;
    };
    const DWORD size = kChunk + 5;
    const struct {
        DWORD offset, count, moved;
    } cases[] = {{0, kChunk, kChunk}, {kChunk, kChunk, 5}, {kChunk + 5, kChunk, 0}, {size + 9, 1, 0}};
    ScratchDir dir;
    const std::wstring path = dir / "source.bin";
    const std::string bytes = PatternBytes(size, 3);
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    unique_hfile file(OpenJobSource(path.c_str()));
    unique_handle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(file && done);
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    PieceJob job;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        OVERLAPPED at = {};
        at.Offset = c.offset;
        at.hEvent = done.get();
        DWORD moved = 7;
        EXPECT_TRUE(job.SystemRead(file.get(), at, buffer.get(), c.count, &moved));
        EXPECT_EQ(moved, c.moved);
        EXPECT_TRUE(std::string(buffer.get(), moved) == bytes.substr(c.offset < size ? c.offset : size, c.moved));
    }
    // The handle is open for reading only.
    DWORD moved = 0;
    EXPECT_FALSE(job.SystemWrite(file.get(), buffer.get(), kChunk, &moved));
}

}  // namespace
