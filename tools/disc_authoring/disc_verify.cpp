// verify: the discs against their manifest and against the release folder.
// A disc is read from its image where there is one (every name a reader
// sees: the ISO 9660, Joliet and Rock Ridge names and the volume labels,
// then the bytes under each name), else from its folder.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>

#include "tools/disc_authoring/disc_authoring.h"
#include "tools/disc_authoring/disc_io.h"
#include "tools/disc_authoring/disc_release.h"
#include "tools/disc_authoring/iso_image.h"

namespace {

// A file as found on a disc: in a folder, or a stretch of an image.
struct FoundFile {
    std::string container;  // the file itself, or the image
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    bool operator==(const FoundFile& o) const {
        return container == o.container && offset == o.offset && size == o.size;
    }
};

// The names of a disc as one kind of reader sees them.
struct NameTree {
    std::string what;        // how the problems name the tree: "" for a folder
    bool iso9660 = false;    // names as ISO 9660 level 1 records them
    std::map<std::string, FoundFile> files;
};

void ListTree(const std::string& root, const std::string& prefix, std::map<std::string, FoundFile>* found) {
    std::vector<std::string> names;
    if (!ListFolder(root + "/" + prefix, &names)) return;
    for (const std::string& name : names) {
        const std::string path = prefix.empty() ? name : prefix + "/" + name;
        const std::string full = root + "/" + path;
        std::uint64_t size = 0;
        if (IsDirectory(full)) ListTree(root, path, found);
        else if (RegularFileSize(full, &size)) (*found)[path] = {full, 0, size};
    }
}

// "data/data/UnInstall.exe" as the tree records it ("DATA/DATA/UNINSTAL.EXE;1").
std::string NameIn(const NameTree& tree, const std::string& path) {
    if (!tree.iso9660) return path;
    std::string name;
    for (std::size_t from = 0;;) {
        const std::size_t slash = path.find('/', from);
        name += IsoLevel1Name(path.substr(from, slash - from), slash == std::string::npos);
        if (slash == std::string::npos) return name;
        name += '/';
        from = slash + 1;
    }
}

class Verifier {
public:
    Verifier(const std::string& out, const std::string& release, const AuthorReport& report, VerifyScope scope,
             std::vector<std::string>* problems)
        : out_(out), release_(release), report_(report), scope_(scope), problems_(problems) {}

    bool Run(std::string* error);

private:
    void Problem(const std::string& text) {
        problems_->push_back(text);
        if (report_.line) report_.line("MISMATCH " + text);
    }
    bool ReadImage(int disc, const std::string& image, std::vector<NameTree>* trees);
    void CheckLabels(int disc, const std::string& image, const IsoVolume& volume);
    void CheckDisc(int disc, const std::vector<NameTree>& trees);
    void CheckBytes(int disc, const ManifestFile& m, const std::vector<std::pair<FoundFile, std::string>>& extents);
    void CheckCoverage();
    std::string Expected(const DiscFile& f);

    std::string out_, release_;
    const AuthorReport& report_;
    VerifyScope scope_;
    std::vector<std::string>* problems_;
    Manifest manifest_;
    std::map<std::string, Bytes> generated_;
    std::uint64_t discDone_ = 0, discTotal_ = 0;
};

// SHA-256 of what the file should hold, from the release; empty when the
// release cannot give it.
std::string Verifier::Expected(const DiscFile& f) {
    auto made = generated_.find(f.source);
    if (made != generated_.end()) return made->second.size() == f.size ? HashBytes(made->second) : "";
    std::string sha;
    return HashRange(release_ + "/" + f.source, f.offset, f.size, &sha) ? sha : "";
}

void Verifier::CheckLabels(int disc, const std::string& image, const IsoVolume& volume) {
    const std::string expected = VolumeLabel(disc, manifest_.discs);
    const std::string where = "disc " + std::to_string(disc) + ": " + image + ": ";
    if (volume.label != expected) Problem(where + "volume label \"" + volume.label + "\", not \"" + expected + "\"");
    if (volume.joliet.present && volume.jolietLabel != expected) {
        Problem(where + "Joliet volume label \"" + volume.jolietLabel + "\", not \"" + expected + "\"");
    }
}

bool Verifier::ReadImage(int disc, const std::string& image, std::vector<NameTree>* trees) {
    const std::string where = "disc " + std::to_string(disc) + ": " + image + ": ";
    UniqueFd fd(open(image.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    IsoVolume volume;
    std::string why = "cannot be read";
    if (fd.get() < 0 || fstat(fd.get(), &st) != 0 ||
        !ReadIsoVolume([&](std::uint64_t at, std::uint8_t* p, std::size_t n) { return ReadAt(fd.get(), at, p, n); },
                       static_cast<std::uint64_t>(st.st_size), &volume, &why)) {
        Problem(where + why);
        return false;
    }
    CheckLabels(disc, image, volume);
    const struct {
        const IsoTree& tree;
        const char* kind;
    } kTrees[] = {{volume.iso, "ISO 9660"}, {volume.joliet, "Joliet"}, {volume.rockRidge, "Rock Ridge"}};
    for (const auto& t : kTrees) {
        if (!t.tree.present) {
            Problem(where + "no " + t.kind + " names");
            continue;
        }
        NameTree names{std::string(" (") + t.kind + " names)", &t.tree == &volume.iso, {}};
        for (const IsoFile& f : t.tree.files) {
            if (!names.files.emplace(f.path, FoundFile{image, f.offset, f.size}).second) {
                Problem(where + f.path + ": named twice" + names.what);
            }
        }
        trees->push_back(std::move(names));
    }
    return true;
}

// The bytes under each distinct stretch the disc's names lead to.
void Verifier::CheckBytes(int disc, const ManifestFile& m,
                          const std::vector<std::pair<FoundFile, std::string>>& extents) {
    const std::string name = "disc " + std::to_string(disc) + ": " + m.file.path;
    for (const auto& [f, what] : extents) {
        std::string sha;
        const std::uint64_t before = discDone_;
        HashRange(f.container, f.offset, f.size, &sha, [&](std::uint64_t n) {
            if (report_.progress) report_.progress("checking disc " + std::to_string(disc), before + n, discTotal_);
            return !report_.stopped || !report_.stopped();
        });
        discDone_ += f.size;
        if (sha != m.sha256) {
            Problem(name + ": its bytes differ from the manifest (SHA-256 " + sha + ")" + (extents.size() > 1 ? what : ""));
        }
    }
    if (scope_ == VerifyScope::kWritten) return;
    const std::string expected = Expected(m.file);
    if (expected.empty()) {
        Problem(name + ": the release cannot give its bytes (" + m.file.source + " missing or shorter)");
    } else if (expected != m.sha256) {
        Problem(name + ": the release's " + m.file.source + " differs from the manifest");
    }
}

void Verifier::CheckDisc(int disc, const std::vector<NameTree>& trees) {
    const std::string where = "disc " + std::to_string(disc) + ": ";
    std::vector<std::set<std::string>> listed(trees.size());
    discDone_ = discTotal_ = 0;
    for (const ManifestFile& m : manifest_.files) discTotal_ += m.file.disc == disc ? m.file.size : 0;
    for (const ManifestFile& m : manifest_.files) {
        if (m.file.disc != disc) continue;
        std::vector<std::pair<FoundFile, std::string>> extents;
        for (std::size_t t = 0; t < trees.size(); ++t) {
            const std::string name = NameIn(trees[t], m.file.path);
            listed[t].insert(name);
            auto it = trees[t].files.find(name);
            if (it == trees[t].files.end()) {
                Problem(where + m.file.path + ": missing from the disc" + trees[t].what);
            } else if (it->second.size != m.file.size) {
                Problem(where + m.file.path + ": " + std::to_string(it->second.size) + " bytes on the disc, " +
                        std::to_string(m.file.size) + " in the manifest" + trees[t].what);
            } else if (std::none_of(extents.begin(), extents.end(), [&](const auto& e) { return e.first == it->second; })) {
                extents.emplace_back(it->second, trees[t].what);
            }
        }
        // A folder a run has just written was hashed as it was written.
        const bool written = scope_ == VerifyScope::kWritten && trees.size() == 1 && trees[0].what.empty();
        if (!extents.empty() && !written) CheckBytes(disc, m, extents);
    }
    for (std::size_t t = 0; t < trees.size(); ++t) {
        for (const auto& [path, file] : trees[t].files) {
            if (!listed[t].count(path)) Problem(where + path + ": on the disc but not in the manifest" + trees[t].what);
        }
    }
}

// The parts of each release file cover it exactly, in order.
void Verifier::CheckCoverage() {
    std::vector<std::string> sources(std::begin(kReleaseFiles), std::end(kReleaseFiles));
    sources.push_back("setup.exe");
    for (const std::string& source : sources) {
        std::vector<DiscFile> parts;
        for (const ManifestFile& m : manifest_.files) {
            if (m.file.source == source) parts.push_back(m.file);
        }
        std::sort(parts.begin(), parts.end(),
                  [](const DiscFile& a, const DiscFile& b) { return a.offset < b.offset; });
        std::uint64_t at = 0, size = 0;
        for (const DiscFile& p : parts) {
            if (p.offset != at) Problem(source + ": the parts do not join up at byte " + std::to_string(at));
            at = p.offset + p.size;
        }
        if (!RegularFileSize(release_ + "/" + source, &size)) {
            Problem(source + ": missing from the release folder");
        } else if (parts.empty() || at != size) {
            Problem(source + ": the discs hold " + std::to_string(at) + " bytes of it, the release " +
                    std::to_string(size));
        }
    }
}

bool Verifier::Run(std::string* error) {
    if (!ReadManifest(out_ + "/" + kManifestName, &manifest_, error)) return false;
    if (scope_ == VerifyScope::kDiscsAndRelease) {
        // The release's bytes are compared here, not judged again.
        Release release;
        if (!ReadRelease(release_, ReleaseRules{true}, &release, error)) return false;
        if (!GeneratedFiles(release, manifest_.archive, &generated_, error)) return false;
    }
    for (int disc = 1; disc <= manifest_.discs; ++disc) {
        const std::string where = "disc " + std::to_string(disc) + ": ";
        const std::string image = DiscImage(out_, disc), folder = DiscFolder(out_, disc);
        std::vector<NameTree> trees;
        std::uint64_t imageSize = 0;
        if (RegularFileSize(image, &imageSize)) {
            if (report_.line) report_.line(where + "reading " + image);
            if (!ReadImage(disc, image, &trees)) continue;
            if (manifest_.media != DiscMedia::kFolder && imageSize > manifest_.capacity) {
                Problem(image + ": " + std::to_string(imageSize - manifest_.capacity) +
                        " bytes more than the disc holds");
            }
        } else if (manifest_.images == ManifestImages::kIso) {
            Problem(where + image + " is missing (the discs were written with images)");
            continue;
        } else if (IsDirectory(folder)) {
            if (report_.line) report_.line(where + "reading the folder " + folder);
            trees.push_back(NameTree());
            ListTree(folder, "", &trees.back().files);
        } else {
            Problem(where + "neither " + image + " nor " + folder + " exists");
            continue;
        }
        CheckDisc(disc, trees);
    }
    if (scope_ == VerifyScope::kDiscsAndRelease) CheckCoverage();
    return true;
}

}  // namespace

bool VerifyDiscs(const std::string& out, const std::string& release, const AuthorReport& report,
                 std::vector<std::string>* problems, std::string* error, VerifyScope scope) {
    problems->clear();
    return Verifier(out, release, report, scope, problems).Run(error);
}
