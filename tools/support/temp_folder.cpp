#include "tools/support/temp_folder.h"

#include <atomic>
#include <chrono>
#include <system_error>

TempFolder::TempFolder(const std::string& prefix) {
    static std::atomic<unsigned> serial{0};
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) return;
    // The clock keeps processes apart, the serial the folders of one process.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate =
            base / (prefix + "." + std::to_string(stamp) + "." + std::to_string(serial++));
        if (std::filesystem::create_directory(candidate, error) && !error) {
            path_ = candidate;
            return;
        }
    }
}

TempFolder::~TempFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}
