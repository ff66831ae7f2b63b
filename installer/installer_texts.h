// The texts setup.exe shows: the window title, the message boxes and their
// captions (Shift-JIS in the program). The program and its tests use these
// and nothing else; the dialog pages' own texts are in setup_dialogs.rc.
#pragma once

namespace installer_text {

// Main window; the wizard pages add " (n/4)".
inline constexpr char kTitle[] = "Sorvane～Kelmire～　セットアップ";

// Captions.
inline constexpr char kConfirmCaption[] = "確認";
inline constexpr char kErrorCaption[] = "エラー";
inline constexpr char kDiscCaption[] = "ディスク要求";
inline constexpr char kDoneCaption[] = "終了確認";

// Closing the window, Cancel on a wizard page and Cancel at a disc request
// all ask this (caption kConfirmCaption).
inline constexpr char kAbortText[] = "セットアップを中断し、\n終了してもよろしいですか？";

// The wizard's folder and free-space checks.
inline constexpr char kNoFolderText[] = "フォルダ名が入力されていません。";
inline constexpr char kBadFolderText[] = "フォルダ名の指定が正しくありません。";
inline constexpr char kNoSpaceText[] = "ハードディスク領域が不足しています。";
// Yes/No (caption kConfirmCaption) on page 3 for a folder with a character
// that code page 932 has none for: the game reaches its files through that
// code page. No stays on page 3.
inline constexpr char kFolderOutsideCodePageText[] =
    "フォルダ名に、ゲームが扱えない文字が含まれています。\n"
    "このフォルダではゲームが起動しない場合があります。\n"
    "このままインストールしてもよろしいですか？";
inline constexpr char kBrowseTitle[] = "フォルダを選択してください";

// The install run.
inline constexpr char kErrorText[] = "Sorvaneセットアップ中にエラーが発生しました。";
inline constexpr char kDoneText[] = "全てのセットアップ作業が終了しました。";
// Before kDoneText when a registration step failed (caption kErrorCaption).
inline constexpr char kRegistrationIncompleteText[] =
    "ゲームのシステムへの登録（アプリケーションパス、アンインストール情報、\n"
    "ショートカット）を完了できませんでした。";
// The disc request for disc n (1 to 6) is kDiscPrompts[n - 1].
inline constexpr const char* kDiscPrompts[] = {
    "ディスクの１枚目をドライブに挿入してください。",
    "ディスクの２枚目をドライブに挿入してください。",
    "ディスクの３枚目をドライブに挿入してください。",
    "ディスクの４枚目をドライブに挿入してください。",
    "ディスクの５枚目をドライブに挿入してください。",
    "ディスクの６枚目をドライブに挿入してください。",
};
inline constexpr int kDiscCount = 6;

}  // namespace installer_text
