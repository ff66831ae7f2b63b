// The install sequence in-process: the run over a fake screen, fake prompts
// and fake jobs that record what was asked of them, and one run over real
// jobs copying real files.
#include "installer/win32/install_run.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/file/win32/join_job.h"
#include "framework/system/wide_path_text.h"
#include "framework/system/win32/wide_text.h"
#include "installer/progress_math.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/setup_run.h"

namespace {

using Log = std::vector<std::string>;

// A path the run hands over, in Shift-JIS for the log (the test's names all
// have their form there).
std::string Sj(const wchar_t* path) {
    std::string narrow;
    NarrowToShiftJis(path, &narrow);
    return narrow;
}


// How a fake job's piece for one source file ends.
enum class PieceEnd { kDone, kStartFails, kFailsWhileRunning };

class FakeInstall;

// A job that runs no thread: each poll period (WaitForJob) moves it half
// way, or fails it when its outcome says so.
class FakeJob : public CCopyJob {
public:
    FakeJob(FakeInstall& owner, const char* kind);
    ~FakeJob() override;

    bool StartCopy(const wchar_t* source, const wchar_t* destination) override {
        return Begin("copy " + Sj(source) + " " + Sj(destination), Sj(source));
    }
    bool BeginJoin(const wchar_t* destination, const wchar_t* firstPart) override {
        return Begin("join " + Sj(destination) + " " + Sj(firstPart), Sj(firstPart));
    }
    bool AppendPart(const wchar_t* part) override { return Begin("append " + Sj(part), Sj(part)); }
    bool AppendLastPart(const wchar_t* part) override {
        return Begin("last " + Sj(part), Sj(part));
    }
    LONG GetStatus() override { return status_; }
    // The close comes as the poll sees the end of the piece of
    // `closeWhenDone`.
    LONG GetPercent() override;
    void Advance();

private:
    bool Begin(const std::string& entry, const std::string& source);

    FakeInstall& owner_;
    std::string kind_;
    std::string source_;
    LONG status_ = kIdle;
    LONG percent_ = 0;
};

// Screen, prompts and system of one run. Data files are "d\<name>", the
// install folder "t"; disc N of the test is the disc of kSetupSourceFiles.
class FakeInstall : public CInstallView, public CInstallPrompts, public CInstallSystem {
public:
    FakeInstall() : CInstallPrompts(state) {
        std::strcpy(state.DataPath, "d");
        CopyWide(state.InstallFolder, u"t");
    }

    // ---- what the test sets
    InstallerStateData state = {};
    bool running = true;
    int discInDrive = 1;       // 0: no disc
    bool allDiscsPresent = false;
    WizardResult wizard = WizardResult::Install;
    std::map<int, bool> cancelAt;              // disc -> Cancel (not Retry) at its prompt
    std::map<int, bool> abortAnswers;          // disc -> Yes to the abort question
    std::map<int, bool> closeAtPrompt;         // disc -> window closed during its prompt
    std::map<std::string, PieceEnd> outcomes;  // source file name -> how its piece ends
    std::string closeWhenDone;                 // source whose end comes with a close
    bool asksUser = true;                      // false: an unattended run
    int absentDisc = 0;                        // a disc in no drive at all
    bool registered = true;                    // what the registration reports

    // ---- what the run did
    Log log;
    // "ahead <name>" (" part" for a join's chunks) as a file is named to the
    // engine, "start <name>" as a job starts on it.
    Log ahead;
    std::vector<std::int32_t> progress;
    int liveJobs = 0;
    int waitsAfterDone = 0;

    void Add(const std::string& entry) { log.push_back(entry); }

    static std::string NameOf(const std::string& path) {
        const std::size_t slash = path.rfind('\\');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }
    static int DiscOf(const std::string& name) {
        for (const SetupSourceFile& file : kSetupSourceFiles) {
            if (name == file.name) return file.disc;
        }
        return -1;
    }

    // CInstallView
    bool IsRunning() override { return running; }
    void ShowStart() override { Add("start"); }
    void ShowProgress(std::int32_t percent) override { progress.push_back(percent); }
    void ShowFinished() override { Add("finished"); }

    // CInstallPrompts
    bool AsksUser() const override { return asksUser; }
    WizardResult RunWizard() override {
        Add("wizard");
        return wizard;
    }
    bool AskForDisc(const char* prompt) override {
        int disc = 0;
        for (int n = 1; n <= 6; ++n) {
            if (setup_text::DiscPrompt(n) == Widen(prompt)) disc = n;
        }
        Add("prompt " + std::to_string(disc));
        prompted_ = disc;
        if (closeAtPrompt[disc]) running = false;
        discInDrive = disc;
        return !cancelAt[disc];
    }
    bool ConfirmAbort() override {
        Add("abort?");
        return abortAnswers[prompted_];
    }
    void ReportError() override { Add("error"); }
    bool Complete() override {
        Add("complete");
        return registered;
    }

    // CInstallSystem
    std::unique_ptr<CCopyJob> NewCopyJob() override {
        return std::make_unique<FakeJob>(*this, "copy");
    }
    std::unique_ptr<CCopyJob> NewJoinJob() override {
        return std::make_unique<FakeJob>(*this, "join");
    }
    void WaitForJob(CCopyJob& job, DWORD) override {
        if (job.GetStatus() == CCopyJob::kIdle && job.GetPercent() == 100) ++waitsAfterDone;
        static_cast<FakeJob&>(job).Advance();
    }
    bool FileExists(const wchar_t* path) override { return Reachable(NameOf(Sj(path))); }
    bool FindDiscHolding(const char* name) override {
        Add("scan");
        return Reachable(name);
    }
    std::uint64_t SourceSize(const wchar_t*) override { return kInstallTotalBytes / 15; }
    void ReadSourceAhead(const wchar_t* path, DWORD chunk) override {
        ahead.push_back("ahead " + NameOf(Sj(path)) + (chunk == CJoinJob::kChunkBytes ? " part" : ""));
    }

    SetupOutcome Run() { return CInstallRun(state, *this, *this, *this).Run(); }

private:
    bool Reachable(const std::string& name) const {
        const int disc = DiscOf(name);
        return disc != absentDisc && (allDiscsPresent || disc == discInDrive);
    }

    int prompted_ = 0;
};

FakeJob::FakeJob(FakeInstall& owner, const char* kind) : owner_(owner), kind_(kind) {
    ++owner_.liveJobs;
}

LONG FakeJob::GetPercent() {
    if (status_ == kIdle && percent_ == 100 && source_ == owner_.closeWhenDone)
        owner_.running = false;
    return percent_;
}

FakeJob::~FakeJob() {
    --owner_.liveJobs;
    owner_.Add("release " + kind_);
}

bool FakeJob::Begin(const std::string& entry, const std::string& source) {
    owner_.Add(entry);
    source_ = FakeInstall::NameOf(source);
    owner_.ahead.push_back("start " + source_);
    if (owner_.outcomes[source_] == PieceEnd::kStartFails) {
        status_ = kFailed;
        return false;
    }
    status_ = kBusy;
    percent_ = 0;
    return true;
}

void FakeJob::Advance() {
    if (status_ != kBusy) return;
    if (owner_.outcomes[source_] == PieceEnd::kFailsWhileRunning) {
        status_ = kFailed;
        return;
    }
    percent_ += 50;
    if (percent_ == 100) status_ = kIdle;
}

// The log of a whole run with every disc in its turn, from the wizard to
// the completion message.
Log WholeRun(const std::vector<int>& prompts) {
    Log log = {"start", "wizard"};
    auto disc = [&](int n) {
        for (int p : prompts) {
            if (p == n) {
                log.push_back("prompt " + std::to_string(n));
                log.push_back("scan");
            }
        }
    };
    auto copy = [&](const char* name) {
        log.push_back(std::string("copy d\\") + name + " t\\" + name);
        log.push_back("release copy");
    };
    disc(1);
    for (const char* name : {"Sorvane.exe", "UnInstall.exe", "bg.dat", "extra.dat", "obj.dat"})
        copy(name);
    disc(2);
    log.push_back("join t\\cg.dat d\\cg.001");
    disc(3);
    log.push_back("append d\\cg.002");
    disc(4);
    log.push_back("append d\\cg.003");
    disc(5);
    log.push_back("last d\\cg.004");
    log.push_back("release join");
    for (const char* name : {"bgm.dat", "se.dat", "voice.dat", "scr.dat"}) copy(name);
    log.push_back("join t\\sc.dat d\\sc.001");
    disc(6);
    log.push_back("last d\\sc.002");
    log.push_back("release join");
    log.push_back("finished");
    log.push_back("complete");
    return log;
}

// The log up to and including its first entry equal to `last`.
Log Until(const Log& log, const std::string& last) {
    Log head;
    for (const std::string& entry : log) {
        head.push_back(entry);
        if (entry == last) break;
    }
    return head;
}

Log Concat(Log head, const Log& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST(InstallRun, StepsFollowFileTableWithAPromptAtEachDiscNotInTheDrive) {
    struct Case {
        const char* name;
        int discAtStart;
        bool allPresent;
        std::vector<int> prompts;
    };
    const Case cases[] = {
        {"disc 1 in the drive", 1, false, {2, 3, 4, 5, 6}},
        {"no disc in the drive", 0, false, {1, 2, 3, 4, 5, 6}},
        {"every disc reachable", 0, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeInstall run;
        run.discInDrive = c.discAtStart;
        run.allDiscsPresent = c.allPresent;
        run.Run();
        EXPECT_EQ(run.log, WholeRun(c.prompts));
        EXPECT_EQ(run.liveJobs, 0);
        // The next piece starts as soon as the previous one is seen done.
        EXPECT_EQ(run.waitsAfterDone, 0);
        // The display only moves forward and ends on the full share of
        // every file: 15 x 265,268,746 = 3,979,031,190 of the 3,979,031,201
        // bytes, 99 %.
        ASSERT_FALSE(run.progress.empty());
        for (std::size_t i = 1; i < run.progress.size(); ++i)
            EXPECT_LE(run.progress[i - 1], run.progress[i]);
        EXPECT_EQ(run.progress.back(), 99);
    }
}

// Each way a run ends has the outcome an unattended run's exit code tells.
// An unattended run asks nobody: a disc in no drive is looked for once.
TEST(InstallRun, EachEndHasItsOutcomeAndAnUnattendedRunAsksForNoDisc) {
    const struct {
        const char* name;
        std::function<void(FakeInstall&)> set;
        SetupOutcome outcome;
        Log log;
    } cases[] = {
        {"installed", [](FakeInstall&) {}, SetupOutcome::kInstalled, WholeRun({2, 3, 4, 5, 6})},
        {"registration incomplete", [](FakeInstall& r) { r.registered = false; },
         SetupOutcome::kRegistrationIncomplete, WholeRun({2, 3, 4, 5, 6})},
        {"wizard cancelled", [](FakeInstall& r) { r.wizard = WizardResult::Cancelled; },
         SetupOutcome::kCancelled, {"start", "wizard"}},
        {"folder refused", [](FakeInstall& r) { r.wizard = WizardResult::FolderRefused; },
         SetupOutcome::kFolderRefused, {"start", "wizard"}},
        {"copy failed", [](FakeInstall& r) { r.outcomes["se.dat"] = PieceEnd::kFailsWhileRunning; },
         SetupOutcome::kCopyFailed,
         Concat(Until(WholeRun({2, 3, 4, 5, 6}), "copy d\\se.dat t\\se.dat"),
                {"release copy", "error"})},
        {"aborted at a prompt",
         [](FakeInstall& r) { r.cancelAt[3] = r.abortAnswers[3] = true; },
         SetupOutcome::kCancelled,
         Concat(Until(WholeRun({2, 3, 4, 5, 6}), "prompt 3"), {"abort?", "release join"})},
        {"unattended, every disc in a drive",
         [](FakeInstall& r) {
             r.asksUser = false;
             r.allDiscsPresent = true;
         },
         SetupOutcome::kInstalled, WholeRun({})},
        {"unattended, disc 3 in no drive",
         [](FakeInstall& r) {
             r.asksUser = false;
             r.allDiscsPresent = true;
             r.absentDisc = 3;
         },
         SetupOutcome::kDiscMissing,
         Concat(Until(WholeRun({}), "join t\\cg.dat d\\cg.001"), {"scan", "release join"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeInstall run;
        c.set(run);
        EXPECT_EQ(run.Run(), c.outcome);
        EXPECT_EQ(run.log, c.log);
        EXPECT_EQ(run.liveJobs, 0);
    }
}

TEST(InstallRun, CancelledWizardOrClosedWindowBeforeItCopiesNothing) {
    FakeInstall cancelled;
    cancelled.wizard = WizardResult::Cancelled;
    cancelled.Run();
    EXPECT_EQ(cancelled.log, (Log{"start", "wizard"}));

    FakeInstall closed;
    closed.running = false;
    closed.Run();
    EXPECT_EQ(closed.log, (Log{"start"}));
}

// Cancel then No scans the drives as Retry does; Cancel then Yes ends the
// run at once, releasing the join that waits for its next part.
TEST(InstallRun, AbortAtAnyDiscPromptReleasesTheJobAndEndsQuietly) {
    for (int disc = 2; disc <= 6; ++disc) {
        SCOPED_TRACE("disc " + std::to_string(disc));
        FakeInstall run;
        run.cancelAt[disc] = true;
        run.abortAnswers[disc] = true;
        run.Run();
        const std::string prompt = "prompt " + std::to_string(disc);
        Log expected = Concat(Until(WholeRun({2, 3, 4, 5, 6}), prompt), {"abort?"});
        if (disc > 2) expected.push_back("release join");
        EXPECT_EQ(run.log, expected);
        EXPECT_EQ(run.liveJobs, 0);

        FakeInstall goesOn;
        goesOn.cancelAt[disc] = true;
        goesOn.abortAnswers[disc] = false;
        goesOn.Run();
        Log full = WholeRun({2, 3, 4, 5, 6});
        Log withNo = Until(full, prompt);
        withNo.push_back("abort?");
        withNo.insert(withNo.end(), full.begin() + withNo.size() - 1, full.end());
        EXPECT_EQ(goesOn.log, withNo);
    }
}

TEST(InstallRun, AFailedPieceReleasesTheJobThenShowsOneErrorAndStops) {
    const char* const sources[] = {"bg.dat", "cg.001", "cg.002", "cg.003", "cg.004",
                                   "se.dat", "sc.001", "sc.002"};
    const std::map<std::string, std::string> startEntries = {
        {"bg.dat", "copy d\\bg.dat t\\bg.dat"}, {"cg.001", "join t\\cg.dat d\\cg.001"},
        {"cg.002", "append d\\cg.002"},          {"cg.003", "append d\\cg.003"},
        {"cg.004", "last d\\cg.004"},            {"se.dat", "copy d\\se.dat t\\se.dat"},
        {"sc.001", "join t\\sc.dat d\\sc.001"},  {"sc.002", "last d\\sc.002"},
    };
    for (const PieceEnd outcome : {PieceEnd::kStartFails, PieceEnd::kFailsWhileRunning}) {
        for (const char* source : sources) {
            SCOPED_TRACE(std::string(source) +
                         (outcome == PieceEnd::kStartFails ? " at its start" : " while running"));
            FakeInstall run;
            run.outcomes[source] = outcome;
            run.Run();
            const std::string entry = startEntries.at(source);
            const bool join = entry.compare(0, 4, "copy") != 0;
            const Log expected = Concat(Until(WholeRun({2, 3, 4, 5, 6}), entry),
                                        {join ? "release join" : "release copy", "error"});
            EXPECT_EQ(run.log, expected);
            EXPECT_EQ(run.liveJobs, 0);
        }
    }
}

// The window is closed at a disc prompt while a join waits for its next
// part: the job is released and nothing follows, no message either.
TEST(InstallRun, ClosingAtADiscPromptWithAJoinOpenReleasesItAndEndsQuietly) {
    for (int disc = 3; disc <= 6; ++disc) {
        SCOPED_TRACE("disc " + std::to_string(disc));
        FakeInstall run;
        run.closeAtPrompt[disc] = true;
        run.Run();
        const std::string prompt = "prompt " + std::to_string(disc);
        EXPECT_EQ(run.log, Concat(Until(WholeRun({2, 3, 4, 5, 6}), prompt), {"release join"}));
        EXPECT_EQ(run.liveJobs, 0);
    }
}

// The first file of a step finishes as the user confirms closing the window:
// the next file of the step is never started, in every step with several.
TEST(InstallRun, AStopBetweenTwoFilesOfOneStepStartsNoFurtherJob) {
    const std::pair<const char*, const char*> cases[] = {
        {"Sorvane.exe", "copy d\\Sorvane.exe t\\Sorvane.exe"},
        {"extra.dat", "copy d\\extra.dat t\\extra.dat"},
        {"bgm.dat", "copy d\\bgm.dat t\\bgm.dat"},
        {"scr.dat", "copy d\\scr.dat t\\scr.dat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        FakeInstall run;
        run.closeWhenDone = c.first;
        run.Run();
        EXPECT_EQ(run.log, Concat(Until(WholeRun({2, 3, 4, 5, 6}), c.second), {"release copy"}));
        EXPECT_EQ(run.liveJobs, 0);
    }
}

// Every file is named to the jobs' engine once, before its job starts, in
// install order and with its job's chunk size, so the drive reads on from
// one file into the next. A file of a disc still to be asked for is named
// only once the disc was asked for; with every disc reachable the first step
// names them all.
TEST(InstallRun, NamesEveryFileAheadOnceAndNoDiscBeforeItsPrompt) {
    // Each group: its files are named, then their jobs start.
    const auto groups = [](std::vector<std::pair<int, int>> ranges) {
        Log expected;
        for (const auto& range : ranges) {
            for (int i = range.first; i <= range.second; ++i) {
                const std::string name = FileTable[i];
                const bool part = name.compare(0, 3, "cg.") == 0 || name.compare(0, 3, "sc.") == 0;
                expected.push_back("ahead " + name + (part ? " part" : ""));
            }
            for (int i = range.first; i <= range.second; ++i)
                expected.push_back("start " + std::string(FileTable[i]));
        }
        return expected;
    };
    const struct {
        const char* name;
        bool allPresent;
        Log ahead;
    } cases[] = {
        {"a disc at a time", false, groups({{0, 4}, {5, 5}, {6, 6}, {7, 7}, {8, 13}, {14, 14}})},
        {"every file on one disc", true, groups({{0, 14}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeInstall run;
        run.allDiscsPresent = c.allPresent;
        run.Run();
        EXPECT_EQ(run.ahead, c.ahead);
    }
}

// The same with real copy jobs and files: the close comes as the poll sees
// the first file of disc 1 end, and the second file is never created.
class ClosingCopyJob : public CCopyJob {
public:
    explicit ClosingCopyJob(bool* running) : running_(running) {}
    LONG GetPercent() override {
        const LONG percent = CCopyJob::GetPercent();
        if (GetStatus() == kIdle && percent == 100) *running_ = false;
        return percent;
    }

private:
    bool* running_;
};

class RealJobsClosingAfterFirstFile : public CInstallSystem, public CInstallView {
public:
    bool running = true;
    bool IsRunning() override { return running; }
    void ShowStart() override {}
    void ShowProgress(std::int32_t) override {}
    void ShowFinished() override {}
    std::unique_ptr<CCopyJob> NewCopyJob() override {
        if (jobs_++ == 0) return std::make_unique<ClosingCopyJob>(&running);
        return CInstallSystem::NewCopyJob();
    }

private:
    int jobs_ = 0;
};

class WizardSaysInstall : public CInstallPrompts {
public:
    using CInstallPrompts::CInstallPrompts;
    WizardResult RunWizard() override { return WizardResult::Install; }
    bool AskForDisc(const char*) override { return false; }
    bool ConfirmAbort() override { return true; }
    void ReportError() override { ADD_FAILURE() << "error message"; }
    bool Complete() override {
        ADD_FAILURE() << "completion";
        return false;
    }
};

TEST(InstallRun, ACloseAsTheFirstRealCopyEndsNeverCreatesTheSecondFile) {
    ScratchDir scratch;
    for (int index = 0; index < 5; ++index)
        ASSERT_TRUE(WriteFileBytes(scratch / (L"data\\" + Widen(FileTable[index])),
                                   PatternBytes(4096, index + 1)));
    InstallerStateData state = {};
    std::strcpy(state.DataPath, ShiftJisPath(scratch / L"data").c_str());
    std::wcscpy(AsWide(state.InstallFolder), (scratch / L"out").c_str());
    RealJobsClosingAfterFirstFile system;
    WizardSaysInstall prompts(state);
    CInstallRun(state, system, prompts, system).Run();
    EXPECT_EQ(FolderEntries(scratch / L"out"), std::vector<std::wstring>{Widen(FileTable[0])});
}

// The real wait ends with the piece, not with the period.
TEST(InstallRun, WaitingForARealJobEndsWhenItsPieceEnds) {
    ScratchDir scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"source", PatternBytes(64 * 1024)));
    const DWORD period = 20000;
    CCopyJob job;
    CInstallSystem system;
    ASSERT_TRUE(job.StartCopy((scratch / L"source").c_str(), (scratch / L"copy").c_str()));
    const DWORD start = GetTickCount();
    system.WaitForJob(job, period);
    EXPECT_LT(GetTickCount() - start, period);
    EXPECT_EQ(job.GetStatus(), CCopyJob::kIdle);
    EXPECT_EQ(job.GetPercent(), 100);
}

// The same for a job of the real factory, which runs on threads the factory
// keeps: the wait ends with the piece, for the second job as for the first.
TEST(InstallRun, WaitingForAJobOfTheFactoryEndsWhenItsPieceEnds) {
    ScratchDir scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"source", PatternBytes(3 * CCopyJob::kChunkBytes)));
    const DWORD period = 20000;
    CInstallSystem system;
    for (const wchar_t* copy : {L"first", L"second"}) {
        SCOPED_TRACE(copy);
        std::unique_ptr<CCopyJob> job = system.NewCopyJob();
        ASSERT_TRUE(job->StartCopy((scratch / L"source").c_str(), (scratch / copy).c_str()));
        const DWORD start = GetTickCount();
        system.WaitForJob(*job, period);
        EXPECT_LT(GetTickCount() - start, period);
        EXPECT_EQ(job->GetStatus(), CCopyJob::kIdle);
        EXPECT_EQ(job->GetPercent(), 100);
    }
}

// The real answers about source files come from the file system's
// attributes: the size of a file, 0 for a folder, a missing file or one the
// jobs cannot copy (2 GiB or more; 2^32 + 5 would be 5 with its high word
// lost).
TEST(InstallRun, TheRealSystemAnswersSizeAndPresenceOfSourceFiles) {
    ScratchDir scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"full", PatternBytes(70000)));
    ASSERT_TRUE(WriteFileBytes(scratch / L"empty", ""));
    ASSERT_TRUE(CreateDirectoryW((scratch / L"folder").c_str(), nullptr));
    ASSERT_TRUE(WriteSparseFile(scratch / L"largest", 0x7FFFFFFFull));
    ASSERT_TRUE(WriteSparseFile(scratch / L"2 GiB", 0x80000000ull));
    ASSERT_TRUE(WriteSparseFile(scratch / L"4 GiB + 5", 0x100000005ull));
    const struct {
        const wchar_t* name;
        std::uint64_t size;
        bool exists;
    } cases[] = {
        {L"full", 70000, true},        {L"empty", 0, true},     {L"folder", 0, true},
        {L"missing", 0, false},        {L"largest", 0x7FFFFFFF, true},
        {L"2 GiB", 0, true},           {L"4 GiB + 5", 0, true}};
    CInstallSystem system;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(system.SourceSize((scratch / c.name).c_str()), c.size);
        EXPECT_EQ(system.FileExists((scratch / c.name).c_str()), c.exists);
    }
}

}  // namespace
