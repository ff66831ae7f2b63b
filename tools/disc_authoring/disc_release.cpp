#include "tools/disc_authoring/disc_release.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "framework/file/archive_writer.h"
#include "tools/disc_authoring/disc_authoring.h"
#include "tools/disc_authoring/disc_io.h"

namespace {

const char kManifestHeader[] = "sorvane-discs 1";

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};

EntryKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) return EntryKind::kFile;
    if (S_ISDIR(mode)) return EntryKind::kFolder;
    if (S_ISFIFO(mode)) return EntryKind::kFifo;
    if (S_ISSOCK(mode)) return EntryKind::kSocket;
    return EntryKind::kDevice;
}

// The first `keep` bytes of a regular file (all of it when it is no larger),
// or why it cannot be read.
void ReadHead(const std::string& path, std::uint64_t keep, ReleaseEntry* e) {
    UniqueFd in(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        e->unreadable = SystemReason(errno);
        return;
    }
    if (e->size > kMaxPictureFileBytes && keep > kProgramHeadBytes) return;  // refused by its size
    e->bytes.resize(static_cast<std::size_t>(std::min(keep, e->size)));
    errno = 0;
    if (!ReadAt(in.get(), 0, e->bytes.data(), e->bytes.size())) {
        e->unreadable = errno ? SystemReason(errno) : "it ends early";
        e->bytes.clear();
    }
}

// One name of `folder` as found; links resolved and compared with the
// release folder `root` (its real path).
ReleaseEntry ReadEntry(const std::string& folder, const std::string& name, const std::string& root,
                       std::uint64_t keep) {
    ReleaseEntry e;
    e.name = name;
    const std::string path = folder + "/" + name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        e.unreadable = SystemReason(errno);
        return e;
    }
    if (S_ISLNK(st.st_mode)) {
        std::unique_ptr<char, FreeDeleter> real(realpath(path.c_str(), nullptr));
        if (!real || stat(path.c_str(), &st) != 0) {
            char target[4096] = "?";
            const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
            e.kind = EntryKind::kDanglingLink;
            e.link = n > 0 ? std::string(target, static_cast<std::size_t>(n)) : "?";
            return e;
        }
        e.link = real.get();
        e.linkLeaves = !IsInsideFolder(e.link, root);
    }
    e.kind = KindOf(st.st_mode);
    if (e.kind != EntryKind::kFile || e.linkLeaves) return e;
    e.size = static_cast<std::uint64_t>(st.st_size);
    e.allocated = static_cast<std::uint64_t>(st.st_blocks) * 512;
    ReadHead(path, keep, &e);
    return e;
}

// How much of a release file the checks read: a program's headers, one
// byte of a game file (it can be read), a picture whole.
std::uint64_t BytesToKeep(const std::string& name) {
    if (name == "setup.exe" || name == "UnInstall.exe") return kProgramHeadBytes;
    return 1;
}

}  // namespace

bool ReadReleaseListing(const std::string& dir, ReleaseListing* listing, std::string* error) {
    *listing = ReleaseListing();
    std::unique_ptr<char, FreeDeleter> root(realpath(dir.c_str(), nullptr));
    std::vector<std::string> names;
    if (!root || !ListFolder(dir, &names)) {
        *error = dir + ": cannot read the release folder (" + SystemReason(errno) + ")";
        return false;
    }
    for (const std::string& name : names) listing->top.push_back(ReadEntry(dir, name, root.get(), BytesToKeep(name)));
    for (const ReleaseEntry& e : listing->top) {
        if (e.name != "obj" || e.kind != EntryKind::kFolder || e.linkLeaves) continue;
        if (!ListFolder(dir + "/obj", &names)) {
            listing->objUnreadable = SystemReason(errno);
            break;
        }
        for (const std::string& name : names) {
            listing->obj.push_back(ReadEntry(dir + "/obj", name, root.get(), kMaxPictureFileBytes));
        }
    }
    return true;
}

bool ReadRelease(const std::string& dir, const ReleaseRules& rules, Release* release, std::string* error) {
    ReleaseListing listing;
    return ReadReleaseListing(dir, &listing, error) && CheckRelease(listing, rules, release, error);
}

// The files whose bytes the tool makes: disc path -> bytes.
bool GeneratedFiles(const Release& release, bool archive, std::map<std::string, Bytes>* files,
                    std::string* error) {
    files->clear();
    const std::string autorun = kAutorunText;
    (*files)["autorun.inf"] = Bytes(autorun.begin(), autorun.end());
    if (!archive) {
        for (const auto& [name, bytes] : release.pictures) (*files)["data/obj/" + name] = bytes;
        return true;
    }
    CArchiveWriter writer;
    for (const auto& [name, bytes] : release.pictures) {
        if (!writer.Add(name, bytes)) {
            *error = "obj/" + name + ": cannot be packed";
            return false;
        }
    }
    Bytes packed = writer.Build();
    if (packed.empty()) {
        *error = "the pictures do not fit one archive";
        return false;
    }
    (*files)["data/obj.dat"] = std::move(packed);
    return true;
}

std::string DiscFolder(const std::string& out, int disc) { return out + "/disc" + std::to_string(disc); }
std::string DiscImage(const std::string& out, int disc) { return DiscFolder(out, disc) + ".iso"; }

std::string PartName(const DiscFile& f) { return f.path.substr(f.path.rfind('/') + 1); }

bool WriteManifest(const std::string& path, const Manifest& m, std::string* error) {
    std::ostringstream text;
    text << kManifestHeader << "\n"
         << "media " << MediaName(m.media) << "\n"
         << "capacity " << m.capacity << "\n"
         << "discs " << m.discs << "\n"
         << "pictures " << (m.archive ? "archive" : "loose") << "\n"
         << "images " << (m.images == ManifestImages::kIso ? "iso" : "none") << "\n";
    text << "# split: part, release file, first byte, bytes\n";
    for (const ManifestFile& f : m.files) {
        if (f.file.source == "cg.dat" || f.file.source == "sc.dat") {
            text << "split " << PartName(f.file) << " " << f.file.source << " " << f.file.offset << " "
                 << f.file.size << "\n";
        }
    }
    text << "# file: disc, bytes, SHA-256, source, first byte of the source, path on the disc\n";
    for (const ManifestFile& f : m.files) {
        text << "file " << f.file.disc << " " << f.file.size << " " << f.sha256 << " " << f.file.source << " "
             << f.file.offset << " " << f.file.path << "\n";
    }
    const std::string s = text.str();
    return WriteFileBytes(path, Bytes(s.begin(), s.end()), error);
}

bool ReadManifest(const std::string& path, Manifest* m, std::string* error) {
    Bytes bytes;
    if (!ReadWholeFile(path, 64u << 20, &bytes)) {
        *error = path + (errno == ENOENT ? ": missing (not a folder author_discs wrote, or its run did not end)"
                                         : ": cannot be read (" + SystemReason(errno) + ")");
        return false;
    }
    *error = path + ": not a manifest of this tool";
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::string line;
    if (!std::getline(text, line) || line != kManifestHeader) return false;
    while (std::getline(text, line)) {
        std::istringstream in(line);
        std::string key, value;
        in >> key;
        if (key == "media") {
            if (!(in >> value) || !ParseMedia(value, &m->media)) return false;
        } else if (key == "capacity") {
            if (!(in >> m->capacity)) return false;
        } else if (key == "discs") {
            if (!(in >> m->discs) || m->discs < 1 || m->discs > kCdDiscCount) return false;
        } else if (key == "pictures") {
            in >> value;
            m->archive = value == "archive";
        } else if (key == "images") {
            if (!(in >> value) || (value != "iso" && value != "none")) return false;
            m->images = value == "iso" ? ManifestImages::kIso : ManifestImages::kNone;
        } else if (key == "file") {
            ManifestFile f;
            if (!(in >> f.file.disc >> f.file.size >> f.sha256 >> f.file.source >> f.file.offset >> f.file.path) ||
                f.file.disc < 1 || f.file.disc > m->discs) {
                return false;
            }
            m->files.push_back(f);
        }
    }
    error->clear();
    return m->discs > 0;
}

