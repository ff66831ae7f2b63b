#include "installer/win32/setup_wizard.h"

#include <cstring>
#include <cwchar>

#include "framework/app/win32/application.h"
#include "framework/app/win32/thread_registry.h"
#include "framework/log/win32/run_log.h"
#include "framework/system/path_text.h"
#include "framework/system/win32/system_services.h"
#include "framework/system/win32/wide_text.h"
#include "installer/install_folder.h"
#include "installer/installer_texts.h"
#include "installer/setup_resources.h"

namespace {

using namespace installer_text;

const wchar_t kDefaultBaseFolder[] = L"C:\\";

// What the pages are given.
struct PageContext {
    InstallerStateData* state;
    CWizardServices* services;
    // The pages' font with its Shift-JIS character set (null when it could
    // not be made).
    HFONT font;
};

PageContext* ContextOf(HWND page) {
    return reinterpret_cast<PageContext*>(GetWindowLongPtrW(page, DWLP_USER));
}

BOOL CALLBACK SetControlFont(HWND control, LPARAM font) {
    SendMessageW(control, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    return TRUE;
}

// WM_INITDIALOG of every page: keeps the context and gives the controls the
// pages' font. The dialog manager makes the template's font without its
// character set, so a system whose code page is not 932 and that lacks the
// face draws the texts in a Latin font, as boxes; with the Shift-JIS
// character set the system picks a Japanese face instead.
void StartPage(HWND page, LPARAM context) {
    SetWindowLongPtrW(page, DWLP_USER, context);
    if (HFONT font = ContextOf(page)->font)
        EnumChildWindows(page, SetControlFont, reinterpret_cast<LPARAM>(font));
}

bool IsRunning(HWND page) { return ContextOf(page)->services->IsRunning(); }

// Cancel and Escape (which the dialog manager reports as id 2) on any page.
// While the program ends there is nothing to confirm.
void ConfirmAbort(HWND page) {
    if (!IsRunning(page) ||
        ApplicationMessageBox(page, kAbortText, kConfirmCaption, MB_YESNO | MB_ICONQUESTION) ==
            IDYES ||
        !IsRunning(page)) {
        EndDialog(page, kPageCancelled);
    }
}

void ShowError(HWND owner, const char* text) {
    ApplicationMessageBox(owner, text, kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
}

// ---- Page 1: welcome --------------------------------------------------------

INT_PTR CALLBACK WelcomePage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) StartPage(page, lParam);
    if (message != WM_COMMAND) return message == WM_INITDIALOG;
    switch (LOWORD(wParam)) {
        case IDC_WELCOME_NEXT: EndDialog(page, kPageForward); return TRUE;
        case IDCANCEL: ConfirmAbort(page); return TRUE;
        default: return FALSE;
    }
}

// ---- Page 2: data groups ----------------------------------------------------

void CheckAllGroups(HWND page, UINT state) {
    for (int id = IDC_GROUPS_FIRST_BOX; id <= IDC_GROUPS_LAST_BOX; ++id)
        CheckDlgButton(page, id, state);
}

void TakeGroupSelection(HWND page) {
    InstallerStateData& state = *ContextOf(page)->state;
    for (int id = IDC_GROUPS_FIRST_BOX; id <= IDC_GROUPS_LAST_BOX; ++id)
        state.GroupSelection[id - IDC_GROUPS_FIRST_BOX] =
            IsDlgButtonChecked(page, id) == BST_CHECKED;
    EndDialog(page, kPageForward);
}

INT_PTR CALLBACK GroupsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            StartPage(page, lParam);
            CheckAllGroups(page, BST_CHECKED);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_GROUPS_CLEAR_ALL: CheckAllGroups(page, BST_UNCHECKED); return TRUE;
                case IDC_GROUPS_SELECT_ALL: CheckAllGroups(page, BST_CHECKED); return TRUE;
                case IDC_GROUPS_NEXT: TakeGroupSelection(page); return TRUE;
                case IDC_GROUPS_BACK: EndDialog(page, kPageBack); return TRUE;
                case IDCANCEL: ConfirmAbort(page); return TRUE;
                default: return FALSE;
            }
        default:
            return FALSE;
    }
}

// ---- Page 3: target folder --------------------------------------------------

// Every visit starts again from the program-files folder (or "C:\").
void OfferBaseFolder(HWND page) {
    PageContext& context = *ContextOf(page);
    wchar_t* folder = AsWide(context.state->InstallFolder);
    if (!context.services->ReadProgramFilesDir(folder)) std::wcscpy(folder, kDefaultBaseFolder);
    SetDlgItemTextW(page, IDC_FOLDER_EDIT, folder);
}

void BrowseFolder(HWND page) {
    wchar_t chosen[kMaxPath] = {};
    COpenDialogScope picker(IDCANCEL);
    if (ContextOf(page)->services->BrowseForFolder(kBrowseTitle, chosen))
        SetDlgItemTextW(page, IDC_FOLDER_EDIT, chosen);
}

// The game reads its files through code page 932: a folder that code page
// cannot hold may keep it from starting, so the user is asked first. No
// stays on the page.
bool AcceptsFolderForTheGame(HWND page, const char16_t* folder) {
    if (FitsShiftJis(AsWide(folder))) return true;
    const bool yes = ApplicationMessageBox(page, kFolderOutsideCodePageText, kConfirmCaption,
                                           MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
    CLogLine() << "the question whether to install into " << folder
               << ", which code page 932 cannot hold, was answered " << (yes ? "Yes" : "No");
    return yes;
}

void AcceptFolder(HWND page) {
    // Read more than a path can hold, so an over-long text is refused as a
    // whole instead of being cut to a different folder.
    wchar_t text[kMaxPath * 4] = {};
    HWND edit = GetDlgItem(page, IDC_FOLDER_EDIT);
    const int length = GetWindowTextLengthW(edit);
    const bool fits = length < static_cast<int>(kMaxPath * 4);
    if (fits) GetWindowTextW(edit, text, kMaxPath * 4);

    char16_t folder[kMaxPath];
    FolderText formed = fits ? FormInstallFolder(folder, kMaxPath, AsUtf16(text))
                             : FolderText::TooLong;
    switch (formed) {
        case FolderText::Empty:
            ApplicationMessageBox(page, kNoFolderText, kConfirmCaption, MB_OK | MB_ICONEXCLAMATION);
            return;
        case FolderText::TooLong:
            ShowError(page, kBadFolderText);
            return;
        case FolderText::Formed:
            if (!AcceptsFolderForTheGame(page, folder) || !IsRunning(page)) return;
            CopyWide(ContextOf(page)->state->InstallFolder, folder);
            EndDialog(page, kPageForward);
            return;
    }
}

INT_PTR CALLBACK FolderPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            StartPage(page, lParam);
            OfferBaseFolder(page);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_FOLDER_BROWSE: BrowseFolder(page); return TRUE;
                case IDC_FOLDER_NEXT: AcceptFolder(page); return TRUE;
                case IDC_FOLDER_BACK: EndDialog(page, kPageBack); return TRUE;
                case IDCANCEL: ConfirmAbort(page); return TRUE;
                default: return FALSE;
            }
        default:
            return FALSE;
    }
}

// ---- Page 4: ready ----------------------------------------------------------

INT_PTR CALLBACK ReadyPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) StartPage(page, lParam);
    if (message != WM_COMMAND) return message == WM_INITDIALOG;
    switch (LOWORD(wParam)) {
        case IDC_READY_INSTALL: EndDialog(page, kPageForward); return TRUE;
        case IDC_READY_BACK: EndDialog(page, kPageBack); return TRUE;
        case IDCANCEL: ConfirmAbort(page); return TRUE;
        default: return FALSE;
    }
}

// ---- Navigation -------------------------------------------------------------

enum class Page { Welcome, Groups, Folder, Ready, Cancelled, Install };

// After page 3: the folder needs a drive root ("X:\"), and its drive room for
// the installation. Returns `next` when both hold, else the page to show again.
Page CheckFolder(PageContext& context, HWND owner, Page next) {
    const FolderCheck check = CheckInstallFolder(context.state->InstallFolder, *context.services);
    // Closed while the drive was asked: no message, no page again.
    if (!context.services->IsRunning()) return Page::Cancelled;
    switch (check) {
        case FolderCheck::kAccepted:
            return next;
        case FolderCheck::kNoDriveRoot:
        case FolderCheck::kNoSuchDrive:
            // No such drive (or no medium): nothing can be installed there,
            // so the user chooses the folder again.
            ShowError(owner, kBadFolderText);
            return Page::Folder;
        case FolderCheck::kTooLittleSpace:
            ShowError(owner, kNoSpaceText);
            return Page::Groups;
    }
    return Page::Folder;
}

// The pages in order: the dialog and its procedure, where Back and the
// forward button lead, and the check that leaving forward passes first.
struct PageEntry {
    Page page;
    int resource;
    DLGPROC procedure;
    Page back;
    Page next;
    Page (*checkForward)(PageContext& context, HWND owner, Page next);
};

const PageEntry kPages[] = {
    {Page::Welcome, IDD_SETUP_WELCOME, WelcomePage, Page::Welcome, Page::Groups, nullptr},
    {Page::Groups, IDD_SETUP_GROUPS, GroupsPage, Page::Welcome, Page::Folder, nullptr},
    {Page::Folder, IDD_SETUP_FOLDER, FolderPage, Page::Groups, Page::Ready, CheckFolder},
    {Page::Ready, IDD_SETUP_READY, ReadyPage, Page::Folder, Page::Install, nullptr},
};

class CWizardRun {
public:
    CWizardRun(HINSTANCE instance, HWND owner, InstallerStateData& state,
               CWizardServices& services)
        : instance_(instance), owner_(owner), font_(MakePageFont(owner)),
          context_{&state, &services, static_cast<HFONT>(font_.get())} {}

    WizardResult Run() {
        Page page = Page::Welcome;
        for (;;) {
            if (page == Page::Cancelled) return WizardResult::Cancelled;
            if (page == Page::Install) return WizardResult::Install;
            for (const PageEntry& entry : kPages) {
                if (entry.page == page) {
                    page = Show(entry);
                    break;
                }
            }
        }
    }

private:
    // Shows one page and maps its result. A page that could not be shown
    // (result -1) counts as cancelled rather than being retried forever.
    Page Show(const PageEntry& entry) {
        if (!context_.services->IsRunning()) return Page::Cancelled;
        INT_PTR result = kPageCancelled;
        {
            COpenDialogScope open(IDCANCEL);
            result = DialogBoxParamW(instance_, MAKEINTRESOURCEW(entry.resource), owner_,
                                     entry.procedure, reinterpret_cast<LPARAM>(&context_));
        }
        if (!context_.services->IsRunning()) return Page::Cancelled;
        if (result == kPageBack) return entry.back;
        if (result != kPageForward) return Page::Cancelled;
        return entry.checkForward ? entry.checkForward(context_, owner_, entry.next) : entry.next;
    }

    static HGDIOBJ MakePageFont(HWND owner) {
        const unique_window_dc dc(owner);
        const LOGFONTW logical = WizardPageFont(dc.get());
        return CreateFontIndirectW(&logical);
    }

    HINSTANCE instance_;
    HWND owner_;
    unique_hgdiobj font_;
    PageContext context_;
};

}  // namespace

FolderCheck CheckInstallFolder(const char16_t* folder, CWizardServices& services) {
    CLogLine() << "install folder " << folder;
    char16_t root[8];
    if (!HasDriveRoot(folder) || !FormDriveRoot(root, 8, folder)) {
        CLogLine() << "refused: the folder does not start with a drive root";
        return FolderCheck::kNoDriveRoot;
    }
    std::uint64_t bytesFree = 0;
    switch (services.QueryFreeSpace(AsWide(root), &bytesFree)) {
        case CWizardServices::FreeSpace::Unavailable:
            CLogLine() << "the system cannot tell the free space: the test is skipped";
            return FolderCheck::kAccepted;
        case CWizardServices::FreeSpace::Failed: {
            const SystemError error{GetLastError()};
            CLogLine() << "refused: the free space of " << root << " is unknown, " << error;
            return FolderCheck::kNoSuchDrive;
        }
        case CWizardServices::FreeSpace::Known:
            break;
    }
    const bool enough = IsEnoughFreeSpace(bytesFree);
    CLogLine() << "free space on " << root << ": " << bytesFree << " bytes, "
               << (enough ? "enough for " : "too little for ") << kRequiredFreeBytes;
    return enough ? FolderCheck::kAccepted : FolderCheck::kTooLittleSpace;
}

LOGFONTW WizardPageFont(HDC dc) {
    // In UTF-16 whatever the system's code page: "ＭＳ Ｐゴシック".
    static const wchar_t kFace[] = L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF";
    LOGFONTW font = {};
    font.lfHeight = -MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = SHIFTJIS_CHARSET;
    static_assert(sizeof kFace <= sizeof font.lfFaceName, "face name too long");
    std::memcpy(font.lfFaceName, kFace, sizeof kFace);
    return font;
}

CPageFontWarmUp::~CPageFontWarmUp() {
    Stop();
    font_.reset();
}

void CPageFontWarmUp::Run() {
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return;
    const LOGFONTW logical = WizardPageFont(screen);
    unique_hdc dc(CreateCompatibleDC(screen));
    ReleaseDC(nullptr, screen);
    font_.reset(CreateFontIndirectW(&logical));
    if (!dc || !font_) return;
    // Kana, kanji, half-width katakana and Latin of the first page: "この度
    // はセットアップ次へｷｬﾝｾﾙ" and "Sorvane".
    static const wchar_t kSample[] =
        L"\x3053\x306E\x5EA6\x306F\x30BB\x30C3\x30C8\x30A2\x30C3\x30D7\x6B21\x3078"
        L"\xFF77\xFF6C\xFF9D\xFF7E\xFF99Sorvane";
    HGDIOBJ previous = SelectObject(dc.get(), font_.get());
    SIZE size = {};
    GetTextExtentPoint32W(dc.get(), kSample, static_cast<int>(wcslen(kSample)), &size);
    SelectObject(dc.get(), previous);
}

bool CWizardServices::ReadProgramFilesDir(wchar_t* out) {
    return CSystemServices().ReadProgramFilesDir(out);
}

bool CWizardServices::BrowseForFolder(const char* title, wchar_t* out) {
    return CSystemServices().BrowseForFolder(title, out);
}

CWizardServices::FreeSpace CWizardServices::QueryFreeSpace(const wchar_t* root,
                                                           std::uint64_t* bytesFree) {
    using Query = BOOL(WINAPI*)(LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto query = kernel ? reinterpret_cast<Query>(GetProcAddress(kernel, "GetDiskFreeSpaceExW"))
                        : nullptr;
    if (query == nullptr) return FreeSpace::Unavailable;
    ULARGE_INTEGER toCaller = {};
    ULARGE_INTEGER total = {};
    ULARGE_INTEGER free = {};
    if (!query(root, &toCaller, &total, &free)) return FreeSpace::Failed;
    *bytesFree = toCaller.QuadPart;
    return FreeSpace::Known;
}

bool CWizardServices::IsRunning() {
    CApplication* application = TheThreadRegistry.GetApplication();
    return application == nullptr || application->IsRunning();
}

WizardResult RunSetupWizard(HINSTANCE instance, HWND owner, InstallerStateData& state,
                            CWizardServices& services) {
    return CWizardRun(instance, owner, state, services).Run();
}
