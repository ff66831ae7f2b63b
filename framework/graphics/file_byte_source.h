// Reads a CFileImpl (a CDataFile in practice) through the CByteSource
// interface of the image readers.
#pragma once

#include "framework/file/file_impl.h"
#include "framework/graphics/bmp_format.h"

class CFileByteSource : public CByteSource {
public:
    explicit CFileByteSource(CFileImpl& file) : file_(file) {}
    std::size_t ReadBytes(void* buffer, std::size_t bytes) override { return file_.Read(buffer, 1, bytes); }

private:
    CFileImpl& file_;
};
