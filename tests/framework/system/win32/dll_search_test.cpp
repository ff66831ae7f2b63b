// DLL loading with a DLL of a system name planted in the program's folder
// (which is also the current folder), preferred over the system's own
// (native first): only an unrestricted search by name may load it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tools/automation/win32/process.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"

namespace {

TEST(DllSearch, APlantedDllIsLoadedOnlyWhenTheSearchIsOpen) {
    struct Case { const wchar_t* mode; bool plantedLoaded; };
    const Case cases[] = {
        // The control: Wine does take the program folder's DLL first.
        {L"open", true},
        {L"restricted", false},
        {L"system", false},
    };
    const std::wstring name = L"msimg32.dll";
    std::string probe, dll;
    ASSERT_TRUE(ReadFileBytes(TestProgramPath(L"dll_search_probe.exe"), &probe));
    ASSERT_TRUE(ReadFileBytes(TestProgramPath(L"..\\planted\\planted_dll.dll"), &dll));

    PreferNativeDlls nativeFirst(L"dll_search_probe.exe", {L"msimg32"});
    for (const Case& c : cases) {
        ScratchDir folder;
        ASSERT_TRUE(WriteFileBytes(folder / L"dll_search_probe.exe", probe));
        ASSERT_TRUE(WriteFileBytes(folder / name, dll));
        DWORD code = 99;
        ASSERT_TRUE(RunProcess(L"\"" + (folder / L"dll_search_probe.exe") + L"\" " + name + L" " +
                                   c.mode,
                               30000, &code, folder.path()))
            << c.mode;
        // A DLL is loaded either way: the planted one or the system's.
        EXPECT_EQ(code, 0u) << c.mode;
        EXPECT_EQ(PathExists(folder / (name + L".loaded")), c.plantedLoaded) << c.mode;
    }
}

}  // namespace
