// setup.exe's command line, and the exit codes of an unattended run as
// scripts read them.
#include "installer/setup_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SetupCommand, ReadsTheModeAndTheFolderAndRefusesEverythingElse) {
    struct Case {
        std::wstring line;
        SetupMode mode;
        std::wstring folder;
    };
    const std::wstring longest(kMaxPath - 1, L'x');
    const Case cases[] = {
        {L"", SetupMode::kInteractive, L""},
        {L"setup.exe", SetupMode::kInteractive, L""},
        {L"\"M:\\setup.exe\"  ", SetupMode::kInteractive, L""},
        {L"\"M:\\a b\\setup.exe\" /S", SetupMode::kUnattended, L""},
        {L"setup.exe\t/s", SetupMode::kUnattended, L""},
        {L"setup.exe /S /S", SetupMode::kUnattended, L""},
        {L"setup.exe /S /D=C:\\Games", SetupMode::kUnattended, L"C:\\Games"},
        {L"setup.exe /d=C:\\Games /s", SetupMode::kUnattended, L"C:\\Games"},
        {L"setup.exe /S \"/D=C:\\Program Files\"", SetupMode::kUnattended, L"C:\\Program Files"},
        {L"setup.exe /S /D=\"C:\\Program Files\"", SetupMode::kUnattended, L"C:\\Program Files"},
        // "C:\ゲーム\Jürgen": no code page holds it all; it stays UTF-16.
        {L"setup.exe /S /D=C:\\\x30B2\x30FC\x30E0\\J\x00FCrgen", SetupMode::kUnattended,
         L"C:\\\x30B2\x30FC\x30E0\\J\x00FCrgen"},
        {L"setup.exe /S /D=" + longest, SetupMode::kUnattended, longest},
        // The program's own name is never read as an argument.
        {L"/X.exe /S", SetupMode::kUnattended, L""},
        {L"setup.exe /X", SetupMode::kInvalid, L""},
        {L"setup.exe /Silent", SetupMode::kInvalid, L""},
        {L"setup.exe S", SetupMode::kInvalid, L""},
        {L"setup.exe /S /D=", SetupMode::kInvalid, L""},
        {L"setup.exe /S /D=\"\"", SetupMode::kInvalid, L""},
        {L"setup.exe /S /D", SetupMode::kInvalid, L""},
        {L"setup.exe /D=C:\\Games", SetupMode::kInvalid, L""},
        {L"setup.exe /S /D=C:\\a /D=C:\\b", SetupMode::kInvalid, L""},
        // Unquoted, the blank ends the folder and "Files" is an argument
        // of its own.
        {L"setup.exe /S /D=C:\\Program Files", SetupMode::kInvalid, L""},
        {L"setup.exe /S /D=" + longest + L"x", SetupMode::kInvalid, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
        const SetupCommand command = ParseSetupCommand(c.line.c_str());
        EXPECT_EQ(command.mode, c.mode);
        EXPECT_EQ(std::wstring(command.folder), c.folder);
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
