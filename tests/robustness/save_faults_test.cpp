// Saves under injected faults: every call the atomic writer makes (create the
// temporary file, write, gathered write, patch, set the mode, sync, close,
// rename) in a TAP save, a TZX save, WAV exports and the writing of a prepared recording is
// made to fail in turn with a full disk, an I/O error or an interrupted call. Every
// failure must come back as the save-failed message with the old file
// byte-identical, no temporary file left and `modified` unchanged; an
// interrupted write is retried and the save succeeds.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "formats/tape_file.h"
#include "project/file_calls.h"
#include "project/tap_file.h"
#include "sound/export/signal_stream.h"
#include "sound/export/wav_export.h"
#include "sound/export/wav_writer.h"
#include "sound/recording/preparation.h"
#include "tape_builders.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

// The plan of the running save: which call fails and how. Function pointers
// cannot capture, so the fake calls reach it through this one pointer.
struct FaultPlan {
  int failAt = 0;  // 1-based call number; 0: nothing fails
  int error = 0;
  int calls = 0;
  int syncs = 0;
  std::string failedCall;
};
FaultPlan* plan = nullptr;

bool Fails(const char* call) {
  if (++plan->calls != plan->failAt) return false;
  plan->failedCall = call;
  errno = plan->error;
  return true;
}

const FileCalls kFaultyCalls{
    [](char* pattern) { return Fails("mkstemp") ? -1 : ::mkstemp(pattern); },
    [](int fd, const void* data, std::size_t size) -> ssize_t { return Fails("write") ? -1 : ::write(fd, data, size); },
    [](int fd, const void* data, std::size_t size, off_t offset) -> ssize_t {
      return Fails("pwrite") ? -1 : ::pwrite(fd, data, size, offset);
    },
    [](int fd, mode_t mode) { return Fails("fchmod") ? -1 : ::fchmod(fd, mode); },
    [](int fd) {
      ++plan->syncs;
      return Fails("fsync") ? -1 : ::fsync(fd);
    },
    // A failed close still releases the descriptor, as the system's does.
    [](int fd) {
      const int result = ::close(fd);
      return Fails("close") ? -1 : result;
    },
    [](const char* from, const char* to) { return Fails("rename") ? -1 : std::rename(from, to); },
    [](const char* path) { return Fails("unlink") ? -1 : ::unlink(path); },
    [](int fd, const iovec* pieces, int count) -> ssize_t {
      return Fails("writev") ? -1 : ::writev(fd, pieces, count);
    },
};

TapeProject SampleProject() {
  TapeProject project;
  project.blocks = {testing::MakeHeader(3, "faults", 300, 32768, 32768), testing::MakeDataBlock(Bytes(300, 0x5A))};
  project.modified = true;
  return project;
}

struct SaveRow {
  const char* name;
  const char* fileName;    // the target: a save chooses TZX by the name
  const char* failedText;  // the message every failure gives (a path may follow it)
  // Saves SampleProject() (or a copy of it) to path; the project is handed in
  // so the test can check its `modified` afterwards.
  std::function<OpResult(TapeProject& project, const std::string& path)> save;
};

// A 16-bit 44100 Hz recording of the sample project, made before any fault is
// injected: the source of the prepared-recording row.
const std::string& RecordingSource() {
  static const testing::TempDir dir;
  static const std::string path = [] {
    const std::string source = (dir / "source.wav").string();
    NullProgress progress;
    const OpResult made = SaveWavFile(SampleProject(), source, SignalOptions{44100, 16, false, SignalTimings::Exact},
                                      progress);
    EXPECT_TRUE(made.ok()) << made.message;
    return source;
  }();
  return path;
}

const SaveRow kSaves[] = {
    {"TAP save", "tape.tap", "Проблемы с сохранением файла. Файл не сохранён.",
     [](TapeProject& project, const std::string& path) {
       NullProgress progress;
       project.fileName = path;
       return SaveTapFile(project, progress);
     }},
    {"TZX save", "tape.tzx", "Проблемы с сохранением файла. Файл не сохранён.",
     [](TapeProject& project, const std::string& path) {
       NullProgress progress;
       project.fileName = path;
       return SaveTapeFile(project, progress);
     }},
    {"WAV export", "tape.wav", "Проблемы с сохранением файла. Файл не сохранён.",
     [](TapeProject& project, const std::string& path) {
       NullProgress progress;
       return SaveWavFile(project, path, progress);
     }},
    {"WAV export at 48000 Hz, 16 bits, inverted, ROM timings", "tape.wav", "Проблемы с сохранением файла. Файл не сохранён.",
     [](TapeProject& project, const std::string& path) {
       NullProgress progress;
       return SaveWavFile(project, path, SignalOptions{48000, 16, true, SignalTimings::Rom}, progress);
     }},
    {"prepared recording", "prepared.wav", kPrepareWriteFailedText,
     [](TapeProject&, const std::string& path) {
       PrepareOutcome outcome;
       return PrepareRecording(RecordingSource(), path, PrepareOptions{true, ChannelChoice::Left}, nullptr, outcome);
     }},
};

int FileCount(const fs::path& folder) {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++n;
  return n;
}

TEST(SaveFaults, EveryFailedCallKeepsTheOldFileAndEveryInterruptedWriteIsRetried) {
  const Bytes oldContent = {'o', 'l', 'd', '\n'};
  for (const SaveRow& row : kSaves) {
    RecordingSource();
    testing::TempDir dir;
    const fs::path target = dir / row.fileName;
    FaultPlan clean;
    plan = &clean;
    TapeProject reference = SampleProject();
    {
      ScopedFileCalls calls(kFaultyCalls);
      ASSERT_TRUE(row.save(reference, target.string()).ok()) << row.name;
    }
    const Bytes expected = testing::ReadFileBytes(target);
    EXPECT_GE(clean.syncs, 1) << row.name << ": a save must sync its file before renaming it";

    for (int failAt = 1; failAt <= clean.calls; ++failAt) {
      for (int error : {ENOSPC, EIO, EINTR}) {
        testing::WriteFileBytes(target, oldContent);
        FaultPlan faulty{failAt, error, 0, 0, {}};
        plan = &faulty;
        TapeProject project = SampleProject();
        OpResult result;
        {
          ScopedFileCalls calls(kFaultyCalls);
          result = row.save(project, target.string());
        }
        const std::string where = std::string(row.name) + ", call " + std::to_string(failAt) + " (" +
                                  faulty.failedCall + ") fails with " + std::to_string(error);
        EXPECT_EQ(FileCount(dir.path()), 1) << where << ": a temporary file was left";
        const bool retried = error == EINTR && (faulty.failedCall == "write" || faulty.failedCall == "pwrite" ||
                                                faulty.failedCall == "writev");
        if (retried) {
          EXPECT_TRUE(result.ok()) << where << ": " << result.message;
          EXPECT_EQ(testing::ReadFileBytes(target), expected) << where;
          continue;
        }
        EXPECT_FALSE(result.ok()) << where;
        EXPECT_EQ(result.message.rfind(row.failedText, 0), 0u) << where << ": " << result.message;
        EXPECT_FALSE(result.detail.empty()) << where;
        EXPECT_EQ(testing::ReadFileBytes(target), oldContent) << where;
        EXPECT_TRUE(project.modified) << where;
      }
    }
    plan = nullptr;
  }
}

}  // namespace
}  // namespace reelo
