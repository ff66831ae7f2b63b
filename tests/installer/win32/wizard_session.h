// A run of the setup wizard for tests: the wizard on a thread of its own,
// owned by a main window on a third thread, driven from the test's thread,
// with the system's answers (program-files folder, folder picker, free
// space) set by the test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/system/win32/wide_text.h"
#include "installer/installer_state.h"
#include "installer/setup_resources.h"
#include "installer/win32/setup_wizard.h"
#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/shown_texts.h"

namespace {

const DWORD kWait = 10000;
const std::wstring kProgramFiles = L"C:\\Program Files";
const std::wstring kAbortText = setup_text::kAbortText;
const std::wstring kNoFolderText = setup_text::kNoFolderText;
const std::wstring kBadFolderText = setup_text::kBadFolderText;
const std::wstring kNoSpaceText = setup_text::kNoSpaceText;
const std::wstring kConfirmCaption = setup_text::kConfirmCaption;
const std::wstring kErrorCaption = setup_text::kErrorCaption;
using setup_text::PageCaption;

// Answers of the system the wizard asks, set by each test.
class FakeServices : public CWizardServices {
public:
    bool programFilesKnown = true;
    std::wstring programFiles = kProgramFiles;
    bool browseChooses = true;
    std::wstring browseChoice = L"F:\\Picked";
    FreeSpace freeSpaceAnswer = FreeSpace::Known;
    std::uint64_t bytesFree = 5ull << 40;
    std::atomic<bool> running{true};
    bool closeWhileAskingSpace = false;  // the program ends during the query

    bool IsRunning() override { return running; }

    bool ReadProgramFilesDir(wchar_t* out) override {
        if (programFilesKnown) std::wcscpy(out, programFiles.c_str());
        return programFilesKnown;
    }
    bool BrowseForFolder(const char* title, wchar_t* out) override {
        Record(&browseTitles_, Widen(title));
        if (browseChooses) std::wcscpy(out, browseChoice.c_str());
        return browseChooses;
    }
    FreeSpace QueryFreeSpace(const wchar_t* root, std::uint64_t* bytes) override {
        Record(&roots_, root);
        if (closeWhileAskingSpace) running = false;
        *bytes = bytesFree;
        return freeSpaceAnswer;
    }

    std::vector<std::wstring> Roots() const { return Copy(roots_); }
    std::vector<std::wstring> BrowseTitles() const { return Copy(browseTitles_); }

private:
    void Record(std::vector<std::wstring>* list, const std::wstring& text) {
        std::lock_guard<std::mutex> hold(mutex_);
        list->push_back(text);
    }
    std::vector<std::wstring> Copy(const std::vector<std::wstring>& list) const {
        std::lock_guard<std::mutex> hold(mutex_);
        return list;
    }
    mutable std::mutex mutex_;
    std::vector<std::wstring> roots_;
    std::vector<std::wstring> browseTitles_;
};

// One run of the wizard; the destructor leads a run left open out of it.
class WizardSession {
public:
    explicit WizardSession(FakeServices& services) : services_(services) {
        std::memset(&state_, 0, sizeof state_);
        std::wcscpy(AsWide(state_.InstallFolder), L"C:\\Vintal");
        thread_ = std::make_unique<TestThread>([this] {
            result_ = RunSetupWizard(GetModuleHandleW(nullptr), owner_.hwnd(), state_, services_);
        });
    }

    HWND owner() const { return owner_.hwnd(); }
    const InstallerStateData& state() const { return state_; }
    // The final folder the wizard chose.
    std::wstring InstallFolder() const { return AsWide(state_.InstallFolder); }

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
    HWND Message(const std::wstring& caption, const std::wstring& text, UINT icon) {
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
    HWND GoTo(int page, const std::wstring& folder = L"D:\\") {
        const int next[] = {IDC_WELCOME_NEXT, IDC_GROUPS_NEXT, IDC_FOLDER_NEXT};
        HWND shown = Page(1);
        EXPECT_NE(shown, nullptr) << "page 1";
        for (int current = 1; current < page && shown; ++current) {
            if (current == 3) SetDlgItemTextW(shown, IDC_FOLDER_EDIT, folder.c_str());
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
