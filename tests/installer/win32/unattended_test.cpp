// The unattended run's answers in place of the wizard: the folder from the
// command line or the wizard's default, through the folder, free-space and
// writing tests, over fake drive answers and real scratch folders.
#include "installer/win32/unattended.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "installer/install_folder.h"
#include "tools/automation/win32/scratch.h"

namespace {

class FakeWizardServices : public CWizardServices {
public:
    const char* programFiles = nullptr;  // null: cannot be read
    FreeSpace space = FreeSpace::Known;
    std::uint64_t bytesFree = kRequiredFreeBytes;

    bool ReadProgramFilesDir(char* out) override {
        return programFiles != nullptr && CopyText(out, kMaxPath, programFiles);
    }
    FreeSpace QueryFreeSpace(const char*, std::uint64_t* free) override {
        *free = bytesFree;
        return space;
    }
};

std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

TEST(Unattended, TheFolderPassesTheWizardsTestsAndMustTakeAFile) {
    ScratchDir scratch;
    const std::string base = scratch.path();
    ASSERT_TRUE(WriteFileBytes(scratch / "blocked\\Vintal", "a file where a folder goes"));
    const struct {
        const char* name;
        std::u16string folder;          // of /D=; empty: the default
        const char* programFiles;     // what the system names
        CWizardServices::FreeSpace space;
        std::uint64_t bytesFree;
        WizardResult result;
        std::string installFolder;    // in Shift-JIS
    } cases[] = {
        {"the default", u"", base.c_str(), CWizardServices::FreeSpace::Known,
         kRequiredFreeBytes, WizardResult::Install, base + "\\Vintal\\Sorvane"},
        {"no default: C:\\", u"", nullptr, CWizardServices::FreeSpace::Known,
         kRequiredFreeBytes - 1, WizardResult::FolderRefused, "C:\\Vintal\\Sorvane"},
        {"a Japanese folder", Utf16(base) + u"\\\x30B2\x30FC\x30E0", nullptr,
         CWizardServices::FreeSpace::Unavailable, 0, WizardResult::Install,
         base + "\\ゲーム\\Vintal\\Sorvane"},
        {"no drive", Utf16(base), nullptr, CWizardServices::FreeSpace::Failed, 0,
         WizardResult::FolderRefused, base + "\\Vintal\\Sorvane"},
        {"not writable", Utf16(base) + u"\\blocked", nullptr, CWizardServices::FreeSpace::Known,
         kRequiredFreeBytes, WizardResult::FolderRefused, base + "\\blocked\\Vintal\\Sorvane"},
        // "ü" has no form in code page 932.
        {"beyond code page 932", u"C:\\J\x00FCrgen", nullptr, CWizardServices::FreeSpace::Known,
         kRequiredFreeBytes, WizardResult::FolderRefused, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InstallerStateData state = {};
        FakeWizardServices wizard;
        wizard.programFiles = c.programFiles;
        wizard.space = c.space;
        wizard.bytesFree = c.bytesFree;
        CRegistrationServices registration;
        CUnattendedPrompts prompts(state, c.folder.c_str(), wizard, registration);
        EXPECT_EQ(prompts.RunWizard(), c.result);
        EXPECT_EQ(std::string(state.InstallFolder), c.installFolder);
        if (c.result != WizardResult::Install) continue;
        EXPECT_TRUE(PathExists(c.installFolder));
        EXPECT_TRUE(FolderEntries(c.installFolder).empty());
        for (bool group : state.GroupSelection) EXPECT_TRUE(group);
    }
}

}  // namespace
