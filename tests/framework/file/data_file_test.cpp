#include "framework/file/data_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/file/plain_file.h"
#include "tests/support/scratch.h"

namespace {

std::string ReadAll(CFileImpl& file) {
    std::string bytes(static_cast<std::size_t>(file.Size()), '\0');
    if (!bytes.empty()) bytes.resize(file.Read(&bytes[0], 1, bytes.size()));
    return bytes;
}

TEST(DataFile, OpensALooseFileAsPlainFile) {
    ScratchDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "loose.bin", "loose bytes"));
    CDataFile file;
    ASSERT_TRUE(file.Open((dir / "loose.bin").c_str()));
    EXPECT_NE(dynamic_cast<CPlainFile*>(file.Implementation()), nullptr);
    EXPECT_EQ(ReadAll(file), "loose bytes");
    file.Close();
    EXPECT_EQ(file.Implementation(), nullptr);
    EXPECT_EQ(file.Size(), 0);
}

TEST(DataFile, CreateMakesAPlainFile) {
    ScratchDir dir;
    CDataFile file;
    ASSERT_TRUE(file.Create((dir / "made.bin").c_str()));
    EXPECT_EQ(file.Write("xyz", 1, 3), 3u);
    file.Close();
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(dir / "made.bin", &bytes));
    EXPECT_EQ(bytes, "xyz");
    EXPECT_FALSE(file.Create((dir / "no folder\\made.bin").c_str()));
    EXPECT_EQ(file.Implementation(), nullptr);
}

}  // namespace
