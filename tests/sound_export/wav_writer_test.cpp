#include "sound/export/wav_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "file_size_limit.h"
#include "project/tap_file.h"
#include "signal_runs.h"
#include "sound/export/signal_stream.h"
#include "sound/export/tape_signal.h"
#include "sound/export/wav_export.h"
#include "tape_builders.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::kRest;
using testing::ReadFileBytes;
using testing::SignalRun;
using testing::SignalRuns;
using testing::TempDir;

class RecordingProgress final : public Progress {
 public:
  void Begin(const std::string& label, long long maximum) override {
    events.push_back("Begin " + label + " " + std::to_string(maximum));
  }
  void Step(long long value) override { events.push_back("Step " + std::to_string(value)); }
  void End() override { events.push_back("End"); }
  std::vector<std::string> events;
};

TapeProject ProjectOf(std::vector<TapeBlock> blocks) {
  TapeProject project;
  project.blocks = std::move(blocks);
  return project;
}

Bytes Samples(const Bytes& file) {
  return file.size() < kWavHeaderSize ? Bytes{} : Bytes(file.begin() + kWavHeaderSize, file.end());
}

std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  return names;
}

TEST(WavHeader, TwoByteRecordHasTheWorkedSizeFields) {
  TempDir dir;
  const auto path = dir / "one.wav";
  NullProgress progress;
  ASSERT_TRUE(SaveWavFile(ProjectOf({testing::MakeRawRecord({0xFF, 0xFF})}), path.string(), progress).ok());
  const Bytes file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 49481u);
  const Bytes expectedHeader = {
      'R',  'I',  'F',  'F',   // chunk id
      0x41, 0xC1, 0x00, 0x00,  // RIFF size 49473
      'W',  'A',  'V',  'E',   // form type
      'f',  'm',  't',  ' ',   // chunk id
      0x10, 0x00, 0x00, 0x00,  // format chunk size 16
      0x01, 0x00, 0x01, 0x00,  // PCM, mono
      0x22, 0x56, 0x00, 0x00,  // 22050 samples per second
      0x22, 0x56, 0x00, 0x00,  // 22050 bytes per second
      0x01, 0x00, 0x08, 0x00,  // block alignment 1, 8 bits per sample
      'd',  'a',  't',  'a',   // chunk id
      0x1D, 0xC1, 0x00, 0x00,  // data size 49437
  };
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 44), expectedHeader);
  EXPECT_EQ(SignalRuns(Samples(file)),
            (std::vector<SignalRun>{{13, 1501}, {5, 1}, {10, 16}, {5, 8}, {kRest, 10001}}));
}

TEST(WavHeader, SizeFieldsAreLeastSignificantByteFirst) {
  const WavHeader header = MakeWavHeader(114893);
  EXPECT_EQ(Bytes(header.begin() + 40, header.end()), (Bytes{0xCD, 0xC0, 0x01, 0x00}));
  EXPECT_EQ(Bytes(header.begin() + 4, header.begin() + 8), (Bytes{0xF1, 0xC0, 0x01, 0x00}));  // 114929
  const WavHeader largest = MakeWavHeader(static_cast<std::uint32_t>(kMaxWavDataSize));
  EXPECT_EQ(Bytes(largest.begin() + 4, largest.begin() + 8), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(SaveWavFile, EmptyProjectGivesTheBareHeader) {
  TempDir dir;
  const auto path = dir / "empty.wav";
  RecordingProgress progress;
  ASSERT_TRUE(SaveWavFile(TapeProject{}, path.string(), progress).ok());
  const Bytes file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 44u);
  const WavHeader expected = MakeWavHeader(0);
  EXPECT_EQ(file, Bytes(expected.begin(), expected.end()));
  EXPECT_EQ(Bytes(file.begin() + 4, file.begin() + 8), (Bytes{36, 0, 0, 0}));
  EXPECT_EQ(progress.events, (std::vector<std::string>{std::string("Begin ") + kSaveWavLabel + " 0", "End"}));
}

TEST(SaveWavFile, WritesEveryBlockInOrderWithNothingBetween) {
  const std::vector<TapeBlock> blocks = {testing::MakeHeader(3, "screen", 6912, 16384),
                                         testing::MakeDataBlock(testing::RandomBytes(6912, 5)),
                                         testing::MakeRawRecord({})};
  TempDir dir;
  const auto path = dir / "tape.wav";
  RecordingProgress progress;
  ASSERT_TRUE(SaveWavFile(ProjectOf(blocks), path.string(), progress).ok());
  EXPECT_EQ(progress.events, (std::vector<std::string>{std::string("Begin ") + kSaveWavLabel + " 3", "Step 0",
                                                      "Step 1", "Step 2", "End"}));

  Bytes expected;
  SampleSink sink([&expected](const std::uint8_t* data, std::size_t count) {
    expected.insert(expected.end(), data, data + count);
    return true;
  });
  for (const auto& block : blocks) WriteBlockSignal(sink, block);
  sink.Flush();
  const Bytes file = ReadFileBytes(path);
  EXPECT_EQ(Samples(file), expected);
  const WavHeader header = MakeWavHeader(static_cast<std::uint32_t>(expected.size()));
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 44), Bytes(header.begin(), header.end()));
}

TEST(SaveWavFile, ReplacesALongerFileCompletely) {
  TempDir dir;
  const auto path = dir / "old.wav";
  testing::WriteFileBytes(path, Bytes(200000, 0xAA));
  NullProgress progress;
  ASSERT_TRUE(SaveWavFile(ProjectOf({testing::MakeRawRecord({0xFF, 0xFF})}), path.string(), progress).ok());
  const Bytes file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 49481u);
  EXPECT_EQ(file.back(), kRestLevel);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<fs::path>{"old.wav"});
}

// ---- Failures: reported, and the old file stays as it was ----

TEST(SaveWavFile, FolderInPlaceOfTheFileIsAnErrorAndLeavesNoTemporary) {
  TempDir dir;
  fs::create_directory(dir / "taken.wav");
  NullProgress progress;
  const OpResult result =
      SaveWavFile(ProjectOf({testing::MakeRawRecord({0xFF})}), (dir / "taken.wav").string(), progress);
  EXPECT_EQ(result.kind, OpResult::Kind::Error);
  EXPECT_EQ(result.message, kSaveFailedText);
  EXPECT_TRUE(fs::is_directory(dir / "taken.wav"));
  EXPECT_EQ(FilesIn(dir.path()), std::vector<fs::path>{"taken.wav"});
}

// Lowers the process's file size limit for one test, so writes past it fail
// with EFBIG (the signal that would end the process is ignored meanwhile).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    active_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool active() const { return active_; }

 private:
  rlimit saved_{};
  void (*oldHandler_)(int) = SIG_DFL;
  bool active_ = false;
};

TEST(SaveWavFile, FailedWriteKeepsTheOldFileAndSaysSo) {
  TempDir dir;
  const auto path = dir / "keep.wav";
  const Bytes old = testing::RandomBytes(1000, 11);
  testing::WriteFileBytes(path, old);
  // About 700 KB of signal against a limit of 64 KB.
  const auto project = ProjectOf({testing::MakeDataBlock(testing::RandomBytes(4000, 12)),
                                  testing::MakeDataBlock(testing::RandomBytes(4000, 13))});
  RecordingProgress progress;
  OpResult result;
  {
    FileSizeLimit limit(64 * 1024);
    ASSERT_TRUE(limit.active());
    result = SaveWavFile(project, path.string(), progress);
  }
  EXPECT_EQ(result.kind, OpResult::Kind::Error);
  EXPECT_EQ(result.message, kSaveFailedText);
  EXPECT_FALSE(result.detail.empty());
  EXPECT_EQ(ReadFileBytes(path), old);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<fs::path>{"keep.wav"});
  EXPECT_EQ(progress.events.back(), "End");
}

// The export with the player's choices fails the same way, whether its signal
// is made a pulse at a time or (default options) a cycle at a time, and
// whether the write fails at the first chunk or a later one.
TEST(SaveWavFile, FailedWriteWithOptionsKeepsTheOldFileAndSaysSo) {
  struct Row {
    const char* name;
    SignalOptions options;
    rlim_t limit;
  };
  const Row rows[] = {
      {"default_options_first_chunk", {}, 4096},
      {"default_options_later_chunk", {}, 1500 * 1024},
      {"rate_44100_16_bit", {44100, 16, false, SignalTimings::Exact}, 1500 * 1024},
      {"rom_timings_inverted", {22050, 8, true, SignalTimings::Rom}, 64 * 1024},
  };
  // About 2.3 MB of signal at 22050 Hz, 8 bits.
  const auto project = ProjectOf({testing::MakeHeader(3, "big", 20000, 32768),
                                  testing::MakeDataBlock(testing::RandomBytes(20000, 14))});
  for (const Row& row : rows) {
    TempDir dir;
    const auto path = dir / "keep.wav";
    const Bytes old = testing::RandomBytes(500, 15);
    testing::WriteFileBytes(path, old);
    RecordingProgress progress;
    OpResult result;
    {
      FileSizeLimit limit(row.limit);
      ASSERT_TRUE(limit.active());
      result = SaveWavFile(project, path.string(), row.options, progress);
    }
    EXPECT_EQ(result.kind, OpResult::Kind::Error) << row.name;
    EXPECT_EQ(result.message, kSaveFailedText) << row.name;
    EXPECT_FALSE(result.detail.empty()) << row.name;
    EXPECT_EQ(ReadFileBytes(path), old) << row.name;
    EXPECT_EQ(FilesIn(dir.path()), std::vector<fs::path>{"keep.wav"}) << row.name;
    EXPECT_EQ(progress.events.back(), "End") << row.name;
  }
}

// A file of many chunks: the header with the sizes, then the model signal,
// whatever blocks fall across the chunks' edges.
TEST(SaveWavFile, ManyChunksGiveTheHeaderAndTheModelSignal) {
  const std::vector<TapeBlock> blocks = {testing::MakeHeader(3, "chunks", 9000, 32768),
                                         testing::MakeDataBlock(testing::RandomBytes(9000, 31)),
                                         testing::MakeRawRecord({}), testing::MakeRawRecord(Bytes(1, 0xFF)),
                                         testing::MakeDataBlock(testing::RandomBytes(5000, 32))};
  TempDir dir;
  const auto path = dir / "chunks.wav";
  NullProgress progress;
  ASSERT_TRUE(SaveWavFile(ProjectOf(blocks), path.string(), progress).ok());
  const Bytes file = ReadFileBytes(path);
  const Bytes model = testing::ModelSignal(blocks);
  ASSERT_GT(model.size(), 4u * 262144u);
  EXPECT_EQ(Samples(file), model);
  auto field = [&file](std::size_t at) {
    return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | static_cast<std::uint32_t>(file[at + 3]) << 24;
  };
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{'R', 'I', 'F', 'F'}));
  EXPECT_EQ(field(4), file.size() - 8);
  EXPECT_EQ(field(40), file.size() - 44);
}

// A child process with a file size limit, so that a write fails with EFBIG
// at a chosen byte of the file: inside the first chunk, exactly at a chunk's
// edge (the next write fails whole), inside a later chunk, at the very last
// byte. The old file stays and no temporary is left; a limit of exactly the
// file's size lets the save through.
TEST(SaveWavFile, WriteFailingAtAnyByteKeepsTheOldFile) {
  const std::vector<TapeBlock> blocks = {testing::MakeHeader(3, "limit", 6000, 32768),
                                         testing::MakeDataBlock(testing::RandomBytes(6000, 41))};
  const SignalOptions rom16{44100, 16, false, SignalTimings::Rom};
  const std::uint64_t exactSize = 44 + testing::ModelSignal(blocks).size();
  const std::uint64_t romSize = 44 + ProjectSignalSamples(ProjectOf(blocks), rom16) * 2;
  ASSERT_GT(exactSize, 3u * 262144u + 1000u);
  struct Row {
    const char* name;
    SignalOptions options;
    std::uint64_t limit;
    bool saved;
  };
  const Row rows[] = {
      {"inside_the_first_chunk", {}, 4096, false},
      {"at_the_first_chunk_edge", {}, 262144, false},
      {"inside_the_third_chunk", {}, 3 * 262144 + 1000, false},
      {"the_last_byte", {}, exactSize - 1, false},
      {"exactly_the_file", {}, exactSize, true},
      {"options_the_last_byte", rom16, romSize - 1, false},
      {"options_exactly_the_file", rom16, romSize, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const auto path = dir / "keep.wav";
    const Bytes old = testing::RandomBytes(700, 42);
    testing::WriteFileBytes(path, old);
    const int status = testing::ExitStatusUnderFileSizeLimit(row.limit, [&] {
      NullProgress progress;
      const OpResult result = SaveWavFile(ProjectOf(blocks), path.string(), row.options, progress);
      if (result.ok()) return 1;
      return result.message == kSaveFailedText && result.detail == "файл слишком велик" ? 0 : 2;
    });
    EXPECT_EQ(status, row.saved ? 1 : 0);
    EXPECT_EQ(FilesIn(dir.path()), std::vector<fs::path>{"keep.wav"});
    const Bytes file = ReadFileBytes(path);
    if (row.saved) {
      EXPECT_EQ(file.size(), row.limit);
    } else {
      EXPECT_EQ(file, old);
    }
  }
}

// ---- A signal too long for the 32-bit size fields ----

// A project whose signal is exactly target samples: records of the largest
// length with zero bytes, then one bits (10 samples more each) up to the target.
TapeProject ProjectWithSignalLength(std::uint64_t target) {
  const TapeBlock zeroBlock = testing::MakeRawRecord(Bytes(kMaxRecordLength, 0));
  const std::uint64_t perBlock = BlockSignalLength(zeroBlock);
  std::uint64_t count = target / perBlock;
  while (count > 0 && (target - count * perBlock) % (2 * (kOneHalfLength - kZeroHalfLength)) != 0) --count;
  TapeProject project = ProjectOf(std::vector<TapeBlock>(count, zeroBlock));
  std::uint64_t ones = (target - count * perBlock) / (2 * (kOneHalfLength - kZeroHalfLength));
  for (auto& block : project.blocks) {
    for (std::size_t i = 2; i < block.size() && ones > 0; ++i) {
      const std::uint64_t bits = ones < 8 ? ones : 8;
      block.mutableBytes()[i] = static_cast<std::uint8_t>((1u << bits) - 1);
      ones -= bits;
    }
  }
  return project;
}

TEST(SaveWavFile, SignalOneSamplePastTheSizeFieldsIsRefusedBeforeWriting) {
  // One sample more than the largest data size whose RIFF size (36 more) fits.
  const TapeProject project = ProjectWithSignalLength(kMaxWavDataSize + 1);
  ASSERT_EQ(ProjectSignalLength(project), 0xFFFFFFFFull - 36 + 1);
  TempDir dir;
  const auto path = dir / "big.wav";
  const Bytes old = {1, 2, 3};
  testing::WriteFileBytes(path, old);
  RecordingProgress progress;
  const OpResult result = SaveWavFile(project, path.string(), progress);
  EXPECT_EQ(result.kind, OpResult::Kind::Error);
  EXPECT_EQ(result.message, kWavTooLargeText);
  EXPECT_TRUE(progress.events.empty());
  EXPECT_EQ(ReadFileBytes(path), old);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<fs::path>{"big.wav"});
}

}  // namespace
}  // namespace reelo
