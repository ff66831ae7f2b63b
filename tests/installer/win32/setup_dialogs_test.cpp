// The four wizard pages as the user sees them: every control read back from
// the live dialog (in UTF-16) and compared with the page's layout, and a
// picture of each page saved for people to look at.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/system/win32/path_utils.h"
#include "framework/system/win32/unique_handle.h"
#include "installer/setup_resources.h"
#include "tests/installer/win32/wizard_session.h"
#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/scratch.h"

namespace {

enum Kind { kPush, kCheck, kGroup, kText, kEdit };

struct Control {
    int id;
    Kind kind;
    std::wstring text;
    RECT units;  // left, top, width, height in dialog units
    bool enabled;
};

const RECT At(int x, int y, int w, int h) { return RECT{x, y, w, h}; }

const std::vector<Control>& PageControls(int page) {
    static const std::vector<Control> pages[4] = {
        {
            {-1, kText,
             L"この度は、「Sorvane～Kelmire～」を\nお買い上げ頂きまして誠に有難う御座います｡\n\n"
             L"セットアップではゲームのインストールを行います。\n他の全てのアプリケーションを終了し、\n"
             L"[次へ]をクリックして下さい。",
             At(14, 13, 203, 64), true},
            {1001, kPush, L"次へ", At(124, 137, 50, 14), true},
            {2, kPush, L"ｷｬﾝｾﾙ", At(181, 137, 50, 14), true},
        },
        {
            {1001, kPush, L"次へ", At(124, 136, 50, 14), true},
            {2, kPush, L"ｷｬﾝｾﾙ", At(181, 136, 50, 14), true},
            {-1, kGroup, L"インストールするファイルを選択してください。", At(5, 3, 223, 130), true},
            {1004, kPush, L"全て解除", At(130, 114, 46, 12), false},
            {1005, kPush, L"全て選択", At(178, 114, 46, 12), true},
            {1006, kCheck, L"背景画像（400MB）", At(16, 34, 76, 10), false},
            {1007, kCheck, L"キャラクタ画像（870MB）", At(16, 53, 91, 10), false},
            {1008, kCheck, L"イベント画像（2.0GB）", At(16, 72, 82, 10), false},
            {1009, kCheck, L"デフォルメ画像（220MB）", At(16, 91, 92, 10), false},
            {1010, kCheck, L"その他画像（15MB）", At(16, 110, 79, 10), false},
            {1011, kCheck, L"音楽（14MB）", At(120, 34, 57, 10), false},
            {1012, kCheck, L"効果音（18MB）", At(120, 55, 65, 10), false},
            {1013, kCheck, L"音声（230MB）", At(120, 76, 61, 10), false},
            {1014, kCheck, L"シナリオ（2MB）", At(120, 97, 65, 10), false},
            {-1, kText,
             L"（※選択されていないファイルがある場合、\n　　ゲームプレイ時にディスクが必要になります。）",
             At(8, 12, 155, 18), true},
            {1017, kPush, L"前へ", At(67, 136, 50, 14), true},
        },
        {
            {-1, kText, L"インストールするフォルダを指定して下さい。", At(6, 9, 210, 11), true},
            // The page puts the offered folder into the edit.
            {1015, kEdit, L"C:\\Program Files", At(5, 34, 223, 14), true},
            {1001, kPush, L"参照", At(192, 54, 36, 10), true},
            {1016, kPush, L"次へ", At(123, 135, 50, 14), true},
            {2, kPush, L"ｷｬﾝｾﾙ", At(178, 135, 50, 14), true},
            {1005, kPush, L"前へ", At(68, 135, 50, 14), true},
        },
        {
            {-1, kText,
             L"セットアップの準備が完了しました。\n\nインストールを開始する場合には、[ｲﾝｽﾄｰﾙ]をクリックして下さい｡",
             At(9, 15, 217, 52), true},
            {1001, kPush, L"インストール", At(127, 136, 50, 14), true},
            {2, kPush, L"ｷｬﾝｾﾙ", At(182, 136, 50, 14), true},
            {1004, kPush, L"前へ", At(72, 136, 50, 14), true},
        },
    };
    return pages[page - 1];
}

const wchar_t* ClassOf(Kind kind) {
    switch (kind) {
        case kText: return L"Static";
        case kEdit: return L"Edit";
        default: return L"Button";
    }
}

// The style the resource gives the control, without WS_CHILD and WS_VISIBLE.
DWORD DeclaredStyle(const Control& c) {
    DWORD disabled = c.enabled ? 0 : WS_DISABLED;
    switch (c.kind) {
        case kPush: return BS_PUSHBUTTON | WS_TABSTOP | disabled;
        case kCheck: return BS_AUTOCHECKBOX | WS_TABSTOP | disabled;
        case kGroup: return BS_GROUPBOX;
        case kText: return SS_LEFT | WS_GROUP;
        case kEdit: return ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
    }
    return 0;
}

RECT ClientRectOf(HWND dialog, HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void CheckControl(HWND dialog, HWND hwnd, const Control& expected) {
    SCOPED_TRACE(testing::Message() << "control " << expected.id << " " << expected.text);
    EXPECT_EQ(GetDlgCtrlID(hwnd) & 0xFFFF, expected.id & 0xFFFF);
    EXPECT_EQ(lstrcmpiW(ClassNameOf(hwnd).c_str(), ClassOf(expected.kind)), 0)
        << ClassNameOf(hwnd);
    EXPECT_EQ(WindowTextOf(hwnd), expected.text);
    EXPECT_EQ(IsWindowEnabled(hwnd) != FALSE, expected.enabled);
    // The page's font with its Shift-JIS character set, which lets a system
    // without the face pick a Japanese one rather than a Latin one.
    LOGFONTW font = {};
    ASSERT_TRUE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)),
                           sizeof font, &font));
    EXPECT_EQ(std::wstring(font.lfFaceName), L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF");
    EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);

    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    DWORD declared = DeclaredStyle(expected) | WS_CHILD | WS_VISIBLE;
    // The dialog manager marks the push button that has the focus as the
    // default one; an edit may trade its border for a sunken client edge.
    if (expected.kind == kPush && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
        style = (style & ~BS_TYPEMASK) | BS_PUSHBUTTON;
    if (expected.kind == kEdit && (exStyle & WS_EX_CLIENTEDGE)) style |= WS_BORDER;
    EXPECT_EQ(style, declared) << std::hex << style << " " << declared;

    // The dialog manager converts position and size each on its own.
    RECT want = expected.units;
    MapDialogRect(dialog, &want);
    RECT got = ClientRectOf(dialog, hwnd);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right - got.left, want.right);
    EXPECT_EQ(got.bottom - got.top, want.bottom);
}

void CheckPage(HWND dialog, int page) {
    SCOPED_TRACE("page " + std::to_string(page));
    EXPECT_EQ(WindowTextOf(dialog), PageCaption(page));

    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE));
    const DWORD declared = WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_CENTER |
                           DS_SETFONT;
    EXPECT_EQ(style & declared, declared) << std::hex << style;
    EXPECT_EQ(style & WS_SYSMENU, 0u) << "no system menu, so no close box";

    RECT client;
    GetClientRect(dialog, &client);
    RECT size = {0, 0, 235, 156};
    MapDialogRect(dialog, &size);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    // Centred on the screen's work area.
    RECT window;
    RECT work;
    GetWindowRect(dialog, &window);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(std::abs((window.left + window.right) - (work.left + work.right)), 2);
    EXPECT_LE(std::abs((window.top + window.bottom) - (work.top + work.bottom)), 2);

    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW logFont = {};
    ASSERT_TRUE(font && GetObjectW(font, sizeof logFont, &logFont));
    EXPECT_EQ(std::wstring(logFont.lfFaceName), L"ＭＳ Ｐゴシック");
    // The font the page really gets has the kana and kanji it shows, so the
    // text is readable rather than boxes.
    const wchar_t sample[] = L"\x6B21\x3078\x30BB\x30C3\x30C8\xFF7B";  // 次へセット and a half-width ｻ
    WORD glyphs[6] = {};
    DWORD mapped = 0;
    {
        const unique_window_dc dc(dialog);
        const select_object_scope selected(dc.get(), font);
        mapped = GetGlyphIndicesW(dc.get(), sample, 6, glyphs, GGI_MARK_NONEXISTING_GLYPHS);
    }
    ASSERT_EQ(mapped, 6u);
    for (WORD glyph : glyphs) EXPECT_NE(glyph, 0xFFFF);

    const std::vector<Control>& expected = PageControls(page);
    std::vector<HWND> controls = DialogControls(dialog);
    ASSERT_EQ(controls.size(), expected.size());
    for (std::size_t i = 0; i < controls.size(); ++i) CheckControl(dialog, controls[i], expected[i]);
}

std::wstring ScreenshotFolder() {
    // The test program lives in <build>/tests/bin.
    std::wstring tests;
    std::wstring build;
    std::wstring name;
    const std::wstring folder = ProgramFolder();
    if (!SplitPath(&tests, &name, folder.c_str()) || !SplitPath(&build, &name, tests.c_str()))
        return folder;
    const std::wstring shots = build + L"\\screenshots";
    CreateDirectoryW(shots.c_str(), nullptr);
    return shots;
}

// Skips a name field of a dialog template: 0, an ordinal, or a string.
const WORD* SkipTemplateName(const WORD* p) {
    if (*p == 0xFFFF) return p + 2;
    while (*p++ != 0) {
    }
    return p;
}

TEST(SetupDialogs, ResourcesAreJapaneseWithTheirFont) {
    // The font's character set is only in the template: the dialog manager
    // may create the font with another one.
    for (int id = IDD_SETUP_WELCOME; id <= IDD_SETUP_READY; ++id) {
        SCOPED_TRACE(id);
        HRSRC found = FindResourceExW(nullptr, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(id),
                                      MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));  // RT_DIALOG
        ASSERT_NE(found, nullptr);
        const WORD* p = static_cast<const WORD*>(LockResource(LoadResource(nullptr, found)));
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(p[0], 1);       // extended template
        ASSERT_EQ(p[1], 0xFFFF);
        DWORD style = p[6] | (static_cast<DWORD>(p[7]) << 16);
        EXPECT_EQ(style, static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME |
                                            DS_CENTER | DS_SETFONT));
        EXPECT_EQ(p[11], 235);    // cx
        EXPECT_EQ(p[12], 156);    // cy
        p = SkipTemplateName(SkipTemplateName(SkipTemplateName(p + 13)));  // menu, class, title
        EXPECT_EQ(p[0], 10);                       // points
        EXPECT_EQ(p[1], FW_NORMAL);                // weight
        EXPECT_EQ(p[2] & 0xFF, 0);                 // not italic
        EXPECT_EQ(p[2] >> 8, SHIFTJIS_CHARSET);    // 128
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(p + 3)),
                  L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF");  // ＭＳ Ｐゴシック
    }
}

TEST(SetupDialogs, EveryPageShowsItsControls) {
    FakeServices services;
    WizardSession session(services);
    for (int page = 1; page <= 4; ++page) {
        HWND dialog = session.Page(page);
        ASSERT_NE(dialog, nullptr) << page;
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), session.owner());
        // Modal: the owner cannot be used while a page shows.
        EXPECT_FALSE(IsWindowEnabled(session.owner()));
        CheckPage(dialog, page);
        if (page == 2) {
            for (int id = IDC_GROUPS_FIRST_BOX; id <= IDC_GROUPS_LAST_BOX; ++id)
                EXPECT_EQ(IsDlgButtonChecked(dialog, id), BST_CHECKED) << id;
        }
        const std::wstring file =
            ScreenshotFolder() + L"\\setup_page" + std::to_wstring(page) + L".bmp";
        EXPECT_TRUE(SaveWindowBitmap(dialog, file)) << file;
        const int next[] = {IDC_WELCOME_NEXT, IDC_GROUPS_NEXT, IDC_FOLDER_NEXT, IDC_READY_INSTALL};
        if (page == 3) SetDlgItemTextW(dialog, IDC_FOLDER_EDIT, L"D:\\");
        session.Leave(dialog, next[page - 1]);
    }
    WizardResult result;
    ASSERT_TRUE(session.Finish(&result));
    EXPECT_EQ(result, WizardResult::Install);
}

}  // namespace
