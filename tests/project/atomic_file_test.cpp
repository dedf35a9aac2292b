#include "project/atomic_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "file_size_limit.h"
#include "project/file_calls.h"
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

// A gathered write the system takes only in part (as it may, e.g. near a size
// limit, or when a signal arrives) goes on from the byte where it stopped.
std::size_t writevLimit = 0;  // the most bytes one writev takes (0: all)
int writevCalls = 0;

ssize_t LimitedWritev(int fd, const iovec* pieces, int count) {
  ++writevCalls;
  if (writevLimit == 0) return ::writev(fd, pieces, count);
  std::size_t left = writevLimit;
  Bytes taken;
  for (int i = 0; i < count && left > 0; ++i) {
    const std::size_t n = std::min(left, pieces[i].iov_len);
    const auto* from = static_cast<const std::uint8_t*>(pieces[i].iov_base);
    taken.insert(taken.end(), from, from + n);
    left -= n;
  }
  return ::write(fd, taken.data(), taken.size());
}

TEST(AtomicFileWriter, PiecesAreWrittenInOrderWhateverEachCallTakes) {
  const Bytes small = {1, 2, 3};
  const Bytes big = testing::RandomBytes(70000, 5);
  const Bytes ones(3000, 1);  // more pieces than one call may take
  std::vector<iovec> pieces = {{nullptr, 0}, {const_cast<std::uint8_t*>(small.data()), 3},
                               {const_cast<std::uint8_t*>(big.data()), big.size()}, {nullptr, 0}};
  for (const std::uint8_t& one : ones) pieces.push_back({const_cast<std::uint8_t*>(&one), 1});
  pieces.push_back({const_cast<std::uint8_t*>(small.data()), 2});
  Bytes expected = {9};
  expected.insert(expected.end(), small.begin(), small.end());
  expected.insert(expected.end(), big.begin(), big.end());
  expected.insert(expected.end(), ones.begin(), ones.end());
  expected.insert(expected.end(), {1, 2, 7});

  struct Row {
    const char* name;
    std::size_t limit;
    int calls;  // writev calls the pieces take
  } rows[] = {{"whole", 0, 3}, {"part of a piece a call", 50000, 4}, {"1000 bytes a call", 1000, 74}};
  for (const Row& row : rows) {
    TempDir dir;
    FileCalls calls = SystemFileCalls();
    calls.writev = LimitedWritev;
    writevLimit = row.limit;
    writevCalls = 0;
    ScopedFileCalls scoped(calls);
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open((dir / "f").string()));
    ASSERT_TRUE(writer.Write(expected.data(), 1));  // buffered, so written first
    ASSERT_TRUE(writer.WritePieces(pieces.data(), pieces.size())) << row.name;
    ASSERT_TRUE(writer.Write(expected.data() + expected.size() - 1, 1));
    ASSERT_TRUE(writer.Commit()) << row.name;
    EXPECT_EQ(writer.size(), expected.size()) << row.name;
    EXPECT_EQ(ReadFileBytes(dir / "f"), expected) << row.name;
    EXPECT_EQ(writevCalls, row.calls) << row.name;
  }
}

// Room set aside for the file is a hint: the file holds exactly what was
// written, room left past its end is given back, and a save that cannot be
// written whole (here a file-size limit below the bytes, as on a full disk)
// fails and leaves the old file and no temporary, whatever was set aside, and
// however much of it was already on its way to the disk; no file is left open.
int OpenFiles() {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

TEST(AtomicFileWriter, ReservedRoomLeavesTheFileAsWritten) {
  const int openBefore = OpenFiles();
  struct Row {
    const char* name;
    std::uint64_t reserve;
    std::size_t bytes;
    std::uint64_t limit;  // 0: none
    bool saved;
    std::size_t piece = 0;  // bytes a Write (0: all in one)
    std::size_t oldSize = 4;
  } rows[] = {
      {"set aside more than written", 8 << 20, 1000, 0, true},
      {"set aside exactly", 300000, 300000, 0, true},
      {"set aside less", 1000, 300000, 0, true},
      {"set aside past the size limit", 8 << 20, 300000, 100000, false},
      {"set aside within the limit, written past it", 50000, 300000, 100000, false},
      {"written in pieces, many megabytes", 0, 13 << 20, 0, true, (1 << 20) + 3},
      {"cut off after megabytes on their way to the disk", 13 << 20, 13 << 20, 9 << 20, false, (1 << 20) + 3},
      {"over a file of megabytes", 0, 300000, 0, true, 0, 3 << 20},
      {"cut off over a file of megabytes", 0, 300000, 100000, false, 0, 3 << 20},
  };
  for (const Row& row : rows) {
    TempDir dir;
    const Bytes old(row.oldSize, 4);
    WriteFileBytes(dir / "f", old);
    const Bytes bytes = testing::RandomBytes(row.bytes, 3);
    auto save = [&] {
      AtomicFileWriter writer;
      if (!writer.Open((dir / "f").string())) return 2;
      writer.Reserve(row.reserve);
      if (row.piece != 0) writer.StartWritebackEarly();
      const std::size_t piece = row.piece == 0 ? bytes.size() : row.piece;
      for (std::size_t at = 0; at < bytes.size(); at += piece) {
        if (!writer.Write(bytes.data() + at, std::min(piece, bytes.size() - at))) return 1;
      }
      return writer.Commit() ? 0 : 1;
    };
    const int status = row.limit == 0 ? save() : testing::ExitStatusUnderFileSizeLimit(row.limit, save);
    EXPECT_EQ(status, row.saved ? 0 : 1) << row.name;
    EXPECT_EQ(ReadFileBytes(dir / "f"), row.saved ? bytes : old) << row.name;
    EXPECT_EQ(FileCount(dir.path()), 1) << row.name;
    struct stat st{};
    ASSERT_EQ(stat((dir / "f").c_str(), &st), 0);
    // Blocks of 512 bytes: at most the bytes rounded up to the file system's
    // allocation unit, not the room set aside.
    EXPECT_LE(static_cast<std::uint64_t>(st.st_blocks) * 512, (row.saved ? row.bytes : old.size()) + 65536)
        << row.name;
  }
  EXPECT_EQ(OpenFiles(), openBefore);
}

// Asked to, the writer starts writeback along the way over what has been
// written, stretch after stretch, and waits for older stretches; a system
// that refuses (a file system without the call) changes nothing: the sync
// decides. Not asked to, it leaves all writeback to the sync.
struct WritebackCall {
  off_t offset, length;
  bool waits;
  off_t sizeThen;  // the file's size when it was made
};
std::vector<WritebackCall> writebackCalls;
int writebackResult = 0;

int RecordingWriteback(int fd, off_t offset, off_t length, unsigned flags) {
  struct stat st{};
  fstat(fd, &st);
  writebackCalls.push_back({offset, length, (flags & SYNC_FILE_RANGE_WAIT_AFTER) != 0, st.st_size});
  if (writebackResult != 0) {
    errno = writebackResult;
    return -1;
  }
  return SystemFileCalls().syncRange(fd, offset, length, flags);
}

TEST(AtomicFileWriter, WritebackFollowsTheWritesAndItsFailureIsIgnored) {
  // Past several stretches and past the distance at which they are waited for.
  Bytes bytes(45 << 20);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>((i * 7) ^ (i >> 13));
  struct Row {
    const char* name;
    int result;  // errno of every writeback call (0: the system's)
    bool early;
  } rows[] = {{"started by the system", 0, true}, {"refused by the file system", EINVAL, true}, {"not asked for", 0, false}};
  for (const Row& row : rows) {
    TempDir dir;
    WriteFileBytes(dir / "f", {1, 2});
    FileCalls calls = SystemFileCalls();
    calls.syncRange = RecordingWriteback;
    writebackCalls.clear();
    writebackResult = row.result;
    ScopedFileCalls scoped(calls);
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open((dir / "f").string()));
    if (row.early) writer.StartWritebackEarly();
    constexpr std::size_t kPiece = 700001;
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
      ASSERT_TRUE(writer.Write(bytes.data() + at, std::min(kPiece, bytes.size() - at))) << row.name;
    }
    ASSERT_TRUE(writer.Commit()) << row.name;
    EXPECT_EQ(ReadFileBytes(dir / "f"), bytes) << row.name;
    EXPECT_EQ(FileCount(dir.path()), 1) << row.name;

    // Each kind of call goes on where the last one ended, and only ever over
    // bytes already written; waits trail behind the starts.
    off_t started = 0, waited = 0;
    for (const WritebackCall& call : writebackCalls) {
      off_t& next = call.waits ? waited : started;
      EXPECT_EQ(call.offset, next) << row.name;
      EXPECT_GT(call.length, 0) << row.name;
      next = call.offset + call.length;
      EXPECT_LE(next, call.sizeThen) << row.name;
      if (call.waits) {
        EXPECT_LT(waited, started) << row.name;
      }
    }
    EXPECT_EQ(started >= off_t{40} << 20, row.early) << row.name;
    EXPECT_EQ(waited > 0, row.early) << row.name;
  }
}

}  // namespace
}  // namespace reelo
