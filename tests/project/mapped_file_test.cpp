#include "project/mapped_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "tape_builders.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::RandomBytes;
using testing::TempDir;
using testing::WriteFileBytes;

constexpr std::size_t kPage = 4096;

struct CutRow {
  const char* name;
  long long cutTo;  // the file's length while it is mapped (-1: left whole)
  bool intact;
};

// Another program cuts the file short after it was mapped: touching the
// pages past the new end raises SIGBUS, which must neither end the program
// nor pass unnoticed, and the bytes before the cut are still the file's.
TEST(MappedFile, AFileCutShortWhileMappedIsReadToTheEndAndSaidNotIntact) {
  const CutRow rows[] = {
      {"left whole", -1, true},
      {"cut to nothing", 0, false},
      {"cut inside the first page", 100, false},
      {"cut at a page boundary", 2 * kPage, false},
      {"cut inside the last page", 3 * kPage + 5, false},
  };
  const Bytes content = RandomBytes(3 * kPage + 700, 3);
  for (const CutRow& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const std::string path = (dir / "tape").string();
    WriteFileBytes(path, content);
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    MappedFile mapped;
    ASSERT_TRUE(mapped.Map(fd, content.size()));
    if (row.cutTo >= 0) {
      ASSERT_EQ(::truncate(path.c_str(), row.cutTo), 0);
    }
    const Bytes read(mapped.data(), mapped.data() + mapped.size());
    EXPECT_EQ(mapped.intact(), row.intact);
    const std::size_t kept = row.cutTo < 0 ? content.size() : static_cast<std::size_t>(row.cutTo);
    EXPECT_TRUE(std::equal(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(kept), read.begin()));
    ::close(fd);
  }
}

TEST(MappedFile, RefusesWhatCannotBeMapped) {
  TempDir dir;
  WriteFileBytes(dir / "empty", {});
  const int empty = ::open((dir / "empty").c_str(), O_RDONLY);
  const int writeOnly = ::open((dir / "empty").c_str(), O_WRONLY);
  struct Row {
    const char* name;
    int fd;
    std::uint64_t size;
  } rows[] = {{"an empty file", empty, 0}, {"a descriptor not open for reading", writeOnly, 10}, {"no file", -1, 10}};
  for (const Row& row : rows) {
    MappedFile mapped;
    EXPECT_FALSE(mapped.Map(row.fd, row.size)) << row.name;
    EXPECT_EQ(mapped.data(), nullptr) << row.name;
  }
  ::close(empty);
  ::close(writeOnly);
}

// A SIGBUS outside every mapping in use belongs to whoever handled it before:
// raised from a second mapping of a file cut short (not a MappedFile).
void TouchPastTheEnd(const std::string& path) {
  WriteFileBytes(path, Bytes(10, 1));
  const int fd = ::open(path.c_str(), O_RDONLY);
  auto* bytes = static_cast<volatile std::uint8_t*>(mmap(nullptr, 4 * kPage, PROT_READ, MAP_PRIVATE, fd, 0));
  ::alarm(5);  // a fault handled wrongly would repeat for ever
  std::exit(bytes[2 * kPage]);
}

void ExitFromHandler(int) { std::_Exit(42); }

void MapThenFaultElsewhere(const std::string& folder, bool ownHandler) {
  if (ownHandler) std::signal(SIGBUS, ExitFromHandler);
  WriteFileBytes(folder + "/mapped", Bytes(100, 2));
  const int fd = ::open((folder + "/mapped").c_str(), O_RDONLY);
  MappedFile mapped;
  if (!mapped.Map(fd, 100)) std::_Exit(3);
  TouchPastTheEnd(folder + "/other");
}

TEST(MappedFileDeathTest, AFaultElsewhereGoesToTheHandlerBeforeAndAReplacedCatchIsNotUsed) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: the catch not yet in place
  TempDir dir;
  EXPECT_EXIT(MapThenFaultElsewhere(dir.path().string(), true), ::testing::ExitedWithCode(42), "");
  // The system's default (or a sanitizer's report) ends the process.
  EXPECT_DEATH(MapThenFaultElsewhere(dir.path().string(), false), "");

  WriteFileBytes(dir / "f", Bytes(100, 2));
  const int fd = ::open((dir / "f").c_str(), O_RDONLY);
  MappedFile first;
  ASSERT_TRUE(first.Map(fd, 100));
  struct sigaction catchAction{};
  struct sigaction other{};
  other.sa_handler = ExitFromHandler;
  sigemptyset(&other.sa_mask);
  ASSERT_EQ(sigaction(SIGBUS, &other, &catchAction), 0);
  MappedFile second;
  EXPECT_FALSE(second.Map(fd, 100));
  ASSERT_EQ(sigaction(SIGBUS, &catchAction, nullptr), 0);
  EXPECT_TRUE(second.Map(fd, 100));
  ::close(fd);
}

}  // namespace
}  // namespace reelo
