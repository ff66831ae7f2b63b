#include "installer/setup_wizard.h"

#include <cstring>

#include "framework/system/path_text.h"
#include "framework/system/path_utils.h"
#include "framework/system/system_services.h"
#include "installer/install_folder.h"
#include "installer/setup_resources.h"

namespace {

const char kConfirmCaption[] = "確認";
const char kErrorCaption[] = "エラー";
const char kAbortQuestion[] = "セットアップを中断し、\n終了してもよろしいですか？";
const char kNoFolderText[] = "フォルダ名が入力されていません。";
const char kBadFolderText[] = "フォルダ名の指定が正しくありません。";
const char kNoSpaceText[] = "ハードディスク領域が不足しています。";
const char kBrowseTitle[] = "フォルダを選択してください";
const char kDefaultBaseFolder[] = "C:\\";

// What the pages that need more than their own controls are given.
struct PageContext {
    InstallerStateData* state;
    CWizardServices* services;
};

PageContext* ContextOf(HWND page) {
    return reinterpret_cast<PageContext*>(GetWindowLongPtrA(page, DWLP_USER));
}

void KeepContext(HWND page, LPARAM context) { SetWindowLongPtrA(page, DWLP_USER, context); }

// Cancel and Escape (which the dialog manager reports as id 2) on any page.
void ConfirmAbort(HWND page) {
    if (MessageBoxA(page, kAbortQuestion, kConfirmCaption, MB_YESNO | MB_ICONQUESTION) == IDYES)
        EndDialog(page, kPageCancelled);
}

void ShowError(HWND owner, const char* text) {
    MessageBoxA(owner, text, kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
}

// ---- Page 1: welcome --------------------------------------------------------

INT_PTR CALLBACK WelcomePage(HWND page, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND) return FALSE;
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
            KeepContext(page, lParam);
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
    char* folder = context.state->InstallFolder;
    if (!context.services->ReadProgramFilesDir(folder))
        CopyText(folder, kMaxPath, kDefaultBaseFolder);
    SetDlgItemTextA(page, IDC_FOLDER_EDIT, folder);
}

void BrowseFolder(HWND page) {
    char chosen[kMaxPath] = {};
    if (ContextOf(page)->services->BrowseForFolder(kBrowseTitle, chosen))
        SetDlgItemTextA(page, IDC_FOLDER_EDIT, chosen);
}

void AcceptFolder(HWND page) {
    // Read more than a path can hold, so an over-long text is refused as a
    // whole instead of being cut to a different folder.
    char text[kMaxPath * 4] = {};
    HWND edit = GetDlgItem(page, IDC_FOLDER_EDIT);
    bool fits = GetWindowTextLengthA(edit) < static_cast<int>(sizeof text);
    if (fits) GetWindowTextA(edit, text, sizeof text);

    char folder[kMaxPath];
    FolderText formed = fits ? FormInstallFolder(folder, sizeof folder, text, AnsiLeadBytes())
                             : FolderText::TooLong;
    switch (formed) {
        case FolderText::Empty:
            MessageBoxA(page, kNoFolderText, kConfirmCaption, MB_OK | MB_ICONEXCLAMATION);
            return;
        case FolderText::TooLong:
            ShowError(page, kBadFolderText);
            return;
        case FolderText::Formed:
            CopyText(ContextOf(page)->state->InstallFolder, kMaxPath, folder);
            EndDialog(page, kPageForward);
            return;
    }
}

INT_PTR CALLBACK FolderPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            KeepContext(page, lParam);
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

INT_PTR CALLBACK ReadyPage(HWND page, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
        case IDC_READY_INSTALL: EndDialog(page, kPageForward); return TRUE;
        case IDC_READY_BACK: EndDialog(page, kPageBack); return TRUE;
        case IDCANCEL: ConfirmAbort(page); return TRUE;
        default: return FALSE;
    }
}

// ---- Navigation -------------------------------------------------------------

enum class Page { Welcome, Groups, Folder, Ready, Cancelled, Install };

class CWizardRun {
public:
    CWizardRun(HINSTANCE instance, HWND owner, InstallerStateData& state,
               CWizardServices& services)
        : instance_(instance), owner_(owner), context_{&state, &services} {}

    WizardResult Run() {
        Page page = Page::Welcome;
        for (;;) {
            switch (page) {
                case Page::Welcome:
                    page = Show(IDD_SETUP_WELCOME, WelcomePage, Page::Groups, Page::Welcome);
                    break;
                case Page::Groups:
                    page = Show(IDD_SETUP_GROUPS, GroupsPage, Page::Folder, Page::Welcome);
                    break;
                case Page::Folder:
                    page = Show(IDD_SETUP_FOLDER, FolderPage, Page::Ready, Page::Groups);
                    break;
                case Page::Ready:
                    page = Show(IDD_SETUP_READY, ReadyPage, Page::Install, Page::Folder);
                    break;
                case Page::Cancelled:
                    return WizardResult::Cancelled;
                case Page::Install:
                    return WizardResult::Install;
            }
        }
    }

private:
    // Shows one page and maps its result. A page that could not be shown
    // (result -1) counts as cancelled rather than being retried forever.
    Page Show(int resource, DLGPROC procedure, Page forward, Page back) {
        INT_PTR result = DialogBoxParamA(instance_, MAKEINTRESOURCEA(resource), owner_, procedure,
                                         reinterpret_cast<LPARAM>(&context_));
        if (result == kPageBack) return back;
        if (result != kPageForward) return Page::Cancelled;
        // Leaving the folder page forward passes the folder and space tests.
        return forward == Page::Ready ? CheckFolder() : forward;
    }

    // After page 3: the folder needs a drive root ("X:\"), and its drive room for
    // the installation.
    Page CheckFolder() {
        const char* folder = context_.state->InstallFolder;
        char root[8];
        if (!HasDriveRoot(folder) || !FormDriveRoot(root, sizeof root, folder)) {
            ShowError(owner_, kBadFolderText);
            return Page::Folder;
        }
        std::uint64_t bytesFree = 0;
        switch (context_.services->QueryFreeSpace(root, &bytesFree)) {
            case CWizardServices::FreeSpace::Unavailable:
                return Page::Ready;
            case CWizardServices::FreeSpace::Failed:
                // No such drive (or no medium): nothing can be installed
                // there, so the user chooses the folder again.
                ShowError(owner_, kBadFolderText);
                return Page::Folder;
            case CWizardServices::FreeSpace::Known:
                break;
        }
        if (!IsEnoughFreeSpace(bytesFree)) {
            ShowError(owner_, kNoSpaceText);
            return Page::Groups;
        }
        return Page::Ready;
    }

    HINSTANCE instance_;
    HWND owner_;
    PageContext context_;
};

}  // namespace

bool CWizardServices::ReadProgramFilesDir(char* out) {
    return CSystemServices().ReadProgramFilesDir(out);
}

bool CWizardServices::BrowseForFolder(const char* title, char* out) {
    return CSystemServices().BrowseForFolder(title, out);
}

CWizardServices::FreeSpace CWizardServices::QueryFreeSpace(const char* root,
                                                           std::uint64_t* bytesFree) {
    using Query = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto query = kernel ? reinterpret_cast<Query>(GetProcAddress(kernel, "GetDiskFreeSpaceExA"))
                        : nullptr;
    if (query == nullptr) return FreeSpace::Unavailable;
    ULARGE_INTEGER toCaller = {};
    ULARGE_INTEGER total = {};
    ULARGE_INTEGER free = {};
    if (!query(root, &toCaller, &total, &free)) return FreeSpace::Failed;
    *bytesFree = toCaller.QuadPart;
    return FreeSpace::Known;
}

WizardResult RunSetupWizard(HINSTANCE instance, HWND owner, InstallerStateData& state,
                            CWizardServices& services) {
    return CWizardRun(instance, owner, state, services).Run();
}
