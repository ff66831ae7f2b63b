// Fuzz target: UnInstall.exe's command line and the check of where it runs
// against what is registered. The parsed cleanup arguments must read back as
// written; no program is both the temporary copy and the installed
// uninstaller; and the removal sequence (over fakes that answer with the
// input's registered path) removes something only from the folder it runs
// from, and only when that is the registered one.
//
// Input: byte 0 chooses the lead-byte table (bit 0); the rest holds four
// texts separated by zero bytes: the arguments, the registered program, the
// running program's path and the temporary folder.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/system/path_text.h"
#include "tools/support/fuzz_input.h"
#include "uninstaller/uninstall_command.h"
#include "uninstaller/uninstall_sequence.h"

namespace {

using fuzz::Check;

// True when the text's last byte is a lead byte without its second byte
// (no path the system gives ends so; a quote after it would be taken in).
bool EndsInsideCharacter(const char* text, const LeadByteTable& lead) {
    for (const char* p = text; *p != '\0';) {
        const std::size_t n = CharLength(p, lead);
        if (n == 1 && lead.IsLead(static_cast<unsigned char>(*p))) return true;
        p += n;
    }
    return false;
}

void CheckCommandLine(const std::string& arguments, const std::string& module,
                      const std::string& temp, const LeadByteTable& lead) {
    const UninstallCommand command = ParseUninstallCommand(arguments.c_str(), lead);
    if (command.mode != UninstallMode::kCleanup) return;
    Check(command.waitHandle != 0 && command.folder[0] != '\0');
    Check(std::strlen(command.folder) < kMaxPath);
    // The temporary copy is never the installed uninstaller it cleans up
    // after.
    Check(!(RunsAsCleanupCopy(module.c_str(), temp.c_str(), command.folder, lead) &&
            IsInstalledUninstaller(module.c_str(), command.folder, lead)));
    if (EndsInsideCharacter(command.folder, lead)) return;
    char formatted[kMaxPath + 64];
    if (!FormatCleanupArguments(formatted, sizeof formatted, command.waitHandle, command.folder))
        return;
    const UninstallCommand again = ParseUninstallCommand(formatted, lead);
    Check(again.mode == UninstallMode::kCleanup && again.waitHandle == command.waitHandle &&
          std::strcmp(again.folder, command.folder) == 0);
}

// The system as the sequence sees it: the registered path from the input,
// every file removable, every question answered yes; removals are logged.
class FakeSystem : public IUninstallRegistry,
                   public IUninstallFiles,
                   public IUninstallShell,
                   public IUninstallElevation {
public:
    explicit FakeSystem(const std::string& registered) : registered_(registered) {}
    std::vector<std::string> removed;

    AppPathRead ReadAppPath(const char*, char* out) override {
        return CopyText(out, kMaxPath, registered_.c_str()) ? AppPathRead::kFound
                                                            : AppPathRead::kTooLong;
    }
    bool DeleteAppPath(const char*) override { return Removal("key"); }
    bool DeleteUninstallEntry(const char*) override { return Removal("key"); }
    bool FolderExists(const char*) override { return true; }
    FileState Probe(const char*) override { return FileState::kRemovable; }
    bool RemoveFile(const char* path) override { return Removal(path); }
    bool RemoveEmptyFolder(const char* folder) override { return Removal(folder); }
    bool HoldsOtherThan(const char*, const char*) override { return false; }
    bool PrepareSelfRemoval(const char* folder) override { return Removal(folder); }
    void StartSelfRemoval() override {}
    bool DesktopFolder(char* out) override { return CopyText(out, kMaxPath, "C:\\Desktop"); }
    bool ProgramsFolder(char* out) override { return CopyText(out, kMaxPath, "C:\\Programs"); }
    bool RunsHere(UninstallResult*) override { return true; }

private:
    bool Removal(const std::string& what) {
        removed.push_back(what);
        return true;
    }
    std::string registered_;
};

void CheckLocation(const std::string& registered, const std::string& module,
                   const LeadByteTable& lead) {
    FakeSystem fake(registered);
    CQuietPrompts quiet;
    UninstallServices services{fake, fake, fake, quiet, fake};
    const UninstallResult result = RunUninstall(module.c_str(), lead, services);
    if (fake.removed.empty()) return;
    Check(result == UninstallResult::kRemoved || result == UninstallResult::kIncomplete);
    char folder[kMaxPath];
    char normalized[kMaxPath];
    char registeredFolder[kMaxPath];
    Check(FolderOfPath(folder, sizeof folder, module.c_str(), lead));
    Check(NormalizeSeparators(normalized, sizeof normalized, registered.c_str(), lead) &&
          FolderOfPath(registeredFolder, sizeof registeredFolder, normalized, lead) &&
          SameFolder(registeredFolder, folder, lead));
    // Nothing outside the folder but the links and the keys.
    const std::string inside = std::string(folder) + "\\";
    for (const std::string& path : fake.removed) {
        Check(path == "key" || path == folder || path.rfind(inside, 0) == 0 ||
              path.rfind("C:\\Desktop\\", 0) == 0 || path.rfind("C:\\Programs\\", 0) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const LeadByteTable& lead = fuzz::LeadBytesFor(data[0]);
    std::vector<std::string> texts(4);
    std::size_t field = 0;
    for (std::size_t i = 1; i < size && field < texts.size(); ++i) {
        if (data[i] == 0) {
            ++field;
        } else {
            texts[field].push_back(static_cast<char>(data[i]));
        }
    }
    CheckCommandLine(texts[0], texts[2], texts[3], lead);
    CheckLocation(texts[1], texts[2], lead);
    return 0;
}
