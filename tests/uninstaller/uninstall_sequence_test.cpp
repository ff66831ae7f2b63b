// The removal sequence over fakes: where it may run, the question, the
// in-use check before anything is removed, the order of removal, what is
// kept and what a failure leaves.
#include "uninstaller/uninstall_sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "uninstaller/uninstall_texts.h"

namespace {

const char kFolder[] = "C:\\Games\\Vintal\\Sorvane";
const char kModule[] = "C:\\Games\\Vintal\\Sorvane\\UnInstall.exe";
const char kDesktop[] = "C:\\Users\\me\\Desktop";
const char kPrograms[] = "C:\\Users\\me\\Start Menu\\Programs";

std::string InFolder(const std::string& name) { return std::string(kFolder) + "\\" + name; }

// One fake for the whole system; every call is logged in order.
class FakeSystem : public IUninstallRegistry,
                   public IUninstallFiles,
                   public IUninstallShell,
                   public IUninstallPrompts,
                   public IUninstallElevation {
public:
    AppPathRead read = AppPathRead::kFound;
    std::string appPath = InFolder("Sorvane.exe");
    bool folderExists = true;
    bool holdsOthers = false;
    bool selfRemovalStarts = true;
    bool runsHere = true;                    // false: an elevated copy or a declined one
    UninstallResult elsewhere = UninstallResult::kRemoved;  // then the exit code
    bool confirm = true;
    std::vector<bool> retryAnswers;          // answers to the in-use prompts, in turn
    std::set<std::string> inUse;             // freed by the Retry answers below
    std::set<std::string> noAccess;          // files this user may not remove
    int retriesUntilFree = 1;
    std::set<std::string> cannotRemove;      // paths and key names whose removal fails
    std::vector<std::string> log;
    std::vector<std::string> messages;
    std::vector<MessageIcon> icons;

    AppPathRead ReadAppPath(const char* name, char* out) override {
        log.push_back(std::string("read ") + name);
        CopyText(out, kMaxPath, appPath.c_str());
        return read;
    }
    bool DeleteAppPath(const char* name) override { return Removal("key AppPaths\\", name); }
    bool DeleteUninstallEntry(const char* name) override {
        return Removal("key Uninstall\\", name);
    }
    bool FolderExists(const char*) override { return folderExists; }
    FileState Probe(const char* path) override {
        log.push_back(std::string("probe ") + path);
        if (noAccess.count(path)) return FileState::kNoAccess;
        return inUse.count(path) ? FileState::kInUse : FileState::kRemovable;
    }
    bool RemoveFile(const char* path) override { return Removal("remove ", path); }
    bool RemoveEmptyFolder(const char* folder) override { return Removal("rmdir ", folder); }
    bool HoldsOtherThan(const char*, const char* except) override {
        EXPECT_STREQ(except, "UnInstall.exe");
        return holdsOthers;
    }
    bool PrepareSelfRemoval(const char* folder) override {
        log.push_back(std::string("self ") + folder);
        return selfRemovalStarts;
    }
    void StartSelfRemoval() override { log.push_back("self-start"); }
    bool DesktopFolder(char* out) override { return CopyText(out, kMaxPath, kDesktop); }
    bool ProgramsFolder(char* out) override { return CopyText(out, kMaxPath, kPrograms); }
    bool ConfirmRemoval() override {
        log.push_back("confirm");
        return confirm;
    }
    bool RetryInUse(const char* text) override {
        log.push_back("retry?");
        messages.push_back(text);
        icons.push_back(MessageIcon::kWarning);
        const bool retry = !retryAnswers.empty() && retryAnswers.front();
        if (!retryAnswers.empty()) retryAnswers.erase(retryAnswers.begin());
        if (retry && --retriesUntilFree == 0) inUse.clear();
        return retry;
    }
    bool RunsHere(UninstallResult* result) override {
        log.push_back("elevation");
        if (!runsHere) *result = elsewhere;
        return runsHere;
    }
    void ShowMessage(const char* text, MessageIcon icon) override {
        log.push_back("message");
        messages.push_back(text);
        icons.push_back(icon);
    }

    UninstallResult Run(const char* module = kModule) {
        UninstallServices services{*this, *this, *this, *this, *this};
        return RunUninstall(module, Cp932LeadBytes(), services);
    }
    // Log lines that change something.
    std::vector<std::string> Changes() const {
        std::vector<std::string> changes;
        for (const std::string& line : log) {
            if (line.rfind("remove ", 0) == 0 || line.rfind("rmdir ", 0) == 0 ||
                line.rfind("key ", 0) == 0 || line.rfind("self ", 0) == 0)
                changes.push_back(line);
        }
        return changes;
    }

private:
    bool Removal(const char* what, const char* name) {
        log.push_back(what + std::string(name));
        return cannotRemove.count(name) == 0;
    }
};

std::vector<std::string> ExpectedChanges() {
    const std::string menu = std::string(kPrograms) + "\\VINTAL";
    std::vector<std::string> changes = {
        std::string("remove ") + kDesktop + "\\Sorvane.lnk",
        "remove " + menu + "\\Sorvane\\Sorvane.lnk",
        "remove " + menu + "\\Sorvane\\アンインストーラ.lnk",
        "rmdir " + menu + "\\Sorvane",
        "rmdir " + menu,
    };
    for (const char* name : {"Sorvane.exe", "bg.dat", "extra.dat", "obj.dat", "cg.dat", "bgm.dat",
                             "se.dat", "voice.dat", "scr.dat", "sc.dat"})
        changes.push_back("remove " + InFolder(name));
    changes.push_back("key AppPaths\\Sorvane.exe");
    changes.push_back("key Uninstall\\Sorvane.exe");
    changes.push_back(std::string("self ") + kFolder);
    return changes;
}

TEST(UninstallSequence, RefusesWithOneMessageAndRemovesNothingWhenNotTheRegisteredFolder) {
    struct Case {
        const char* name;
        AppPathRead read;
        const char* appPath;
        const char* module;
        bool folderExists;
        UninstallResult result;
        const char* message;
    };
    const std::string registered = InFolder("Sorvane.exe");
    const Case cases[] = {
        {"nothing registered", AppPathRead::kMissing, "", kModule, true,
         UninstallResult::kNotInstalled, uninstall_text::kNotInstalled},
        {"started from the disc", AppPathRead::kFound, registered.c_str(),
         "M:\\data\\data\\UnInstall.exe", true, UninstallResult::kNotInstalled,
         uninstall_text::kNotInstalled},
        {"another folder registered", AppPathRead::kFound, "C:\\Other\\Sorvane\\Sorvane.exe",
         kModule, true, UninstallResult::kNotInstalled, uninstall_text::kNotInstalled},
        {"a folder inside it registered", AppPathRead::kFound,
         "C:\\Games\\Vintal\\Sorvane\\sub\\Sorvane.exe", kModule, true,
         UninstallResult::kNotInstalled, uninstall_text::kNotInstalled},
        {"value not a string", AppPathRead::kNotString, "", kModule, true,
         UninstallResult::kInvalidEntry, uninstall_text::kInvalidEntry},
        {"value too long", AppPathRead::kTooLong, "", kModule, true,
         UninstallResult::kInvalidEntry, uninstall_text::kInvalidEntry},
        {"relative path", AppPathRead::kFound, "Sorvane.exe", kModule, true,
         UninstallResult::kInvalidEntry, uninstall_text::kInvalidEntry},
        {"folder missing", AppPathRead::kFound, registered.c_str(), kModule, false,
         UninstallResult::kInvalidEntry, uninstall_text::kInvalidEntry},
        {"module without a folder", AppPathRead::kFound, registered.c_str(), "UnInstall.exe",
         true, UninstallResult::kNotInstalled, uninstall_text::kNotInstalled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSystem fake;
        fake.read = c.read;
        fake.appPath = c.appPath;
        fake.folderExists = c.folderExists;
        EXPECT_EQ(fake.Run(c.module), c.result);
        EXPECT_TRUE(fake.Changes().empty());
        EXPECT_EQ(std::count(fake.log.begin(), fake.log.end(), "confirm"), 0);
        // Nothing to remove: no elevation is asked for.
        EXPECT_EQ(std::count(fake.log.begin(), fake.log.end(), "elevation"), 0);
        ASSERT_EQ(fake.messages.size(), 1u);
        EXPECT_EQ(fake.messages[0], c.message);
        EXPECT_EQ(fake.icons[0], MessageIcon::kError);
    }
}

TEST(UninstallSequence, RemovesLinksThenFilesThenKeysThenStartsSelfRemoval) {
    // The registered path may differ in letter case and separators.
    for (const char* appPath :
         {"C:\\Games\\Vintal\\Sorvane\\Sorvane.exe", "c:/games/VINTAL/sorvane/Sorvane.exe"}) {
        SCOPED_TRACE(appPath);
        FakeSystem fake;
        fake.appPath = appPath;
        EXPECT_EQ(fake.Run(), UninstallResult::kRemoved);
        EXPECT_EQ(fake.Changes(), ExpectedChanges());
        // Asked once, before anything changed; every file probed before the
        // first removal; the uninstaller's own file is left to its copy.
        const auto confirm = std::find(fake.log.begin(), fake.log.end(), "confirm");
        const auto firstRemove = std::find_if(fake.log.begin(), fake.log.end(), [](auto& l) {
            return l.rfind("remove ", 0) == 0;
        });
        ASSERT_NE(confirm, fake.log.end());
        EXPECT_EQ(std::count_if(confirm, firstRemove,
                                [](auto& l) { return l.rfind("probe ", 0) == 0; }),
                  10);
        for (const std::string& line : fake.log) EXPECT_EQ(line.find("UnInstall.exe"), std::string::npos) << line;
        EXPECT_EQ(fake.messages, std::vector<std::string>{uninstall_text::kDone});
        EXPECT_EQ(fake.icons[0], MessageIcon::kInformation);
        // The copy that removes the uninstaller starts after the message.
        EXPECT_EQ(std::vector<std::string>(fake.log.end() - 2, fake.log.end()),
                  (std::vector<std::string>{"message", "self-start"}));
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
        EXPECT_EQ(fake.log, (std::vector<std::string>{"read Sorvane.exe", "elevation"}));
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
        fake.inUse = {InFolder("voice.dat")};
        fake.retryAnswers = c.answers;
        fake.retriesUntilFree = c.retriesUntilFree;
        EXPECT_EQ(fake.Run(), c.result);
        const std::size_t prompts =
            static_cast<std::size_t>(std::count(fake.log.begin(), fake.log.end(), "retry?"));
        EXPECT_EQ(prompts, c.prompts);
        char text[512];
        FormatText(text, sizeof text, uninstall_text::kInUseFormat, "voice.dat");
        EXPECT_EQ(fake.messages[0], text);
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
        fake.noAccess = {InFolder("voice.dat")};
        if (alsoInUse) fake.inUse = {InFolder("Sorvane.exe")};
        fake.retryAnswers = {true, true};
        EXPECT_EQ(static_cast<int>(fake.Run()), 8);
        EXPECT_EQ(std::count(fake.log.begin(), fake.log.end(), "retry?"), 0);
        EXPECT_TRUE(fake.Changes().empty());
        EXPECT_EQ(fake.messages, std::vector<std::string>{uninstall_text::kNoRights});
        EXPECT_EQ(fake.icons, std::vector<MessageIcon>{MessageIcon::kError});
    }
}

TEST(UninstallSequence, OtherFilesInTheFolderAreKeptAndNamedInTheFinalMessage) {
    FakeSystem fake;
    fake.holdsOthers = true;
    EXPECT_EQ(fake.Run(), UninstallResult::kRemoved);
    EXPECT_EQ(fake.Changes(), ExpectedChanges());
    char text[1024];
    FormatText(text, sizeof text, uninstall_text::kKeptFormat, kFolder);
    EXPECT_EQ(fake.messages, std::vector<std::string>{text});
}

TEST(UninstallSequence, AFailureMidWayGoesOnWithTheRestAndNamesWhatIsLeft) {
    FakeSystem fake;
    const std::string link = std::string(kDesktop) + "\\Sorvane.lnk";
    fake.cannotRemove = {InFolder("bg.dat"), InFolder("sc.dat"), link, "Sorvane.exe"};
    fake.selfRemovalStarts = false;
    EXPECT_EQ(fake.Run(), UninstallResult::kIncomplete);
    EXPECT_EQ(fake.Changes(), ExpectedChanges());
    ASSERT_EQ(fake.messages.size(), 1u);
    const std::string expected = std::string(uninstall_text::kLeftHeading) + "\n\n" + link +
                                 "\nbg.dat\nsc.dat"
                                 "\nHKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\"
                                 "CurrentVersion\\App Paths\\Sorvane.exe"
                                 "\nHKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\"
                                 "CurrentVersion\\Uninstall\\Sorvane.exe"
                                 "\nUnInstall.exe";
    EXPECT_EQ(fake.messages[0], expected);
    EXPECT_EQ(fake.icons[0], MessageIcon::kWarning);
    EXPECT_EQ(fake.log.back(), "message");  // no copy to start
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
        if (c.game == FileState::kInUse) fake.inUse = {InFolder("Sorvane.exe")};
        if (c.game == FileState::kNoAccess) fake.noAccess = {InFolder("Sorvane.exe")};
        CQuietPrompts quiet;
        UninstallServices services{fake, fake, fake, quiet, fake};
        EXPECT_EQ(static_cast<int>(RunUninstall(kModule, Cp932LeadBytes(), services)), c.result);
        EXPECT_EQ(fake.Changes().empty(), !c.removes);
        EXPECT_TRUE(fake.log.end() == std::find(fake.log.begin(), fake.log.end(), "confirm"));
        EXPECT_TRUE(fake.messages.empty());
    }
}

}  // namespace
