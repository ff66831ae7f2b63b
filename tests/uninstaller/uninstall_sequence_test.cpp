// The removal sequence over fakes: where it may run, the question, the
// in-use check before anything is removed, the order of removal, what is
// kept and what a failure leaves.
#include "uninstaller/uninstall_sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "tools/support/literal_text.h"
#include "uninstaller/uninstall_texts.h"

namespace {

using Log = std::vector<std::u16string>;

// A folder only UTF-16 holds: "ü" has no character in code page 932.
const std::u16string kFolder = u"C:\\ゲーム\\Jürgen\\Vintal\\Sorvane";
const std::u16string kModule = kFolder + u"\\UnInstall.exe";
const std::u16string kDesktop = u"C:\\Users\\José\\Desktop";
const std::u16string kPrograms = u"C:\\Users\\José\\Start Menu\\Programs";

std::u16string InFolder(const std::u16string& name) { return kFolder + u"\\" + name; }

// One fake for the whole system; every call is logged in order.
class FakeSystem : public IUninstallRegistry,
                   public IUninstallFiles,
                   public IUninstallShell,
                   public IUninstallPrompts,
                   public IUninstallElevation {
public:
    AppPathRead read = AppPathRead::kFound;
    std::u16string appPath = InFolder(u"Sorvane.exe");
    bool folderExists = true;
    bool holdsOthers = false;
    bool selfRemovalStarts = true;
    bool runsHere = true;                    // false: an elevated copy or a declined one
    UninstallResult elsewhere = UninstallResult::kRemoved;  // then the exit code
    bool confirm = true;
    std::vector<bool> retryAnswers;          // answers to the in-use prompts, in turn
    std::set<std::u16string> inUse;          // freed by the Retry answers below
    std::set<std::u16string> noAccess;       // files this user may not remove
    int retriesUntilFree = 1;
    std::set<std::u16string> cannotRemove;   // paths and key names whose removal fails
    Log log;
    Log messages;
    std::vector<MessageIcon> icons;

    AppPathRead ReadAppPath(const char* name, std::u16string* out) override {
        log.push_back(u"read " + WidenLiteral(name));
        *out = appPath;
        return read;
    }
    bool DeleteAppPath(const char* name) override {
        return Removal(u"key AppPaths\\", WidenLiteral(name));
    }
    bool DeleteUninstallEntry(const char* name) override {
        return Removal(u"key Uninstall\\", WidenLiteral(name));
    }
    bool FolderExists(const std::u16string&) override { return folderExists; }
    FileState Probe(const std::u16string& path) override {
        log.push_back(u"probe " + path);
        if (noAccess.count(path)) return FileState::kNoAccess;
        return inUse.count(path) ? FileState::kInUse : FileState::kRemovable;
    }
    bool RemoveFile(const std::u16string& path) override { return Removal(u"remove ", path); }
    bool RemoveEmptyFolder(const std::u16string& folder) override {
        return Removal(u"rmdir ", folder);
    }
    bool HoldsOtherThan(const std::u16string&, const std::u16string& except) override {
        EXPECT_EQ(except, u"UnInstall.exe");
        return holdsOthers;
    }
    bool PrepareSelfRemoval(const std::u16string& folder) override {
        log.push_back(u"self " + folder);
        return selfRemovalStarts;
    }
    void StartSelfRemoval() override { log.push_back(u"self-start"); }
    bool DesktopFolder(std::u16string* out) override {
        *out = kDesktop;
        return true;
    }
    bool ProgramsFolder(std::u16string* out) override {
        *out = kPrograms;
        return true;
    }
    bool ConfirmRemoval() override {
        log.push_back(u"confirm");
        return confirm;
    }
    bool RetryInUse(const std::u16string& text) override {
        log.push_back(u"retry?");
        messages.push_back(text);
        icons.push_back(MessageIcon::kWarning);
        const bool retry = !retryAnswers.empty() && retryAnswers.front();
        if (!retryAnswers.empty()) retryAnswers.erase(retryAnswers.begin());
        if (retry && --retriesUntilFree == 0) inUse.clear();
        return retry;
    }
    bool RunsHere(UninstallResult* result) override {
        log.push_back(u"elevation");
        if (!runsHere) *result = elsewhere;
        return runsHere;
    }
    void ShowMessage(const std::u16string& text, MessageIcon icon) override {
        log.push_back(u"message");
        messages.push_back(text);
        icons.push_back(icon);
    }

    UninstallResult Run(const std::u16string& module = kModule) {
        return Run(module, *this);
    }
    UninstallResult Run(const std::u16string& module, IUninstallPrompts& prompts) {
        UninstallServices services{*this, *this, *this, prompts, *this, widener_};
        return RunUninstall(module, services);
    }
    // Log lines that change something.
    Log Changes() const {
        Log changes;
        for (const std::u16string& line : log) {
            if (line.rfind(u"remove ", 0) == 0 || line.rfind(u"rmdir ", 0) == 0 ||
                line.rfind(u"key ", 0) == 0 || line.rfind(u"self ", 0) == 0)
                changes.push_back(line);
        }
        return changes;
    }

private:
    bool Removal(const char16_t* what, const std::u16string& name) {
        log.push_back(what + name);
        return cannotRemove.count(name) == 0;
    }
    CLiteralWidener widener_;
};

std::size_t Count(const Log& log, const char16_t* line) {
    return static_cast<std::size_t>(std::count(log.begin(), log.end(), line));
}

Log ExpectedChanges() {
    const std::u16string menu = kPrograms + u"\\VINTAL";
    Log changes = {
        u"remove " + kDesktop + u"\\Sorvane.lnk",
        u"remove " + menu + u"\\Sorvane\\Sorvane.lnk",
        u"remove " + menu + u"\\Sorvane\\アンインストーラ.lnk",
        u"rmdir " + menu + u"\\Sorvane",
        u"rmdir " + menu,
    };
    for (const char16_t* name : {u"Sorvane.exe", u"bg.dat", u"extra.dat", u"obj.dat", u"cg.dat",
                                 u"bgm.dat", u"se.dat", u"voice.dat", u"scr.dat", u"sc.dat"})
        changes.push_back(u"remove " + InFolder(name));
    changes.push_back(u"key AppPaths\\Sorvane.exe");
    changes.push_back(u"key Uninstall\\Sorvane.exe");
    changes.push_back(u"self " + kFolder);
    return changes;
}

TEST(UninstallSequence, RefusesWithOneMessageAndRemovesNothingWhenNotTheRegisteredFolder) {
    struct Case {
        const char* name;
        AppPathRead read;
        std::u16string appPath;
        std::u16string module;
        bool folderExists;
        UninstallResult result;
        const char* message;
    };
    const std::u16string registered = InFolder(u"Sorvane.exe");
    const Case cases[] = {
        {"nothing registered", AppPathRead::kMissing, u"", kModule, true,
         UninstallResult::kNotInstalled, uninstall_text::kNotInstalled},
        {"started from the disc", AppPathRead::kFound, registered,
         u"M:\\data\\data\\UnInstall.exe", true, UninstallResult::kNotInstalled,
         uninstall_text::kNotInstalled},
        {"another folder registered", AppPathRead::kFound, u"C:\\Other\\Sorvane\\Sorvane.exe",
         kModule, true, UninstallResult::kNotInstalled, uninstall_text::kNotInstalled},
        {"a folder inside it registered", AppPathRead::kFound,
         kFolder + u"\\sub\\Sorvane.exe", kModule, true, UninstallResult::kNotInstalled,
         uninstall_text::kNotInstalled},
        // The folder as a code page would have it: "u" for "ü".
        {"the folder's best fit registered", AppPathRead::kFound,
         u"C:\\ゲーム\\Jurgen\\Vintal\\Sorvane\\Sorvane.exe", kModule, true,
         UninstallResult::kNotInstalled, uninstall_text::kNotInstalled},
        {"value not a string", AppPathRead::kNotString, u"", kModule, true,
         UninstallResult::kInvalidEntry, uninstall_text::kInvalidEntry},
        {"value too long", AppPathRead::kTooLong, u"", kModule, true,
         UninstallResult::kInvalidEntry, uninstall_text::kInvalidEntry},
        {"relative path", AppPathRead::kFound, u"Sorvane.exe", kModule, true,
         UninstallResult::kInvalidEntry, uninstall_text::kInvalidEntry},
        {"folder missing", AppPathRead::kFound, registered, kModule, false,
         UninstallResult::kInvalidEntry, uninstall_text::kInvalidEntry},
        {"module without a folder", AppPathRead::kFound, registered, u"UnInstall.exe", true,
         UninstallResult::kNotInstalled, uninstall_text::kNotInstalled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSystem fake;
        fake.read = c.read;
        fake.appPath = c.appPath;
        fake.folderExists = c.folderExists;
        EXPECT_EQ(fake.Run(c.module), c.result);
        EXPECT_TRUE(fake.Changes().empty());
        EXPECT_EQ(Count(fake.log, u"confirm"), 0u);
        // Nothing to remove: no elevation is asked for.
        EXPECT_EQ(Count(fake.log, u"elevation"), 0u);
        ASSERT_EQ(fake.messages.size(), 1u);
        EXPECT_EQ(fake.messages[0], WidenLiteral(c.message));
        EXPECT_EQ(fake.icons[0], MessageIcon::kError);
    }
}

TEST(UninstallSequence, RemovesLinksThenFilesThenKeysThenStartsSelfRemoval) {
    // The registered path may differ in ASCII letter case and separators.
    for (const std::u16string& appPath :
         {kFolder + u"\\Sorvane.exe", std::u16string(u"c:/ゲーム/JüRGEN/vintal//sorvane/Sorvane.exe")}) {
        SCOPED_TRACE(testing::PrintToString(appPath));
        FakeSystem fake;
        fake.appPath = appPath;
        EXPECT_EQ(fake.Run(), UninstallResult::kRemoved);
        EXPECT_EQ(fake.Changes(), ExpectedChanges());
        // Asked once, before anything changed; every file probed before the
        // first removal; the uninstaller's own file is left to its copy.
        const auto confirm = std::find(fake.log.begin(), fake.log.end(), u"confirm");
        const auto firstRemove = std::find_if(fake.log.begin(), fake.log.end(), [](auto& l) {
            return l.rfind(u"remove ", 0) == 0;
        });
        ASSERT_NE(confirm, fake.log.end());
        EXPECT_EQ(std::count_if(confirm, firstRemove,
                                [](auto& l) { return l.rfind(u"probe ", 0) == 0; }),
                  10);
        for (const std::u16string& line : fake.log)
            EXPECT_EQ(line.find(u"UnInstall.exe"), std::u16string::npos) << testing::PrintToString(line);
        EXPECT_EQ(fake.messages, Log{u"アンインストールが完了しました。"});
        EXPECT_EQ(fake.icons[0], MessageIcon::kInformation);
        // The copy that removes the uninstaller starts after the message.
        EXPECT_EQ(Log(fake.log.end() - 2, fake.log.end()), (Log{u"message", u"self-start"}));
    }
}

// Once the registration check has passed and before anything is asked or
// probed, the work may move to an elevated copy; this process then ends
// with the copy's exit code, or as on No when elevation was declined.
TEST(UninstallSequence, AnElevatedCopyOrADeclinedElevationEndsThisProcessUntouched) {
    const UninstallResult results[] = {UninstallResult::kRemoved, UninstallResult::kInUse,
                                       UninstallResult::kCancelled};
    for (UninstallResult result : results) {
        SCOPED_TRACE(static_cast<int>(result));
        FakeSystem fake;
        fake.runsHere = false;
        fake.elsewhere = result;
        EXPECT_EQ(fake.Run(), result);
        EXPECT_EQ(fake.log, (Log{u"read Sorvane.exe", u"elevation"}));
        EXPECT_TRUE(fake.messages.empty());
    }
}

TEST(UninstallSequence, NoAtTheQuestionRemovesNothingAndSaysNothingMore) {
    FakeSystem fake;
    fake.confirm = false;
    EXPECT_EQ(fake.Run(), UninstallResult::kCancelled);
    EXPECT_TRUE(fake.Changes().empty());
    EXPECT_TRUE(fake.messages.empty());
}

TEST(UninstallSequence, AFileInUseIsOfferedRetryBeforeAnythingIsRemoved) {
    struct Case {
        const char* name;
        std::vector<bool> answers;
        int retriesUntilFree;
        UninstallResult result;
        std::size_t prompts;
    };
    const Case cases[] = {
        {"cancel", {false}, 1, UninstallResult::kInUse, 1},
        {"retry while still in use, then cancel", {true, false}, 2, UninstallResult::kInUse, 2},
        {"retry after the game ended", {true}, 1, UninstallResult::kRemoved, 1},
        {"retry twice", {true, true}, 2, UninstallResult::kRemoved, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSystem fake;
        fake.inUse = {InFolder(u"voice.dat")};
        fake.retryAnswers = c.answers;
        fake.retriesUntilFree = c.retriesUntilFree;
        EXPECT_EQ(fake.Run(), c.result);
        EXPECT_EQ(Count(fake.log, u"retry?"), c.prompts);
        EXPECT_EQ(fake.messages[0],
                  u"ファイル「voice.dat」が使用中のため、アンインストールできません。\n"
                  u"Sorvaneを終了してから［再試行］を押してください。");
        if (c.result == UninstallResult::kRemoved) {
            EXPECT_EQ(fake.Changes(), ExpectedChanges());
        } else {
            EXPECT_TRUE(fake.Changes().empty());
            EXPECT_EQ(fake.messages.size(), c.prompts);  // no final message
        }
    }
}

// Without administrator rights no retry helps: one message, nothing removed,
// an exit code of its own, whatever the other files' state.
TEST(UninstallSequence, AFileThisUserMayNotRemoveEndsAtOnceWithoutRetry) {
    for (bool alsoInUse : {false, true}) {
        SCOPED_TRACE(alsoInUse ? "another file in use" : "alone");
        FakeSystem fake;
        fake.noAccess = {InFolder(u"voice.dat")};
        if (alsoInUse) fake.inUse = {InFolder(u"Sorvane.exe")};
        fake.retryAnswers = {true, true};
        EXPECT_EQ(static_cast<int>(fake.Run()), 8);
        EXPECT_EQ(Count(fake.log, u"retry?"), 0u);
        EXPECT_TRUE(fake.Changes().empty());
        EXPECT_EQ(fake.messages, Log{WidenLiteral(uninstall_text::kNoRights)});
        EXPECT_EQ(fake.icons, std::vector<MessageIcon>{MessageIcon::kError});
    }
}

// The folder is named as the system gave it, "ü" and all.
TEST(UninstallSequence, OtherFilesInTheFolderAreKeptAndNamedInTheFinalMessage) {
    FakeSystem fake;
    fake.holdsOthers = true;
    EXPECT_EQ(fake.Run(), UninstallResult::kRemoved);
    EXPECT_EQ(fake.Changes(), ExpectedChanges());
    // (Named outside the macro, whose text must fit the narrow literals'
    // code page.)
    const Log kept = {u"アンインストールが完了しました。\n"
                      u"フォルダ「C:\\ゲーム\\Jürgen\\Vintal\\Sorvane」には他のファイル"
                      u"があるため、削除せずに残しました。"};
    EXPECT_EQ(fake.messages, kept);
}

TEST(UninstallSequence, AFailureMidWayGoesOnWithTheRestAndNamesWhatIsLeft) {
    FakeSystem fake;
    const std::u16string link = kDesktop + u"\\Sorvane.lnk";
    fake.cannotRemove = {InFolder(u"bg.dat"), InFolder(u"sc.dat"), link, u"Sorvane.exe"};
    fake.selfRemovalStarts = false;
    EXPECT_EQ(fake.Run(), UninstallResult::kIncomplete);
    EXPECT_EQ(fake.Changes(), ExpectedChanges());
    ASSERT_EQ(fake.messages.size(), 1u);
    const std::u16string expected =
        u"アンインストールが完了しましたが、次の項目を削除できませんでした。\n\n" + link +
        u"\nbg.dat\nsc.dat"
        u"\nHKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\"
        u"CurrentVersion\\App Paths\\Sorvane.exe"
        u"\nHKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\"
        u"CurrentVersion\\Uninstall\\Sorvane.exe"
        u"\nUnInstall.exe";
    EXPECT_EQ(fake.messages[0], expected);
    EXPECT_EQ(fake.icons[0], MessageIcon::kWarning);
    EXPECT_EQ(fake.log.back(), u"message");  // no copy to start
}

TEST(UninstallSequence, QuietModeAsksNothingShowsNothingAndKeepsTheExitCodes) {
    struct Case {
        FileState game;
        AppPathRead read;
        int result;
        bool removes;
    };
    const Case cases[] = {
        {FileState::kRemovable, AppPathRead::kFound, 0, true},
        {FileState::kInUse, AppPathRead::kFound, 4, false},
        {FileState::kNoAccess, AppPathRead::kFound, 8, false},
        {FileState::kRemovable, AppPathRead::kMissing, 2, false},
    };
    for (const Case& c : cases) {
        FakeSystem fake;
        fake.read = c.read;
        if (c.game == FileState::kInUse) fake.inUse = {InFolder(u"Sorvane.exe")};
        if (c.game == FileState::kNoAccess) fake.noAccess = {InFolder(u"Sorvane.exe")};
        CQuietPrompts quiet;
        EXPECT_EQ(static_cast<int>(fake.Run(kModule, quiet)), c.result);
        EXPECT_EQ(fake.Changes().empty(), !c.removes);
        EXPECT_EQ(Count(fake.log, u"confirm"), 0u);
        EXPECT_TRUE(fake.messages.empty());
    }
}

}  // namespace
