// A read-only file held whole in memory: the decoded contents of a packed
// file or archive entry. CCompFile and CCompOnceFile serve every read from
// it; tests use it as an in-memory source for the packed-file readers.
#pragma once

#include <vector>

#include "framework/file/file_impl.h"

class CMemoryFile : public CFileImpl {
public:
    CMemoryFile() = default;
    CMemoryFile(const CMemoryFile&) = delete;
    CMemoryFile& operator=(const CMemoryFile&) = delete;

    // Takes `data` as the contents, at position 0. False, and closed, when it
    // is 2 GiB or more.
    bool Assign(std::vector<uint8_t> data);

    // This class has nothing to create or open by name: false.
    bool Create(const char* path) override;
    bool Open(const char* path) override;
    // Frees the contents; size and position back to 0.
    void Close() override;
    int32_t Size() override;
    // Copies min(size * count, bytes left) bytes (the product never
    // overflows) and advances by them; returns the whole elements among
    // them. At a position outside the contents it copies nothing: 0.
    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override;
    // Read-only: 0.
    std::size_t Write(const void* buffer, std::size_t size, std::size_t count) override;
    // Any position that fits in 32 bits may be set, also outside the
    // contents; false (position kept) for an unknown origin or a position
    // that does not fit.
    bool Seek(int32_t offset, int origin) override;
    int32_t Tell() override;
    void Rewind() override;
    ~CMemoryFile() override = default;

    bool IsOpen() const { return open_; }

private:
    std::vector<uint8_t> data_;
    int32_t position_ = 0;
    bool open_ = false;
};
