// setup.exe's command line, and the exit codes of an unattended run as
// scripts read them.
#include "installer/setup_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SetupCommand, ReadsTheModeAndTheFolderAndRefusesEverythingElse) {
    struct Case {
        std::u16string line;
        SetupMode mode;
        std::u16string folder;
    };
    const std::u16string longest(kMaxPath - 1, u'x');
    const Case cases[] = {
        {u"", SetupMode::kInteractive, u""},
        {u"setup.exe", SetupMode::kInteractive, u""},
        {u"\"M:\\setup.exe\"  ", SetupMode::kInteractive, u""},
        {u"\"M:\\a b\\setup.exe\" /S", SetupMode::kUnattended, u""},
        {u"setup.exe\t/s", SetupMode::kUnattended, u""},
        {u"setup.exe /S /S", SetupMode::kUnattended, u""},
        {u"setup.exe /S /D=C:\\Games", SetupMode::kUnattended, u"C:\\Games"},
        {u"setup.exe /d=C:\\Games /s", SetupMode::kUnattended, u"C:\\Games"},
        {u"setup.exe /S \"/D=C:\\Program Files\"", SetupMode::kUnattended, u"C:\\Program Files"},
        {u"setup.exe /S /D=\"C:\\Program Files\"", SetupMode::kUnattended, u"C:\\Program Files"},
        // "C:\ゲーム\Jürgen": no code page holds it all; it stays UTF-16.
        {u"setup.exe /S /D=C:\\\x30B2\x30FC\x30E0\\J\x00FCrgen", SetupMode::kUnattended,
         u"C:\\\x30B2\x30FC\x30E0\\J\x00FCrgen"},
        {u"setup.exe /S /D=" + longest, SetupMode::kUnattended, longest},
        // The program's own name is never read as an argument.
        {u"/X.exe /S", SetupMode::kUnattended, u""},
        {u"setup.exe /X", SetupMode::kInvalid, u""},
        {u"setup.exe /Silent", SetupMode::kInvalid, u""},
        {u"setup.exe S", SetupMode::kInvalid, u""},
        {u"setup.exe /S /D=", SetupMode::kInvalid, u""},
        {u"setup.exe /S /D=\"\"", SetupMode::kInvalid, u""},
        {u"setup.exe /S /D", SetupMode::kInvalid, u""},
        {u"setup.exe /D=C:\\Games", SetupMode::kInvalid, u""},
        {u"setup.exe /S /D=C:\\a /D=C:\\b", SetupMode::kInvalid, u""},
        // Unquoted, the blank ends the folder and "Files" is an argument
        // of its own.
        {u"setup.exe /S /D=C:\\Program Files", SetupMode::kInvalid, u""},
        {u"setup.exe /S /D=" + longest + u"x", SetupMode::kInvalid, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
        const SetupCommand command = ParseSetupCommand(c.line.c_str());
        EXPECT_EQ(command.mode, c.mode);
        EXPECT_TRUE(std::u16string(command.folder) == c.folder);
    }
    EXPECT_EQ(ParseSetupCommand(nullptr).mode, SetupMode::kInteractive);
}

TEST(SetupCommand, ExitCodesAreThoseScriptsAreToldOf) {
    const std::pair<SetupOutcome, int> table[] = {
        {SetupOutcome::kInstalled, 0},     {SetupOutcome::kCancelled, 1},
        {SetupOutcome::kDiscMissing, 2},   {SetupOutcome::kFolderRefused, 3},
        {SetupOutcome::kCopyFailed, 4},    {SetupOutcome::kRegistrationIncomplete, 5},
        {SetupOutcome::kAlreadyRunning, 6}, {SetupOutcome::kBadArguments, 7},
        {SetupOutcome::kGameStarted, 0},
    };
    for (const auto& entry : table) EXPECT_EQ(UnattendedExitCode(entry.first), entry.second);
}

}  // namespace
