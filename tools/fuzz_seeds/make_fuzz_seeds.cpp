// make_fuzz_seeds OUT-DIR
// Writes the seed corpora of the fuzz targets into OUT-DIR/<target>/: packed
// files made with the encoder and the archive writer, BMP files of the demo
// pictures, target-folder texts, made-up release folders, the uninstaller's
// command lines and paths and setup.exe's command lines.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "framework/file/archive_index.h"
#include "framework/file/archive_writer.h"
#include "framework/file/lzss_encoder.h"
#include "tools/demo/demo_art.h"
#include "tools/support/file_bytes.h"
#include "tools/support/bmp_writer.h"
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

// UTF-16 text as the system hands it over: little-endian code units.
void AppendUtf16(const std::u16string& text, Bytes* out) {
    for (char16_t unit : text) {
        out->push_back(static_cast<uint8_t>(unit));
        out->push_back(static_cast<uint8_t>(unit >> 8));
    }
}

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
// (the other bits), the rest is the text: Shift-JIS bytes for the path
// routines of the data's names ("\x83\x5C" is "ソ" and "\x95\x5C" is "表":
// their second byte is a backslash), and UTF-16 for what the user typed.
std::vector<Bytes> FolderTexts() {
    const std::string texts[] = {
        "C:\\Program Files", "D:\\", "D:", "D:Games", "d:\\Games\\\\", "\\\\server\\share",
        "C:\\\x83\x5C\x83\x74\x83\x67", "C:\\\x95\x5C", "C:\\\x95\x5C\\", "C:/a//b\\.c",
        "E:\\" + std::string(226, 'a'), "E:\\" + std::string(300, 'a'), "\x95", "1:\\x"};
    const std::u16string typed[] = {
        u"C:\\Program Files (x86)", u"D:\\", u"D:", u"D:Games", u"d:\\Games\\\\",
        u"\\\\server\\share", u"C:\\ソ表ア能ヂ十", u"C:\\ゲーム\\Jürgen\\", u"C:/a//b\\.c",
        u"E:\\" + std::u16string(226, u'ü'), u"E:\\" + std::u16string(300, u'a'), u"Ａ:\\x"};
    std::vector<Bytes> seeds;
    uint8_t options = 0;
    for (const std::string& text : texts) {
        Bytes seed = Of(text);
        seed.insert(seed.begin(), options);
        options = static_cast<uint8_t>(options + 37);
        seeds.push_back(seed);
    }
    for (const std::u16string& text : typed) {
        Bytes seed{options};
        AppendUtf16(text, &seed);
        options = static_cast<uint8_t>(options + 37);
        seeds.push_back(seed);
    }
    return seeds;
}

// One record of a made-up release folder for fuzz_release_check (its
// source says how records are laid out): flags, name, 16-bit length, bytes.
void AddRecord(Bytes* input, uint8_t flags, const std::string& name, const Bytes& bytes) {
    input->push_back(flags);
    input->push_back(static_cast<uint8_t>(name.size()));
    input->insert(input->end(), name.begin(), name.end());
    input->push_back(static_cast<uint8_t>(bytes.size()));
    input->push_back(static_cast<uint8_t>(bytes.size() >> 8));
    input->insert(input->end(), bytes.begin(), bytes.end());
}

// A picture's recipe: width - 1 and height - 1 (16 bits each), a colour.
Bytes Recipe(unsigned width, unsigned height, uint8_t colour) {
    --width;
    --height;
    return Bytes{uint8_t(width), uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8), colour, 40, 200};
}

// The glyph as ImageMagick writes a picture with an alpha channel: a
// 124-byte header, BI_BITFIELDS with byte masks, 32-bit pixels at 138.
Bytes ImageMagick32(const DemoPicture& p) {
    const uint32_t pixelBytes = static_cast<uint32_t>(p.width * p.height * 4);
    Bytes file = BmpHeaders(p.width, p.height, 32, pixelBytes);
    file.resize(138, 0);
    const uint32_t fields[][2] = {{2, 138 + pixelBytes}, {10, 138}, {14, 124}, {30, 3}, {54, 0x00FF0000},
                                  {58, 0x0000FF00},      {62, 0xFF}, {66, 0xFF000000}};
    for (const auto& f : fields) {
        for (int i = 0; i < 4; ++i) file[f[0] + i] = static_cast<uint8_t>(f[1] >> (8 * i));
    }
    for (int y = p.height - 1; y >= 0; --y) {
        for (int x = 0; x < p.width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y * p.width + x);
            file.insert(file.end(), p.rgb.begin() + at * 3, p.rgb.begin() + at * 3 + 3);
            file.push_back(p.alpha.empty() ? 255 : p.alpha[at]);
        }
    }
    return file;
}

// Made-up release folders: a whole release that passes (the pictures as
// recipes but a glyph and its mask), and variants with a 32-bit picture, a
// link, a folder in place of a file, a 64-bit program and single pictures.
std::vector<Bytes> ReleaseFolders() {
    struct File {
        uint8_t flags;
        Bytes bytes;
    };
    std::map<std::string, File> release;
    for (const char* name : {"Sorvane.exe", "bg.dat", "extra.dat", "obj.dat", "cg.dat", "bgm.dat", "se.dat",
                             "voice.dat", "scr.dat", "sc.dat"}) {
        release[name] = {0, Text(20)};
    }
    release["UnInstall.exe"] = {0, SampleProgram(256, 1)};
    release["setup.exe"] = {0, SampleProgram(256, 2)};
    release["obj"] = {1, {}};  // a folder
    char name[32];
    for (int i = 0; i <= 20; ++i) {
        std::snprintf(name, sizeof name, "obj/t00%d_%03d.bmp", i < 10 ? 0 : 1, i < 10 ? i : i - 10);
        release[name] = {64, i < 7 ? Recipe(800, 600, uint8_t(i)) : Recipe(20 + i, 10, uint8_t(i))};
    }
    const DemoPicture glyph = DrawGlyph(3);
    release["obj/t001_003.bmp"] = {0, EncodeBmp(glyph)};
    release["obj/t001_003.alp"] = {0, glyph.alpha};
    std::vector<std::map<std::string, File>> variants(5, release);
    variants[1]["obj/t001_003.bmp"] = {0, ImageMagick32(glyph)};
    variants[1].erase("obj/t001_003.alp");
    variants[2]["voice.dat"] = {1, {}};
    variants[3]["scr.dat"] = {16, Text(5)};
    variants[3]["setup.exe"].flags = 8;
    variants[4]["setup.exe"] = {0, SampleProgram(256, 3, true)};
    std::vector<Bytes> folders;
    for (const auto& variant : variants) {
        folders.emplace_back();
        for (const auto& [path, file] : variant) AddRecord(&folders.back(), file.flags, path, file.bytes);
    }
    for (const Bytes& bmp : BmpFiles()) {
        folders.emplace_back();
        AddRecord(&folders.back(), 0, "obj/t000_008.bmp", bmp);
    }
    return folders;
}

// The uninstaller's inputs, UTF-16 as the system gives them: the arguments,
// the registered program, the running program and the temporary folder,
// separated by zero code units.
std::vector<Bytes> UninstallInputs() {
    const std::u16string folder = u"C:\\Program Files (x86)\\Vintal\\Sorvane";
    const std::u16string japanese = u"D:\\ソフト\\表";
    const std::u16string user = u"C:\\ゲーム\\Jürgen\\Vintal\\Sorvane";
    const std::u16string inputs[][4] = {
        {u"", folder + u"\\Sorvane.exe", folder + u"\\UnInstall.exe", u"C:\\Temp\\"},
        {u"/S", folder + u"\\Sorvane.exe", folder + u"\\UnInstall.exe", u"C:\\Temp\\"},
        {u"/cleanup 1234 \"" + folder + u"\"", folder + u"\\Sorvane.exe",
         u"C:\\Temp\\uni1A2B.tmp", u"C:\\Temp\\"},
        {u"/cleanup 7 \"" + japanese + u"\"", japanese + u"\\Sorvane.exe",
         japanese + u"\\UnInstall.exe", japanese + u"\\"},
        {u"/cleanup 9 \"" + user + u"\"", user + u"\\SORVANE.EXE", user + u"\\UnInstall.exe",
         u"C:\\Users\\José\\Temp"},
        {u"/x \"/S\"", u"c:/program files (x86)/vintal/sorvane/Sorvane.exe",
         folder + u"\\UnInstall.exe", u""},
        {u"/cleanup 18446744073709551615 C:\\x", u"Sorvane.exe", u"M:\\data\\data\\UnInstall.exe",
         u"C:\\x"},
    };
    std::vector<Bytes> seeds;
    for (const auto& input : inputs) {
        Bytes seed;
        for (int i = 0; i < 4; ++i) {
            if (i) AppendUtf16(std::u16string(1, u'\0'), &seed);
            AppendUtf16(input[i], &seed);
        }
        seeds.push_back(seed);
    }
    return seeds;
}

// setup.exe's command lines as the system gives them: UTF-16 units, low
// byte first.
std::vector<Bytes> SetupCommandLines() {
    const std::u16string lines[] = {
        u"\"M:\\setup.exe\"",
        u"setup.exe /S",
        u"\"M:\\setup.exe\" /S /D=C:\\Games",
        u"setup.exe /s \"/D=C:\\Program Files (x86)\"",
        u"setup.exe /S /D=\"C:\\\u30B2\u30FC\u30E0\\J\u00FCrgen\"",
        u"setup.exe /S /D=C:\\\xD83D\xDE00\tx\r\n",
        u"setup.exe /D=C:\\x /X",
    };
    std::vector<Bytes> seeds;
    for (const std::u16string& line : lines) {
        Bytes seed;
        for (char16_t unit : line) {
            seed.push_back(static_cast<uint8_t>(unit & 0xFF));
            seed.push_back(static_cast<uint8_t>(unit >> 8));
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
              WriteCorpus(out + "/fuzz_release_check", ReleaseFolders()) &&
              WriteCorpus(out + "/fuzz_uninstall_command", UninstallInputs()) &&
              WriteCorpus(out + "/fuzz_setup_command", SetupCommandLines());
    if (!ok) std::fprintf(stderr, "make_fuzz_seeds: cannot write below %s\n", out.c_str());
    return ok ? 0 : 1;
}
