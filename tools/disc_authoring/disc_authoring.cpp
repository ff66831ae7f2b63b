#include "tools/disc_authoring/disc_authoring.h"

#include <map>

#include "tools/disc_authoring/disc_io.h"
#include "tools/disc_authoring/disc_release.h"

const char kManifestName[] = "manifest.txt";
const char kAutorunText[] = "[autorun]\r\nopen=setup.exe\r\nicon=setup.exe\r\n";

namespace {

// Lines on progress: the bytes of each disc as they are written or read.
struct DiscProgress {
    const AuthorReport& report;
    int disc;
    std::uint64_t total;
    std::uint64_t before = 0;
    ByteProgress For() {
        // The disc's last byte is reported once, by WriteDisc.
        return [this](std::uint64_t done) {
            if (report.progress && before + done < total) report.progress(disc, before + done, total);
        };
    }
};

std::uint64_t DiscBytes(const std::vector<DiscFile>& files, int disc) {
    std::uint64_t total = 0;
    for (const DiscFile& f : files) total += f.disc == disc ? f.size : 0;
    return total;
}

bool WriteDisc(const AuthorOptions& options, const DiscLayout& layout, int disc,
               const std::map<std::string, Bytes>& generated, const AuthorReport& report,
               Manifest* manifest, std::string* error) {
    const std::string root = DiscFolder(options.out, disc);
    DiscProgress progress{report, disc, DiscBytes(layout.files, disc)};
    for (const DiscFile& f : layout.files) {
        if (f.disc != disc) continue;
        const std::string to = root + "/" + f.path;
        if (!MakeFolders(to.substr(0, to.rfind('/')))) {
            *error = to + ": cannot create its folder";
            return false;
        }
        ManifestFile entry{f, ""};
        auto made = generated.find(f.source);
        bool ok;
        if (made != generated.end()) {
            ok = WriteWholeFile(to, made->second);
            entry.sha256 = HashBytes(made->second);
        } else {
            ok = CopyRange(options.release + "/" + f.source, f.offset, f.size, to, progress.For(), &entry.sha256);
        }
        if (!ok) {
            *error = to + ": cannot be written";
            return false;
        }
        progress.before += f.size;
        manifest->files.push_back(entry);
    }
    if (report.progress) report.progress(disc, progress.total, progress.total);
    return true;
}

bool WriteImage(const AuthorOptions& options, const DiscLayout& layout, int disc, const AuthorReport& report,
                std::string* error) {
    const std::string image = DiscImage(options.out, disc);
    if (!RunProgram({"xorriso", "-as", "mkisofs", "-quiet", "-r", "-J", "-joliet-long", "-V",
                     VolumeLabel(disc, layout.discs), "-o", image, DiscFolder(options.out, disc)})) {
        *error = image + ": xorriso could not write the image (is xorriso installed? make deps)";
        return false;
    }
    std::uint64_t size = 0;
    if (!RegularFileSize(image, &size)) {
        *error = image + ": missing after xorriso";
        return false;
    }
    if (options.media != DiscMedia::kFolder && size > layout.capacity) {
        *error = image + ": " + std::to_string(size - layout.capacity) + " bytes more than the disc holds";
        return false;
    }
    report.line("disc " + std::to_string(disc) + ": " + image + " (" + std::to_string(size) + " bytes, label " +
                VolumeLabel(disc, layout.discs) + ")");
    return true;
}

}  // namespace

bool AuthorDiscs(const AuthorOptions& options, const AuthorReport& report, std::string* error) {
    Release release;
    if (!ReadRelease(options.release, &release, error)) return false;
    std::map<std::string, Bytes> generated;
    if (!GeneratedFiles(release, options.archive, &generated, error)) return false;

    DiscLayoutInput input;
    input.media = options.media;
    input.capacity = options.capacity;
    input.release = release.sizes;
    input.setupBytes = release.setupBytes;
    input.autorunBytes = generated["autorun.inf"].size();
    for (const auto& [path, bytes] : generated) {
        if (path != "autorun.inf") input.pictures.emplace_back(path, bytes.size());
    }
    DiscLayout layout;
    if (!PlanDiscs(input, &layout, error)) return false;

    std::vector<std::string> existing;
    if (ListFolder(options.out, &existing) && !existing.empty()) {
        *error = options.out + ": not empty; give a new or empty folder";
        return false;
    }
    if (!MakeFolders(options.out)) {
        *error = options.out + ": cannot be created";
        return false;
    }
    for (const std::string& name : release.rewritten) {
        report.line("rewrote obj/" + name + " into the classic 54-byte header with bottom-up rows");
    }
    Manifest manifest{options.media, layout.capacity, layout.discs, options.archive, {}};
    for (int disc = 1; disc <= layout.discs; ++disc) {
        if (!WriteDisc(options, layout, disc, generated, report, &manifest, error)) return false;
    }
    if (!WriteManifest(options.out + "/" + kManifestName, manifest)) {
        *error = options.out + "/" + kManifestName + ": cannot be written";
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
        if (!WriteImage(options, layout, disc, report, error)) return false;
    }
    return true;
}

