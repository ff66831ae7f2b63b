#include "tools/automation/win32/disc_drives.h"

#include <windows.h>

#include <cstdlib>

#include "framework/system/win32/wide_text.h"
#include "tools/automation/win32/scratch.h"

namespace {

// The host folder of the drives, as Wine's Z: drive shows it. The Unix path
// is ASCII (it lies below the build tree).
std::wstring DrivesRoot() {
    const char* unixPath = std::getenv("SETUP_DRIVES_DIR");
    if (unixPath == nullptr || unixPath[0] != '/') return std::wstring();
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p) path += (*p == '/') ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}

}  // namespace

bool DiscDrives::Available() {
    std::wstring root = DrivesRoot();
    return !root.empty() && PathExists(root) && GetDriveTypeW(L"M:\\") == DRIVE_CDROM;
}

std::wstring DiscDrives::MediumPath(char letter) {
    return DrivesRoot() + L"\\" + static_cast<wchar_t>(letter | 0x20);
}

DiscDrives::DiscDrives() {
    store_ = DrivesRoot() + L"\\store";
    RemoveTree(store_);
    CreateDirectoryW(store_.c_str(), nullptr);
    for (char l = kFirstCdrom; l <= kLastCdrom; ++l) {
        RemoveTree(MediumPath(l));
        CreateDirectoryW(MediumPath(l).c_str(), nullptr);
    }
}

DiscDrives::~DiscDrives() {
    EjectAll();
    RemoveTree(store_);
}

std::wstring DiscDrives::StoredDisc(const std::string& name) const {
    return store_ + L"\\" + Widen(name);
}

std::wstring DiscDrives::NewDisc(const std::string& name) {
    const std::wstring path = StoredDisc(name);
    RemoveTree(path);
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

bool DiscDrives::AddFile(const std::wstring& disc, const std::wstring& relativePath,
                         const std::string& bytes) {
    return WriteFileBytes(disc + L"\\" + relativePath, bytes);
}

bool DiscDrives::Insert(char letter, const std::string& name) {
    letter = static_cast<char>(letter | 0x20);
    Eject(letter);
    if (!MoveFolderEntries(StoredDisc(name), MediumPath(letter))) return false;
    inserted_[letter] = name;
    return true;
}

bool DiscDrives::Eject(char letter) {
    letter = static_cast<char>(letter | 0x20);
    auto it = inserted_.find(letter);
    if (it == inserted_.end()) return true;
    bool ok = MoveFolderEntries(MediumPath(letter), StoredDisc(it->second));
    inserted_.erase(it);
    return ok;
}

void DiscDrives::EjectAll() {
    while (!inserted_.empty()) Eject(inserted_.begin()->first);
}
