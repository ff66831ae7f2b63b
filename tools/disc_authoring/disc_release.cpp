#include "tools/disc_authoring/disc_release.h"

#include <algorithm>
#include <iterator>
#include <cstdio>
#include <sstream>

#include "framework/file/archive_writer.h"
#include "framework/graphics/bmp_format.h"
#include "tools/disc_authoring/bmp_rewrite.h"
#include "tools/disc_authoring/disc_authoring.h"
#include "tools/disc_authoring/disc_io.h"

namespace {

const char kManifestHeader[] = "sorvane-discs 1";
// A picture file larger than this cannot be one setup.exe reads.
constexpr std::uint64_t kMaxPictureFileBytes = kMaxBmpPixelBytes + 4096;

// Names a disc's Joliet and Rock Ridge trees both keep byte for byte.
bool ValidDiscName(const std::string& name) {
    if (name.empty() || name.size() > 64 || name.back() == '.' || name.back() == ' ') return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c > 0x7e || std::string("*/:;?\\\"<>|").find(static_cast<char>(c)) != std::string::npos) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> PictureStems() {
    std::vector<std::string> stems;
    char stem[16];
    for (int i = 0; i <= 9; ++i) {
        std::snprintf(stem, sizeof stem, "t000_%03d", i);
        stems.push_back(stem);
    }
    for (int i = 0; i <= 10; ++i) {
        std::snprintf(stem, sizeof stem, "t001_%03d", i);
        stems.push_back(stem);
    }
    return stems;
}

bool CheckNames(const std::string& folder, const std::vector<std::string>& names,
                const std::vector<std::string>& allowed, std::string* error) {
    for (const std::string& name : names) {
        if (!ValidDiscName(name)) {
            *error = folder + name + ": not a valid file name on a disc";
            return false;
        }
        if (std::find(allowed.begin(), allowed.end(), name) == allowed.end()) {
            *error = folder + name + ": not a file of the release";
            return false;
        }
    }
    return true;
}

bool ReadPictures(const std::string& dir, Release* release, std::string* error) {
    std::vector<std::string> names;
    if (!ListFolder(dir, &names)) {
        *error = "obj/: missing (the setup screen's pictures)";
        return false;
    }
    std::vector<std::string> allowed;
    for (const std::string& stem : PictureStems()) {
        allowed.push_back(stem + ".bmp");
        allowed.push_back(stem + ".alp");
    }
    if (!CheckNames("obj/", names, allowed, error)) return false;
    for (const std::string& stem : PictureStems()) {
        const std::string bmp = stem + ".bmp", alp = stem + ".alp";
        Bytes file;
        if (!ReadWholeFile(dir + "/" + bmp, kMaxPictureFileBytes, &file)) {
            *error = "obj/" + bmp + ": missing or unreadable";
            return false;
        }
        PreparedPicture picture;
        std::string reason;
        if (!PrepareBmp(file, &picture, &reason)) {
            *error = "obj/" + bmp + ": " + reason;
            return false;
        }
        if (picture.rewritten) release->rewritten.push_back(bmp);
        release->pictures.emplace_back(bmp, std::move(picture.bytes));
        if (std::find(names.begin(), names.end(), alp) == names.end()) continue;
        Bytes mask;
        if (!ReadWholeFile(dir + "/" + alp, kMaxPictureFileBytes, &mask)) {
            *error = "obj/" + alp + ": unreadable or too large";
            return false;
        }
        if (!CheckAlphaMask(mask.size(), picture, &reason)) {
            *error = "obj/" + alp + ": " + reason;
            return false;
        }
        release->pictures.emplace_back(alp, std::move(mask));
    }
    return true;
}

}  // namespace

bool ReadRelease(const std::string& dir, Release* release, std::string* error) {
    *release = Release();
    std::vector<std::string> names;
    if (!ListFolder(dir, &names)) {
        *error = dir + ": cannot read the release folder";
        return false;
    }
    std::vector<std::string> allowed(std::begin(kReleaseFiles), std::end(kReleaseFiles));
    allowed.push_back("setup.exe");
    allowed.push_back("obj");
    if (!CheckNames("", names, allowed, error)) return false;
    for (const std::string& name : allowed) {
        if (name == "obj") continue;
        std::uint64_t size = 0;
        if (!RegularFileSize(dir + "/" + name, &size)) {
            *error = name + ": missing from the release folder";
            return false;
        }
        if (name == "setup.exe") release->setupBytes = size;
        else release->sizes.emplace_back(name, size);
    }
    return ReadPictures(dir + "/obj", release, error);
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

bool WriteManifest(const std::string& path, const Manifest& m) {
    std::ostringstream text;
    text << kManifestHeader << "\n"
         << "media " << MediaName(m.media) << "\n"
         << "capacity " << m.capacity << "\n"
         << "discs " << m.discs << "\n"
         << "pictures " << (m.archive ? "archive" : "loose") << "\n";
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
    return WriteWholeFile(path, Bytes(s.begin(), s.end()));
}

bool ReadManifest(const std::string& path, Manifest* m, std::string* error) {
    Bytes bytes;
    *error = path + ": not a manifest of this tool";
    if (!ReadWholeFile(path, 64u << 20, &bytes)) return false;
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

