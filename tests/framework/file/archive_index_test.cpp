#include "framework/file/archive_index.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "framework/file/archive_writer.h"
#include "framework/file/lzss_encoder.h"
#include "tests/framework/file/packed_test_util.h"

namespace {

// "ソフト": ソ is 83 5C, whose second byte is the code of '\'.
const std::string kSoft = "\x83\x5C\x83\x74\x83\x67";

bool Lookup(const Bytes& archive, const std::string& name, Bytes* data) {
    CMemoryFile file;
    EXPECT_TRUE(file.Assign(archive));
    return ReadArchiveFile(file, name.c_str(), Cp932LeadBytes(), data);
}

// A record as the disc holds it.
Bytes Record(const std::string& name, uint32_t decoded, uint32_t compressed, uint32_t offset) {
    Bytes r(kArchiveRecordSize, 0);
    std::memcpy(r.data(), name.data(), std::min(name.size(), kArchiveNameSize));
    Store32(r, 128, decoded ^ kArchiveMask);
    Store32(r, 132, compressed ^ kArchiveMask);
    Store32(r, 136, offset ^ kArchiveMask);
    return r;
}

Bytes Terminator() { return Bytes(kArchiveRecordSize, 0); }

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(ArchiveIndex, WrittenArchivesReadBack) {
    std::mt19937 random(11);
    CArchiveWriter writer;
    std::vector<std::pair<std::string, Bytes>> files;
    for (int i = 0; i < 20; ++i) {
        Bytes data(random() % 9000);
        for (auto& b : data) b = static_cast<uint8_t>(random() % (1 + i));
        std::string name = "dir" + std::to_string(i % 3) + "\\file" + std::to_string(i) + ".bin";
        files.emplace_back(name, data);
        ASSERT_TRUE(writer.Add(name, data));
    }
    Bytes archive = writer.Build();
    for (const auto& f : files) {
        Bytes out;
        ASSERT_TRUE(Lookup(archive, f.first, &out)) << f.first;
        EXPECT_EQ(out, f.second) << f.first;
    }
}

TEST(ArchiveIndex, NamesMatchAcrossSeparatorsButNotLetterCase) {
    CArchiveWriter writer;
    ASSERT_TRUE(writer.Add("obj\\back.bmp", ToBytes("stored with backslash")));
    ASSERT_TRUE(writer.Add("obj/front.bmp", ToBytes("stored with slash")));
    ASSERT_TRUE(writer.Add(kSoft + "\\a.txt", ToBytes("japanese folder")));
    Bytes archive = writer.Build();
    struct Case {
        std::string request;
        bool found;
        std::string contents;
    };
    const Case cases[] = {
        {"obj\\back.bmp", true, "stored with backslash"},
        {"obj/back.bmp", true, "stored with backslash"},
        {"obj\\front.bmp", true, "stored with slash"},
        {"obj/front.bmp", true, "stored with slash"},
        {"OBJ\\back.bmp", false, ""},
        {"obj\\Back.bmp", false, ""},
        {"obj\\back.bm", false, ""},
        {"obj\\back.bmpx", false, ""},
        {kSoft + "\\a.txt", true, "japanese folder"},
        {kSoft + "/a.txt", true, "japanese folder"},
        // A byte-wise tool turns the 5C inside ソ as well; the lookup does
        // the same first, so this request finds the entry.
        {"\x83/\x83\x74\x83\x67\\a.txt", true, "japanese folder"},
    };
    for (const Case& c : cases) {
        Bytes out;
        EXPECT_EQ(Lookup(archive, c.request, &out), c.found) << c.request;
        EXPECT_EQ(std::string(out.begin(), out.end()), c.contents) << c.request;
    }
}

TEST(ArchiveIndex, NamesWithSoAreFoundHoweverTheirSeparatorsWereStored) {
    // "ソ\a.txt" as the three ways of storing it: unchanged, with every 5C
    // byte made '/' (a tool that swaps bytes), with only the separator made
    // '/' (a tool that reads characters).
    const std::string unchanged = kSoft + "\\a.txt";
    const std::string byteSlash = "\x83/\x83\x74\x83\x67/a.txt";
    const std::string charSlash = kSoft + "/a.txt";
    for (const std::string& stored : {unchanged, byteSlash, charSlash}) {
        CArchiveWriter writer;
        ASSERT_TRUE(writer.Add("other.txt", ToBytes("other")));
        ASSERT_TRUE(writer.Add(stored, ToBytes("found")));
        const Bytes archive = writer.Build();
        for (const std::string& request : {unchanged, charSlash}) {
            Bytes out;
            EXPECT_TRUE(Lookup(archive, request, &out)) << "stored " << stored << ", asked " << request;
            EXPECT_EQ(out, ToBytes("found")) << "stored " << stored << ", asked " << request;
        }
    }
    // Both tools' entries in one archive: the byte-wise form wins even when
    // the other comes first.
    CArchiveWriter writer;
    ASSERT_TRUE(writer.Add(charSlash, ToBytes("by characters")));
    ASSERT_TRUE(writer.Add(byteSlash, ToBytes("by bytes")));
    Bytes out;
    EXPECT_TRUE(Lookup(writer.Build(), unchanged, &out));
    EXPECT_EQ(out, ToBytes("by bytes"));
}

TEST(ArchiveIndex, TerminatorIsTestedOnTheStoredFields) {
    Bytes stream = LzssEncode(ToBytes("abc"));
    // A record whose fields are zero after the mask (stored 0x006D6D6D) is
    // not the end; the record after the stored zeros is never reached.
    uint32_t offset = 4 * kArchiveRecordSize;
    Bytes maskedZero(kArchiveRecordSize, 0);
    std::memcpy(maskedZero.data(), "empty", 5);
    Store32(maskedZero, 128, kArchiveMask);
    Store32(maskedZero, 132, kArchiveMask);
    Store32(maskedZero, 136, kArchiveMask);
    Bytes archive = Join({maskedZero, Record("a", 3, uint32_t(stream.size()), offset), Terminator(),
                          Record("hidden", 3, uint32_t(stream.size()), offset), stream});
    Bytes out;
    EXPECT_TRUE(Lookup(archive, "a", &out));
    EXPECT_EQ(out, ToBytes("abc"));
    EXPECT_FALSE(Lookup(archive, "hidden", &out));
    EXPECT_TRUE(Lookup(archive, "empty", &out));
    EXPECT_TRUE(out.empty());
}

TEST(ArchiveIndex, RejectsEntriesThatBreakTheLimits) {
    Bytes stream = LzssEncode(ToBytes("abcabcabcabc"));
    uint32_t n = static_cast<uint32_t>(stream.size());
    uint32_t offset = 2 * kArchiveRecordSize;
    uint32_t end = offset + n;
    struct Case {
        const char* what;
        uint32_t decoded, compressed, at;
    };
    const Case cases[] = {
        {"stream past the end", 12, n + 1, offset},
        {"offset past the end", 12, n, end + 1},
        {"offset plus size wraps 32 bits", 12, n, 0xFFFFFFF0u},
        {"compressed size near 4 GiB", 12, 0xFFFFFF00u, offset},
        {"decoded size above what the stream can give", 9 * n + 1, n, offset},
        {"decoded size of 2 GiB or more", 0x80000000u, n, offset},
    };
    for (const Case& c : cases) {
        Bytes archive = Join({Record("x", c.decoded, c.compressed, c.at), Terminator(), stream});
        Bytes out = {1};
        EXPECT_FALSE(Lookup(archive, "x", &out)) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;
    }
    Bytes good = Join({Record("x", 12, n, offset), Terminator(), stream});
    Bytes out;
    EXPECT_TRUE(Lookup(good, "x", &out));
    EXPECT_EQ(out, ToBytes("abcabcabcabc"));
}

TEST(ArchiveIndex, IndexEndsAtTheEndOfTheFile) {
    Bytes one = Record("a", 1, 1, 0);
    struct Case {
        const char* what;
        Bytes archive;
    };
    const Case cases[] = {
        {"empty file", {}},
        {"no terminator", Join({one, one})},
        {"a cut record", Join({one, Bytes(100, 'b')})},
    };
    for (const Case& c : cases) {
        Bytes out;
        EXPECT_FALSE(Lookup(c.archive, "b", &out)) << c.what;
    }
}

TEST(ArchiveIndex, NameWithoutTerminatorIsComparedWithinItsField) {
    std::string full(kArchiveNameSize, 'n');
    ArchiveEntry entry;
    Bytes record = Record(full, 1, 1, 1);
    uint8_t raw[kArchiveRecordSize];
    std::memcpy(raw, record.data(), sizeof raw);
    ASSERT_TRUE(ParseArchiveRecord(raw, &entry));
    EXPECT_TRUE(ArchiveNameEquals(entry, full.c_str()));
    EXPECT_FALSE(ArchiveNameEquals(entry, (full + "n").c_str()));
    EXPECT_FALSE(ArchiveNameEquals(entry, full.substr(1).c_str()));
    // Lookups of such names neither read past the record nor match longer names.
    Bytes archive = Join({record, Terminator()});
    Bytes out;
    EXPECT_FALSE(Lookup(archive, full + "n", &out));
}

TEST(ArchiveIndex, ReadShorterThanTheSizeFails) {
    CArchiveWriter writer;
    ASSERT_TRUE(writer.Add("a", ToBytes("some text some text")));
    Bytes archive = writer.Build();
    Bytes cut(archive.begin(), archive.end() - 3);
    ShortReadFile file(cut, static_cast<int32_t>(archive.size()));
    Bytes out;
    EXPECT_FALSE(ReadArchiveFile(file, "a", Cp932LeadBytes(), &out));
}

TEST(ArchiveWriter, RefusesNamesThatDoNotFitARecord) {
    CArchiveWriter writer;
    EXPECT_FALSE(writer.Add("", ToBytes("x")));
    EXPECT_FALSE(writer.Add(std::string(kArchiveNameSize, 'a'), ToBytes("x")));
    EXPECT_TRUE(writer.Add(std::string(kArchiveNameSize - 1, 'a'), ToBytes("x")));
    EXPECT_FALSE(writer.Add(std::string("a\0b", 3), ToBytes("x")));
    EXPECT_EQ(writer.Count(), 1u);
}

TEST(ArchiveIndex, NameFormsTurnOnlyRealSeparators) {
    struct Case {
        std::string in;
        bool slash;
        std::string out;
    };
    const Case cases[] = {
        {"a\\b/c", true, "a/b/c"},
        {"a\\b/c", false, "a\\b\\c"},
        {kSoft + "\\x", true, kSoft + "/x"},
        {"\x83/x", false, "\x83/x"},  // '/' as a second byte stays
    };
    for (const Case& c : cases) {
        char out[64];
        ASSERT_TRUE(ArchiveNameForm(out, sizeof out, c.in.c_str(), c.slash, Cp932LeadBytes()));
        EXPECT_EQ(std::string(out), c.out);
    }
    char small[4];
    EXPECT_FALSE(ArchiveNameForm(small, sizeof small, "abcd", true, Cp932LeadBytes()));
    EXPECT_STREQ(small, "");
}

}  // namespace
