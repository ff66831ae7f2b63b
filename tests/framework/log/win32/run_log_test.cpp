// The run log's writer: what lands in the file, the previous run kept once,
// a continued log, two threads at once, and a log that cannot be had.
#include "framework/log/win32/run_log.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tools/automation/win32/log_file.h"
#include "tools/automation/win32/scratch.h"

namespace {

std::vector<std::string> EventsOf(const std::wstring& path) {
    std::vector<std::string> events;
    EXPECT_TRUE(ReadLogEvents(path, &events)) << Utf8(path);
    return events;
}

void LogOnce(const std::wstring& path, CRunLog::Start start, const char* text) {
    ASSERT_TRUE(TheRunLog().OpenAt(path.c_str(), start));
    CLogLine() << text;
    TheRunLog().Close();
}

TEST(RunLog, PiecesArriveAsOneUtf8LineWithTheSystemsErrorText) {
    ScratchDir scratch;
    const std::wstring path = scratch / L"run.log";
    ASSERT_TRUE(TheRunLog().OpenAt(path.c_str(), CRunLog::Start::kNew));
    // "ソ表" in Shift-JIS, "Jürgen" in UTF-16.
    CLogLine() << "copy \x83\x5C\x95\x5C -> " << L"C:\\J\x00FCrgen" << ", " << 307200u
               << " bytes, " << -3 << ", " << 18446744073709551615ull;
    CLogLine() << "open failed: " << SystemError{ERROR_FILE_NOT_FOUND};
    TheRunLog().Close();
    CLogLine() << "after the close";

    const std::vector<std::string> events = EventsOf(path);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], "copy \xE3\x82\xBD\xE8\xA1\xA8 -> C:\\J\xC3\xBCrgen, 307200 bytes, -3, "
                         "18446744073709551615");
    const std::string error = "open failed: error 2 (";
    EXPECT_EQ(events[1].compare(0, error.size(), error), 0) << events[1];
    EXPECT_GT(events[1].size(), error.size() + 1);
    EXPECT_EQ(events[1].back(), ')');
}

TEST(RunLog, ANewLogKeepsThePreviousRunOnceAndAContinuedOneAppends) {
    ScratchDir scratch;
    const std::wstring path = scratch / L"run.log";
    LogOnce(path, CRunLog::Start::kNew, "first");
    LogOnce(path, CRunLog::Start::kNew, "second");
    LogOnce(path, CRunLog::Start::kNew, "third");
    LogOnce(path, CRunLog::Start::kContinue, "more");
    EXPECT_EQ(EventsOf(path), (std::vector<std::string>{"third", "more"}));
    EXPECT_EQ(EventsOf(path + L".old"), std::vector<std::string>{"second"});
    LogOnce(scratch / L"fresh.log", CRunLog::Start::kContinue, "begun by a copy");
    EXPECT_EQ(EventsOf(scratch / L"fresh.log"), std::vector<std::string>{"begun by a copy"});
}

TEST(RunLog, TwoThreadsWriteWholeLinesInTheirOwnOrder) {
    ScratchDir scratch;
    const std::wstring path = scratch / L"run.log";
    ASSERT_TRUE(TheRunLog().OpenAt(path.c_str(), CRunLog::Start::kNew));
    const int kLines = 2000;
    // Long lines, both threads let go at once: they are in the writer
    // together.
    const std::string padding(2000, '.');
    std::atomic<int> ready{0};
    auto writer = [&](const char* name) {
        ++ready;
        while (ready.load() < 2) {
        }
        for (int i = 0; i < kLines; ++i)
            CLogLine() << name << " line " << i << " " << padding.c_str();
    };
    std::thread other(writer, "application");
    writer("main");
    other.join();
    TheRunLog().Close();
    int next[2] = {0, 0};
    const std::vector<std::string> events = EventsOf(path);
    EXPECT_EQ(events.size(), 2u * kLines);
    for (const std::string& event : events) {
        const int who = event.compare(0, 4, "main") == 0 ? 0 : 1;
        const std::string name = who == 0 ? "main" : "application";
        EXPECT_EQ(event, name + " line " + std::to_string(next[who]++) + " " + padding);
    }
}

// Neither a log that cannot be opened nor a line written changes the
// thread's last error, which the program's own code may be about to read.
TEST(RunLog, ALogThatCannotBeHadWritesNothingAndLeavesTheLastError) {
    ScratchDir scratch;
    SetLastError(4321);
    EXPECT_FALSE(
        TheRunLog().OpenAt((scratch / L"missing\\run.log").c_str(), CRunLog::Start::kNew));
    EXPECT_FALSE(TheRunLog().IsOpen());
    CLogLine() << "nothing " << SystemError{ERROR_ACCESS_DENIED};
    EXPECT_EQ(GetLastError(), 4321u);
    EXPECT_TRUE(FolderEntries(scratch.path()).empty());

    ASSERT_TRUE(TheRunLog().OpenAt((scratch / L"run.log").c_str(), CRunLog::Start::kNew));
    SetLastError(4321);
    CLogLine() << "a line " << SystemError{ERROR_ACCESS_DENIED} << L" \x00FC";
    EXPECT_EQ(GetLastError(), 4321u);
    TheRunLog().Close();
}

}  // namespace
