// Hostile places: names with Cyrillic letters and spaces, a file that is gone
// by the time it is read, a named pipe where a file should be. Each command
// ends with the program's message and keeps what it had before.
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "project/tap_file.h"
#include "quiet_import_host.h"
#include "sound/export/wav_writer.h"
#include "sound/import/pulse_histogram.h"
#include "sound/import/tape_decoder.h"
#include "tape_builders.h"

namespace reelo {
namespace {

using testing::TempDir;

constexpr auto kPatience = std::chrono::seconds(5);

// The window's report, every question answered "noise", and the runs begun counted.
class QuietHost final : public testing::QuietImportHost {
 public:
  int begins = 0;

  void Begin(const std::string&, std::int64_t) override { ++begins; }
};

std::vector<TapeBlock> SomeBlocks() {
  return {testing::MakeHeader(3, "экран", 6912, 16384), testing::MakeDataBlock(testing::RandomBytes(64, 9))};
}

TEST(HostilePaths, CyrillicLettersAndSpacesWorkLikeAnyOtherName) {
  TempDir dir;
  const auto folder = dir / "Мои ленты 1";
  std::filesystem::create_directory(folder);
  TapeProject project;
  project.blocks = SomeBlocks();
  project.fileName = (folder / "игра номер 1.tap").string();
  NullProgress progress;
  ASSERT_EQ(SaveTapFile(project, progress).kind, OpResult::Kind::Ok);
  TapeProject loaded;
  ASSERT_EQ(LoadTapFile(loaded, project.fileName, progress).kind, OpResult::Kind::Ok);
  EXPECT_EQ(loaded.blocks, project.blocks);

  const std::string wav = (folder / "запись с ленты.wav").string();
  ASSERT_EQ(SaveWavFile(project, wav, progress).kind, OpResult::Kind::Ok);
  ImportState state;
  QuietHost host;
  ASSERT_EQ(DecodeTape(state, PulseBounds{}, wav, host).kind, OpResult::Kind::Ok);
  EXPECT_EQ(state.loadedBlocks, project.blocks);
}

// The file was chosen, then deleted before the command read it.
TEST(HostilePaths, AFileGoneBeforeReadingChangesNothing) {
  TempDir dir;
  TapeProject project;
  project.blocks = SomeBlocks();
  const std::string wav = (dir / "gone.wav").string();
  NullProgress progress;
  ASSERT_TRUE(SaveWavFile(project, wav, progress).ok());
  ImportState state;
  QuietHost first;
  ASSERT_TRUE(AnalyseSpectrum(state, wav, first).ok());
  ASSERT_TRUE(DecodeTape(state, PulseBounds{}, wav, first).ok());
  const ImportState before = state;
  project.fileName = wav;
  std::filesystem::remove(wav);

  QuietHost host;
  const OpResult analysis = AnalyseSpectrum(state, wav, host);
  const OpResult decoding = DecodeTape(state, PulseBounds{}, wav, host);
  for (const OpResult& r : {analysis, decoding}) {
    EXPECT_EQ(r.kind, OpResult::Kind::Error);
    EXPECT_EQ(r.message, "Не удалось открыть звуковой файл " + wav);
    EXPECT_EQ(r.detail, "файл или папка не найдены");
  }
  EXPECT_EQ(host.begins, 0) << "a run that cannot start never begins";
  EXPECT_EQ(state.loadedBlocks, before.loadedBlocks);
  EXPECT_EQ(state.pulseHistogram, before.pulseHistogram);

  TapeProject target = project;
  const OpResult load = LoadTapFile(target, wav, progress);
  EXPECT_EQ(load.kind, OpResult::Kind::Error);
  EXPECT_EQ(load.message, "Не удалось открыть файл " + wav);
  EXPECT_EQ(target.blocks, project.blocks);
}

// Runs `command` with a deadline. A command stuck opening the pipe is freed by
// opening the pipe's other end, so the test fails instead of hanging.
OpResult WithinPatience(const std::string& pipe, const std::function<OpResult()>& command) {
  auto running = std::async(std::launch::async, command);
  if (running.wait_for(kPatience) == std::future_status::ready) return running.get();
  ADD_FAILURE() << "still waiting on the named pipe after " << kPatience.count() << " s";
  const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
  if (writer >= 0) ::close(writer);
  return running.get();
}

TEST(HostilePaths, ANamedPipeIsRefusedWithoutWaitingForAWriter) {
  TempDir dir;
  const std::string pipe = (dir / "pipe.wav").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  ImportState state;
  QuietHost host;
  NullProgress progress;
  TapeProject project;
  project.blocks = SomeBlocks();

  const OpResult analysis = WithinPatience(pipe, [&] { return AnalyseSpectrum(state, pipe, host); });
  EXPECT_EQ(analysis.kind, OpResult::Kind::Error);
  EXPECT_EQ(analysis.message, "Не удалось открыть звуковой файл " + pipe);
  const OpResult decoding = WithinPatience(pipe, [&] { return DecodeTape(state, PulseBounds{}, pipe, host); });
  EXPECT_EQ(decoding.kind, OpResult::Kind::Error);
  EXPECT_EQ(host.begins, 0);
  const OpResult load = WithinPatience(pipe, [&] { return LoadTapFile(project, pipe, progress); });
  EXPECT_EQ(load.kind, OpResult::Kind::Error);
  EXPECT_EQ(load.message, "Не удалось открыть файл " + pipe);
  EXPECT_EQ(project.blocks, SomeBlocks());
}

}  // namespace
}  // namespace reelo
