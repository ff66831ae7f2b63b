// Every text setup.exe and UnInstall.exe show, written out here byte for
// byte as literals, apart from the programs' own text headers and dialog
// resource. The tests that read a text back from a window (a message box, a
// caption, a wizard page) compare it with these, so a byte changed in
// installer/installer_texts.h, uninstaller/uninstall_texts.h or the dialog
// resource fails them. The texts of the wizard pages' controls are pinned
// the same way in tests/installer/win32/setup_dialogs_test.cpp. Narrow
// literals are Shift-JIS in the Windows builds.
#pragma once

#include <string>

// setup.exe.
namespace setup_text {

inline constexpr char kTitle[] = "Sorvane～Kelmire～　セットアップ";
inline constexpr char kConfirmCaption[] = "確認";
inline constexpr char kErrorCaption[] = "エラー";
inline constexpr char kDiscCaption[] = "ディスク要求";
inline constexpr char kDoneCaption[] = "終了確認";
inline constexpr char kAbortText[] = "セットアップを中断し、\n終了してもよろしいですか？";
inline constexpr char kNoFolderText[] = "フォルダ名が入力されていません。";
inline constexpr char kBadFolderText[] = "フォルダ名の指定が正しくありません。";
inline constexpr char kNoSpaceText[] = "ハードディスク領域が不足しています。";
inline constexpr char kBrowseTitle[] = "フォルダを選択してください";
inline constexpr char kErrorText[] = "Sorvaneセットアップ中にエラーが発生しました。";
inline constexpr char kDoneText[] = "全てのセットアップ作業が終了しました。";
inline constexpr char kRegistrationIncompleteText[] =
    "ゲームのシステムへの登録（アプリケーションパス、アンインストール情報、\n"
    "ショートカット）を完了できませんでした。";
inline constexpr const char* kDiscPrompts[] = {
    "ディスクの１枚目をドライブに挿入してください。",
    "ディスクの２枚目をドライブに挿入してください。",
    "ディスクの３枚目をドライブに挿入してください。",
    "ディスクの４枚目をドライブに挿入してください。",
    "ディスクの５枚目をドライブに挿入してください。",
    "ディスクの６枚目をドライブに挿入してください。",
};
inline constexpr int kDiscCount = 6;

// Prompt for disc `disc` (1 to 6); empty for another number.
std::string DiscPrompt(int disc);
// Caption of wizard page `page` (1 to 4): kTitle and " (page/4)".
std::string PageCaption(int page);

}  // namespace setup_text

// UnInstall.exe (the program's own header is uninstall_text).
namespace uninstaller_text {

inline constexpr char kCaption[] = "Sorvane";
inline constexpr char kConfirm[] = "Sorvaneをアンインストールします。よろしいですか？";
inline constexpr char kNotInstalled[] =
    "このフォルダにはSorvaneがインストールされていません。\n何も削除しませんでした。";
inline constexpr char kInvalidEntry[] =
    "Sorvaneの登録情報が正しくないため、アンインストールできません。\n"
    "何も削除しませんでした。";
inline constexpr char kNoRights[] =
    "Sorvaneをアンインストールするには管理者の権限が必要です。\n"
    "何も削除しませんでした。";
inline constexpr char kInUseFormat[] =
    "ファイル「%s」が使用中のため、アンインストールできません。\n"
    "Sorvaneを終了してから［再試行］を押してください。";
inline constexpr char kDone[] = "アンインストールが完了しました。";
inline constexpr char kKeptFormat[] =
    "アンインストールが完了しました。\n"
    "フォルダ「%s」には他のファイルがあるため、削除せずに残しました。";

}  // namespace uninstaller_text
