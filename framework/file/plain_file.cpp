#include "framework/file/plain_file.h"

#include <climits>

#ifdef _WIN32
#include <string>

#include "framework/system/win32/wide_text.h"
#endif

bool CPlainFile::OpenStream(const char* path, const char* mode) {
    Close();
    if (path == nullptr) return false;
#ifdef _WIN32
    // The path is the data's Shift-JIS text: through code page 932 to the
    // wide open, whatever the system's code page.
    std::wstring widePath;
    if (!WidenShiftJis(path, &widePath)) return false;
    stream_ = _wfopen(widePath.c_str(), Widen(mode).c_str());
#else
    stream_ = std::fopen(path, mode);
#endif
    return stream_ != nullptr;
}

bool CPlainFile::Create(const char* path) { return OpenStream(path, "w+b"); }

bool CPlainFile::Open(const char* path) { return OpenStream(path, "rb"); }

void CPlainFile::Close() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
}

int32_t CPlainFile::Size() {
    if (stream_ == nullptr) return 0;
    long saved = std::ftell(stream_);
    if (saved < 0) return 0;
    if (std::fseek(stream_, 0, SEEK_END) != 0) return 0;
    long size = std::ftell(stream_);
    std::fseek(stream_, saved, SEEK_SET);
    // A file past 2 GiB cannot be described by this interface.
    if (size < 0 || size > INT32_MAX) return 0;
    return static_cast<int32_t>(size);
}

std::size_t CPlainFile::Read(void* buffer, std::size_t size, std::size_t count) {
    if (stream_ == nullptr || size == 0) return 0;
    return std::fread(buffer, size, count, stream_);
}

std::size_t CPlainFile::Write(const void* buffer, std::size_t size, std::size_t count) {
    if (stream_ == nullptr || size == 0) return 0;
    return std::fwrite(buffer, size, count, stream_);
}

bool CPlainFile::Seek(int32_t offset, int origin) {
    if (stream_ == nullptr) return false;
    int whence;
    switch (origin) {
    case kFromStart: whence = SEEK_SET; break;
    case kFromCurrent: whence = SEEK_CUR; break;
    case kFromEnd: whence = SEEK_END; break;
    default: return false;
    }
    return std::fseek(stream_, offset, whence) == 0;
}

int32_t CPlainFile::Tell() {
    if (stream_ == nullptr) return 0;
    long position = std::ftell(stream_);
    if (position < 0 || position > INT32_MAX) return 0;
    return static_cast<int32_t>(position);
}

void CPlainFile::Rewind() {
    if (stream_ != nullptr) std::rewind(stream_);
}

CPlainFile::~CPlainFile() { Close(); }
