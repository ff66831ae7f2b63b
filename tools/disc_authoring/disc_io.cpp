#include "tools/disc_authoring/disc_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>

#include "tools/disc_authoring/sha256.h"

extern char** environ;

// Release files pass 4 GiB; a 32-bit build needs _FILE_OFFSET_BITS=64.
static_assert(sizeof(off_t) >= 8, "64-bit file offsets are needed (_FILE_OFFSET_BITS=64)");

namespace {

constexpr std::size_t kChunkBytes = 1 << 20;

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

bool Fail(std::string* error, const std::string& path, const std::string& what, int code) {
    if (error) *error = path + ": " + what + " (" + SystemReason(code) + ")";
    return false;
}

// Reads `bytes` bytes; 0 when done, else errno, or -1 when the file ends first.
int ReadFull(int fd, std::uint8_t* buffer, std::size_t bytes) {
    while (bytes > 0) {
        const ssize_t n = read(fd, buffer, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return -1;
        buffer += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return 0;
}

bool WriteFull(int fd, const std::uint8_t* buffer, std::size_t bytes) {
    while (bytes > 0) {
        const ssize_t n = write(fd, buffer, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        buffer += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return true;
}

bool AllZero(const std::uint8_t* p, std::size_t n) {
    return n == 0 || (p[0] == 0 && std::equal(p, p + n - 1, p + 1));
}

// Streams [offset, offset + size) of `from` through `sink` in chunks. False
// with `error` when `from` cannot be read; a sink that says false has set
// `error` itself.
template <typename Sink>
bool StreamRange(const std::string& from, std::uint64_t offset, std::uint64_t size, Sink sink, std::string* error) {
    UniqueFd in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0 || lseek(in.get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
        return Fail(error, from, "cannot be read", errno);
    }
    posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    std::unique_ptr<std::uint8_t[]> chunk(new std::uint8_t[kChunkBytes]);
    for (std::uint64_t done = 0; done < size;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, size - done));
        const int read = ReadFull(in.get(), chunk.get(), n);
        if (read < 0) {
            if (error) *error = from + ": ends before byte " + std::to_string(offset + size);
            return false;
        }
        if (read > 0) return Fail(error, from, "cannot be read", read);
        if (!sink(chunk.get(), n, done)) return false;
        done += n;
    }
    return true;
}

bool Interrupted(std::string* error) {
    if (error) *error = "interrupted";
    return false;
}

}  // namespace

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) close(fd_);
}

bool UniqueFd::Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || close(fd) == 0;
}

std::string SystemReason(int code) { return std::strerror(code); }

bool RegularFileSize(const std::string& path, std::uint64_t* size) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    *size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ListFolder(const std::string& path, std::vector<std::string>* names) {
    names->clear();
    std::unique_ptr<DIR, DirCloser> dir(opendir(path.c_str()));
    if (!dir) return false;
    while (dirent* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names->push_back(name);
    }
    std::sort(names->begin(), names->end());
    return true;
}

bool MakeFolders(const std::string& path) {
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            const std::string part = path.substr(0, i);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    return IsDirectory(path);
}

bool CopyRange(const std::string& from, std::uint64_t offset, std::uint64_t size, const std::string& to,
               const ByteProgress& progress, std::string* sha256, std::string* error) {
    UniqueFd out(open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (out.get() < 0) return Fail(error, to, "cannot be written", errno);
    CSha256 hash;
    const bool copied = StreamRange(
        from, offset, size,
        [&](const std::uint8_t* p, std::size_t n, std::uint64_t done) {
            hash.Update(p, n);
            // A zero chunk becomes a hole; the final size is set below.
            const bool ok = AllZero(p, n) ? lseek(out.get(), static_cast<off_t>(n), SEEK_CUR) >= 0
                                          : WriteFull(out.get(), p, n);
            if (!ok) return Fail(error, to, "cannot be written", errno);
            return !progress || progress(done + n) || Interrupted(error);
        },
        error);
    if (!copied) return false;
    if (ftruncate(out.get(), static_cast<off_t>(size)) != 0 || !out.Close()) {
        return Fail(error, to, "cannot be written", errno);
    }
    *sha256 = hash.HexDigest();
    return true;
}

bool HashRange(const std::string& path, std::uint64_t offset, std::uint64_t size, std::string* sha256,
               const ByteProgress& progress, std::string* error) {
    CSha256 hash;
    if (!StreamRange(
            path, offset, size,
            [&](const std::uint8_t* p, std::size_t n, std::uint64_t done) {
                hash.Update(p, n);
                return !progress || progress(done + n) || Interrupted(error);
            },
            error)) {
        return false;
    }
    *sha256 = hash.HexDigest();
    return true;
}

std::string HashBytes(const std::vector<std::uint8_t>& bytes) {
    CSha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.HexDigest();
}

bool ReadAt(int fd, std::uint64_t offset, std::uint8_t* buffer, std::size_t bytes) {
    while (bytes > 0) {
        const ssize_t n = pread(fd, buffer, bytes, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        buffer += n;
        bytes -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error) {
    UniqueFd out(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (out.get() < 0 || !WriteFull(out.get(), bytes.data(), bytes.size()) || !out.Close()) {
        return Fail(error, path, "cannot be written", errno);
    }
    return true;
}

bool FreeBytes(const std::string& path, std::uint64_t* bytes, std::string* error) {
    struct statvfs fs;
    if (statvfs(path.c_str(), &fs) != 0) return Fail(error, path, "its free space cannot be read", errno);
    *bytes = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
    return true;
}

bool RunProgram(const std::vector<std::string>& argv, const LineSink& onLine, std::string* error,
                const std::function<bool()>& stop) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return Fail(error, argv[0], "cannot be started", errno);
    UniqueFd readEnd(pipeFds[0]), writeEnd(pipeFds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDERR_FILENO);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.Close();
    if (rc != 0) return Fail(error, argv[0], "cannot be started", rc);
    std::string pending;
    char buffer[4096];
    bool asked = false;
    for (;;) {
        const ssize_t n = read(readEnd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find_first_of("\r\n")) != std::string::npos;) {
            if (end > 0 && onLine) onLine(pending.substr(0, end));
            pending.erase(0, end + 1);
        }
        if (stop && !asked && stop()) asked = kill(pid, SIGTERM) == 0;
    }
    if (!pending.empty() && onLine) onLine(pending);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return Fail(error, argv[0], "cannot be waited for", errno);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    if (error) {
        *error = argv[0] + (WIFEXITED(status) ? ": exit status " + std::to_string(WEXITSTATUS(status))
                                              : ": ended by signal " + std::to_string(WTERMSIG(status)));
    }
    return false;
}
