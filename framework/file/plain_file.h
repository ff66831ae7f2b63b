// A loose file on disk, read and written through the runtime library's
// buffered streams. Its path is Shift-JIS, the data's own text; Windows
// builds open it through code page 932 in UTF-16.
#pragma once

#include <cstdio>

#include "framework/file/file_impl.h"

class CPlainFile : public CFileImpl {
public:
    CPlainFile() = default;
    CPlainFile(const CPlainFile&) = delete;
    CPlainFile& operator=(const CPlainFile&) = delete;

    // Mode "w+b": create or truncate, read and write.
    bool Create(const char* path) override;
    // Mode "rb".
    bool Open(const char* path) override;
    void Close() override;
    // Length of the file; the position is left where it was. 0 when closed
    // or when the length cannot be learnt.
    int32_t Size() override;
    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t size, std::size_t count) override;
    bool Seek(int32_t offset, int origin) override;
    int32_t Tell() override;
    void Rewind() override;
    ~CPlainFile() override;

    bool IsOpen() const { return stream_ != nullptr; }

private:
    bool OpenStream(const char* path, const char* mode);

    std::FILE* stream_ = nullptr;
};
