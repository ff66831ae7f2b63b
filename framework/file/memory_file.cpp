#include "framework/file/memory_file.h"

#include <cstring>
#include <limits>

bool CMemoryFile::Assign(std::vector<uint8_t> data) {
    Close();
    if (data.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) return false;
    data_ = std::move(data);
    open_ = true;
    return true;
}

bool CMemoryFile::Create(const char*) { return false; }

bool CMemoryFile::Open(const char*) { return false; }

void CMemoryFile::Close() {
    std::vector<uint8_t>().swap(data_);
    position_ = 0;
    open_ = false;
}

int32_t CMemoryFile::Size() { return static_cast<int32_t>(data_.size()); }

std::size_t CMemoryFile::Read(void* buffer, std::size_t size, std::size_t count) {
    if (size == 0 || count == 0 || buffer == nullptr) return 0;
    if (position_ < 0 || static_cast<std::size_t>(position_) >= data_.size()) return 0;
    std::size_t left = data_.size() - static_cast<std::size_t>(position_);
    std::size_t n = count > left / size ? left : size * count;
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += static_cast<int32_t>(n);
    return n / size;
}

std::size_t CMemoryFile::Write(const void*, std::size_t, std::size_t) { return 0; }

bool CMemoryFile::Seek(int32_t offset, int origin) {
    int64_t base;
    switch (origin) {
    case kFromStart: base = 0; break;
    case kFromCurrent: base = position_; break;
    case kFromEnd: base = static_cast<int64_t>(data_.size()); break;
    default: return false;
    }
    int64_t target = base + offset;
    if (target < std::numeric_limits<int32_t>::min() || target > std::numeric_limits<int32_t>::max())
        return false;
    position_ = static_cast<int32_t>(target);
    return true;
}

int32_t CMemoryFile::Tell() { return position_; }

void CMemoryFile::Rewind() { position_ = 0; }
