#include "tools/disc_authoring/disc_authoring.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>

#include "tools/disc_authoring/disc_io.h"
#include "tools/disc_authoring/disc_output.h"
#include "tools/disc_authoring/disc_release.h"

const char kManifestName[] = "manifest.txt";
const char kAutorunText[] = "[autorun]\r\nopen=setup.exe\r\nicon=setup.exe\r\n";

namespace {

// A sparse file's holes are found in pieces of this size.
constexpr std::uint64_t kHolePieceBytes = 1u << 20;

bool Stopped(const AuthorReport& report) { return report.stopped && report.stopped(); }

bool Interrupted(std::string* error) {
    *error = "interrupted";
    return false;
}

// Where the run writes (the staging folder) and the folder it names in its
// messages (OUT).
struct Target {
    std::string staging, out;
    // `text` with the staging folder named as OUT.
    std::string Shown(std::string text) const {
        const std::size_t at = text.find(staging);
        return at == std::string::npos ? text : text.replace(at, staging.size(), out);
    }
};

// Lines on progress: the bytes of each disc as they are written.
struct DiscProgress {
    const AuthorReport& report;
    int disc;
    std::uint64_t total;
    std::uint64_t before = 0;
    ByteProgress For() {
        // The disc's last byte is reported once, by WriteDisc.
        return [this](std::uint64_t done) {
            if (report.progress && before + done < total) report.progress(Item(), before + done, total);
            return !Stopped(report);
        };
    }
    std::string Item() const { return "disc " + std::to_string(disc); }
};

std::uint64_t DiscBytes(const std::vector<DiscFile>& files, int disc) {
    std::uint64_t total = 0;
    for (const DiscFile& f : files) total += f.disc == disc ? f.size : 0;
    return total;
}

bool WriteDisc(const AuthorOptions& options, const Target& target, const DiscLayout& layout, int disc,
               const std::map<std::string, Bytes>& generated, const AuthorReport& report, Manifest* manifest,
               std::string* error) {
    const std::string root = DiscFolder(target.staging, disc);
    DiscProgress progress{report, disc, DiscBytes(layout.files, disc)};
    for (const DiscFile& f : layout.files) {
        if (f.disc != disc) continue;
        if (Stopped(report)) return Interrupted(error);
        const std::string to = root + "/" + f.path;
        if (!MakeFolders(to.substr(0, to.rfind('/')))) {
            *error = target.Shown(to) + ": its folder cannot be made (" + SystemReason(errno) + ")";
            return false;
        }
        ManifestFile entry{f, ""};
        auto made = generated.find(f.source);
        bool ok;
        if (made != generated.end()) {
            ok = WriteFileBytes(to, made->second, error);
            entry.sha256 = HashBytes(made->second);
        } else {
            ok = CopyRange(options.release + "/" + f.source, f.offset, f.size, to, progress.For(), &entry.sha256,
                           error);
        }
        if (!ok) {
            *error = target.Shown(*error);
            return false;
        }
        progress.before += f.size;
        manifest->files.push_back(entry);
    }
    if (report.progress) report.progress(progress.Item(), progress.total, progress.total);
    return true;
}

// xorriso's own words on a failure: its error lines, else its last line.
std::string XorrisoSays(const std::vector<std::string>& lines) {
    std::string said;
    for (const std::string& line : lines) {
        for (const char* level : {" : FAILURE : ", " : SORRY : ", " : FATAL : ", " : MISHAP : "}) {
            if (line.find(level) != std::string::npos) {
                said += (said.empty() ? "" : "; ") + line;
                break;
            }
        }
    }
    return said.empty() && !lines.empty() ? lines.back() : said;
}

bool WriteImage(const AuthorOptions& options, const Target& target, const DiscLayout& layout, int disc,
                const AuthorReport& report, std::string* error) {
    const std::string image = DiscImage(target.staging, disc), shown = DiscImage(target.out, disc);
    const std::string item = "disc" + std::to_string(disc) + ".iso";
    const std::uint64_t expected = layout.used[disc - 1];
    std::vector<std::string> said;
    // "xorriso : UPDATE :  33.46% done" about once a second while it writes.
    const auto onLine = [&](const std::string& line) {
        if (line.find(" : UPDATE : ") == std::string::npos) {
            said.push_back(line);
        } else if (line.find("% done") != std::string::npos && report.progress) {
            const double percent = std::strtod(line.c_str() + line.rfind(':') + 1, nullptr);
            report.progress(item, static_cast<std::uint64_t>(expected * std::clamp(percent, 0.0, 100.0) / 100),
                            expected);
        }
    };
    std::string why;
    if (!RunProgram({"xorriso", "-as", "mkisofs", "-r", "-J", "-joliet-long", "-V", VolumeLabel(disc, layout.discs),
                     "-o", image, DiscFolder(target.staging, disc)},
                    onLine, &why, [&] { return Stopped(report); })) {
        if (Stopped(report)) return Interrupted(error);
        *error = shown + ": xorriso could not write the image: " + target.Shown(XorrisoSays(said)) + " (" + why + ")";
        return false;
    }
    std::uint64_t size = 0;
    if (!RegularFileSize(image, &size)) {
        *error = shown + ": missing after xorriso";
        return false;
    }
    if (report.progress) report.progress(item, expected, expected);
    if (options.media != DiscMedia::kFolder && size > layout.capacity) {
        *error = shown + ": " + std::to_string(size - layout.capacity) + " bytes more than the disc holds";
        return false;
    }
    report.line("disc " + std::to_string(disc) + ": " + shown + " (" + std::to_string(size) + " bytes, label " +
                VolumeLabel(disc, layout.discs) + ")");
    return true;
}

bool Plan(const AuthorOptions& options, const Release& release, const std::map<std::string, Bytes>& generated,
          DiscLayout* layout, std::string* error) {
    DiscLayoutInput input;
    input.media = options.media;
    input.capacity = options.capacity;
    input.release = release.sizes;
    input.setupBytes = release.setupBytes;
    for (const auto& [path, bytes] : generated) {
        if (path == "autorun.inf") input.autorunBytes = bytes.size();
        else input.pictures.emplace_back(path, bytes.size());
    }
    return PlanDiscs(input, layout, error);
}

// Bytes the run writes: the disc folders, where a sparse release file takes
// its share of the bytes its file system holds (and a piece more for each
// part, where holes are found in pieces), and the images, whole.
std::uint64_t NeededBytes(const DiscLayout& layout, const Release& release, bool iso) {
    std::map<std::string, std::uint64_t> sizes(release.sizes.begin(), release.sizes.end());
    sizes["setup.exe"] = release.setupBytes;
    const std::map<std::string, std::uint64_t> allocated(release.allocated.begin(), release.allocated.end());
    std::uint64_t bytes = 0;
    for (const DiscFile& f : layout.files) {
        auto held = allocated.find(f.source);
        if (held == allocated.end() || sizes[f.source] == 0) {
            bytes += SectorBytes(f.size);
            continue;
        }
        const double share = static_cast<double>(held->second) / static_cast<double>(sizes[f.source]);
        bytes += std::min(f.size, static_cast<std::uint64_t>(static_cast<double>(f.size) * share) + kHolePieceBytes);
    }
    for (std::uint64_t used : layout.used) bytes += iso ? used : 0;
    return bytes;
}

// What was written, read back against the manifest before it is put in place.
bool CheckWritten(const Target& target, const std::string& release, const AuthorReport& report,
                  std::string* error) {
    report.line("checking the discs written");
    AuthorReport silent{nullptr, report.progress, report.stopped};
    std::vector<std::string> problems;
    if (!VerifyDiscs(target.staging, release, silent, &problems, error, VerifyScope::kWritten)) {
        *error = target.Shown(*error);
        return false;
    }
    if (Stopped(report)) return Interrupted(error);
    if (problems.empty()) return true;
    *error = "the discs written do not verify: " + target.Shown(problems.front()) +
             (problems.size() > 1 ? " (and " + std::to_string(problems.size() - 1) + " more)" : "");
    return false;
}

bool WriteAll(const AuthorOptions& options, const Target& target, const DiscLayout& layout,
              const std::map<std::string, Bytes>& generated, const AuthorReport& report, std::string* error) {
    Manifest manifest{options.media, layout.capacity, layout.discs, options.archive,
                      options.iso ? ManifestImages::kIso : ManifestImages::kNone, {}};
    for (int disc = 1; disc <= layout.discs; ++disc) {
        if (!WriteDisc(options, target, layout, disc, generated, report, &manifest, error)) return false;
    }
    if (!WriteManifest(target.staging + "/" + kManifestName, manifest, error)) {
        *error = target.Shown(*error);
        return false;
    }
    for (const ManifestFile& f : manifest.files) {
        if (f.file.source == "cg.dat" || f.file.source == "sc.dat") {
            report.line("disc " + std::to_string(f.file.disc) + ": " + PartName(f.file) + " = " + f.file.source +
                        " bytes " + std::to_string(f.file.offset) + " to " +
                        std::to_string(f.file.offset + f.file.size));
        }
    }
    for (int disc = 1; options.iso && disc <= layout.discs; ++disc) {
        if (!WriteImage(options, target, layout, disc, report, error)) return false;
    }
    return CheckWritten(target, options.release, report, error);
}

}  // namespace

bool AuthorDiscs(const AuthorOptions& options, const AuthorReport& report, std::string* error) {
    Release release;
    if (!ReadRelease(options.release, ReleaseRules{options.allow64BitPrograms}, &release, error)) return false;
    std::map<std::string, Bytes> generated;
    if (!GeneratedFiles(release, options.archive, &generated, error)) return false;
    DiscLayout layout;
    if (!Plan(options, release, generated, &layout, error)) return false;
    std::string why;
    if (options.iso && !RunProgram({"xorriso", "-version"}, {}, &why)) {
        *error = "xorriso cannot be run for --iso (" + why + "); make deps installs it";
        return false;
    }
    COutputFolder output;
    if (!output.Prepare(options.out, options.release, NeededBytes(layout, release, options.iso), error)) {
        return false;
    }
    for (const std::string& note : release.notes) report.line(note);
    const Target target{output.Staging(), options.out};
    return WriteAll(options, target, layout, generated, report, error) && output.Commit(error);
}
