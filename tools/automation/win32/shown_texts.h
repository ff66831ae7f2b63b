// Every text setup.exe and UnInstall.exe show, written out here character
// for character as UTF-16 literals, apart from the programs' own text
// headers and dialog resource. The tests read a text back from a window (a
// message box, a caption, a wizard page) in UTF-16, as a person sees it
// under any system code page, and compare it with these: a character
// changed in installer/installer_texts.h, uninstaller/uninstall_texts.h or
// the dialog resource, or one that the way into Windows turned into another,
// fails them. The texts of the wizard pages' controls are pinned the same
// way in tests/installer/win32/setup_dialogs_test.cpp.
#pragma once

#include <string>

// setup.exe.
namespace setup_text {

inline constexpr wchar_t kTitle[] = L"Sorvane～Kelmire～　セットアップ";
inline constexpr wchar_t kConfirmCaption[] = L"確認";
inline constexpr wchar_t kErrorCaption[] = L"エラー";
inline constexpr wchar_t kDiscCaption[] = L"ディスク要求";
inline constexpr wchar_t kDoneCaption[] = L"終了確認";
inline constexpr wchar_t kAbortText[] = L"セットアップを中断し、\n終了してもよろしいですか？";
inline constexpr wchar_t kNoFolderText[] = L"フォルダ名が入力されていません。";
inline constexpr wchar_t kBadFolderText[] = L"フォルダ名の指定が正しくありません。";
inline constexpr wchar_t kNoSpaceText[] = L"ハードディスク領域が不足しています。";
inline constexpr wchar_t kFolderOutsideCodePageText[] =
    L"フォルダ名に、ゲームが扱えない文字が含まれています。\n"
    L"このフォルダではゲームが起動しない場合があります。\n"
    L"このままインストールしてもよろしいですか？";
inline constexpr wchar_t kBrowseTitle[] = L"フォルダを選択してください";
inline constexpr wchar_t kErrorText[] = L"Sorvaneセットアップ中にエラーが発生しました。";
inline constexpr wchar_t kDoneText[] = L"全てのセットアップ作業が終了しました。";
inline constexpr wchar_t kRegistrationIncompleteText[] =
    L"ゲームのシステムへの登録（アプリケーションパス、アンインストール情報、\n"
    L"ショートカット）を完了できませんでした。";
inline constexpr const wchar_t* kDiscPrompts[] = {
    L"ディスクの１枚目をドライブに挿入してください。",
    L"ディスクの２枚目をドライブに挿入してください。",
    L"ディスクの３枚目をドライブに挿入してください。",
    L"ディスクの４枚目をドライブに挿入してください。",
    L"ディスクの５枚目をドライブに挿入してください。",
    L"ディスクの６枚目をドライブに挿入してください。",
};
inline constexpr int kDiscCount = 6;

// Prompt for disc `disc` (1 to 6); empty for another number.
std::wstring DiscPrompt(int disc);
// Caption of wizard page `page` (1 to 4): kTitle and " (page/4)".
std::wstring PageCaption(int page);

}  // namespace setup_text

// UnInstall.exe (the program's own header is uninstall_text).
namespace uninstaller_text {

inline constexpr wchar_t kCaption[] = L"Sorvane";
inline constexpr wchar_t kConfirm[] = L"Sorvaneをアンインストールします。よろしいですか？";
inline constexpr wchar_t kNotInstalled[] =
    L"このフォルダにはSorvaneがインストールされていません。\n何も削除しませんでした。";
inline constexpr wchar_t kInvalidEntry[] =
    L"Sorvaneの登録情報が正しくないため、アンインストールできません。\n"
    L"何も削除しませんでした。";
inline constexpr wchar_t kNoRights[] =
    L"Sorvaneをアンインストールするには管理者の権限が必要です。\n"
    L"何も削除しませんでした。";
// "%s" is the file name (kInUseFormat) or the folder (kKeptFormat): Text()
// fills it in.
inline constexpr wchar_t kInUseFormat[] =
    L"ファイル「%s」が使用中のため、アンインストールできません。\n"
    L"Sorvaneを終了してから［再試行］を押してください。";
inline constexpr wchar_t kDone[] = L"アンインストールが完了しました。";
inline constexpr wchar_t kKeptFormat[] =
    L"アンインストールが完了しました。\n"
    L"フォルダ「%s」には他のファイルがあるため、削除せずに残しました。";

// `format` with its "%s" replaced by `argument`.
std::wstring Text(const wchar_t* format, const std::wstring& argument);

}  // namespace uninstaller_text
