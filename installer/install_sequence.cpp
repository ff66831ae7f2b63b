// The install sequence of the setup screen: wizard, the eight steps over
// FileTable with their disc requests, polling of the copy and join jobs,
// failure, registration and the completion message.
#include <windows.h>

#include "framework/file/data_file.h"
#include "framework/file/join_job.h"
#include "framework/system/file_finder.h"
#include "framework/system/path_text.h"
#include "installer/installer_screen.h"
#include "installer/progress_math.h"
#include "installer/registration.h"
#include "installer/setup_wizard.h"
#include "installer/startup.h"

namespace {

constexpr DWORD kPollMilliseconds = 100;

const char kErrorText[] = "Sorvaneセットアップ中にエラーが発生しました。";
const char kErrorCaption[] = "エラー";
const char kDiscCaption[] = "ディスク要求";
const char kAbortText[] = "セットアップを中断し、\n終了してもよろしいですか？";
const char kAbortCaption[] = "確認";

const char* const kDiscPrompts[] = {
    "ディスクの１枚目をドライブに挿入してください。",
    "ディスクの２枚目をドライブに挿入してください。",
    "ディスクの３枚目をドライブに挿入してください。",
    "ディスクの４枚目をドライブに挿入してください。",
    "ディスクの５枚目をドライブに挿入してください。",
    "ディスクの６枚目をドライブに挿入してください。",
};

enum class Operation { kCopy, kBeginJoin, kAppendPart, kAppendLastPart };

struct InstallStep {
    int first;            // FileTable indexes first..last
    int last;
    int disc;             // 1 to 6: the disc requested before the step; 0: none
    Operation operation;
    const char* joinedName;  // destination of a BeginJoin
};

const InstallStep kSteps[] = {
    {0, 4, 1, Operation::kCopy, nullptr},
    {5, 5, 2, Operation::kBeginJoin, "cg.dat"},
    {6, 6, 3, Operation::kAppendPart, nullptr},
    {7, 7, 4, Operation::kAppendPart, nullptr},
    {8, 8, 5, Operation::kAppendLastPart, nullptr},
    {9, 12, 0, Operation::kCopy, nullptr},
    {13, 13, 0, Operation::kBeginJoin, "sc.dat"},
    {14, 14, 6, Operation::kAppendLastPart, nullptr},
};

}  // namespace

void CInstallerScreen::RunInstall() {
    LoadBackground("t000_000.bmp");
    backBuffer_.Draw(&background_, 0, 0);
    DrawProgressBar(0, 0);
    Invalidate(nullptr);

    // A window closed before the wizard began gets no wizard.
    if (!IsRunning()) return;
    CWizardServices wizardServices;
    if (RunSetupWizard(GetModuleHandleA(nullptr), MainWindow(), InstallerState,
                       wizardServices) != WizardResult::Install) {
        return;
    }

    std::uint64_t sizes[kFileCount] = {};
    for (const InstallStep& step : kSteps) {
        if (!IsRunning()) break;
        if (step.disc > 0 && RequestDisc(step.first, kDiscPrompts[step.disc - 1])) {
            ReleaseJob();
            return;
        }
        for (int index = step.first; index <= step.last; ++index) ReadSize(index, sizes);
        StepResult result = StepResult::kDone;
        for (int index = step.first; index <= step.last && result == StepResult::kDone; ++index) {
            result = RunFile(static_cast<int>(step.operation), index, step.joinedName, sizes);
        }
        if (result == StepResult::kFailed) {
            ReportFailure();
            return;
        }
        if (result == StepResult::kStopped) break;
        if (step.operation == Operation::kAppendLastPart) ReleaseJob();
    }
    Finish();
}

CInstallerScreen::StepResult CInstallerScreen::RunFile(int operationCode, int index,
                                                       const char* joinedName,
                                                       const std::uint64_t* sizes) {
    const Operation operation = static_cast<Operation>(operationCode);
    const char* name = operation == Operation::kBeginJoin ? joinedName : FileTable[index];
    if (!FormatText(sourcePath_, sizeof sourcePath_, "%s\\%s", InstallerState.DataPath,
                    FileTable[index]) ||
        !FormatText(destinationPath_, sizeof destinationPath_, "%s\\%s",
                    InstallerState.InstallFolder, name)) {
        return StepResult::kFailed;
    }
    bool started = false;
    switch (operation) {
    case Operation::kCopy:
        currentJob_.reset(new CCopyJob);
        started = currentJob_->StartCopy(sourcePath_, destinationPath_);
        break;
    case Operation::kBeginJoin:
        currentJob_.reset(new CJoinJob);
        started = currentJob_->BeginJoin(destinationPath_, sourcePath_);
        break;
    case Operation::kAppendPart:
        started = currentJob_ && currentJob_->AppendPart(sourcePath_);
        break;
    case Operation::kAppendLastPart:
        started = currentJob_ && currentJob_->AppendLastPart(sourcePath_);
        break;
    }
    if (!started) return StepResult::kFailed;

    const StepResult result = PollJob(index, sizes);
    if (result == StepResult::kDone && operation == Operation::kCopy) ReleaseJob();
    return result;
}

CInstallerScreen::StepResult CInstallerScreen::PollJob(int index, const std::uint64_t* sizes) {
    for (;;) {
        if (!IsRunning()) return StepResult::kStopped;
        if (currentJob_->GetStatus() == CCopyJob::kFailed) return StepResult::kFailed;
        const LONG percent = currentJob_->GetPercent();
        const std::uint32_t filePercent =
            percent < 0 ? 0u : static_cast<std::uint32_t>(percent > 100 ? 100 : percent);
        ShowProgress(static_cast<std::int32_t>(
            OverallPercent(sizes, static_cast<int>(kFileCount), index, filePercent)));
        const bool done = currentJob_->GetStatus() == CCopyJob::kIdle &&
                          currentJob_->GetPercent() == 100;
        Sleep(kPollMilliseconds);
        if (done) return StepResult::kDone;
    }
}

void CInstallerScreen::ReadSize(int index, std::uint64_t* sizes) {
    sizes[index] = 0;
    char path[kFileNameField];
    if (!FormatText(path, sizeof path, "%s\\%s", InstallerState.DataPath, FileTable[index])) {
        return;
    }
    CDataFile file;
    if (file.Open(path)) {
        const int32_t size = file.Size();
        // A size the file layer cannot express counts as nothing.
        if (size > 0) sizes[index] = static_cast<std::uint64_t>(size);
    }
    file.Close();
}

bool CInstallerScreen::RequestDisc(int index, const char* prompt) {
    if (!IsRunning()) return false;
    if (FormatText(sourcePath_, sizeof sourcePath_, "%s\\%s", InstallerState.DataPath,
                   FileTable[index])) {
        CFileFinder finder;
        if (finder.Find(sourcePath_)) return false;
    }
    for (;;) {
        // Once the window is being closed no dialog may be shown: the main
        // thread is waiting for this one to end.
        if (!IsRunning()) return true;
        const int answer = MessageBoxA(MainWindow(), prompt, kDiscCaption,
                                       MB_RETRYCANCEL | MB_ICONINFORMATION);
        if (!IsRunning()) return true;
        if (answer != IDRETRY) {
            const int confirm =
                MessageBoxA(MainWindow(), kAbortText, kAbortCaption, MB_YESNO | MB_ICONQUESTION);
            if (!IsRunning() || confirm == IDYES) {
                ReleaseJob();
                return true;
            }
        }
        if (FindDiscHolding(FileTable[index])) return false;
    }
}

void CInstallerScreen::ReportFailure() {
    ReleaseJob();
    if (!IsRunning()) return;
    MessageBoxA(MainWindow(), kErrorText, kErrorCaption, MB_OK | MB_ICONERROR);
}

void CInstallerScreen::Finish() {
    if (!IsRunning()) {
        ReleaseJob();
        return;
    }
    RECT touched = DrawProgressBar(100, 100);
    Invalidate(&touched);
    CRegistrationServices services;
    RegisterInstallation(MainWindow(), InstallerState, services);
    ReleaseJob();
}
