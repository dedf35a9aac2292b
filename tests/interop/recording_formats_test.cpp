// Clean recordings in every format people bring, made by real tools: the tape
// is rendered by fuse-utils' tape2wav at 44100 Hz and converted by sox, and
// the program's own export is sent through sox's resampler and through a
// PulseAudio null sink recorded with parec. Prepared, with fitted bounds, each
// must decode into exactly the tape's records: none missing, none one byte long.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "external_tools.h"
#include "project/progress.h"
#include "project/tap_file.h"
#include "quiet_import_host.h"
#include "sound/recording/recording_session.h"
#include "sound/export/wav_writer.h"
#include "sound/import/pulse_histogram.h"
#include "sound/import/tape_decoder.h"
#include "sound/recording/fitted_bounds.h"
#include "sound/recording/preparation.h"
#include "tape_builders.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;
using testing::Quoted;
using testing::RunTool;
using testing::TempDir;
using testing::ToolInPath;

std::vector<TapeBlock> TapeRecords() {
  return {testing::MakeHeader(3, "formats", 300, 32768), testing::MakeDataBlock(testing::RandomBytes(300, 21)),
          testing::MakeHeader(0, "basic", 40, 10), testing::MakeDataBlock(testing::RandomBytes(40, 22))};
}

// Decoded as reelo-cli decodes: a session that prepares the recording, fits
// the bounds and decodes with every question answered "Шум".
std::vector<TapeBlock> PrepareAndDecode(const fs::path& recording, const fs::path& dir) {
  RecordingSession session(dir.string());
  OpResult result = session.Open(recording.string());
  EXPECT_TRUE(result.ok()) << result.message << ": " << result.detail;
  if (!result.ok()) return {};
  const SessionOptions read;
  testing::QuietImportHost host;
  std::optional<FittedBounds> fit;
  bool stopped = false;
  result = session.Fit(read, host, fit, stopped);
  EXPECT_TRUE(result.ok()) << result.message << ": " << result.detail;
  EXPECT_TRUE(fit.has_value());
  ImportState state;
  result = session.Decode(read, state, fit ? fit->bounds : PulseBounds{}, host);
  EXPECT_TRUE(result.ok()) << result.message << ": " << result.detail;
  return state.loadedBlocks;
}

fs::path WriteTap(const fs::path& dir) {
  TapeProject project;
  project.blocks = TapeRecords();
  project.fileName = (dir / "tape.tap").string();
  NullProgress progress;
  EXPECT_TRUE(SaveTapFile(project, progress).ok());
  return project.fileName;
}

struct FormatRow {
  const char* name;
  const char* file;     // the converted file's name (its extension picks the type)
  const char* soxArgs;  // the output options of sox
};

class CleanRecording : public ::testing::TestWithParam<FormatRow> {};

TEST_P(CleanRecording, DecodesEveryRecord) {
  if (!ToolInPath("tape2wav") || !ToolInPath("sox")) GTEST_SKIP() << "tape2wav or sox is not installed";
  const FormatRow& row = GetParam();
  TempDir dir;
  const fs::path tap = WriteTap(dir.path());
  const fs::path rendered = dir / "rendered.wav";
  ASSERT_TRUE(RunTool("tape2wav -r 44100 " + Quoted(tap) + " " + Quoted(rendered), dir / "log"));
  const fs::path converted = dir / row.file;
  ASSERT_TRUE(RunTool("sox -R " + Quoted(rendered) + " " + row.soxArgs + " " + Quoted(converted), dir / "log"));
  EXPECT_EQ(PrepareAndDecode(converted, dir.path()), TapeRecords());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CleanRecording,
    ::testing::Values(FormatRow{"u8_mono_22050", "a.wav", "-r 22050 -b 8 -e unsigned-integer"},
                      FormatRow{"s16_mono_44100", "a.wav", "-b 16"},
                      FormatRow{"s16_stereo_48000", "a.wav", "-r 48000 -b 16 -c 2"},
                      FormatRow{"s24_mono_96000", "a.wav", "-r 96000 -b 24"},
                      FormatRow{"float_mono_44100", "a.wav", "-b 32 -e floating-point"},
                      FormatRow{"flac_s16", "a.flac", "-b 16"},
                      FormatRow{"aiff_s16", "a.aiff", "-b 16"},
                      FormatRow{"w64_s16", "a.w64", "-b 16"}),
    [](const auto& info) { return std::string(info.param.name); });

// Lossy encodings, the commonest form of shared tape rips: the encoder's
// command reads rendered.wav and writes the file named.
struct LossyRow {
  const char* name;
  const char* tool;
  const char* file;
  const char* command;  // {in} and {out} are put in
};

class LossyRecording : public ::testing::TestWithParam<LossyRow> {};

TEST_P(LossyRecording, DecodesEveryRecord) {
  const LossyRow& row = GetParam();
  if (!ToolInPath("tape2wav") || !ToolInPath(row.tool)) GTEST_SKIP() << row.tool << " is not installed";
  TempDir dir;
  const fs::path tap = WriteTap(dir.path());
  const fs::path rendered = dir / "rendered.wav";
  ASSERT_TRUE(RunTool("tape2wav -r 44100 " + Quoted(tap) + " " + Quoted(rendered), dir / "log"));
  std::string command = row.command;
  command.replace(command.find("{in}"), 4, Quoted(rendered));
  command.replace(command.find("{out}"), 5, Quoted(dir / row.file));
  ASSERT_TRUE(RunTool(command, dir / "log"));
  EXPECT_EQ(PrepareAndDecode(dir / row.file, dir.path()), TapeRecords());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LossyRecording,
    ::testing::Values(LossyRow{"mp3_128", "lame", "a.mp3", "lame --quiet -b 128 {in} {out}"},
                      LossyRow{"mp3_64_mono", "lame", "a.mp3", "lame --quiet -m m -b 64 {in} {out}"},
                      LossyRow{"mp3_with_id3_tag", "lame", "a.mp3", "lame --quiet --id3v2-only --tt Tape {in} {out}"},
                      LossyRow{"ogg_vorbis", "oggenc", "a.ogg", "oggenc -Q -q 3 -o {out} {in}"},
                      LossyRow{"ogg_opus", "opusenc", "a.opus", "opusenc --quiet {in} {out}"}),
    [](const auto& info) { return std::string(info.param.name); });

fs::path Export(const fs::path& dir) {
  TapeProject project;
  project.blocks = TapeRecords();
  const fs::path wav = dir / "export.wav";
  NullProgress progress;
  EXPECT_TRUE(SaveWavFile(project, wav.string(), progress).ok());
  return wav;
}

// Through sox's resampler up to 44100 Hz 16-bit, and back to the export's own
// form: the step into each pause rings, and an unprepared decoding completes
// the byte sent after the checksum.
TEST(OwnExport, AfterAResamplerDecodesIntoTheSameRecords) {
  if (!ToolInPath("sox")) GTEST_SKIP() << "sox is not installed";
  TempDir dir;
  const fs::path exported = Export(dir.path());
  const fs::path up = dir / "up.wav";
  const fs::path back = dir / "back.wav";
  ASSERT_TRUE(RunTool("sox -R " + Quoted(exported) + " -r 44100 -b 16 " + Quoted(up), dir / "log"));
  ASSERT_TRUE(RunTool("sox -R " + Quoted(up) + " -r 22050 -b 8 -e unsigned-integer " + Quoted(back), dir / "log"));
  EXPECT_EQ(PrepareAndDecode(up, dir.path()), TapeRecords());
  EXPECT_EQ(PrepareAndDecode(back, dir.path()), TapeRecords());
}

// Played into a PulseAudio null sink and recorded from its monitor (a private
// server in a private folder, ended when the test ends).
TEST(OwnExport, ThroughASoundServerDecodesIntoTheSameRecords) {
  if (!ToolInPath("pulseaudio") || !ToolInPath("parec") || !ToolInPath("paplay")) {
    GTEST_SKIP() << "pulseaudio-utils is not installed";
  }
  TempDir dir;
  const fs::path exported = Export(dir.path());
  const fs::path runtime = dir / "runtime";
  fs::create_directories(runtime);
  const std::string env = "XDG_RUNTIME_DIR=" + Quoted(runtime) + " HOME=" + Quoted(dir.path()) + " ";
  if (!RunTool(env + "pulseaudio -n --daemonize=yes --exit-idle-time=-1 --use-pid-file=yes "
                     "--load=module-null-sink --load=module-native-protocol-unix",
               dir / "log")) {
    GTEST_SKIP() << "no PulseAudio server could be started here";
  }
  const fs::path recorded = dir / "recorded.wav";
  // parec runs in the background while paplay plays the export, then stops.
  const std::string record = env + "parec -d null.monitor --file-format=wav --rate=44100 --channels=2 " +
                             Quoted(recorded) + " & echo $! > " + Quoted(dir / "parec.pid");
  const bool played = RunTool(record, dir / "log1") &&
                      RunTool("sleep 0.5; " + env + "paplay -d null " + Quoted(exported) + "; sleep 0.5", dir / "log2");
  std::system(("kill $(cat " + Quoted(dir / "parec.pid") + ") 2>/dev/null; sleep 0.3").c_str());
  std::system((env + "pulseaudio --kill 2>/dev/null").c_str());
  ASSERT_TRUE(played);
  EXPECT_EQ(PrepareAndDecode(recorded, dir.path()), TapeRecords());
}

}  // namespace
}  // namespace reelo
