#include "framework/system/elevation_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ElevationRules, OnlyAnInstallationWithoutElevationMovesToAnElevatedCopy) {
    struct Case { bool installed, elevated, available; StartAction action; };
    const Case cases[] = {
        // An installed game starts as the invoking user, whatever setup runs as.
        {true, false, false, StartAction::StartGame},
        {true, false, true, StartAction::StartGame},
        {true, true, false, StartAction::StartGame},
        {true, true, true, StartAction::StartGame},
        // Not installed: elevate where the system can and the process is not.
        {false, false, true, StartAction::RelaunchElevated},
        {false, true, true, StartAction::RunHere},
        // A system without elevation installs as the user who started setup.
        {false, false, false, StartAction::RunHere},
        {false, true, false, StartAction::RunHere},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChooseStartAction(c.installed, c.elevated, c.available), c.action)
            << "installed " << c.installed << " elevated " << c.elevated << " available "
            << c.available;
    }
    // Work without administrator needs never moves (an uninstaller with nothing
    // left to remove).
    EXPECT_FALSE(NeedsElevatedRelaunch(false, false, true));
    EXPECT_TRUE(NeedsElevatedRelaunch(true, false, true));
}

TEST(ElevationRules, ArgumentsFollowTheProgramNameQuotedOrNot) {
    struct Case { const char16_t* commandLine; const char16_t* arguments; };
    const Case cases[] = {
        {u"setup.exe", u""},
        {u"setup.exe /x y", u"/x y"},
        {u"\"C:\\Program Files\\setup.exe\"  a \"b c\"", u"a \"b c\""},
        {u"\"C:\\a b\\setup.exe\"", u""},
        {u"C:\\x\\setup.exe\t\targ", u"arg"},
        {u"\"C:\\ゲーム\\Jürgen\\setup.exe\" -", u"-"},
        {u"\"unterminated", u""},
        {u"", u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::u16string(CommandLineArguments(c.commandLine)), c.arguments)
            << testing::PrintToString(std::u16string(c.commandLine));
    }
}

}  // namespace
