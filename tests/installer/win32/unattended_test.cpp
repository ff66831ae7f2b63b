// The unattended run's answers in place of the wizard: the folder from the
// command line or the wizard's default, through the folder, free-space and
// writing tests, over fake drive answers and real scratch folders.
#include "installer/win32/unattended.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "installer/install_folder.h"
#include "tools/automation/win32/scratch.h"

namespace {

class FakeWizardServices : public CWizardServices {
public:
    const wchar_t* programFiles = nullptr;  // null: cannot be read
    FreeSpace space = FreeSpace::Known;
    std::uint64_t bytesFree = kRequiredFreeBytes;

    bool ReadProgramFilesDir(wchar_t* out) override {
        if (programFiles == nullptr) return false;
        std::wcscpy(out, programFiles);
        return true;
    }
    FreeSpace QueryFreeSpace(const wchar_t*, std::uint64_t* free) override {
        *free = bytesFree;
        return space;
    }
};

std::u16string Utf16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

TEST(Unattended, TheFolderPassesTheWizardsTestsAndMustTakeAFile) {
    ScratchDir scratch;
    const std::wstring base = scratch.path();
    ASSERT_TRUE(WriteFileBytes(scratch / L"blocked\\Vintal", "a file where a folder goes"));
    const struct {
        const char* name;
        std::wstring folder;          // of /D=; empty: the default
        const wchar_t* programFiles;  // what the system names
        CWizardServices::FreeSpace space;
        std::uint64_t bytesFree;
        WizardResult result;
        std::wstring installFolder;
    } cases[] = {
        {"the default", L"", base.c_str(), CWizardServices::FreeSpace::Known,
         kRequiredFreeBytes, WizardResult::Install, base + L"\\Vintal\\Sorvane"},
        {"no default: C:\\", L"", nullptr, CWizardServices::FreeSpace::Known,
         kRequiredFreeBytes - 1, WizardResult::FolderRefused, L"C:\\Vintal\\Sorvane"},
        {"a Japanese folder", base + L"\\\x30B2\x30FC\x30E0", nullptr,
         CWizardServices::FreeSpace::Unavailable, 0, WizardResult::Install,
         base + L"\\\x30B2\x30FC\x30E0\\Vintal\\Sorvane"},
        {"no drive", base, nullptr, CWizardServices::FreeSpace::Failed, 0,
         WizardResult::FolderRefused, base + L"\\Vintal\\Sorvane"},
        {"not writable", base + L"\\blocked", nullptr, CWizardServices::FreeSpace::Known,
         kRequiredFreeBytes, WizardResult::FolderRefused, base + L"\\blocked\\Vintal\\Sorvane"},
        // "ü" has no form in code page 932: taken as page 3 takes it after
        // its Yes, under its own name.
        {"beyond code page 932", base + L"\\J\x00FCrgen", nullptr,
         CWizardServices::FreeSpace::Known, kRequiredFreeBytes, WizardResult::Install,
         base + L"\\J\x00FCrgen\\Vintal\\Sorvane"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InstallerStateData state = {};
        FakeWizardServices wizard;
        wizard.programFiles = c.programFiles;
        wizard.space = c.space;
        wizard.bytesFree = c.bytesFree;
        CRegistrationServices registration;
        const std::u16string folder = Utf16(c.folder);
        CUnattendedPrompts prompts(state, folder.c_str(), wizard, registration);
        EXPECT_EQ(prompts.RunWizard(), c.result);
        EXPECT_EQ(std::u16string(state.InstallFolder), Utf16(c.installFolder));
        if (c.result != WizardResult::Install) continue;
        EXPECT_TRUE(PathExists(c.installFolder));
        EXPECT_TRUE(FolderEntries(c.installFolder).empty());
        for (bool group : state.GroupSelection) EXPECT_TRUE(group);
    }
}

}  // namespace
