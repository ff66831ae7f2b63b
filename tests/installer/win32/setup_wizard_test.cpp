#include "installer/win32/setup_wizard.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/system/path_text.h"
#include "installer/setup_resources.h"
#include "tests/installer/win32/wizard_session.h"
#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/process.h"
#include "tools/automation/win32/registry.h"

namespace {

std::wstring EditText(HWND page) { return WindowTextOf(GetDlgItem(page, IDC_FOLDER_EDIT)); }

void TypeFolder(HWND page, const std::wstring& folder) {
    SetDlgItemTextW(page, IDC_FOLDER_EDIT, folder.c_str());
}

// The font made ahead at the program's start is the one the live first page
// shows (face, height, weight); its worker ends within the bound.
TEST(SetupWizard, PageFontMadeAheadIsThePagesFont) {
    CPageFontWarmUp warmUp;
    ASSERT_TRUE(warmUp.Begin());
    ASSERT_EQ(warmUp.WaitForEnd(kWait), WAIT_OBJECT_0);

    FakeServices services;
    WizardSession session(services);
    HWND page = session.Page(1);
    ASSERT_NE(page, nullptr);
    LOGFONTW shown = {};
    ASSERT_NE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(page, WM_GETFONT, 0, 0)),
                         sizeof shown, &shown), 0);
    HDC dc = GetDC(page);
    const LOGFONTW made = WizardPageFont(dc);
    ReleaseDC(page, dc);
    EXPECT_EQ(std::wstring(made.lfFaceName), std::wstring(shown.lfFaceName));
    EXPECT_EQ(made.lfHeight, shown.lfHeight);
    EXPECT_EQ(made.lfWeight, shown.lfWeight);
}

// ---- Navigation ------------------------------------------------------------

TEST(SetupWizard, NextOverAllPagesInstallsIntoTheTypedFolder) {
    FakeServices services;
    WizardSession session(services);
    HWND page = session.GoTo(4, L"D:\\");
    ASSERT_NE(page, nullptr);
    session.Leave(page, IDC_READY_INSTALL);
    WizardResult result;
    ASSERT_TRUE(session.Finish(&result));
    EXPECT_EQ(result, WizardResult::Install);
    EXPECT_EQ(session.InstallFolder(), L"D:\\Vintal\\Sorvane");
    EXPECT_EQ(services.Roots(), std::vector<std::wstring>{L"D:\\"});
    for (bool selected : session.state().GroupSelection) EXPECT_TRUE(selected);
}

TEST(SetupWizard, BackShowsTheEarlierPagesAfresh) {
    FakeServices services;
    WizardSession session(services);
    HWND page = session.GoTo(2);
    ASSERT_NE(page, nullptr);
    // Back from page 2, then Next on page 1: page 2 comes back all checked.
    CheckDlgButton(page, 1008, BST_UNCHECKED);
    page = session.Turn(session.Turn(page, IDC_GROUPS_BACK, 1), IDC_WELCOME_NEXT, 2);
    ASSERT_NE(page, nullptr);
    for (int id = 1006; id <= 1014; ++id) EXPECT_EQ(IsDlgButtonChecked(page, id), BST_CHECKED);

    // Back from page 4: page 3 again, offering the program-files folder.
    page = session.Turn(page, IDC_GROUPS_NEXT, 3);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(EditText(page), kProgramFiles);
    TypeFolder(page, L"E:\\Games");
    page = session.Turn(page, IDC_FOLDER_NEXT, 4);
    EXPECT_EQ(session.InstallFolder(), L"E:\\Games\\Vintal\\Sorvane");
    page = session.Turn(page, IDC_READY_BACK, 3);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(EditText(page), kProgramFiles);

    // Back from page 3 is page 2; Next there reaches page 3 once more.
    page = session.Turn(session.Turn(page, IDC_FOLDER_BACK, 2), IDC_GROUPS_NEXT, 3);
    ASSERT_NE(page, nullptr);
    TypeFolder(page, L"S:\\");
    session.Leave(session.Turn(page, IDC_FOLDER_NEXT, 4), IDC_READY_INSTALL);
    WizardResult result;
    ASSERT_TRUE(session.Finish(&result));
    EXPECT_EQ(result, WizardResult::Install);
    EXPECT_EQ(session.InstallFolder(), L"S:\\Vintal\\Sorvane");
    EXPECT_EQ(services.Roots(), (std::vector<std::wstring>{L"E:\\", L"S:\\"}));
}

TEST(SetupWizard, CancelAndEscapeAskBeforeEndingOnEveryPage) {
    for (int pageNumber = 1; pageNumber <= 4; ++pageNumber) {
        for (bool escape : {false, true}) {
            SCOPED_TRACE("page " + std::to_string(pageNumber) + (escape ? " escape" : " cancel"));
            FakeServices services;
            WizardSession session(services);
            HWND page = session.GoTo(pageNumber);
            ASSERT_NE(page, nullptr);
            auto abort = [&] { escape ? PressKey(page, VK_ESCAPE) : PressButton(page, IDCANCEL); };

            abort();
            HWND box = session.Message(kConfirmCaption, kAbortText, MB_ICONQUESTION);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(GetWindow(box, GW_OWNER), page);
            session.Answer(box, IDNO);
            // No: the same page stays and still works.
            EXPECT_TRUE(IsWindowVisible(page));
            EXPECT_EQ(session.Page(pageNumber), page);

            abort();
            box = session.Message(kConfirmCaption, kAbortText, MB_ICONQUESTION);
            ASSERT_NE(box, nullptr);
            session.Answer(box, IDYES);
            WizardResult result;
            ASSERT_TRUE(session.Finish(&result));
            EXPECT_EQ(result, WizardResult::Cancelled);
        }
    }
}

// Once the program ends, Cancel on a page ends the wizard without the
// confirmation, and the folder check shows neither a message nor a page
// again. A box opened in either case would keep the wizard's thread waiting.
TEST(SetupWizard, OnceTheProgramEndsTheWizardEndsCancelledWithoutOpeningAnything) {
    for (int pageNumber = 1; pageNumber <= 4; ++pageNumber) {
        SCOPED_TRACE("cancel on page " + std::to_string(pageNumber));
        FakeServices services;
        WizardSession session(services);
        HWND page = session.GoTo(pageNumber);
        ASSERT_NE(page, nullptr);
        services.running = false;
        PressButton(page, IDCANCEL);
        WizardResult result = WizardResult::Install;
        ASSERT_TRUE(session.Finish(&result));
        EXPECT_EQ(result, WizardResult::Cancelled);
    }
    // Free space unknown for the drive, then too little of it: each would
    // show a message and a page again.
    for (const std::uint64_t bytesFree : {std::uint64_t{0}, std::uint64_t{5} << 40}) {
        SCOPED_TRACE("folder check, bytes free " + std::to_string(bytesFree));
        FakeServices services;
        services.closeWhileAskingSpace = true;
        services.bytesFree = bytesFree;
        if (bytesFree != 0) services.freeSpaceAnswer = CWizardServices::FreeSpace::Failed;
        WizardSession session(services);
        HWND page = session.GoTo(3);
        ASSERT_NE(page, nullptr);
        session.Leave(page, IDC_FOLDER_NEXT);
        WizardResult result = WizardResult::Install;
        ASSERT_TRUE(session.Finish(&result));
        EXPECT_EQ(result, WizardResult::Cancelled);
    }
}

TEST(SetupWizard, GroupPageRecordsEachBoxInItsOwnFlag) {
    FakeServices services;
    WizardSession session(services);
    HWND page = session.GoTo(2);
    ASSERT_NE(page, nullptr);
    // Clear all (a command no user can give, since the button is disabled)
    // and select all act on all nine boxes.
    PressButton(page, IDC_GROUPS_CLEAR_ALL);
    ASSERT_TRUE(WaitUntil([&] { return IsDlgButtonChecked(page, 1014) == BST_UNCHECKED; }, kWait));
    for (int id = 1006; id <= 1014; ++id) EXPECT_EQ(IsDlgButtonChecked(page, id), BST_UNCHECKED);
    PressButton(page, IDC_GROUPS_SELECT_ALL);
    ASSERT_TRUE(WaitUntil([&] { return IsDlgButtonChecked(page, 1014) == BST_CHECKED; }, kWait));
    for (int id = 1006; id <= 1014; ++id) EXPECT_EQ(IsDlgButtonChecked(page, id), BST_CHECKED);

    const bool pattern[9] = {true, false, false, true, true, false, true, false, true};
    for (int i = 0; i < 9; ++i)
        CheckDlgButton(page, 1006 + i, pattern[i] ? BST_CHECKED : BST_UNCHECKED);
    ASSERT_NE(session.Turn(page, IDC_GROUPS_NEXT, 3), nullptr);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(session.state().GroupSelection[i], pattern[i]) << i;
}

// ---- Page 3 -----------------------------------------------------------------

struct FolderCase {
    std::wstring typed;
    std::wstring folder;  // InstallFolder once page 4 shows
    std::wstring root;    // the root asked for its free space
};

TEST(SetupWizard, FolderPageFormsTheFinalFolder) {
    const FolderCase cases[] = {
        {L"D:\\", L"D:\\Vintal\\Sorvane", L"D:\\"},
        {L"D:\\Games\\\\", L"D:\\Games\\\\Vintal\\Sorvane", L"D:\\"},
        // Shift-JIS would end "ソ" and "表" in 0x5C: no separators here.
        {L"D:\\ソ表ア能ヂ十", L"D:\\ソ表ア能ヂ十\\Vintal\\Sorvane", L"D:\\"},
        {L"e:\\x", L"e:\\x\\Vintal\\Sorvane", L"e:\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        FakeServices services;
        WizardSession session(services);
        HWND page = session.GoTo(4, c.typed);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(session.InstallFolder(), c.folder);
        EXPECT_EQ(services.Roots(), std::vector<std::wstring>{c.root});
        ASSERT_NE(session.Turn(page, IDC_READY_BACK, 3), nullptr);
    }
}

// The game reaches its files through code page 932: a folder with a
// character that code page has none for is taken only after a Yes; No
// stays on the page with the text as typed. A folder the code page holds,
// Japanese included, is not asked about.
TEST(SetupWizard, AFolderOutsideTheGamesCodePageIsAskedAboutFirst) {
    const std::wstring outside = L"D:\\ゲーム\\J\xFCrgen";  // "ü"
    const struct {
        std::wstring typed;
        bool asked;
    } cases[] = {
        {outside, true},
        {L"C:\\Users\\Jos\xE9", true},             // "é"
        {L"D:\\\x301C", true},                       // WAVE DASH: code page 932 has its look-alike U+FF5E only
        {L"D:\\ソ表ア能ヂ十\\～", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        for (const int answer : {IDNO, IDYES}) {
            if (!c.asked && answer == IDNO) continue;
            FakeServices services;
            WizardSession session(services);
            HWND page = session.GoTo(3);
            ASSERT_NE(page, nullptr);
            TypeFolder(page, c.typed);
            PressButton(page, IDC_FOLDER_NEXT);
            if (c.asked) {
                HWND box = session.Message(kConfirmCaption,
                                           setup_text::kFolderOutsideCodePageText,
                                           MB_ICONEXCLAMATION);
                ASSERT_NE(box, nullptr);
                EXPECT_EQ(GetWindow(box, GW_OWNER), page);
                EXPECT_NE(GetDlgItem(box, IDYES), nullptr);
                EXPECT_NE(GetDlgItem(box, IDNO), nullptr);
                session.Answer(box, answer);
            }
            if (answer == IDNO) {
                EXPECT_EQ(session.Page(3), page);
                EXPECT_EQ(EditText(page), c.typed);
                EXPECT_TRUE(services.Roots().empty());
                continue;
            }
            ASSERT_NE(session.Page(4), nullptr);
            EXPECT_EQ(session.InstallFolder(), c.typed + L"\\Vintal\\Sorvane");
        }
    }
}

TEST(SetupWizard, EmptyFolderIsRefusedOnThePage) {
    FakeServices services;
    WizardSession session(services);
    HWND page = session.GoTo(3);
    ASSERT_NE(page, nullptr);
    TypeFolder(page, L"");
    PressButton(page, IDC_FOLDER_NEXT);
    HWND box = session.Message(kConfirmCaption, kNoFolderText, MB_ICONEXCLAMATION);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), page);
    session.Answer(box, IDOK);
    EXPECT_EQ(session.Page(3), page);
    EXPECT_TRUE(services.Roots().empty());
}

TEST(SetupWizard, FolderWithoutDriveLetterReturnsToTheFolderPage) {
    const std::wstring cases[] = {L"\\\\server\\share", L"\\Games", L"1:\\Games", L"D:Games"};
    for (const auto& typed : cases) {
        SCOPED_TRACE(typed);
        FakeServices services;
        WizardSession session(services);
        HWND page = session.GoTo(3);
        ASSERT_NE(page, nullptr);
        TypeFolder(page, typed);
        session.Leave(page, IDC_FOLDER_NEXT);
        HWND box = session.Message(kErrorCaption, kBadFolderText, MB_ICONEXCLAMATION);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(GetWindow(box, GW_OWNER), session.owner());
        session.Answer(box, IDOK);
        page = session.Page(3);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(EditText(page), kProgramFiles);
        EXPECT_TRUE(services.Roots().empty());
    }
}

TEST(SetupWizard, OverlongFolderIsRefusedWithoutTruncating) {
    // 230 typed characters leave room for every installed file; 231 do not,
    // nor does a text longer than any path.
    const struct {
        std::size_t length;
        bool accepted;
    } cases[] = {{230, true}, {231, false}, {400, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        FakeServices services;
        WizardSession session(services);
        HWND page = session.GoTo(3);
        ASSERT_NE(page, nullptr);
        std::wstring typed = L"D:\\" + std::wstring(c.length - 3, L'a');
        TypeFolder(page, typed);
        if (c.accepted) {
            ASSERT_NE(session.Turn(page, IDC_FOLDER_NEXT, 4), nullptr);
            EXPECT_EQ(session.InstallFolder(), typed + L"\\Vintal\\Sorvane");
            continue;
        }
        PressButton(page, IDC_FOLDER_NEXT);
        HWND box = session.Message(kErrorCaption, kBadFolderText, MB_ICONEXCLAMATION);
        ASSERT_NE(box, nullptr);
        session.Answer(box, IDOK);
        // The page stays with the text as typed, for the user to shorten.
        EXPECT_EQ(session.Page(3), page);
        EXPECT_EQ(EditText(page), typed);
        EXPECT_TRUE(services.Roots().empty());
    }
}

TEST(SetupWizard, WithoutProgramFilesTheRootOfCIsOffered) {
    FakeServices services;
    services.programFilesKnown = false;
    WizardSession session(services);
    HWND page = session.GoTo(3);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(EditText(page), L"C:\\");
    ASSERT_NE(session.Turn(page, IDC_FOLDER_NEXT, 4), nullptr);
    EXPECT_EQ(session.InstallFolder(), L"C:\\Vintal\\Sorvane");
    EXPECT_EQ(services.Roots(), std::vector<std::wstring>{L"C:\\"});
}

TEST(SetupWizard, BrowsePutsTheChosenFolderIntoTheEdit) {
    for (bool chooses : {true, false}) {
        SCOPED_TRACE(chooses);
        FakeServices services;
        services.browseChooses = chooses;
        WizardSession session(services);
        HWND page = session.GoTo(3);
        ASSERT_NE(page, nullptr);
        PressButton(page, IDC_FOLDER_BROWSE);
        ASSERT_TRUE(WaitUntil([&] { return services.BrowseTitles().size() == 1; }, kWait));
        EXPECT_EQ(services.BrowseTitles()[0], setup_text::kBrowseTitle);
        const std::wstring expected = chooses ? L"F:\\Picked" : kProgramFiles;
        EXPECT_TRUE(WaitUntil([&] { return EditText(page) == expected; }, kWait));
        ASSERT_NE(session.Turn(page, IDC_FOLDER_NEXT, 4), nullptr);
        EXPECT_EQ(session.InstallFolder(), expected + L"\\Vintal\\Sorvane");
    }
}

// ---- Free space -------------------------------------------------------------

TEST(SetupWizard, FreeSpaceTest) {
    using FreeSpace = CWizardServices::FreeSpace;
    const struct {
        FreeSpace answer;
        std::uint64_t bytes;
        int nextPage;           // the page shown after Next on page 3
        const wchar_t* caption;  // the message shown before it, if any
        const wchar_t* text;
    } cases[] = {
        {FreeSpace::Known, 3979031202ull, 4, nullptr, nullptr},
        {FreeSpace::Known, 5ull << 40, 4, nullptr, nullptr},
        {FreeSpace::Known, 3979031201ull, 2, kErrorCaption.c_str(), kNoSpaceText.c_str()},
        {FreeSpace::Known, 0, 2, kErrorCaption.c_str(), kNoSpaceText.c_str()},
        // No query function on this system: the test is skipped.
        {FreeSpace::Unavailable, 0, 4, nullptr, nullptr},
        // The drive does not exist: choose the folder again.
        {FreeSpace::Failed, 0, 3, kErrorCaption.c_str(), kBadFolderText.c_str()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes) + " answer " + std::to_string(int(c.answer)));
        FakeServices services;
        services.freeSpaceAnswer = c.answer;
        services.bytesFree = c.bytes;
        WizardSession session(services);
        HWND page = session.GoTo(3);
        ASSERT_NE(page, nullptr);
        TypeFolder(page, L"Q:\\");
        session.Leave(page, IDC_FOLDER_NEXT);
        if (c.caption) {
            HWND box = session.Message(c.caption, c.text, MB_ICONEXCLAMATION);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(GetWindow(box, GW_OWNER), session.owner());
            session.Answer(box, IDOK);
        }
        ASSERT_NE(session.Page(c.nextPage), nullptr);
        EXPECT_EQ(services.Roots(), std::vector<std::wstring>{L"Q:\\"});
    }
}

TEST(SetupWizard, SystemFreeSpaceQueryAnswersForRealDrivesOnly) {
    CWizardServices system;
    std::uint64_t bytes = 0;
    EXPECT_EQ(system.QueryFreeSpace(L"C:\\", &bytes), CWizardServices::FreeSpace::Known);
    EXPECT_GT(bytes, 0u);
    // The test prefix maps no drive J:.
    EXPECT_EQ(system.QueryFreeSpace(L"J:\\", &bytes), CWizardServices::FreeSpace::Failed);
}

TEST(SetupWizard, SystemProgramFilesFolderIsTheRegistryValue) {
    const RegValue expected = ReadRegValue(
        HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir");
    ASSERT_TRUE(expected.found);
    CWizardServices system;
    wchar_t out[kMaxPath] = {};
    ASSERT_TRUE(system.ReadProgramFilesDir(out));
    EXPECT_EQ(out, ValueText(expected));
}

}  // namespace
