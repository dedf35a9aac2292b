// A recording session's decoding by periods, as the window and reelo-cli run
// it: the recording and its takes, the facts of each record, the report lines,
// and the takes that cannot help (another tape, silence, a file gone).
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "quiet_import_host.h"
#include "recording_builders.h"
#include "sound/import/tape_decoder.h"
#include "sound/recording/recording_session.h"
#include "tape_builders.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;
constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
constexpr int kWav8 = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;

std::vector<TapeBlock> Tape() {
  return {testing::MakeHeader(3, "takes", 60), testing::MakeDataBlock(testing::RandomBytes(60, 5)),
          testing::MakeDataBlock(testing::RandomBytes(20, 6))};
}

std::vector<TapeBlock> OtherTape() {
  return {testing::MakeHeader(0, "zzzzzzzzzz", 777, 10), testing::MakeDataBlock(testing::RandomBytes(777, 9))};
}

std::vector<float> Rom(const std::vector<TapeBlock>& records, int rate) {
  return testing::Scaled(testing::RomSignal(records, rate, 1.0, 600, 0.3), 0.5f);
}

// The recordings a row may use, by name.
testing::Recording Make(const std::string& name) {
  const std::vector<TapeBlock> tape = Tape();
  const std::vector<TapeBlock> firstTwo(tape.begin(), tape.begin() + 2);
  const std::vector<TapeBlock> firstAndLast{tape[0], tape[2]};
  if (name == "mono") return testing::Mono(Rom(Tape(), 44100), 44100);
  if (name == "right") return testing::Stereo(std::vector<float>(Rom(Tape(), 44100).size(), 0.0f), Rom(Tape(), 44100), 44100);
  if (name == "first two") return testing::Mono(Rom(firstTwo, 48000), 48000);
  if (name == "22050") return testing::Mono(Rom(Tape(), 22050), 22050);
  if (name == "first and last") return testing::Mono(Rom(firstAndLast, 22050), 22050);
  if (name == "other tape") return testing::Mono(Rom(OtherTape(), 44100), 44100);
  return testing::Mono(std::vector<float>(44100, 0.0f), 44100);  // "silence"
}

struct TakesRow {
  const char* name;
  std::vector<std::string> recordings;  // the first is opened, the others added as takes
  std::vector<std::string> lines;       // the report's lines that name the records
  std::string warning;                  // a part of the run's Warning; empty: none
};

class SessionTakes : public ::testing::TestWithParam<TakesRow> {};

TEST_P(SessionTakes, DecodesAndMergesByPeriods) {
  const TakesRow& row = GetParam();
  testing::TempDir dir;
  RecordingSession session;
  for (std::size_t i = 0; i < row.recordings.size(); ++i) {
    const std::string path = (dir / ("take" + std::to_string(i + 1) + ".wav")).string();
    ASSERT_TRUE(testing::WriteRecording(path, Make(row.recordings[i]), kWav16));
    ASSERT_TRUE((i == 0 ? session.Open(path) : session.AddTake(path)).ok());
  }
  ImportState state;
  testing::QuietImportHost host;
  const SessionOptions read;
  ASSERT_TRUE(session.DecodesPeriods(read));
  const DecodeResult decoded = session.Decode(read, state, PulseBounds{}, host);
  ASSERT_TRUE(decoded.ok()) << decoded.message;
  EXPECT_EQ(state.loadedBlocks, Tape());
  // The pilot's half-wave within 1% of the ROM's 619 µs is written "ROM".
  std::vector<std::string> lines;
  const std::regex pilot("пилот-тон ([0-9]+) мкс$");
  for (const std::string& line : host.lines) {
    if (line.rfind("Блок", 0) != 0) continue;
    std::smatch match;
    if (std::regex_search(line, match, pilot) && std::abs(std::stoi(match[1]) - 619) <= 6) {
      lines.push_back(line.substr(0, static_cast<std::size_t>(match.position(0))) + "пилот-тон ROM");
    } else {
      lines.push_back(line);
    }
  }
  EXPECT_EQ(lines, row.lines);
  EXPECT_EQ(host.lines.back(), "Найдено блоков: 3");
  ASSERT_EQ(decoded.records.size(), std::size_t{3});
  EXPECT_EQ(decoded.records[0].checksumMatches, true);
  EXPECT_GT(decoded.records[0].confidence, 0.0);
  if (row.warning.empty()) {
    EXPECT_FALSE(decoded.isWarning()) << decoded.message;
  } else {
    EXPECT_NE(decoded.message.find(row.warning), std::string::npos) << decoded.message;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SessionTakes,
    ::testing::Values(
        TakesRow{"one_mono_recording",
                 {"mono"},
                 {"Блок 1: 19 байт, флаг 0, контрольная сумма верна, пилот-тон ROM",
                  "Блок 2: 62 байт, флаг 255, контрольная сумма верна, пилот-тон ROM",
                  "Блок 3: 22 байт, флаг 255, контрольная сумма верна, пилот-тон ROM"},
                 ""},
        TakesRow{"signal_on_the_right",
                 {"right"},
                 {"Блок 1: 19 байт, флаг 0, контрольная сумма верна (правый канал), пилот-тон ROM",
                  "Блок 2: 62 байт, флаг 255, контрольная сумма верна (правый канал), пилот-тон ROM",
                  "Блок 3: 22 байт, флаг 255, контрольная сумма верна (правый канал), пилот-тон ROM"},
                 ""},
        TakesRow{"takes_that_each_lost_a_record_at_other_rates",
                 {"first two", "first and last"},
                 {"Блок 1: 19 байт, флаг 0, контрольная сумма верна (из записи 1), пилот-тон ROM",
                  "Блок 2: 62 байт, флаг 255, контрольная сумма верна (из записи 1), пилот-тон ROM",
                  "Блок 3: 22 байт, флаг 255, контрольная сумма верна (из записи 2), пилот-тон ROM"},
                 ""},
        TakesRow{"a_take_of_another_tape",
                 {"mono", "other tape"},
                 {"Блок 1: 19 байт, флаг 0, контрольная сумма верна (из записи 1), пилот-тон ROM",
                  "Блок 2: 62 байт, флаг 255, контрольная сумма верна (из записи 1), пилот-тон ROM",
                  "Блок 3: 22 байт, флаг 255, контрольная сумма верна (из записи 1), пилот-тон ROM"},
                 "take2.wav не совпал с блоками других записей: возможно, это запись другой ленты; её блоки не добавлены"},
        TakesRow{"a_silent_take",
                 {"mono", "silence"},
                 {"Блок 1: 19 байт, флаг 0, контрольная сумма верна (из записи 1), пилот-тон ROM",
                  "Блок 2: 62 байт, флаг 255, контрольная сумма верна (из записи 1), пилот-тон ROM",
                  "Блок 3: 22 байт, флаг 255, контрольная сумма верна (из записи 1), пилот-тон ROM"},
                 "В записи " }),
    [](const auto& info) { return std::string(info.param.name); });

// Takes refused when they are added, and a take gone by the time of the run:
// an Error, and the records of the last run stay as they were.
TEST(SessionTakes, RefusesWhatCannotBeATake) {
  testing::TempDir dir;
  const std::string tape = (dir / "tape.wav").string();
  ASSERT_TRUE(testing::WriteRecording(tape, Make("mono"), kWav16));
  const std::string text = (dir / "text.wav").string();
  testing::WriteFileBytes(text, testing::Bytes(3000, 'x'));
  const std::string later = (dir / "later.wav").string();
  ASSERT_TRUE(testing::WriteRecording(later, Make("mono"), kWav16));
  RecordingSession session;
  ASSERT_TRUE(session.Open(tape).ok());
  struct Refusal {
    std::string path, message;
  };
  const Refusal refusals[] = {{tape, "Эта запись уже выбрана"},
                              {text, "Формат звукового файла не распознан"},
                              {(dir / "gone.wav").string(), "Не удалось открыть звуковой файл"}};
  for (const Refusal& refusal : refusals) {
    const OpResult added = session.AddTake(refusal.path);
    EXPECT_FALSE(added.ok()) << refusal.path;
    EXPECT_EQ(added.message.rfind(refusal.message, 0), 0u) << added.message;
  }
  ASSERT_TRUE(session.AddTake(later).ok());
  EXPECT_EQ(session.AddTake(later).message, "Эта запись уже выбрана");
  EXPECT_EQ(session.takes(), std::vector<std::string>{later});
  fs::remove(later);
  ImportState state;
  state.loadedBlocks = {testing::MakeDataBlock({1, 2})};
  testing::QuietImportHost host;
  const DecodeResult decoded = session.Decode(SessionOptions{}, state, PulseBounds{}, host);
  EXPECT_FALSE(decoded.ok());
  EXPECT_EQ(state.loadedBlocks, std::vector<TapeBlock>{testing::MakeDataBlock({1, 2})});
  // Another recording opened: its takes are forgotten.
  ASSERT_TRUE(session.Open(tape).ok());
  EXPECT_TRUE(session.takes().empty());
}

// Which decoder reads: the period decoder for a readable recording with
// cleaning and no bounds of the user's; the exact path for the decoder's own
// form without cleaning, as it always did (its first line "Загрузка...").
TEST(SessionTakes, ChoosesTheDecoder) {
  testing::TempDir dir;
  const std::string own = (dir / "own.wav").string();
  ASSERT_TRUE(testing::WriteRecording(own, Make("22050"), kWav8));
  RecordingSession session;
  ASSERT_TRUE(session.Open(own).ok());
  ASSERT_TRUE(session.info().exact);
  struct Row {
    bool prepare, clean, periods, expected;
    const char* firstLine;
  };
  const Row rows[] = {{true, true, true, true, "Запись "},
                      {true, false, true, false, "Загрузка..."},
                      {false, true, true, false, "Загрузка..."},
                      {true, true, false, false, "Загрузка..."}};
  for (const Row& row : rows) {
    SessionOptions read;
    read.prepare = row.prepare;
    read.preparation.clean = row.clean;
    read.periods = row.periods;
    EXPECT_EQ(session.DecodesPeriods(read), row.expected);
    ImportState state;
    testing::QuietImportHost host;
    const PulseBounds wide{{2, 7, 8, 13, 14, 17}};
    ASSERT_TRUE(session.Decode(read, state, wide, host).ok());
    ASSERT_FALSE(host.lines.empty());
    EXPECT_EQ(host.lines.front().rfind(row.firstLine, 0), 0u) << host.lines.front();
    EXPECT_EQ(state.loadedBlocks, Tape()) << row.prepare << row.clean << row.periods;
  }
}


// The prepared copy, on the pulse path that reads it: a whole run leaves it and
// the next run reads it without preparing again; a stopped run leaves none, and
// a stop is reported as a stop, not as a failure.
class CountingHost final : public testing::QuietImportHost {
 public:
  explicit CountingHost(std::int64_t stopAfter) : stopAfter_(stopAfter) {}
  int begins = 0;  // the preparation's passes and the run
  void Begin(const std::string&, std::int64_t) override { ++begins; }
  bool Progress(std::int64_t) override { return stopAfter_ < 0 || calls_++ < stopAfter_; }

 private:
  std::int64_t stopAfter_;  // progress calls before the stop; -1: never
  std::int64_t calls_ = 0;
};

TEST(SessionCopy, IsKeptOnlyAfterAWholeRunAndSavesTheNextOneItsPreparation) {
  struct Row {
    const char* name;
    std::int64_t stopAfter;
    bool kept;
  };
  for (const Row& row : {Row{"whole run", -1, true}, Row{"stopped at once", 0, false}}) {
    SCOPED_TRACE(row.name);
    testing::TempDir dir;
    const std::string path = (dir / "tape.wav").string();
    ASSERT_TRUE(testing::WriteRecording(path, Make("mono"), kWav16));
    RecordingSession session(dir.path().string());
    ASSERT_TRUE(session.Open(path).ok());
    SessionOptions pulses;
    pulses.periods = false;
    ImportState first;
    CountingHost stopping(row.stopAfter);
    const DecodeResult run = session.Decode(pulses, first, PulseBounds{}, stopping);
    EXPECT_TRUE(run.ok()) << run.message << " " << run.detail;
    EXPECT_EQ(run.stopped, !row.kept);
    EXPECT_GT(stopping.begins, 0);
    const std::string& copy = session.preparedCopy().path();
    EXPECT_EQ(!copy.empty() && fs::exists(copy), row.kept);

    ImportState second;
    CountingHost whole(-1);
    ASSERT_TRUE(session.Decode(pulses, second, PulseBounds{}, whole).ok());
    EXPECT_EQ(second.loadedBlocks, Tape());
    EXPECT_EQ(whole.begins, row.kept ? 1 : 2);  // the run, and the preparation before it
  }
}

}  // namespace
}  // namespace reelo
