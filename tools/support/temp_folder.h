// A new, empty folder below the system's temporary folder, removed with all
// it holds when the object goes: the scratch space of the pure tests (the
// Windows tests use ScratchDir of tools/automation/win32/scratch.h).
#pragma once

#include <filesystem>
#include <string>

class TempFolder {
public:
    // The folder's name starts with `prefix`; empty() when none could be made.
    explicit TempFolder(const std::string& prefix = "setup_test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool empty() const { return path_.empty(); }
    const std::filesystem::path& path() const { return path_; }
    // The path of `name` inside the folder.
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};
