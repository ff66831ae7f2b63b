// The front-end through which the framework reads every file. It hides
// whether a file lies loose or packed and on which drive it lies.
//
// Open resolves a name in this order, written down here and nowhere else:
//   1. the plain file, when a file of that full path exists (CPlainFile);
//   2. a single packed file, when "<full path>.dat" exists (CCompOnceFile);
//   3. an entry of the archive of the nearest parent folder (CCompFile);
//   4. the same name below "data\data" on each CD-ROM drive that holds a
//      disc: the drive of the last disc success first, then C: to Y:.
// The drive that served a disc open is remembered for the whole process.
// OpenHere stops after step 3: for a file whose place is already known.
#pragma once

#include <memory>

#include "framework/file/file_impl.h"
#include "framework/system/path_text.h"

class CDataFile : public CFileImpl {
public:
    CDataFile() = default;
    CDataFile(const CDataFile&) = delete;
    CDataFile& operator=(const CDataFile&) = delete;

    // Creates a plain file (mode "w+b"); the previous implementation goes
    // first. False, and closed, on failure.
    bool Create(const char* path) override;
    // Resolves `path` as described above. False, and closed, when no source
    // has it.
    bool Open(const char* path) override;
    // Steps 1 to 3 only: `path` where it lies, never a disc search.
    bool OpenHere(const char* path);
    // The path the last successful Open or OpenHere served the file from
    // (`path` itself or its place on a disc); empty while closed.
    const char* OpenedPath() const { return impl_ ? openedPath_ : ""; }
    void Close() override;
    // The operations below forward to the implementation; without one they
    // return 0 or false and do nothing.
    int32_t Size() override;
    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t size, std::size_t count) override;
    bool Seek(int32_t offset, int origin) override;
    int32_t Tell() override;
    void Rewind() override;
    ~CDataFile() override;

    // The implementation in use (null while closed); owned by this object.
    CFileImpl* Implementation() const { return impl_.get(); }

private:
    bool OpenWithChoice(const char* path);

    std::unique_ptr<CFileImpl> impl_;
    char openedPath_[kMaxPath] = "";
};

// The disc data folder, below a disc's root.
constexpr const char kDiscDataFolder[] = "data\\data";

// The lower-case letter of the drive on which a disc open last succeeded, or
// 0 when none has yet.
char RememberedDiscDrive();

// Seams for the tests of the disc search. The drive-type query answers like
// GetDriveTypeW for a root such as "q:\"; null restores GetDriveTypeW.
// ResetDiscSearch forgets the drive table and the remembered drive, as at
// process start.
using DriveTypeQuery = unsigned (*)(const char* root);
void SetDriveTypeQuery(DriveTypeQuery query);
void ResetDiscSearch();
