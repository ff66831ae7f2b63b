// A run of the setup wizard for tests: the wizard on a thread of its own,
// owned by a main window on a third thread, driven from the test's thread,
// with the system's answers (program-files folder, folder picker, free
// space) set by the test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "installer/installer_state.h"
#include "installer/setup_resources.h"
#include "installer/win32/setup_wizard.h"
#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/shown_texts.h"

namespace {

const DWORD kWait = 10000;
const std::string kProgramFiles = "C:\\Program Files";
const std::string kAbortText = setup_text::kAbortText;
const std::string kNoFolderText = setup_text::kNoFolderText;
const std::string kBadFolderText = setup_text::kBadFolderText;
const std::string kNoSpaceText = setup_text::kNoSpaceText;
const std::string kConfirmCaption = setup_text::kConfirmCaption;
const std::string kErrorCaption = setup_text::kErrorCaption;
using setup_text::PageCaption;

// Answers of the system the wizard asks, set by each test.
class FakeServices : public CWizardServices {
public:
    bool programFilesKnown = true;
    std::string programFiles = kProgramFiles;
    bool browseChooses = true;
    std::string browseChoice = "F:\\Picked";
    FreeSpace freeSpaceAnswer = FreeSpace::Known;
    std::uint64_t bytesFree = 5ull << 40;
    std::atomic<bool> running{true};
    bool closeWhileAskingSpace = false;  // the program ends during the query

    bool IsRunning() override { return running; }

    bool ReadProgramFilesDir(char* out) override {
        if (programFilesKnown) std::strcpy(out, programFiles.c_str());
        return programFilesKnown;
    }
    bool BrowseForFolder(const char* title, char* out) override {
        Record(&browseTitles_, title);
        if (browseChooses) std::strcpy(out, browseChoice.c_str());
        return browseChooses;
    }
    FreeSpace QueryFreeSpace(const char* root, std::uint64_t* bytes) override {
        Record(&roots_, root);
        if (closeWhileAskingSpace) running = false;
        *bytes = bytesFree;
        return freeSpaceAnswer;
    }

    std::vector<std::string> Roots() const { return Copy(roots_); }
    std::vector<std::string> BrowseTitles() const { return Copy(browseTitles_); }

private:
    void Record(std::vector<std::string>* list, const char* text) {
        std::lock_guard<std::mutex> hold(mutex_);
        list->push_back(text);
    }
    std::vector<std::string> Copy(const std::vector<std::string>& list) const {
        std::lock_guard<std::mutex> hold(mutex_);
        return list;
    }
    mutable std::mutex mutex_;
    std::vector<std::string> roots_;
    std::vector<std::string> browseTitles_;
};

// One run of the wizard; the destructor leads a run left open out of it.
class WizardSession {
public:
    explicit WizardSession(FakeServices& services) : services_(services) {
        std::memset(&state_, 0, sizeof state_);
        std::strcpy(state_.InstallFolder, "C:\\Vintal");
        thread_ = std::make_unique<TestThread>([this] {
            result_ = RunSetupWizard(GetModuleHandleA(nullptr), owner_.hwnd(), state_, services_);
        });
    }

    HWND owner() const { return owner_.hwnd(); }
    const InstallerStateData& state() const { return state_; }

    HWND Page(int page) { return WaitForDialog(thread_->Id(), PageCaption(page), kWait); }

    // Presses a button that closes `page` and waits until it is gone.
    void Leave(HWND page, int id) {
        PressButton(page, id);
        EXPECT_TRUE(WaitForWindowGone(page, kWait));
    }

    // Leaves `page` by button `id` and waits for page `next`, which it
    // returns (null, having failed the test, when it does not show).
    HWND Turn(HWND page, int id, int next) {
        Leave(page, id);
        HWND shown = Page(next);
        EXPECT_NE(shown, nullptr) << "page " << next;
        return shown;
    }

    // Waits for a message box with `caption` and checks its text and icon.
    HWND Message(const std::string& caption, const std::string& text, UINT icon) {
        HWND box = WaitForDialog(thread_->Id(), caption, kWait);
        EXPECT_NE(box, nullptr) << caption;
        if (!box) return nullptr;
        EXPECT_EQ(MessageBoxTextOf(box), text);
        EXPECT_EQ(MessageBoxIconOf(box), icon);
        return box;
    }

    void Answer(HWND box, int button) {
        PressButton(box, button);
        EXPECT_TRUE(WaitForWindowGone(box, kWait));
    }

    // Walks forward from the start to `page`, with `folder` typed on page 3.
    HWND GoTo(int page, const std::string& folder = "D:\\") {
        const int next[] = {IDC_WELCOME_NEXT, IDC_GROUPS_NEXT, IDC_FOLDER_NEXT};
        HWND shown = Page(1);
        EXPECT_NE(shown, nullptr) << "page 1";
        for (int current = 1; current < page && shown; ++current) {
            if (current == 3) SetDlgItemTextA(shown, IDC_FOLDER_EDIT, folder.c_str());
            shown = Turn(shown, next[current - 1], current + 1);
        }
        return shown;
    }

    bool Finish(WizardResult* result) {
        if (!thread_->Join(kWait)) return false;
        *result = result_;
        return true;
    }

private:
    FakeServices& services_;
    InstallerStateData state_;
    PumpedWindow owner_;
    WizardResult result_ = WizardResult::Cancelled;
    std::unique_ptr<TestThread> thread_;
};

}  // namespace
