// The install sequence: the wizard, then the eight steps over FileTable with
// their disc requests, the copy and join jobs polled for the progress
// display, failure, registration and the completion message.
//
// The run works over three small interfaces: the screen it draws on, the
// prompts it shows the user and the system that gives it files and jobs.
// The defaults of CInstallPrompts and CInstallSystem are the real ones; the
// setup screen is the real CInstallView. Tests put fakes in their place.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "framework/file/win32/copy_job.h"
#include "installer/installer_state.h"
#include "installer/setup_command.h"
#include "installer/win32/setup_wizard.h"

// The setup screen as the run sees it.
class CInstallView {
public:
    virtual ~CInstallView() = default;
    // False once the program must end (the window is being closed).
    virtual bool IsRunning() = 0;
    // The first background with the display at 0 %, the whole window
    // invalidated.
    virtual void ShowStart() = 0;
    // The stage picture and display for overall percent `percent`.
    virtual void ShowProgress(std::int32_t percent) = 0;
    // The display at 100 % after the last file.
    virtual void ShowFinished() = 0;
};

// What the run asks the user. The defaults show the wizard and modal
// message boxes owned by the application's main window.
class CInstallPrompts {
public:
    explicit CInstallPrompts(InstallerStateData& state) : state_(state) {}
    virtual ~CInstallPrompts() = default;

    // False for an unattended run: nobody answers a disc request, so a disc
    // that is in no drive ends the run.
    virtual bool AsksUser() const { return true; }
    virtual WizardResult RunWizard();
    // The disc request `prompt`: true for Retry, false for Cancel.
    virtual bool AskForDisc(const char* prompt);
    // Whether to abort the setup: true for Yes.
    virtual bool ConfirmAbort();
    // The one error message of a failed run.
    virtual void ReportError();
    // Registers the game and shows the completion message; returns when the
    // user has dismissed it. False when a registration step failed.
    virtual bool Complete();

protected:
    InstallerStateData& state_;
};

// The files and jobs of the run. The defaults are the real ones.
class CInstallSystem {
public:
    virtual ~CInstallSystem() = default;

    // The jobs share one engine kept by this object (its threads and its
    // ring of buffers); it ends once this object and every job it made are
    // gone.
    virtual std::unique_ptr<CCopyJob> NewCopyJob();
    virtual std::unique_ptr<CCopyJob> NewJoinJob();
    // Waits up to one poll period of `milliseconds` for `job`, returning as
    // soon as the job's current piece has ended.
    virtual void WaitForJob(CCopyJob& job, DWORD milliseconds);
    virtual bool FileExists(const wchar_t* path);
    // Makes the first drive (C: to Z:) whose "data\data" holds `name` the
    // source: SourceRoot, DataPath and the current directory. False when no
    // drive has it.
    virtual bool FindDiscHolding(const char* name);
    // The byte length of a source file; 0 when it cannot be opened.
    virtual std::uint64_t SourceSize(const wchar_t* path);
    // Gets the jobs' threads and ring of buffers ready while the wizard is
    // shown.
    virtual void PrepareJobs();
    // Names `path` to the jobs' engine as the source the jobs open after
    // those named before, copied in chunks of `chunk` bytes: it is read
    // while the jobs before it still write.
    virtual void ReadSourceAhead(const wchar_t* path, DWORD chunk);

private:
    std::shared_ptr<CJobEngine> engine_ = std::make_shared<CJobEngine>();
};

// One run of the installation over `state` (DataPath, InstallFolder).
class CInstallRun {
public:
    static constexpr DWORD kPollMilliseconds = 100;

    CInstallRun(InstallerStateData& state, CInstallView& view, CInstallPrompts& prompts,
                CInstallSystem& system);
    // Releases a job still held.
    ~CInstallRun();
    CInstallRun(const CInstallRun&) = delete;
    CInstallRun& operator=(const CInstallRun&) = delete;

    // Wizard, copying, registration; returns how it ended (finished,
    // failed, cancelled or stopped), with no job left. Each step is logged.
    SetupOutcome Run();
    // Makes sure the disc holding FileTable[index] is in a drive, asking for
    // it with `prompt`; true when the user chose to abort the setup (or the
    // program is ending while it asks). An unattended run asks nobody: it
    // looks at the drives once, and true when the disc is in none.
    bool RequestDisc(int index, const char* prompt);

    // One step of the table in install_run.cpp.
    struct Step;

private:
    enum class StepResult { kDone, kStopped, kFailed };

    SetupOutcome RunSteps();
    StepResult RunStep(const Step& step);
    // Starts the job operation of one FileTable file and polls it.
    StepResult RunFile(const Step& step, int index);
    StepResult PollJob(int index);
    // The log line of a file's end; a failure with what the job says of it.
    void LogFileEnd(int index, StepResult result, bool started, DWORD milliseconds);
    // FileTable[index] in the data folder of the disc in use; false when the
    // path does not fit the jobs' 260 characters.
    bool SourcePathOf(int index, wchar_t (&out)[kFileNameField]) const;
    // The installed file FileTable[index] of `step` goes to (the joined
    // file for a part); false when the path does not fit.
    bool DestinationPathOf(const Step& step, int index, wchar_t (&out)[kFileNameField]) const;
    // Names the files from `step` on to the jobs' engine, in install order,
    // up to a step whose disc is still to be asked for; each file once.
    void ReadAheadFrom(const Step& step);
    void ReadSize(int index);
    void ReleaseJob() { job_.reset(); }

    InstallerStateData& state_;
    CInstallView& view_;
    CInstallPrompts& prompts_;
    CInstallSystem& system_;
    std::unique_ptr<CCopyJob> job_;
    std::uint64_t sizes_[kFileCount] = {};
    wchar_t sourcePath_[kFileNameField] = {};
    wchar_t destinationPath_[kFileNameField] = {};
    // The first step none of whose files was named to the engine yet.
    const Step* unnamed_ = nullptr;
};
