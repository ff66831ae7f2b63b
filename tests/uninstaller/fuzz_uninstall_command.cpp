// Fuzz target: UnInstall.exe's command line and the check of where it runs
// against what is registered. The parsed cleanup arguments must read back as
// written; no program is both the temporary copy and the installed
// uninstaller; and the removal sequence (over fakes that answer with the
// input's registered path) removes something only from the folder it runs
// from, and only when that is the registered one.
//
// Input: UTF-16 code units (little-endian pairs), as the system hands them
// over: four texts separated by zero units, the arguments, the registered
// program, the running program's path and the temporary folder.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/support/fuzz_input.h"
#include "tools/support/literal_text.h"
#include "uninstaller/uninstall_command.h"
#include "uninstaller/uninstall_sequence.h"

namespace {

using fuzz::Check;

void CheckCommandLine(const std::u16string& arguments, const std::u16string& module,
                      const std::u16string& temp) {
    const UninstallCommand command = ParseUninstallCommand(arguments);
    if (command.mode != UninstallMode::kCleanup) return;
    Check(command.waitHandle != 0 && !command.folder.empty());
    Check(FitsPath(command.folder));
    // The temporary copy is never the installed uninstaller it cleans up
    // after.
    Check(!(RunsAsCleanupCopy(module, temp, command.folder) &&
            IsInstalledUninstaller(module, command.folder)));
    const UninstallCommand again =
        ParseUninstallCommand(FormatCleanupArguments(command.waitHandle, command.folder));
    Check(again.mode == UninstallMode::kCleanup && again.waitHandle == command.waitHandle &&
          again.folder == command.folder);
}

// The system as the sequence sees it: the registered path from the input,
// every file removable, every question answered yes; removals are logged.
class FakeSystem : public IUninstallRegistry,
                   public IUninstallFiles,
                   public IUninstallShell,
                   public IUninstallElevation {
public:
    explicit FakeSystem(const std::u16string& registered) : registered_(registered) {}
    std::vector<std::u16string> removed;

    AppPathRead ReadAppPath(const char*, std::u16string* out) override {
        *out = registered_;
        return FitsPath(registered_) ? AppPathRead::kFound : AppPathRead::kTooLong;
    }
    bool DeleteAppPath(const char*) override { return Removal(u"key"); }
    bool DeleteUninstallEntry(const char*) override { return Removal(u"key"); }
    bool FolderExists(const std::u16string&) override { return true; }
    FileState Probe(const std::u16string&) override { return FileState::kRemovable; }
    bool RemoveFile(const std::u16string& path) override { return Removal(path); }
    bool RemoveEmptyFolder(const std::u16string& folder) override { return Removal(folder); }
    bool HoldsOtherThan(const std::u16string&, const std::u16string&) override { return false; }
    bool PrepareSelfRemoval(const std::u16string& folder) override { return Removal(folder); }
    void StartSelfRemoval() override {}
    bool DesktopFolder(std::u16string* out) override {
        *out = u"C:\\Desktop";
        return true;
    }
    bool ProgramsFolder(std::u16string* out) override {
        *out = u"C:\\Programs";
        return true;
    }
    bool RunsHere(UninstallResult*) override { return true; }

private:
    bool Removal(const std::u16string& what) {
        removed.push_back(what);
        return true;
    }
    std::u16string registered_;
};

void CheckLocation(const std::u16string& registered, const std::u16string& module) {
    FakeSystem fake(registered);
    CQuietPrompts quiet;
    CLiteralWidener widener;
    UninstallServices services{fake, fake, fake, quiet, fake, widener};
    const UninstallResult result = RunUninstall(module, services);
    if (fake.removed.empty()) return;
    Check(result == UninstallResult::kRemoved || result == UninstallResult::kIncomplete);
    std::u16string folder;
    std::u16string registeredFolder;
    Check(FolderOfPath(&folder, module));
    Check(FolderOfPath(&registeredFolder, NormalizeSeparators(registered)) &&
          SameFolder(registeredFolder, folder));
    // Nothing outside the folder but the links and the keys.
    const std::u16string inside = folder + u"\\";
    for (const std::u16string& path : fake.removed) {
        Check(path == u"key" || path == folder || path.rfind(inside, 0) == 0 ||
              path.rfind(u"C:\\Desktop\\", 0) == 0 || path.rfind(u"C:\\Programs\\", 0) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::u16string> texts(4);
    std::size_t field = 0;
    for (std::size_t i = 0; i + 1 < size && field < texts.size(); i += 2) {
        const auto unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (unit == 0) {
            ++field;
        } else {
            texts[field].push_back(unit);
        }
    }
    CheckCommandLine(texts[0], texts[2], texts[3]);
    CheckLocation(texts[1], texts[2]);
    return 0;
}
