#include "tools/support/file_bytes.h"

#include <cstdio>
#include <memory>

namespace {
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
}  // namespace

std::string ReadAllOf(CFileImpl& file) {
    const std::int32_t size = file.Size();
    if (size <= 0) return std::string();
    std::string bytes(static_cast<std::size_t>(size), '\0');
    bytes.resize(file.Read(&bytes[0], 1, bytes.size()));
    return bytes;
}

bool ReadWholeFile(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>* bytes) {
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(path.c_str(), "rb"));
    if (!in) return false;
    bytes->clear();
    std::uint8_t chunk[64 * 1024];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, in.get());
        if (n > limit - bytes->size()) return false;
        bytes->insert(bytes->end(), chunk, chunk + n);
        if (n < sizeof chunk) return std::ferror(in.get()) == 0;
    }
}

bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && written;
}
