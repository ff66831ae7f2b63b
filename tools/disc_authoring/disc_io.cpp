#include "tools/disc_authoring/disc_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "tools/disc_authoring/sha256.h"

extern char** environ;

namespace {

constexpr std::size_t kChunkBytes = 1 << 20;

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now and reports whether the close succeeded.
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return fd < 0 || close(fd) == 0;
    }

private:
    int fd_;
};

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

bool ReadFull(int fd, std::uint8_t* buffer, std::size_t bytes) {
    while (bytes > 0) {
        ssize_t n = read(fd, buffer, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        buffer += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteFull(int fd, const std::uint8_t* buffer, std::size_t bytes) {
    while (bytes > 0) {
        ssize_t n = write(fd, buffer, bytes);
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

// Streams [offset, offset + size) of `from` through `sink` in chunks.
template <typename Sink>
bool StreamRange(const std::string& from, std::uint64_t offset, std::uint64_t size, Sink sink) {
    Fd in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0 || lseek(in.get(), static_cast<off_t>(offset), SEEK_SET) < 0) return false;
    posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    std::unique_ptr<std::uint8_t[]> chunk(new std::uint8_t[kChunkBytes]);
    for (std::uint64_t done = 0; done < size;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, size - done));
        if (!ReadFull(in.get(), chunk.get(), n) || !sink(chunk.get(), n, done)) return false;
        done += n;
    }
    return true;
}

}  // namespace

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
               const ByteProgress& progress, std::string* sha256) {
    Fd out(open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (out.get() < 0) return false;
    CSha256 hash;
    const bool copied = StreamRange(from, offset, size, [&](const std::uint8_t* p, std::size_t n, std::uint64_t done) {
        hash.Update(p, n);
        // A zero chunk becomes a hole; the final size is set below.
        const bool ok = AllZero(p, n) ? lseek(out.get(), static_cast<off_t>(n), SEEK_CUR) >= 0
                                      : WriteFull(out.get(), p, n);
        if (progress) progress(done + n);
        return ok;
    });
    if (!copied || ftruncate(out.get(), static_cast<off_t>(size)) != 0 || !out.Close()) return false;
    *sha256 = hash.HexDigest();
    return true;
}

bool HashRange(const std::string& path, std::uint64_t offset, std::uint64_t size, std::string* sha256,
               const ByteProgress& progress) {
    CSha256 hash;
    if (!StreamRange(path, offset, size, [&](const std::uint8_t* p, std::size_t n, std::uint64_t done) {
            hash.Update(p, n);
            if (progress) progress(done + n);
            return true;
        })) {
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

bool RunProgram(const std::vector<std::string>& argv, std::string* output) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (output && pipe2(pipeFds, O_CLOEXEC) != 0) return false;
    Fd readEnd(pipeFds[0]), writeEnd(pipeFds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output) posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
    // The programs run here (xorriso) talk on stderr; the caller reports
    // their failure itself.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.Close();
    if (rc != 0) return false;
    if (output) {
        output->clear();
        char buffer[4096];
        ssize_t n;
        while ((n = read(readEnd.get(), buffer, sizeof buffer)) != 0) {
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) break;
            output->append(buffer, static_cast<std::size_t>(n));
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
