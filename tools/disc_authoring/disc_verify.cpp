// verify: the discs against their manifest and against the release folder.
#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "tools/disc_authoring/disc_authoring.h"
#include "tools/disc_authoring/disc_io.h"
#include "tools/disc_authoring/disc_release.h"

namespace {

// A file as found on a disc: in a folder, or a stretch of an image.
struct FoundFile {
    std::string container;  // the file itself, or the image
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
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

// The files of an ISO image, from xorriso's report of their blocks.
bool ListImage(const std::string& image, std::map<std::string, FoundFile>* found) {
    std::string report;
    if (!RunProgram({"xorriso", "-indev", image, "-find", "/", "-type", "f", "-exec", "report_lba", "--"},
                    &report)) {
        return false;
    }
    std::istringstream lines(report);
    std::string line;
    const std::string kLead = "File data lba:";
    while (std::getline(lines, line)) {
        if (line.compare(0, kLead.size(), kLead) != 0) continue;
        // "File data lba:  0 ,  33 ,  1 ,  446 , '/autorun.inf'"
        std::uint64_t extent = 0, lba = 0, blocks = 0, size = 0;
        std::istringstream in(line.substr(kLead.size()));
        char comma;
        if (!(in >> extent >> comma >> lba >> comma >> blocks >> comma >> size >> comma)) return false;
        const std::size_t open = line.find("'/"), close = line.rfind('\'');
        if (open == std::string::npos || close <= open + 2 || extent != 0) return false;
        (*found)[line.substr(open + 2, close - open - 2)] = {image, lba * 2048, size};
    }
    return true;
}

class Verifier {
public:
    Verifier(const std::string& out, const std::string& release, const AuthorReport& report,
             std::vector<std::string>* problems)
        : out_(out), release_(release), report_(report), problems_(problems) {}

    bool Run(std::string* error);

private:
    void Problem(const std::string& text) {
        problems_->push_back(text);
        if (report_.line) report_.line("MISMATCH " + text);
    }
    void CheckDisc(int disc, const std::map<std::string, FoundFile>& found);
    void CheckCoverage();
    std::string Expected(const DiscFile& f);

    std::string out_, release_;
    const AuthorReport& report_;
    std::vector<std::string>* problems_;
    Manifest manifest_;
    std::map<std::string, Bytes> generated_;
};

// SHA-256 of what the file should hold, from the release; empty when the
// release cannot give it.
std::string Verifier::Expected(const DiscFile& f) {
    auto made = generated_.find(f.source);
    if (made != generated_.end()) return made->second.size() == f.size ? HashBytes(made->second) : "";
    std::string sha;
    return HashRange(release_ + "/" + f.source, f.offset, f.size, &sha) ? sha : "";
}

void Verifier::CheckDisc(int disc, const std::map<std::string, FoundFile>& found) {
    const std::string where = "disc " + std::to_string(disc) + ": ";
    std::set<std::string> listed;
    std::uint64_t done = 0, total = 0;
    for (const ManifestFile& m : manifest_.files) total += m.file.disc == disc ? m.file.size : 0;
    for (const ManifestFile& m : manifest_.files) {
        if (m.file.disc != disc) continue;
        listed.insert(m.file.path);
        const std::string name = where + m.file.path;
        auto it = found.find(m.file.path);
        if (it == found.end()) {
            Problem(name + ": missing from the disc");
            continue;
        }
        const FoundFile& f = it->second;
        if (f.size != m.file.size) {
            Problem(name + ": " + std::to_string(f.size) + " bytes on the disc, " + std::to_string(m.file.size) +
                    " in the manifest");
            continue;
        }
        std::string sha;
        const std::uint64_t before = done;
        HashRange(f.container, f.offset, f.size, &sha, [&](std::uint64_t n) {
            if (report_.progress) report_.progress(disc, before + n, total);
        });
        done += f.size;
        if (sha != m.sha256) Problem(name + ": its bytes differ from the manifest (SHA-256 " + sha + ")");
        const std::string expected = Expected(m.file);
        if (expected.empty()) {
            Problem(name + ": the release cannot give its bytes (" + m.file.source + " missing or shorter)");
        } else if (expected != m.sha256) {
            Problem(name + ": the release's " + m.file.source + " differs from the manifest");
        }
    }
    for (const auto& [path, file] : found) {
        if (!listed.count(path)) Problem(where + path + ": on the disc but not in the manifest");
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
    Release release;
    if (!ReadRelease(release_, &release, error)) return false;
    if (!GeneratedFiles(release, manifest_.archive, &generated_, error)) return false;
    for (int disc = 1; disc <= manifest_.discs; ++disc) {
        std::map<std::string, FoundFile> found;
        const std::string image = DiscImage(out_, disc), folder = DiscFolder(out_, disc);
        std::uint64_t imageSize = 0;
        if (RegularFileSize(image, &imageSize)) {
            if (!ListImage(image, &found)) {
                *error = image + ": xorriso cannot read the image";
                return false;
            }
            if (manifest_.media != DiscMedia::kFolder && imageSize > manifest_.capacity) {
                Problem(image + ": " + std::to_string(imageSize - manifest_.capacity) +
                        " bytes more than the disc holds");
            }
        } else if (IsDirectory(folder)) {
            ListTree(folder, "", &found);
        } else {
            Problem("disc " + std::to_string(disc) + ": neither " + image + " nor " + folder + " exists");
            continue;
        }
        CheckDisc(disc, found);
    }
    CheckCoverage();
    return true;
}

}  // namespace

bool VerifyDiscs(const std::string& out, const std::string& release, const AuthorReport& report,
                 std::vector<std::string>* problems, std::string* error) {
    problems->clear();
    return Verifier(out, release, report, problems).Run(error);
}
