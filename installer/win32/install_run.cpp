#include "installer/win32/install_run.h"

#include <cstring>
#include <iterator>
#include <string>
#include <string_view>

#include "framework/app/win32/application.h"
#include "framework/app/win32/thread_registry.h"
#include "framework/file/win32/join_job.h"
#include "framework/log/win32/run_log.h"
#include "framework/system/win32/wide_text.h"
#include "installer/installer_texts.h"
#include "installer/progress_math.h"
#include "installer/win32/registration.h"
#include "installer/win32/startup.h"

namespace {

using namespace installer_text;

enum class Operation { kCopy, kBeginJoin, kAppendPart, kAppendLastPart };

}  // namespace

struct CInstallRun::Step {
    int first;            // FileTable indexes first..last
    int last;
    int disc;             // 1 to 6: the disc requested before the step; 0: none
    Operation operation;
    const char* joinedName;  // destination of a BeginJoin
};

namespace {

const CInstallRun::Step kSteps[] = {
    {0, 4, 1, Operation::kCopy, nullptr},
    {5, 5, 2, Operation::kBeginJoin, "cg.dat"},
    {6, 6, 3, Operation::kAppendPart, nullptr},
    {7, 7, 4, Operation::kAppendPart, nullptr},
    {8, 8, 5, Operation::kAppendLastPart, nullptr},
    {9, 12, 0, Operation::kCopy, nullptr},
    {13, 13, 0, Operation::kBeginJoin, "sc.dat"},
    {14, 14, 6, Operation::kAppendLastPart, nullptr},
};

HWND MainWindow() { return TheThreadRegistry.GetHwnd(); }

const char* const kOperationNames[] = {"copy", "join", "append", "append the last part"};

// The disc (1 to 6) whose prompt is `prompt`; 0 for another text.
int DiscOf(const char* prompt) {
    for (int disc = 1; disc <= kDiscCount; ++disc) {
        if (std::strcmp(prompt, kDiscPrompts[disc - 1]) == 0) return disc;
    }
    return 0;
}

}  // namespace

// ---- The real prompts and system ----------------------------------------------

WizardResult CInstallPrompts::RunWizard() {
    CWizardServices services;
    return RunSetupWizard(GetModuleHandleW(nullptr), MainWindow(), state_, services);
}

bool CInstallPrompts::AskForDisc(const char* prompt) {
    return ApplicationMessageBox(MainWindow(), prompt, kDiscCaption,
                                 MB_RETRYCANCEL | MB_ICONINFORMATION) == IDRETRY;
}

bool CInstallPrompts::ConfirmAbort() {
    return ApplicationMessageBox(MainWindow(), kAbortText, kConfirmCaption,
                                 MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CInstallPrompts::ReportError() {
    ApplicationMessageBox(MainWindow(), kErrorText, kErrorCaption, MB_OK | MB_ICONERROR);
}

bool CInstallPrompts::Complete() {
    CRegistrationServices services;
    // The messages registration shows end as OK when the program ends.
    COpenDialogScope open(IDOK);
    return RegisterInstallation(MainWindow(), state_, services);
}

std::unique_ptr<CCopyJob> CInstallSystem::NewCopyJob() {
    return std::make_unique<CCopyJob>(engine_);
}

std::unique_ptr<CCopyJob> CInstallSystem::NewJoinJob() {
    return std::make_unique<CJoinJob>(engine_);
}

void CInstallSystem::WaitForJob(CCopyJob& job, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    // A piece's run ends right after it published its result, so its end
    // is the moment to look again.
    if (job.WaitForRun(milliseconds) != WAIT_OBJECT_0) return;
    if (job.GetStatus() != CCopyJob::kBusy) return;
    // No worker, yet still busy (a stopped piece): the period is kept, so
    // the poll does not spin.
    const DWORD spent = GetTickCount() - start;
    if (spent < milliseconds) Sleep(milliseconds - spent);
}

void CInstallSystem::ReadSourceAhead(const wchar_t* path, DWORD chunk) {
    engine_->ReadAhead(path, chunk);
}

void CInstallSystem::PrepareJobs() { engine_->Prepare(); }

// Both answers come from one attribute query: a directory search (or an
// open, a read and a close through the file layer) costs several
// milliseconds a file on a disc, with the drive standing idle meanwhile.
bool CInstallSystem::FileExists(const wchar_t* path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool CInstallSystem::FindDiscHolding(const char* name) { return ::FindDiscHolding(name); }

std::uint64_t CInstallSystem::SourceSize(const wchar_t* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return 0;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
    // A size the jobs cannot copy (2 GiB or more) counts as nothing.
    if (data.nFileSizeHigh != 0 || data.nFileSizeLow > 0x7FFFFFFFu) return 0;
    return data.nFileSizeLow;
}

// ---- The run ------------------------------------------------------------------

CInstallRun::CInstallRun(InstallerStateData& state, CInstallView& view, CInstallPrompts& prompts,
                         CInstallSystem& system)
    : state_(state), view_(view), prompts_(prompts), system_(system) {}

CInstallRun::~CInstallRun() { ReleaseJob(); }

SetupOutcome CInstallRun::Run() {
    view_.ShowStart();
    // A window closed before the wizard began gets no wizard.
    if (!view_.IsRunning()) return SetupOutcome::kCancelled;
    system_.PrepareJobs();
    switch (prompts_.RunWizard()) {
    case WizardResult::Cancelled:
        CLogLine() << "the wizard was cancelled";
        return SetupOutcome::kCancelled;
    case WizardResult::FolderRefused: return SetupOutcome::kFolderRefused;
    case WizardResult::Install: break;
    }
    CLogLine() << "installing into " << state_.InstallFolder;
    const SetupOutcome outcome = RunSteps();
    ReleaseJob();
    return outcome;
}

SetupOutcome CInstallRun::RunSteps() {
    for (const Step& step : kSteps) {
        if (!view_.IsRunning()) break;
        if (step.disc > 0 && RequestDisc(step.first, kDiscPrompts[step.disc - 1])) {
            return prompts_.AsksUser() || !view_.IsRunning() ? SetupOutcome::kCancelled
                                                             : SetupOutcome::kDiscMissing;
        }
        ReadAheadFrom(step);
        const StepResult result = RunStep(step);
        if (result == StepResult::kFailed) {
            ReleaseJob();
            if (view_.IsRunning()) prompts_.ReportError();
            return SetupOutcome::kCopyFailed;
        }
        if (result == StepResult::kStopped) break;
        if (step.operation == Operation::kAppendLastPart) ReleaseJob();
    }
    ReleaseJob();
    if (!view_.IsRunning()) return SetupOutcome::kCancelled;
    view_.ShowFinished();
    CLogLine() << "every file is installed: registration";
    return prompts_.Complete() ? SetupOutcome::kInstalled : SetupOutcome::kRegistrationIncomplete;
}

CInstallRun::StepResult CInstallRun::RunStep(const Step& step) {
    for (int index = step.first; index <= step.last; ++index) ReadSize(index);
    StepResult result = StepResult::kDone;
    for (int index = step.first; index <= step.last && result == StepResult::kDone; ++index) {
        // A close confirmed while the previous file ended starts no job.
        if (!view_.IsRunning()) return StepResult::kStopped;
        result = RunFile(step, index);
    }
    return result;
}

CInstallRun::StepResult CInstallRun::RunFile(const Step& step, int index) {
    if (!SourcePathOf(index, sourcePath_) || !DestinationPathOf(step, index, destinationPath_)) {
        CLogLine() << "failed: the paths of " << FileTable[index] << " do not fit";
        return StepResult::kFailed;
    }
    if (step.operation == Operation::kCopy) job_ = system_.NewCopyJob();
    if (step.operation == Operation::kBeginJoin) job_ = system_.NewJoinJob();
    CLogLine() << kOperationNames[static_cast<int>(step.operation)] << " " << sourcePath_
               << " -> " << destinationPath_ << ", " << sizes_[index] << " bytes";
    const DWORD start = GetTickCount();
    bool started = false;
    switch (step.operation) {
    case Operation::kCopy:
        started = job_ && job_->StartCopy(sourcePath_, destinationPath_);
        break;
    case Operation::kBeginJoin:
        started = job_ && job_->BeginJoin(destinationPath_, sourcePath_);
        break;
    case Operation::kAppendPart:
        started = job_ && job_->AppendPart(sourcePath_);
        break;
    case Operation::kAppendLastPart:
        started = job_ && job_->AppendLastPart(sourcePath_);
        break;
    }
    const StepResult result = started ? PollJob(index) : StepResult::kFailed;
    LogFileEnd(index, result, started, GetTickCount() - start);
    if (result == StepResult::kDone && step.operation == Operation::kCopy) ReleaseJob();
    return result;
}

void CInstallRun::LogFileEnd(int index, StepResult result, bool started, DWORD milliseconds) {
    switch (result) {
    case StepResult::kDone:
        CLogLine() << "done " << FileTable[index] << ": "
                   << LogTransfer{sizes_[index], milliseconds};
        return;
    case StepResult::kStopped:
        CLogLine() << "stopped during " << FileTable[index] << " after " << milliseconds << " ms";
        return;
    case StepResult::kFailed:
        break;
    }
    CLogLine line;
    line << "failed: " << FileTable[index] << " -> " << destinationPath_;
    if (!started) {
        line << ": the job could not be started";
        return;
    }
    // The job is still held: it says why.
    const CCopyJob::Failure failure = job_->GetFailure();
    line << " after " << failure.written << " of " << sizes_[index] << " bytes in "
         << milliseconds << " ms, ";
    if (failure.error != 0) {
        line << SystemError{failure.error};
    } else {
        line << "no system error (a short read or write, a source too large, or no buffer)";
    }
}

namespace {

// `folder`, a backslash and the data name `name` (Shift-JIS) in `out`; false
// when the name is not Shift-JIS or the whole passes 260 characters.
bool JoinDataName(std::wstring_view folder, const char* name, wchar_t (&out)[kFileNameField]) {
    std::wstring path(folder);
    std::wstring wideName;
    if (!WidenShiftJis(name, &wideName)) return false;
    path += L'\\';
    path += wideName;
    if (path.size() >= kFileNameField) return false;
    path.copy(out, path.size());
    out[path.size()] = L'\0';
    return true;
}

}  // namespace

// A part appended to a joined file goes to the file its join began.
bool CInstallRun::DestinationPathOf(const Step& step, int index,
                                    wchar_t (&out)[kFileNameField]) const {
    const Step* join = &step;
    while (join->operation != Operation::kCopy && join->operation != Operation::kBeginJoin)
        --join;
    const char* name = join->operation == Operation::kBeginJoin ? join->joinedName
                                                                 : FileTable[index];
    return JoinDataName(AsWide(state_.InstallFolder), name, out);
}

// DataPath is the Shift-JIS path of the disc's data folder (a drive root).
bool CInstallRun::SourcePathOf(int index, wchar_t (&out)[kFileNameField]) const {
    std::wstring dataPath;
    return WidenShiftJis(state_.DataPath, &dataPath) && JoinDataName(dataPath, FileTable[index], out);
}

// A step with a disc to ask for is named only once it was asked for: a disc
// is never read ahead of the user's answer. Where every file is reachable
// (one disc holding them all), the first step names them all, and the drive
// reads on from one file into the next without a pause.
void CInstallRun::ReadAheadFrom(const Step& step) {
    if (unnamed_ != nullptr && &step < unnamed_) return;
    wchar_t path[kFileNameField];
    for (const Step* next = &step; next != std::end(kSteps); ++next) {
        if (next != &step && next->disc > 0 &&
            !(SourcePathOf(next->first, path) && system_.FileExists(path)))
            return;
        const DWORD chunk =
            next->operation == Operation::kCopy ? CCopyJob::kChunkBytes : CJoinJob::kChunkBytes;
        for (int index = next->first; index <= next->last; ++index) {
            if (SourcePathOf(index, path)) system_.ReadSourceAhead(path, chunk);
        }
        unnamed_ = next + 1;
    }
}

CInstallRun::StepResult CInstallRun::PollJob(int index) {
    for (;;) {
        if (!view_.IsRunning()) return StepResult::kStopped;
        if (job_->GetStatus() == CCopyJob::kFailed) return StepResult::kFailed;
        const LONG percent = job_->GetPercent();
        const std::uint32_t filePercent =
            percent < 0 ? 0u : static_cast<std::uint32_t>(percent > 100 ? 100 : percent);
        view_.ShowProgress(static_cast<std::int32_t>(
            OverallPercent(sizes_, static_cast<int>(kFileCount), index, filePercent)));
        // Done is reported as soon as it is seen: the caller looks at the
        // running flag again before anything new is started.
        if (job_->GetStatus() == CCopyJob::kIdle && job_->GetPercent() == 100) {
            return StepResult::kDone;
        }
        system_.WaitForJob(*job_, kPollMilliseconds);
    }
}

void CInstallRun::ReadSize(int index) {
    sizes_[index] = 0;
    wchar_t path[kFileNameField];
    if (SourcePathOf(index, path)) sizes_[index] = system_.SourceSize(path);
}

bool CInstallRun::RequestDisc(int index, const char* prompt) {
    if (!view_.IsRunning()) return false;
    if (SourcePathOf(index, sourcePath_) && system_.FileExists(sourcePath_)) {
        return false;
    }
    const int disc = DiscOf(prompt);
    CLogLine() << "disc " << disc << " is asked for: " << FileTable[index] << " is not in "
               << state_.DataPath;
    if (!prompts_.AsksUser()) {
        // Nobody to ask: the drives are looked at once, as after Retry.
        if (view_.IsRunning() && system_.FindDiscHolding(FileTable[index])) {
            CLogLine() << "disc " << disc << " is in " << state_.SourceRoot;
            return false;
        }
        CLogLine() << "disc " << disc << " is in no drive";
        ReleaseJob();
        return true;
    }
    for (;;) {
        // Once the window is being closed no dialog may be shown: the main
        // thread is waiting for this one to end.
        if (!view_.IsRunning()) return true;
        const bool retry = prompts_.AskForDisc(prompt);
        CLogLine() << "the prompt for disc " << disc << " was answered "
                   << (retry ? "Retry" : "Cancel");
        if (!view_.IsRunning()) return true;
        if (!retry) {
            const bool abort = prompts_.ConfirmAbort();
            CLogLine() << "the question whether to abort was answered "
                       << (abort ? "Yes" : "No");
            if (abort || !view_.IsRunning()) {
                ReleaseJob();
                return true;
            }
        }
        if (system_.FindDiscHolding(FileTable[index])) {
            CLogLine() << "disc " << disc << " is in " << state_.SourceRoot;
            return false;
        }
    }
}
