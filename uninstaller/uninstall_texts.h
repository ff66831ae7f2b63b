// Every text UnInstall.exe shows, in one place; the tests include this
// header rather than copying the strings. Narrow literals are Shift-JIS in
// the Windows builds.
#pragma once

namespace uninstall_text {

// Caption of every message box of the uninstaller.
constexpr char kCaption[] = "Sorvane";

// The one question before anything is removed (Yes/No).
constexpr char kConfirm[] = "Sorvaneをアンインストールします。よろしいですか？";

// Started from a folder that is not the registered installation (the disc,
// a copy elsewhere), or nothing is registered at all.
constexpr char kNotInstalled[] =
    "このフォルダにはSorvaneがインストールされていません。\n何も削除しませんでした。";

// The registration cannot be trusted (not a string, too long, not a full
// path, a folder that does not exist).
constexpr char kInvalidEntry[] =
    "Sorvaneの登録情報が正しくないため、アンインストールできません。\n"
    "何も削除しませんでした。";

// Retry/Cancel while an installed file is in use; "%s" is the file name.
constexpr char kInUseFormat[] =
    "ファイル「%s」が使用中のため、アンインストールできません。\n"
    "Sorvaneを終了してから［再試行］を押してください。";

// An installed file this user may not remove: administrator rights are
// needed.
constexpr char kNoRights[] =
    "Sorvaneをアンインストールするには管理者の権限が必要です。\n"
    "何も削除しませんでした。";

// The final messages.
constexpr char kDone[] = "アンインストールが完了しました。";
// "%s" is the installation folder, left because it holds other files.
constexpr char kKeptFormat[] =
    "アンインストールが完了しました。\n"
    "フォルダ「%s」には他のファイルがあるため、削除せずに残しました。";
// Followed by one line per item that could not be removed.
constexpr char kLeftHeading[] =
    "アンインストールが完了しましたが、次の項目を削除できませんでした。";

}  // namespace uninstall_text
