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
    struct Case { const char* mode; bool plantedLoaded; };
    const Case cases[] = {
        // The control: Wine does take the program folder's DLL first.
        {"open", true},
        {"restricted", false},
        {"system", false},
    };
    const char* name = "msimg32.dll";
    std::string probe, dll;
    ASSERT_TRUE(ReadFileBytes(TestProgramPath("dll_search_probe.exe"), &probe));
    ASSERT_TRUE(ReadFileBytes(TestProgramPath("..\\planted\\planted_dll.dll"), &dll));

    PreferNativeDlls nativeFirst("dll_search_probe.exe", {"msimg32"});
    for (const Case& c : cases) {
        ScratchDir folder;
        ASSERT_TRUE(WriteFileBytes(folder / "dll_search_probe.exe", probe));
        ASSERT_TRUE(WriteFileBytes(folder / name, dll));
        DWORD code = 99;
        ASSERT_TRUE(RunProcess("\"" + (folder / "dll_search_probe.exe") + "\" " + name + " " +
                                   c.mode,
                               30000, &code, folder.path()))
            << c.mode;
        // A DLL is loaded either way: the planted one or the system's.
        EXPECT_EQ(code, 0u) << c.mode;
        EXPECT_EQ(PathExists(folder / (std::string(name) + ".loaded")), c.plantedLoaded) << c.mode;
    }
}

}  // namespace
