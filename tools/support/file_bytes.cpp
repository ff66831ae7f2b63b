#include "tools/support/file_bytes.h"

std::string ReadAllOf(CFileImpl& file) {
    const std::int32_t size = file.Size();
    if (size <= 0) return std::string();
    std::string bytes(static_cast<std::size_t>(size), '\0');
    bytes.resize(file.Read(&bytes[0], 1, bytes.size()));
    return bytes;
}
