// make_fuzz_seeds OUT-DIR
// Writes the seed corpora of the fuzz targets into OUT-DIR/<target>/: packed
// files made with the encoder and the archive writer, BMP files of the demo
// pictures, target-folder texts and the uninstaller's command lines and
// paths.
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "framework/file/archive_index.h"
#include "framework/file/archive_writer.h"
#include "framework/file/lzss_encoder.h"
#include "tools/demo/demo_art.h"
#include "tools/support/file_bytes.h"
#include "tools/support/sample_data.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(std::size_t n) { return SampleText(n, 1); }
Bytes Random(std::size_t n, unsigned seed) { return SampleRandom(n, seed); }
Bytes Runs(std::size_t n) { return SampleRuns(n, 1, 1, 40, 256); }

bool WriteCorpus(const std::string& dir, const std::vector<Bytes>& seeds) {
    mkdir(dir.c_str(), 0755);
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        if (!WriteWholeFile(dir + "/seed" + std::to_string(i), seeds[i])) return false;
    }
    return true;
}

std::vector<Bytes> Inputs() {
    return {Bytes{}, Text(300), Text(3000), Random(200, 1), Runs(2000), Bytes(500, 0),
            Random(40, 2)};
}

Bytes Of(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Whole and cut BMP files of a few sizes (row padding 0 to 3 bytes).
std::vector<Bytes> BmpFiles() {
    std::vector<Bytes> files;
    for (int glyph : {0, 7, 10}) files.push_back(EncodeBmp(DrawGlyph(glyph)));
    for (int width : {1, 2, 3, 5}) {
        DemoPicture picture;
        picture.width = width;
        picture.height = 3;
        picture.rgb = Random(static_cast<std::size_t>(width) * 9, 4 + width);
        files.push_back(EncodeBmp(picture));
    }
    Bytes cut = EncodeBmp(DrawProgressFrame());
    cut.resize(cut.size() / 3);
    files.push_back(cut);
    return files;
}

// Folder texts: byte 0 picks the code page (bit 0) and a small buffer size
// (the other bits), the rest is what the user typed. "\x83\x5C" is "ソ" and
// "\x95\x5C" is "表": their second byte is a backslash.
std::vector<Bytes> FolderTexts() {
    const std::string texts[] = {
        "C:\\Program Files", "D:\\", "D:", "D:Games", "d:\\Games\\\\", "\\\\server\\share",
        "C:\\\x83\x5C\x83\x74\x83\x67", "C:\\\x95\x5C", "C:\\\x95\x5C\\", "C:/a//b\\.c",
        "E:\\" + std::string(226, 'a'), "E:\\" + std::string(300, 'a'), "\x95", "1:\\x"};
    std::vector<Bytes> seeds;
    uint8_t options = 0;
    for (const std::string& text : texts) {
        Bytes seed = Of(text);
        seed.insert(seed.begin(), options);
        options = static_cast<uint8_t>(options + 37);
        seeds.push_back(seed);
    }
    return seeds;
}

// The uninstaller's inputs: byte 0 picks the code page, then the arguments,
// the registered program, the running program and the temporary folder,
// separated by zero bytes.
std::vector<Bytes> UninstallInputs() {
    const std::string folder = "C:\\Program Files (x86)\\Vintal\\Sorvane";
    const std::string sjis = "D:\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C";
    const std::string inputs[][4] = {
        {"", folder + "\\Sorvane.exe", folder + "\\UnInstall.exe", "C:\\Temp\\"},
        {"/S", folder + "\\Sorvane.exe", folder + "\\UnInstall.exe", "C:\\Temp\\"},
        {"/cleanup 1234 \"" + folder + "\"", folder + "\\Sorvane.exe",
         "C:\\Temp\\uni1A2B.tmp", "C:\\Temp\\"},
        {"/cleanup 7 \"" + sjis + "\"", sjis + "\\Sorvane.exe", sjis + "\\UnInstall.exe",
         sjis + "\\"},
        {"/x \"/S\"", "c:/program files (x86)/vintal/sorvane/Sorvane.exe",
         folder + "\\UnInstall.exe", ""},
        {"/cleanup 18446744073709551615 C:\\x", "Sorvane.exe", "M:\\data\\data\\UnInstall.exe",
         "C:\\x"},
    };
    std::vector<Bytes> seeds;
    uint8_t options = 0;
    for (const auto& input : inputs) {
        Bytes seed{options++};
        for (int i = 0; i < 4; ++i) {
            if (i) seed.push_back(0);
            seed.insert(seed.end(), input[i].begin(), input[i].end());
        }
        seeds.push_back(seed);
    }
    return seeds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds OUT-DIR\n");
        return 2;
    }
    std::string out = argv[1];
    mkdir(out.c_str(), 0755);

    std::vector<Bytes> streams, packed;
    for (const Bytes& in : Inputs()) {
        streams.push_back(LzssEncode(in));
        packed.push_back(MakeSinglePackedFile(in));
    }
    // Hand-made corner cases: eight literals, a zero-ring reference, an
    // overlapping reference, a reference cut by the end of input.
    streams.push_back(Bytes{0xFF, 1, 2, 3, 4, 5, 6, 7, 8});
    streams.push_back(Bytes{0x00, 0x00, 0x00});
    streams.push_back(Bytes{0x03, 'a', 'b', 0xEE, 0xF3});
    streams.push_back(Bytes{0x01, 'q', 0xEE});
    packed.push_back(Bytes{0, 0, 0, 0});

    std::vector<Bytes> archives;
    CArchiveWriter small, nested, mixed;
    small.Add("a", Text(100));
    nested.Add("t000_000.bmp", Runs(700));
    nested.Add("sub\\b.bin", Random(100, 3));
    nested.Add("sub/c.txt", Text(400));
    mixed.Add("\x83\x5C\x83\x74\x83\x67\\x.txt", Text(50));
    mixed.Add(std::string(kArchiveNameSize - 1, 'n'), Bytes(30, 7));
    archives.push_back(small.Build());
    archives.push_back(nested.Build());
    archives.push_back(mixed.Build());
    archives.push_back(Bytes(kArchiveRecordSize, 0));

    bool ok = WriteCorpus(out + "/fuzz_lzss_decoder", streams) &&
              WriteCorpus(out + "/fuzz_single_packed_file", packed) &&
              WriteCorpus(out + "/fuzz_archive_index", archives) &&
              WriteCorpus(out + "/fuzz_bmp_format", BmpFiles()) &&
              WriteCorpus(out + "/fuzz_install_folder", FolderTexts()) &&
              WriteCorpus(out + "/fuzz_uninstall_command", UninstallInputs());
    if (!ok) std::fprintf(stderr, "make_fuzz_seeds: cannot write below %s\n", out.c_str());
    return ok ? 0 : 1;
}
