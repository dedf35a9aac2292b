// Recordings and places that go wrong: each gives a clear Russian message or a
// sound result, never a crash or a hang, and a failure leaves no prepared
// file that could be decoded (an older one stays as it was).
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "quiet_import_host.h"
#include "recording_builders.h"
#include "sound/import/recording_reader.h"
#include "sound/import/pulse_histogram.h"
#include "sound/import/tape_decoder.h"
#include "sound/recording/fitted_bounds.h"
#include "sound/recording/preparation.h"
#include "sound/recording/sound_file.h"
#include "tape_builders.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;

// Does something to the source when a pass begins or advances.
class ActingProgress final : public PrepareProgress {
 public:
  std::function<void()> onBegin;
  bool keepGoing = true;
  void Begin(const std::string&, std::int64_t) override {
    if (onBegin) onBegin();
  }
  bool Advance(std::int64_t) override { return keepGoing; }
};

std::vector<TapeBlock> Records() { return {testing::MakeDataBlock(testing::RandomBytes(60, 5))}; }

void WriteRom(const std::string& path, int rate, double seconds = 0) {
  std::vector<float> signal = testing::Scaled(testing::RomSignal(Records(), rate), 0.5f);
  signal.resize(std::max(signal.size(), static_cast<std::size_t>(seconds * rate)), 0.0f);
  ASSERT_TRUE(testing::WriteRecording(path, testing::Mono(signal, rate), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
}

std::vector<TapeBlock> Decode(const std::string& prepared) {
  ImportState state;
  testing::QuietImportHost host;
  AnalyseSpectrum(state, prepared, host);
  const auto fit = FitBounds(state.pulseHistogram);
  DecodeTape(state, fit ? fit->bounds : PulseBounds{}, prepared, host);
  return state.loadedBlocks;
}

struct BadRow {
  const char* name;
  // Makes the source in dir; returns its path.
  std::function<std::string(const fs::path& dir)> source;
  // The prepared file's path in dir (parent may be made unusable by source()).
  std::string output;
  const char* messageStart;  // nullptr: the preparation succeeds
  std::vector<TapeBlock> records;  // what the prepared file decodes into when it succeeds
  std::function<void(ActingProgress&, const std::string& source)> act = nullptr;
};

class BadInput : public ::testing::TestWithParam<BadRow> {};

TEST_P(BadInput, GivesAMessageOrASoundResult) {
  const BadRow& row = GetParam();
  testing::TempDir dir;
  const std::string source = row.source(dir.path());
  const std::string output = (dir.path() / row.output).string();
  ActingProgress progress;
  if (row.act) row.act(progress, source);
  PrepareOutcome outcome;
  const OpResult result = PrepareRecording(source, output, PrepareOptions{}, &progress, outcome);
  if (!row.messageStart) {
    ASSERT_TRUE(result.ok()) << result.message << ": " << result.detail;
    EXPECT_EQ(Decode(output), row.records);
    return;
  }
  EXPECT_FALSE(result.ok());
  EXPECT_EQ(result.message.rfind(row.messageStart, 0), 0u) << result.message;
  EXPECT_FALSE(fs::exists(output)) << "a prepared file was left";
  // Nothing half-written beside it either.
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(output).parent_path(), ec)) {
    EXPECT_EQ(entry.path().extension() == ".wav" && entry.path() != source, false) << entry.path();
  }
}

std::string Rom(const fs::path& dir, int rate) {
  const std::string path = (dir / "source.wav").string();
  WriteRom(path, rate);
  return path;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BadInput,
    ::testing::Values(
        BadRow{"missing_file", [](const fs::path& dir) { return (dir / "gone.wav").string(); }, "p.wav",
               kOpenSoundFailedText, {}},
        BadRow{"zero_length",
               [](const fs::path& dir) {
                 testing::WriteFileBytes(dir / "empty.wav", {});
                 return (dir / "empty.wav").string();
               },
               "p.wav", kSoundUnreadableText, {}},
        BadRow{"not_a_recording",
               [](const fs::path& dir) {
                 testing::WriteFileBytes(dir / "text.wav", testing::Bytes(5000, 'x'));
                 return (dir / "text.wav").string();
               },
               "p.wav", kSoundUnreadableText, {}},
        // Found by fuzzing: 34 bytes taken for an MPEG stream kept its decoder busy for minutes.
        // It begins with no frame: refused at once, never read byte by byte.
        BadRow{"damaged_mpeg_stream",
               [](const fs::path& dir) {
                 testing::WriteFileBytes(dir / "bad.mp3",
                                         {0xc3, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x01, 0x53,
                                          0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                                          0xff, 0xff, 0x00, 0x62, 0x00, 0x00, 0x00, 0x00, 0x00, 0x62});
                 return (dir / "bad.mp3").string();
               },
               "p.wav", kMpegDamagedText, {}},
        BadRow{"a_folder", [](const fs::path& dir) { return dir.string(); }, "p.wav", kOpenSoundFailedText, {}},
        BadRow{"no_samples",
               [](const fs::path& dir) {
                 const std::string path = (dir / "none.wav").string();
                 testing::WriteRecording(path, testing::Mono({}, 44100), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
                 return path;
               },
               "p.wav", nullptr, {}},
        BadRow{"output_folder_missing", [](const fs::path& dir) { return Rom(dir, 44100); }, "no/such/folder/p.wav",
               kPrepareWriteFailedText, {}},
        BadRow{"output_parent_is_a_file",
               [](const fs::path& dir) {
                 testing::WriteFileBytes(dir / "file", {1});
                 return Rom(dir, 44100);
               },
               "file/p.wav", kPrepareWriteFailedText, {}},
        BadRow{"rate_1000", [](const fs::path& dir) { return Rom(dir, 1000); }, "p.wav", nullptr, {}},
        BadRow{"rate_384000", [](const fs::path& dir) { return Rom(dir, 384000); }, "p.wav", nullptr, Records()},
        BadRow{"shrinks_while_read", [](const fs::path& dir) { return Rom(dir, 44100); }, "p.wav", kSoundChangedText,
               {},
               [](ActingProgress& progress, const std::string& source) {
                 progress.onBegin = [source] { ASSERT_EQ(::truncate(source.c_str(), 20000), 0); };
               }},
        BadRow{"vanishes_while_read", [](const fs::path& dir) { return Rom(dir, 44100); }, "p.wav", nullptr,
               Records(),
               [](ActingProgress& progress, const std::string& source) {
                 progress.onBegin = [source] { fs::remove(source); };
               }},
        BadRow{"flac_cut_short",
               [](const fs::path& dir) {
                 // A damaged file, shorter than its header says, that does not change: what is there decodes.
                 const std::string path = (dir / "cut.flac").string();
                 std::vector<float> signal = testing::Scaled(testing::RomSignal(Records(), 44100), 0.5f);
                 signal.resize(44100 * 6, 0.0f);
                 // Hiss after the record keeps the compressed signal in the first part of the file.
                 testing::WriteRecording(path, testing::Mono(testing::Noisy(signal, 40), 44100),
                                         SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
                 fs::resize_file(path, fs::file_size(path) * 6 / 10);
                 return path;
               },
               "p.wav", nullptr, Records()},
        BadRow{"header_claims_ten_hours",
               [](const fs::path& dir) {
                 const std::string path = Rom(dir, 22050);
                 testing::Bytes bytes = testing::ReadFileBytes(path);
                 const std::uint32_t tenHours = 10u * 3600u * 22050u * 2u;
                 for (int i = 0; i < 4; ++i) bytes[40 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(tenHours >> (8 * i));
                 testing::WriteFileBytes(path, bytes);
                 return path;
               },
               "p.wav", nullptr, Records()}),
    [](const auto& info) { return std::string(info.param.name); });

// A stop keeps an older prepared file as it was, and says it was a stop.
TEST(BadInputStop, KeepsTheOlderFile) {
  testing::TempDir dir;
  const std::string source = (dir / "long.wav").string();
  WriteRom(source, 44100, 30.0);
  const std::string output = (dir / "p.wav").string();
  testing::WriteFileBytes(output, {1, 2, 3});
  ActingProgress progress;
  progress.keepGoing = false;
  PrepareOutcome outcome;
  const OpResult result = PrepareRecording(source, output, PrepareOptions{}, &progress, outcome);
  EXPECT_EQ(result.message, "Подготовка записи остановлена");
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(testing::ReadFileBytes(output), (testing::Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace reelo
