#include "framework/file/win32/data_file.h"

#include <windows.h>

#include <atomic>

#include "framework/file/win32/comp_file.h"
#include "framework/file/win32/comp_once_file.h"
#include "framework/file/win32/lock.h"
#include "framework/file/plain_file.h"
#include "framework/system/win32/file_finder.h"
#include "framework/system/path_text.h"
#include "framework/system/win32/path_utils.h"

namespace {

constexpr char kFirstDrive = 'c';
constexpr char kLastDrive = 'y';
constexpr int kDriveCount = kLastDrive - kFirstDrive + 1;

// Process-wide disc-search state, shared by every thread that opens files
// (the screen's pictures are read on workers while the application thread
// may open others). The table is built once under the lock and read only
// after DriveTableBuilt says it is complete; the remembered drive is one
// atomic letter.
CLock& DiscSearchLock() {
    static CLock lock;
    return lock;
}
bool DiscDriveTable[kDriveCount];
std::atomic<bool> DriveTableBuilt{false};
std::atomic<char> RememberedDrive{0};
DriveTypeQuery QueryDriveType = nullptr;

unsigned DriveTypeOf(const char* root) {
    if (QueryDriveType != nullptr) return QueryDriveType(root);
    const wchar_t wideRoot[] = {static_cast<wchar_t>(root[0]), L':', L'\\', L'\0'};
    return GetDriveTypeW(wideRoot);
}

void BuildDriveTableOnce() {
    if (DriveTableBuilt.load(std::memory_order_acquire)) return;
    CLockScope hold(DiscSearchLock());
    if (DriveTableBuilt.load(std::memory_order_relaxed)) return;
    for (int i = 0; i < kDriveCount; ++i) {
        char root[4] = {static_cast<char>(kFirstDrive + i), ':', '\\', '\0'};
        DiscDriveTable[i] = DriveTypeOf(root) == DRIVE_CDROM;
    }
    DriveTableBuilt.store(true, std::memory_order_release);
}

bool IsCdrom(char letter) {
    return letter >= kFirstDrive && letter <= kLastDrive && DiscDriveTable[letter - kFirstDrive];
}

// True when the drive holds a medium.
bool HasVolume(char letter) {
    const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', L'\0'};
    wchar_t volumeName[MAX_PATH];
    return GetVolumeInformationW(root, volumeName, MAX_PATH, nullptr, nullptr, nullptr, nullptr,
                                 0) != FALSE;
}

// Which implementation serves `name`, by what exists on disk. Null when the
// full path of the name cannot be formed.
std::unique_ptr<CFileImpl> ChooseImplementation(const char* name) {
    char full[kMaxPath];
    if (!GetFullPath(full, name)) return nullptr;
    CFileFinder finder;
    if (finder.Find(full)) return std::make_unique<CPlainFile>();
    char packed[kMaxPath];
    if (FormatText(packed, sizeof packed, "%s.dat", full) && finder.Find(packed))
        return std::make_unique<CCompOnceFile>();
    return std::make_unique<CCompFile>();
}

}  // namespace

char RememberedDiscDrive() { return RememberedDrive.load(); }

void SetDriveTypeQuery(DriveTypeQuery query) { QueryDriveType = query; }

void ResetDiscSearch() {
    CLockScope hold(DiscSearchLock());
    DriveTableBuilt.store(false);
    RememberedDrive.store(0);
    for (bool& flag : DiscDriveTable) flag = false;
}

bool CDataFile::OpenWithChoice(const char* path) {
    impl_.reset();
    if (!CopyText(openedPath_, path)) return false;
    impl_ = ChooseImplementation(path);
    if (impl_ != nullptr && impl_->Open(path)) return true;
    impl_.reset();
    return false;
}

bool CDataFile::OpenHere(const char* path) { return path != nullptr && OpenWithChoice(path); }

bool CDataFile::Open(const char* path) {
    if (path == nullptr) return false;
    if (OpenWithChoice(path)) return true;

    BuildDriveTableOnce();
    // A name too long for a disc path is looked for on no disc.
    auto tryDrive = [&](char letter) {
        if (!HasVolume(letter)) return false;
        char discPath[kMaxPath];
        if (!FormatText(discPath, sizeof discPath, "%c:\\%s\\%s", letter, kDiscDataFolder, path))
            return false;
        return OpenWithChoice(discPath);
    };
    const char remembered = RememberedDrive.load();
    if (remembered != 0 && IsCdrom(remembered) && tryDrive(remembered)) return true;
    for (char letter = kFirstDrive; letter <= kLastDrive; ++letter) {
        if (!IsCdrom(letter) || !tryDrive(letter)) continue;
        RememberedDrive.store(letter);
        return true;
    }
    impl_.reset();
    return false;
}

bool CDataFile::Create(const char* path) {
    impl_.reset();
    auto plain = std::make_unique<CPlainFile>();
    if (!plain->Create(path)) return false;
    impl_ = std::move(plain);
    CopyText(openedPath_, path);
    return true;
}

void CDataFile::Close() {
    if (impl_ == nullptr) return;
    impl_->Close();
    impl_.reset();
}

int32_t CDataFile::Size() { return impl_ ? impl_->Size() : 0; }

std::size_t CDataFile::Read(void* buffer, std::size_t size, std::size_t count) {
    return impl_ ? impl_->Read(buffer, size, count) : 0;
}

std::size_t CDataFile::Write(const void* buffer, std::size_t size, std::size_t count) {
    return impl_ ? impl_->Write(buffer, size, count) : 0;
}

bool CDataFile::Seek(int32_t offset, int origin) { return impl_ ? impl_->Seek(offset, origin) : false; }

int32_t CDataFile::Tell() { return impl_ ? impl_->Tell() : 0; }

void CDataFile::Rewind() {
    if (impl_) impl_->Rewind();
}

CDataFile::~CDataFile() { Close(); }
