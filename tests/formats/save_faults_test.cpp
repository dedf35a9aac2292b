// The TZX save and the WAV export with options under injected faults: every
// call of the atomic writer fails in turn; each failure must come back as the
// save-failed message with the old file as it was and no temporary file left.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "formats/tape_file.h"
#include "project/file_calls.h"
#include "project/tap_file.h"
#include "sound/export/signal_stream.h"
#include "sound/export/wav_export.h"
#include "tape_builders.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

int failAt = 0;  // 1-based call number that fails; 0: none
int calls = 0;

bool Fails() {
  if (++calls != failAt) return false;
  errno = EIO;
  return true;
}

const FileCalls kFaultyCalls{
    [](char* pattern) { return Fails() ? -1 : ::mkstemp(pattern); },
    [](int fd, const void* data, std::size_t size) -> ssize_t { return Fails() ? -1 : ::write(fd, data, size); },
    [](int fd, const void* data, std::size_t size, off_t offset) -> ssize_t {
      return Fails() ? -1 : ::pwrite(fd, data, size, offset);
    },
    [](int fd, mode_t mode) { return Fails() ? -1 : ::fchmod(fd, mode); },
    [](int fd) { return Fails() ? -1 : ::fsync(fd); },
    [](int fd) {
      const int result = ::close(fd);
      return Fails() ? -1 : result;
    },
    [](const char* from, const char* to) { return Fails() ? -1 : std::rename(from, to); },
    [](const char* path) { return Fails() ? -1 : ::unlink(path); },
};

TEST(FormatSaveFaults, EveryFailedCallKeepsTheOldFile) {
  struct Row {
    const char* fileName;
    std::function<OpResult(TapeProject&, const std::string&)> save;
  };
  const Row rows[] = {
      {"tape.tzx",
       [](TapeProject& project, const std::string& path) {
         NullProgress progress;
         project.fileName = path;
         return SaveTapeFile(project, progress);
       }},
      {"tape.wav",  // 48000 Hz, 16 bits, inverted, ROM timings
       [](TapeProject& project, const std::string& path) {
         NullProgress progress;
         return SaveWavFile(project, path, SignalOptions{48000, 16, true, SignalTimings::Rom}, progress);
       }},
  };
  const Bytes oldContent = {'o', 'l', 'd'};
  for (const Row& row : rows) {
    testing::TempDir dir;
    const std::string target = (dir / row.fileName).string();
    testing::WriteFileBytes(target, oldContent);
    TapeProject project;
    project.blocks = {testing::MakeHeader(3, "faults", 30), testing::MakeDataBlock(Bytes(30, 0x5A))};
    failAt = 0;
    calls = 0;
    {
      ScopedFileCalls faulty(kFaultyCalls);
      ASSERT_TRUE(row.save(project, target).ok()) << row.fileName;
    }
    const int total = calls;
    for (failAt = 1; failAt <= total; ++failAt) {
      SCOPED_TRACE(std::string(row.fileName) + ", call " + std::to_string(failAt));
      testing::WriteFileBytes(target, oldContent);
      calls = 0;
      project.modified = true;
      OpResult result;
      {
        ScopedFileCalls faulty(kFaultyCalls);
        result = row.save(project, target);
      }
      EXPECT_EQ(result.message, kSaveFailedText);
      EXPECT_EQ(testing::ReadFileBytes(target), oldContent);
      EXPECT_TRUE(project.modified);
      EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator{}), 1);
    }
  }
}

}  // namespace
}  // namespace reelo
