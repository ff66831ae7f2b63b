#include "tools/automation/win32/disc_drives.h"

#include <windows.h>

#include <cstdlib>

#include "tools/automation/win32/scratch.h"

namespace {

std::string DrivesRoot() {
    const char* unixPath = std::getenv("SETUP_DRIVES_DIR");
    if (unixPath == nullptr || unixPath[0] != '/') return std::string();
    std::string path = "Z:";
    for (const char* p = unixPath; *p; ++p) path += (*p == '/') ? '\\' : *p;
    return path;
}

}  // namespace

bool DiscDrives::Available() {
    std::string root = DrivesRoot();
    return !root.empty() && PathExists(root) && GetDriveTypeA("M:\\") == DRIVE_CDROM;
}

std::string DiscDrives::MediumPath(char letter) {
    return DrivesRoot() + "\\" + static_cast<char>(letter | 0x20);
}

DiscDrives::DiscDrives() {
    store_ = DrivesRoot() + "\\store";
    RemoveTree(store_);
    CreateDirectoryA(store_.c_str(), nullptr);
    for (char l = kFirstCdrom; l <= kLastCdrom; ++l) {
        RemoveTree(MediumPath(l));
        CreateDirectoryA(MediumPath(l).c_str(), nullptr);
    }
}

DiscDrives::~DiscDrives() {
    EjectAll();
    RemoveTree(store_);
}

std::string DiscDrives::NewDisc(const std::string& name) {
    std::string path = store_ + "\\" + name;
    RemoveTree(path);
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

bool DiscDrives::AddFile(const std::string& disc, const std::string& relativePath,
                         const std::string& bytes) {
    return WriteFileBytes(disc + "\\" + relativePath, bytes);
}

bool DiscDrives::Insert(char letter, const std::string& name) {
    letter = static_cast<char>(letter | 0x20);
    Eject(letter);
    if (!MoveFolderEntries(store_ + "\\" + name, MediumPath(letter))) return false;
    inserted_[letter] = name;
    return true;
}

bool DiscDrives::Eject(char letter) {
    letter = static_cast<char>(letter | 0x20);
    auto it = inserted_.find(letter);
    if (it == inserted_.end()) return true;
    bool ok = MoveFolderEntries(MediumPath(letter), store_ + "\\" + it->second);
    inserted_.erase(it);
    return ok;
}

void DiscDrives::EjectAll() {
    while (!inserted_.empty()) Eject(inserted_.begin()->first);
}
