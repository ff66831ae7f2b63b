#include "tools/disc_authoring/disc_output.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "tools/disc_authoring/disc_io.h"
#include "tools/disc_authoring/release_check.h"

namespace fs = std::filesystem;

namespace {

bool Fail(std::string* error, const std::string& text) {
    *error = text;
    return false;
}

// OUT, when it exists, must be an empty folder on the same file system as
// its parent (the staging folder is renamed onto it). Gives its mode.
bool CheckExistingOut(const std::string& name, const fs::path& out, mode_t* mode, std::string* error) {
    struct stat st, parent;
    if (lstat(out.c_str(), &st) != 0) {
        if (errno == ENOENT) return true;
        return Fail(error, name + ": cannot be read (" + SystemReason(errno) + ")");
    }
    if (!S_ISDIR(st.st_mode)) return Fail(error, name + ": not a folder; give a new or empty folder");
    std::vector<std::string> names;
    if (!ListFolder(out.string(), &names)) return Fail(error, name + ": cannot be read (" + SystemReason(errno) + ")");
    if (!names.empty()) return Fail(error, name + ": not empty; give a new or empty folder");
    if (stat(out.parent_path().c_str(), &parent) == 0 && parent.st_dev != st.st_dev) {
        return Fail(error, name + ": a mount point; give a folder inside it (the discs are moved into place by renaming)");
    }
    *mode = st.st_mode & 07777;
    return true;
}

}  // namespace

COutputFolder::~COutputFolder() {
    if (committed_) return;
    std::error_code ignored;
    if (!staging_.empty()) fs::remove_all(staging_, ignored);
    for (auto it = madeParents_.rbegin(); it != madeParents_.rend(); ++it) fs::remove(*it, ignored);
}

bool COutputFolder::Prepare(const std::string& name, const std::string& release, std::uint64_t needBytes,
                            std::string* error) {
    std::error_code ec;
    const fs::path out = fs::weakly_canonical(fs::absolute(name, ec), ec);
    const fs::path releaseFolder = fs::canonical(release, ec);
    if (ec || out.filename().empty()) return Fail(error, name + ": not a usable output folder");
    if (IsInsideFolder(out.string(), releaseFolder.string())) {
        return Fail(error, name + ": inside the release folder " + release + "; give a folder outside it");
    }
    const mode_t mask = umask(0);
    umask(mask);
    mode_t mode = 0777 & ~mask;
    if (!CheckExistingOut(name, out, &mode, error)) return false;
    std::vector<fs::path> missing;  // parents to make, innermost first
    for (fs::path p = out.parent_path(); !fs::exists(p, ec) && p.has_relative_path(); p = p.parent_path()) {
        missing.push_back(p);
    }
    std::uint64_t free = 0;
    if (!FreeBytes((missing.empty() ? out : missing.back()).parent_path().string(), &free, error)) return false;
    if (free < needBytes) {
        return Fail(error, name + ": " + std::to_string(free) + " bytes free on its file system; the discs need " +
                               std::to_string(needBytes));
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (mkdir(it->c_str(), 0777) != 0) {
            return Fail(error, it->string() + ": cannot be made (" + SystemReason(errno) + ")");
        }
        madeParents_.push_back(it->string());
    }
    std::string staging = (out.parent_path() / (out.filename().string() + ".partial-XXXXXX")).string();
    if (mkdtemp(&staging[0]) == nullptr) {
        return Fail(error, staging + ": cannot be made (" + SystemReason(errno) + ")");
    }
    staging_ = staging;
    out_ = out.string();
    if (chmod(staging_.c_str(), mode) != 0) return Fail(error, staging_ + ": " + SystemReason(errno));
    return true;
}

bool COutputFolder::Commit(std::string* error) {
    if (rename(staging_.c_str(), out_.c_str()) != 0) {
        return Fail(error, out_ + ": the discs cannot be put in its place (" + SystemReason(errno) + ")");
    }
    committed_ = true;
    return true;
}
