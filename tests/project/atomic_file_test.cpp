#include "project/atomic_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "tape_builders.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

bool WriteAll(const fs::path& path, const Bytes& bytes) {
  AtomicFileWriter writer;
  return writer.Open(path.string()) && writer.Write(bytes.data(), bytes.size()) && writer.Commit();
}

int FileCount(const fs::path& folder) {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++n;
  return n;
}

TEST(AtomicFileWriter, ReplacesLongerFileExactly) {
  TempDir dir;
  WriteFileBytes(dir / "f", Bytes(10000, 1));
  ASSERT_TRUE(WriteAll(dir / "f", {1, 2, 3}));
  EXPECT_EQ(ReadFileBytes(dir / "f"), (Bytes{1, 2, 3}));
  EXPECT_EQ(FileCount(dir.path()), 1);
}

TEST(AtomicFileWriter, LargeWritesPassTheBufferWhole) {
  TempDir dir;
  Bytes big = testing::RandomBytes(3 << 20);
  AtomicFileWriter writer;
  ASSERT_TRUE(writer.Open((dir / "big").string()));
  ASSERT_TRUE(writer.Write(big.data(), 10));
  ASSERT_TRUE(writer.Write(big.data() + 10, big.size() - 10));
  ASSERT_TRUE(writer.Commit());
  EXPECT_EQ(ReadFileBytes(dir / "big"), big);
}

TEST(AtomicFileWriter, WriteAtPatchesBytesAlreadyWritten) {
  TempDir dir;
  AtomicFileWriter writer;
  ASSERT_TRUE(writer.Open((dir / "h").string()));
  Bytes zeros(8, 0);
  ASSERT_TRUE(writer.Write(zeros.data(), zeros.size()));
  std::uint8_t patch[2] = {0xAB, 0xCD};
  ASSERT_TRUE(writer.WriteAt(3, patch, 2));
  EXPECT_FALSE(writer.WriteAt(7, patch, 2)) << "past the end must be refused";
  EXPECT_TRUE(writer.failed());
  EXPECT_FALSE(writer.Commit());
  EXPECT_FALSE(fs::exists(dir / "h"));
  EXPECT_EQ(FileCount(dir.path()), 0);
}

TEST(AtomicFileWriter, DroppedWithoutCommitLeavesTargetAndNoTemporary) {
  TempDir dir;
  WriteFileBytes(dir / "f", {9, 9});
  {
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open((dir / "f").string()));
    Bytes b{1};
    writer.Write(b.data(), 1);
  }
  EXPECT_EQ(ReadFileBytes(dir / "f"), (Bytes{9, 9}));
  EXPECT_EQ(FileCount(dir.path()), 1);
}

TEST(AtomicFileWriter, KeepsPermissionBitsOfReplacedFile) {
  TempDir dir;
  WriteFileBytes(dir / "f", {1});
  ASSERT_EQ(chmod((dir / "f").c_str(), 0640), 0);
  ASSERT_TRUE(WriteAll(dir / "f", {2}));
  struct stat st{};
  ASSERT_EQ(stat((dir / "f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(AtomicFileWriter, SavesThroughSymbolicLinkAndKeepsTheLink) {
  TempDir dir;
  fs::create_directory(dir / "real");
  WriteFileBytes(dir / "real" / "t.tap", {1});
  fs::create_symlink("real/t.tap", dir / "link.tap");
  ASSERT_TRUE(WriteAll(dir / "link.tap", {5, 6}));
  EXPECT_TRUE(fs::is_symlink(dir / "link.tap"));
  EXPECT_EQ(ReadFileBytes(dir / "real" / "t.tap"), (Bytes{5, 6}));
}

TEST(AtomicFileWriter, DanglingLinkCreatesItsTarget) {
  TempDir dir;
  fs::create_symlink("new.tap", dir / "link.tap");
  ASSERT_TRUE(WriteAll(dir / "link.tap", {7}));
  EXPECT_TRUE(fs::is_symlink(dir / "link.tap"));
  EXPECT_EQ(ReadFileBytes(dir / "new.tap"), Bytes{7});
}

TEST(AtomicFileWriter, CyrillicAndSpacesInPath) {
  TempDir dir;
  fs::create_directory(dir / "мои игры");
  ASSERT_TRUE(WriteAll(dir / "мои игры" / "лента 1.tap", {3}));
  EXPECT_EQ(ReadFileBytes(dir / "мои игры" / "лента 1.tap"), Bytes{3});
}

TEST(AtomicFileWriter, OpenFailsWhereNoFileCanBeMade) {
  TempDir dir;
  AtomicFileWriter writer;
  EXPECT_FALSE(writer.Open((dir / "nope" / "f").string()));
  EXPECT_FALSE(writer.error().empty());
  EXPECT_FALSE(writer.Open(""));
}

}  // namespace
}  // namespace reelo
