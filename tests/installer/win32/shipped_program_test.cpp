// The programs that go on the disc (the build's shipped-programs.txt), read
// back as the system reads them: the manifest the loader applies, the version
// information Explorer shows, and the DLLs they load from beside themselves.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/system/win32/unique_handle.h"
#include "framework/system/win32/wide_text.h"
#include "tools/automation/win32/dialogs.h"
#include "tools/automation/win32/process.h"
#include "tools/automation/win32/registry.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/setup_run.h"

namespace {

// The list names the programs by relative paths of ASCII characters.
std::vector<std::wstring> ShippedPrograms() {
    std::vector<std::wstring> programs;
    std::string list;
    if (!ReadFileBytes(TestProgramPath(L"..\\..\\shipped-programs.txt"), &list)) return programs;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find('\n', start);
        if (end == std::string::npos) end = list.size();
        std::wstring line = Widen(list.substr(start, end - start));
        for (wchar_t& c : line) c = c == L'/' ? L'\\' : c;
        if (!line.empty()) programs.push_back(TestProgramPath(L"..\\..\\" + line));
        start = end + 1;
    }
    return programs;
}

std::wstring FileNameOf(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

std::string ManifestOf(const std::wstring& program) {
    unique_hmodule image(LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!image) return std::string();
    std::string text;
    if (HRSRC found = FindResourceW(image.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
        HGLOBAL data = LoadResource(image.get(), found);
        const char* bytes = static_cast<const char*>(LockResource(data));
        if (bytes) text.assign(bytes, SizeofResource(image.get(), found));
    }
    return text;
}

class ShippedProgram : public testing::Test {
protected:
    void SetUp() override {
        programs_ = ShippedPrograms();
        ASSERT_FALSE(programs_.empty()) << "no shipped-programs.txt in the build tree";
    }
    std::vector<std::wstring> programs_;
};

TEST_F(ShippedProgram, ManifestRunsAsInvokerOnVistaToElevenWithThemedControls) {
    const char* required[] = {
        "level=\"asInvoker\"",
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
        "name=\"Microsoft.Windows.Common-Controls\"",
        "version=\"6.0.0.0\"",
    };
    for (const std::wstring& program : programs_) {
        std::string manifest = ManifestOf(program);
        ASSERT_FALSE(manifest.empty()) << program;
        for (const char* text : required) {
            EXPECT_NE(manifest.find(text), std::string::npos) << program << " lacks " << text;
        }
        // The system scales the 800 x 600 window as a whole.
        EXPECT_EQ(manifest.find("dpiAware"), std::string::npos) << program;
    }
}

TEST_F(ShippedProgram, VersionInformationNamesCompanyProductAndTheBuildVersion) {
    for (const std::wstring& program : programs_) {
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
        ASSERT_GT(size, 0u) << program;
        std::vector<char> info(size);
        ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, info.data())) << program;

        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        const DWORD expected[4] = {SETUP_VERSION_COMMAS};
        EXPECT_EQ(fixed->dwFileVersionMS, (expected[0] << 16) | expected[1]) << program;
        EXPECT_EQ(fixed->dwFileVersionLS, (expected[2] << 16) | expected[3]) << program;

        auto value = [&](const wchar_t* name) {
            wchar_t* text = nullptr;
            UINT chars = 0;
            std::wstring key = std::wstring(L"\\StringFileInfo\\041104b0\\") + name;
            if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&text), &chars)) {
                return std::wstring(L"<missing>");
            }
            return std::wstring(text);
        };
        EXPECT_EQ(value(L"CompanyName"), L"Vintal") << program;
        EXPECT_EQ(value(L"ProductName"), L"Sorvane～Kelmire～") << program;
        EXPECT_EQ(value(L"FileVersion"), Widen(SETUP_VERSION_TEXT)) << program;
        EXPECT_EQ(value(L"ProductVersion"), Widen(SETUP_VERSION_TEXT)) << program;
        EXPECT_EQ(value(L"OriginalFilename"), FileNameOf(program)) << program;
        // "Sorvane～Kelmire～　..." (what the program is, after the product).
        EXPECT_EQ(value(L"FileDescription").rfind(L"Sorvane～Kelmire～", 0), 0u) << program;
    }
}

// DLLs planted beside setup.exe, preferred over the system's own
// (native first), are never loaded: winmm, which the timer
// uses, and uxtheme, which the system loads by name once the program shows
// its window. (DLLs that Wine's own system DLLs import, such as imm32, are
// found before the entry point runs, where Windows takes them from its
// known-DLL list; Wine has no such list, so they cannot be planted here.)
TEST(ShippedProgramDlls, PlantedDllsBesideSetupAreNeverLoaded) {
    const std::vector<std::wstring> planted = {L"winmm", L"uxtheme"};
    // A name of its own, so that no other run of setup.exe is affected.
    const wchar_t* copy = L"setup_beside_planted.exe";
    ScratchDir folder;
    std::string program;
    ASSERT_TRUE(ReadFileBytes(DefaultSetupProgram(), &program));
    ASSERT_TRUE(WriteFileBytes(folder / copy, program));
    std::string dll;
    ASSERT_TRUE(ReadFileBytes(TestProgramPath(L"..\\planted\\planted_dll.dll"), &dll));
    for (const std::wstring& name : planted) ASSERT_TRUE(WriteFileBytes(folder / (name + L".dll"), dll));
    PreferNativeDlls nativeFirst(copy, planted);
    // No registered game: setup would start it and end before its window.
    SetupRegistrationScope registration;

    ChildProcess setup;
    bool started = setup.Start(L"\"" + (folder / copy) + L"\"", folder.path());
    ASSERT_TRUE(started);
    // Up to the first wizard page, by when the window and the timer run.
    const auto firstPageShows = [&] {
        for (HWND dialog : ProcessDialogs(setup.Id())) {
            if (WindowTextOf(dialog) == setup_text::PageCaption(1)) return true;
        }
        return false;
    };
    EXPECT_TRUE(WaitUntil(firstPageShows, 30000));
    setup.Terminate();

    for (const std::wstring& name : planted) {
        EXPECT_FALSE(PathExists(folder / (name + L".dll.loaded"))) << name << " was loaded";
    }
}

}  // namespace
