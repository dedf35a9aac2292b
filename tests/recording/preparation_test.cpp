// Recordings of every kind the preparation takes, decoded with fitted bounds:
// each must give back exactly the records it holds, no more and no fewer.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <filesystem>
#include <functional>

#include "project/checksum.h"
#include "quiet_import_host.h"
#include "recording_builders.h"
#include "sound/export/wav_writer.h"
#include "sound/import/pulse_histogram.h"
#include "sound/import/tape_decoder.h"
#include "sound/recording/fitted_bounds.h"
#include "sound/recording/preparation.h"
#include "sound/recording/sound_file.h"
#include "tape_builders.h"

namespace reelo {
namespace {

using testing::Recording;

std::vector<TapeBlock> Records() {
  return {testing::MakeHeader(3, "prepared", 120), testing::MakeDataBlock(testing::RandomBytes(120, 11))};
}

// Prepares and decodes as reelo-cli does, through a recording session: fitted
// bounds, "Шум" for every question.
std::vector<TapeBlock> PrepareAndDecode(const std::string& path, const PrepareOptions& options, PrepareOutcome& outcome,
                                        OpResult& result) {
  testing::TempDir dir;
  RecordingSession session(dir.path().string());
  result = session.Open(path);
  if (!result.ok()) return {};
  SessionOptions read;
  read.preparation = options;
  testing::QuietImportHost host;
  std::optional<FittedBounds> fit;
  bool stopped = false;
  result = session.Fit(read, host, fit, stopped);
  if (!result.ok()) return {};
  outcome.channelUsed = session.preparedChannel();
  ImportState state;
  result = session.Decode(read, state, fit ? fit->bounds : PulseBounds{}, host);
  return state.loadedBlocks;
}

struct DecodeRow {
  const char* name;
  int format;
  std::function<Recording()> make;
  ChannelChoice channel = ChannelChoice::Auto;
  int channelUsed = 0;
  bool clean = true;
};

class PreparedRecording : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(PreparedRecording, DecodesEveryRecordExactly) {
  const DecodeRow& row = GetParam();
  testing::TempDir dir;
  const std::string path = (dir / "recording").string();
  ASSERT_TRUE(testing::WriteRecording(path, row.make(), row.format));
  PrepareOptions options;
  options.channel = row.channel;
  options.clean = row.clean;
  PrepareOutcome outcome;
  OpResult result;
  const std::vector<TapeBlock> decoded = PrepareAndDecode(path, options, outcome, result);
  ASSERT_TRUE(result.ok()) << result.message << ": " << result.detail;
  EXPECT_EQ(decoded, Records());
  EXPECT_EQ(outcome.channelUsed, row.channelUsed);
}

std::vector<float> Rom(double rate, double speed = 1.0) { return testing::RomSignal(Records(), rate, speed); }

constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

INSTANTIATE_TEST_SUITE_P(
    Rows, PreparedRecording,
    ::testing::Values(
        DecodeRow{"wav_u8_22050", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, [] { return testing::Mono(Rom(22050), 22050); }},
        DecodeRow{"wav_16_44100_quiet", kWav16,
                  [] { return testing::Mono(testing::Scaled(Rom(44100), 0.063f), 44100); }},
        DecodeRow{"wav_24_96000_slow", SF_FORMAT_WAV | SF_FORMAT_PCM_24,
                  [] { return testing::Mono(testing::Scaled(Rom(96000, 0.92), 0.5f), 96000); }},
        DecodeRow{"wav_float_48000_fast_inverted", SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                  [] { return testing::Mono(testing::Scaled(Rom(48000, 1.08), -0.5f), 48000); }},
        DecodeRow{"wavex_32_dc_offset", SF_FORMAT_WAVEX | SF_FORMAT_PCM_32,
                  [] { return testing::Mono(testing::Scaled(Rom(44100), 0.4f, 0.45f), 44100); }},
        DecodeRow{"flac_lowpass_noise", SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                  [] { return testing::Mono(testing::Noisy(testing::LowPassed(Rom(44100), 5000, 44100), 16), 44100); }},
        DecodeRow{"aiff_clipped", SF_FORMAT_AIFF | SF_FORMAT_PCM_16,
                  [] { return testing::Mono(testing::Scaled(testing::LowPassed(Rom(44100), 6000, 44100), 4.0f), 44100); }},
        DecodeRow{"rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, [] { return testing::Mono(Rom(32000), 32000); }},
        DecodeRow{"w64", SF_FORMAT_W64 | SF_FORMAT_PCM_16, [] { return testing::Mono(Rom(11025), 11025); }},
        DecodeRow{"ogg_vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS,
                  [] { return testing::Mono(testing::Scaled(Rom(44100), 0.5f), 44100); }},
        DecodeRow{"stereo_left_noisy_auto", kWav16,
                  [] {
                    const auto clean = testing::Scaled(Rom(48000), 0.5f);
                    return testing::Stereo(testing::Noisy(clean, 4), clean, 48000);
                  },
                  ChannelChoice::Auto, 1},
        DecodeRow{"stereo_right_silent_auto", kWav16,
                  [] { return testing::Stereo(testing::Scaled(Rom(44100), 0.5f), {}, 44100); }, ChannelChoice::Auto, 0},
        DecodeRow{"stereo_right_chosen", kWav16,
                  [] { return testing::Stereo({}, testing::Scaled(Rom(44100), 0.5f), 44100); }, ChannelChoice::Right,
                  1},
        DecodeRow{"stereo_mixed", kWav16,
                  [] {
                    const auto clean = testing::Scaled(Rom(44100), 0.4f);
                    return testing::Stereo(clean, clean, 44100);
                  },
                  ChannelChoice::Mix, -1},
        DecodeRow{"converted_without_cleaning", kWav16,
                  [] { return testing::Stereo(testing::Scaled(Rom(44100), 0.5f), {}, 44100); }, ChannelChoice::Left, 0,
                  false}),
    [](const auto& info) { return std::string(info.param.name); });

// The program's own export after a resampler: up to 44100 Hz 16-bit and
// through a low-pass. Its pause (the rest level) follows the byte sent after
// the checksum; the prepared copy must not complete that byte.
TEST(PreparedRecording, OwnExportAfterAResamplerKeepsItsLength) {
  testing::TempDir dir;
  TapeProject project;
  project.blocks = Records();
  const std::string exported = (dir / "export.wav").string();
  NullProgress progress;
  ASSERT_TRUE(SaveWavFile(project, exported, progress).ok());
  SoundFile file;
  ASSERT_TRUE(file.Open(exported).ok());
  std::vector<float> frames, upsampled;
  file.Read(frames, file.info().frames);
  Resampler resampler;
  std::string error;
  ASSERT_TRUE(resampler.Init(22050, 44100, error));
  resampler.Process(frames.data(), frames.size(), upsampled);
  resampler.Flush(upsampled);
  const std::string copy = (dir / "copy.wav").string();
  ASSERT_TRUE(testing::WriteRecording(copy, testing::Mono(testing::LowPassed(upsampled, 8000, 44100), 44100), kWav16));

  PrepareOutcome outcome;
  OpResult result;
  EXPECT_EQ(PrepareAndDecode(copy, PrepareOptions{}, outcome, result), Records());
}

// Lengths of the high half-waves the decoder measures in the prepared file.
std::vector<int> MeasuredLengths(const std::string& prepared) {
  const testing::Bytes bytes = testing::ReadFileBytes(prepared);
  std::vector<int> lengths;
  int run = 0;
  bool high = false;
  for (std::size_t i = 44; i < bytes.size(); ++i) {
    if (!high && bytes[i] >= 128) {
      high = true;
      run = 0;
    } else if (high && bytes[i] <= 126) {
      high = false;
      lengths.push_back(run + 1);
    } else if (high) {
      ++run;
    }
  }
  return lengths;
}

// A tone of fractional half-waves, sampled at another rate and smoothed: the
// prepared half-waves must average their true length at 22050 Hz, not half a
// sample more (the fault of slicing at one side of the zero line).
TEST(Slicer, HalfWavesKeepTheirTrueLength) {
  struct Row {
    double halfAt22050;
    int rate;
  };
  for (const Row& row : {Row{13.66, 44100}, Row{10.77, 48000}, Row{5.39, 44100}, Row{10.77, 22050}}) {
    testing::TempDir dir;
    std::vector<float> tone;
    const double half = row.halfAt22050 * row.rate / 22050.0;
    for (int i = 0; i < row.rate * 2; ++i) tone.push_back(std::sin(3.14159265358979 * i / half) > 0 ? 0.5f : -0.5f);
    const std::string path = (dir / "tone.wav").string();
    ASSERT_TRUE(testing::WriteRecording(path, testing::Mono(testing::LowPassed(tone, 7000, row.rate), row.rate), kWav16));
    PrepareOutcome outcome;
    ASSERT_TRUE(PrepareRecording(path, (dir / "p.wav").string(), PrepareOptions{}, nullptr, outcome).ok());
    const std::vector<int> lengths = MeasuredLengths((dir / "p.wav").string());
    ASSERT_GT(lengths.size(), 1000u);
    double sum = 0;
    for (std::size_t i = 100; i < lengths.size() - 100; ++i) sum += lengths[i];
    EXPECT_NEAR(sum / static_cast<double>(lengths.size() - 200), row.halfAt22050, 0.1) << row.halfAt22050;
  }
}

// Hiss in the pauses: the prepared file holds only the rest level there, so
// no pulse (and no record) comes from it; also after a long lead-in of digital
// silence, which must not pass for the tape's noise floor.
TEST(Slicer, SilenceWithHissStaysSilent) {
  for (const double leadIn : {0.0, 70.0}) {
  SCOPED_TRACE(leadIn);
  testing::TempDir dir;
  // Noise 20 dB below the signal everywhere, pauses included.
  std::vector<float> signal = testing::Noisy(testing::Scaled(Rom(44100), 0.5f), 20);
  signal.insert(signal.begin(), static_cast<std::size_t>(leadIn * 44100), 0.0f);
  const std::string path = (dir / "hiss.wav").string();
  ASSERT_TRUE(testing::WriteRecording(path, testing::Mono(signal, 44100), kWav16));
  const std::string prepared = (dir / "p.wav").string();
  PrepareOutcome outcome;
  ASSERT_TRUE(PrepareRecording(path, prepared, PrepareOptions{}, nullptr, outcome).ok());
  const testing::Bytes bytes = testing::ReadFileBytes(prepared);
  // Its sizes, as other programs read them: the data chunk is the file but its
  // 44-byte header, the RIFF chunk the file but its first 8 bytes.
  const auto le32 = [&bytes](std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
  };
  ASSERT_GT(bytes.size(), 44u);
  EXPECT_EQ(le32(40), bytes.size() - 44);
  EXPECT_EQ(le32(4), bytes.size() - 8);
  EXPECT_EQ(outcome.samplesWritten, static_cast<std::int64_t>(bytes.size() - 44));
  // The first 0.2 s and the pause between the records (0.5 s) are silent,
  // bar the slicer's short run-out after each record.
  const std::size_t lead = static_cast<std::size_t>((leadIn + 0.2) * 22050);
  for (std::size_t i = 44 + 50; i < 44 + lead - 100; ++i) ASSERT_EQ(bytes[i], 127) << "sample " << i;
  std::size_t restRun = 0, longest = 0;
  for (std::size_t i = 44 + lead; i < bytes.size(); ++i) {
    restRun = bytes[i] == 127 ? restRun + 1 : 0;
    longest = std::max(longest, restRun);
  }
  EXPECT_GT(longest, 22050u * 4 / 10);
  }
}

}  // namespace
}  // namespace reelo
