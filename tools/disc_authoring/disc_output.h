// Where a run of the tool writes. The output folder OUT is checked before
// anything is written: new or empty, outside the release folder, not a
// mount point, with room on its file system for what the run writes. The
// run then writes into a staging folder beside it ("OUT.partial-XXXXXX"),
// which is renamed to OUT only when the run has completed and its discs
// have verified. Until then OUT is untouched; a run that fails or is
// interrupted removes the staging folder with everything in it, and the
// parent folders it made.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class COutputFolder {
public:
    COutputFolder() = default;
    // Removes what was written unless Commit succeeded.
    ~COutputFolder();
    COutputFolder(const COutputFolder&) = delete;
    COutputFolder& operator=(const COutputFolder&) = delete;

    // Checks OUT against the release folder and the `needBytes` the run
    // writes, then makes the staging folder. False with `error` naming the
    // folder and the reason; nothing is left then.
    bool Prepare(const std::string& out, const std::string& release, std::uint64_t needBytes, std::string* error);
    const std::string& Staging() const { return staging_; }
    // Puts the staging folder in OUT's place.
    bool Commit(std::string* error);

private:
    std::string out_;  // OUT with its links resolved
    std::string staging_;
    std::vector<std::string> madeParents_;  // made by Prepare, outermost first
    bool committed_ = false;
};
