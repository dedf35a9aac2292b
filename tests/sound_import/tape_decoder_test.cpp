// The decoder on crafted pulse streams: report lines and records, the
// question, stop requests, the store's limits and the run's calls.
#include <algorithm>
#include <utility>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "import_fakes.h"
#include "sound/import/tape_decoder.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::FakeHost;
using testing::Signal;
using testing::TempDir;

const std::string kLoading = kReportLoading;
const std::string kFound = kReportDataFound;
const std::string kLost = kReportSignalLost;
const std::string kDone = kReportFinished;

std::vector<std::string> Report(std::initializer_list<std::string> middle, int blocks) {
  std::vector<std::string> lines{kLoading};
  lines.insert(lines.end(), middle);
  lines.push_back(kDone);
  lines.push_back(BlocksFoundLine(blocks));
  return lines;
}

std::vector<TapeBlock> Records(std::initializer_list<Bytes> bodies) {
  std::vector<TapeBlock> out;
  for (const auto& body : bodies) out.push_back(MakeRecord(body));
  return out;
}

// Flag, the 17 header bytes and the checksum of a screen header.
Bytes MakeHeaderBody() {
  const TapeBlock header = testing::MakeHeader(3, "screen", 6912, 16384);
  return Bytes(header.begin() + 2, header.end());
}

struct DecodeCase {
  std::string name;
  std::function<void(Signal&)> build;
  std::vector<QuestionReply> replies;
  std::vector<std::string> lines;
  std::vector<TapeBlock> records;
};

std::vector<DecodeCase> DecodeCases() {
  const std::string one = BlockReportLine(1);
  const std::string two = BlockReportLine(2);
  return {
      {"BitsMostSignificantFirst", [](Signal& s) { s.Cycles(13, 5).Cycle(5).Pulses({10, 5, 5, 10, 5, 5, 10, 10, 30}); },
       {}, Report({kFound, one}, 1), Records({{0x93}})},
      {"ZeroAndFFBytes", [](Signal& s) { s.Block({0x00, 0xFF}); }, {}, Report({kFound, two}, 1),
       Records({{0x00, 0xFF}})},
      {"SilenceOnly", [](Signal& s) { s.Level(testing::kRest, 5000).Level(testing::kLow, 100); }, {}, Report({}, 0),
       {}},
      {"EmptyRecording", [](Signal&) {}, {}, Report({}, 0), {}},
      {"NoiseRightAfterTheSync",
       [](Signal& s) {
         s.Cycles(13, 5).Cycle(5).Cycle(30);
         s.Block({0x42});
       },
       {}, Report({kFound, kLost, kFound, one}, 1), Records({{0x42}})},
      {"PilotSearchIgnoresBitsAndNoise",
       [](Signal& s) {
         s.Pulses({10, 5, 30, 1, 5, 10});
         s.Block({0x01});
       },
       {}, Report({kFound, one}, 1), Records({{0x01}})},
      {"SyncSearchIgnoresPilotOnesAndNoise",
       [](Signal& s) { s.Cycle(13).Pulses({10, 13, 30, 1, 10, 5}).Byte(0x81).Cycle(30); }, {}, Report({kFound, one}, 1),
       Records({{0x81}})},
      {"AnUnfinishedByteIsDropped",
       [](Signal& s) { s.Cycles(13, 3).Cycle(5).Byte(0xAA).Byte(0x55).Pulses({10, 10, 10, 30}); }, {},
       Report({kFound, two}, 1), Records({{0xAA, 0x55}})},
      {"TheEndingPulseIsConsumed",
       [](Signal& s) {
         // The pilot pulse that ends the first record does not start the next:
         // the next record needs a pilot pulse of its own.
         s.Cycles(13, 3).Cycle(5).Byte(0x07).Cycle(13).Cycle(5).Byte(0x08).Cycle(30);
       },
       {QuestionReply::Pilot}, Report({kFound, one}, 1), Records({{0x07}})},
      {"HeaderAndDataBlocks",
       [](Signal& s) {
         s.Block(Bytes(MakeHeaderBody()), 30);
         s.Block(Bytes(6912, 0x5A));
       },
       {}, Report({kFound, BlockReportLine(19), kFound, BlockReportLine(6912)}, 2),
       Records({MakeHeaderBody(), Bytes(6912, 0x5A)})},
      {"GapPulseInDataAnsweredOne",
       [](Signal& s) { s.Cycles(13, 3).Cycle(5).Pulses({5, 7, 5, 5, 5, 5, 5, 10, 30}); }, {QuestionReply::One},
       Report({kFound, one}, 1), Records({{0x41}})},
      {"PilotAnswerInDataEndsTheRecord",
       [](Signal& s) { s.Cycles(13, 3).Cycle(5).Byte(0x11).Pulses({13, 10, 10}).Byte(0x22).Cycle(30); },
       {QuestionReply::Pilot}, Report({kFound, one}, 1), Records({{0x11}})},
      {"PilotAnswerInThePilotSearchCountsAsPilot",
       [](Signal& s) { s.Pulses({8, 5}).Byte(0x33).Cycle(30); }, {QuestionReply::Pilot}, Report({kFound, one}, 1),
       Records({{0x33}})},
      {"ZeroAnswerInTheSyncSearchCountsAsSync",
       [](Signal& s) { s.Cycles(13, 2).Cycle(8).Byte(0x44).Cycle(30); }, {QuestionReply::Zero},
       Report({kFound, one}, 1), Records({{0x44}})},
      {"CloseBoxKeepsThePreviousAnswer",
       [](Signal& s) { s.Cycles(13, 2).Cycle(5).Pulses({7, 5, 5, 5, 5, 5, 5, 8, 30}); },
       {QuestionReply::One, QuestionReply::Closed}, Report({kFound, one}, 1), Records({{0x81}})},
  };
}

class DecodeTapeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTapeTest, ReportAndRecords) {
  const DecodeCase& c = GetParam();
  Signal signal;
  c.build(signal);
  TempDir dir;
  ImportState state;
  FakeHost host;
  host.replies.assign(c.replies.begin(), c.replies.end());
  ASSERT_TRUE(DecodeTape(state, PulseBounds{}, signal.Write(dir).string(), host).ok());
  EXPECT_EQ(host.lines, c.lines);
  EXPECT_EQ(state.loadedBlocks, c.records);
  EXPECT_TRUE(host.replies.empty()) << "every planned question was asked";
}

// The same signals streamed (after the lead-in that stands for a header), in
// pieces of any size and through buffers of any size, give the same report,
// records and questions as the file.
TEST_P(DecodeTapeTest, TheSameFromAStream) {
  const DecodeCase& c = GetParam();
  Signal signal;
  c.build(signal);
  const Bytes& all = signal.samples();
  TempDir dir;
  FakeHost fileHost;
  fileHost.replies.assign(c.replies.begin(), c.replies.end());
  ImportState fileState;
  ASSERT_TRUE(DecodeTape(fileState, PulseBounds{}, signal.Write(dir).string(), fileHost).ok());
  for (const auto& [piece, buffer] : {std::pair<std::size_t, std::size_t>{1, 1}, {3, 5}, {4096, 7}, {100000, 1 << 16}}) {
    testing::BytesStream stream(Bytes(all.begin() + 44, all.end()), piece);
    RecordingReader recording(buffer);
    recording.Attach(stream, static_cast<std::int64_t>(all.size()) - 44);
    ImportState state;
    FakeHost host;
    host.replies.assign(c.replies.begin(), c.replies.end());
    const DecodeResult result = DecodeTape(state, PulseBounds{}, recording, host);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(host.lines, c.lines) << piece << " " << buffer;
    EXPECT_EQ(state.loadedBlocks, c.records) << piece << " " << buffer;
    EXPECT_TRUE(host.replies.empty()) << "every planned question was asked";
    EXPECT_EQ(recording.length(), static_cast<std::int64_t>(all.size()));
    ASSERT_EQ(host.questions.size(), fileHost.questions.size());
    for (std::size_t i = 0; i < host.questions.size(); ++i) {
      EXPECT_EQ(host.questions[i].position, fileHost.questions[i].position);
      EXPECT_EQ(host.questions[i].picture.samples, fileHost.questions[i].picture.samples) << "the question's view";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Streams, DecodeTapeTest, ::testing::ValuesIn(DecodeCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace reelo

namespace reelo {
namespace {

class DecodeRun : public ::testing::Test {
 protected:
  DecodeResult Decode(const Signal& signal) { return DecodeTape(state, PulseBounds{}, signal.Write(dir).string(), host); }

  TempDir dir;
  ImportState state;
  FakeHost host;
};

TEST_F(DecodeRun, BeginsAndReportsInOrder) {
  Signal signal;
  signal.Block({0x01});
  state.stopRequested = true;  // left from an earlier run
  const DecodeResult result = Decode(signal);
  ASSERT_TRUE(result.ok());
  EXPECT_FALSE(result.stopped);
  EXPECT_FALSE(result.storeFull);
  const std::string fileLength = std::to_string(signal.samples().size());
  EXPECT_EQ(host.calls, (std::vector<std::string>{
                            "line:" + kLoading, "begin:Загрузка. Подождите...:" + fileLength, "line:" + kFound,
                            "line:" + BlockReportLine(1), "line:" + kDone, "line:" + BlocksFoundLine(1)}));
  for (auto p : host.progress) EXPECT_LE(p, static_cast<std::int64_t>(signal.samples().size()));
}

TEST_F(DecodeRun, StopInTheSecondRecordKeepsTheFirst) {
  Signal signal;
  signal.Block({0x01, 0x02}).Block(Bytes(500, 0x33)).Block({0x04});
  int found = 0;
  host.onLine = [this, &found](const std::string& line) {
    if (line == kFound && ++found == 2) state.stopRequested = true;
  };
  const DecodeResult result = Decode(signal);
  ASSERT_TRUE(result.ok());
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(state.loadedBlocks, Records({{0x01, 0x02}}));
  EXPECT_EQ(host.lines.back(), kFound);
}

TEST_F(DecodeRun, StopButtonOfTheQuestionAbandonsTheRun) {
  Signal signal;
  signal.Block({0x01}).Cycles(13, 3).Cycle(5).Pulses({5, 7}).Block({0x02});
  host.replies = {QuestionReply::StopLoading};
  ASSERT_TRUE(Decode(signal).ok());
  EXPECT_EQ(state.loadedBlocks, Records({{0x01}}));
  EXPECT_EQ(host.lines, (std::vector<std::string>{kLoading, kFound, BlockReportLine(1), kFound}));
  EXPECT_EQ(state.questionAnswer, PulseNoise);
}

TEST_F(DecodeRun, StopFromTheWindowWhileTheRunYields) {
  Signal signal;
  for (int i = 0; i < 40; ++i) signal.Block(Bytes(100, static_cast<std::uint8_t>(i)));
  host.onYield = [this] {
    if (host.yields == 50) state.stopRequested = true;
  };
  const DecodeResult result = Decode(signal);
  ASSERT_TRUE(result.ok());
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(host.yields, 50) << "the stop is seen right after the yield that set it";
  EXPECT_GT(state.loadedBlockCount(), 0);
  EXPECT_LT(state.loadedBlockCount(), 40);
  EXPECT_NE(host.lines.back(), kDone);
}

TEST_F(DecodeRun, ProgressAnsweringFalseStopsTheRun) {
  Signal signal;
  for (int i = 0; i < 40; ++i) signal.Block(Bytes(100, static_cast<std::uint8_t>(i)));
  host.onYield = [this] { host.stopAnswer = host.yields == 50; };
  const DecodeResult result = Decode(signal);
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(host.yields, 50);
  EXPECT_LT(state.loadedBlockCount(), 40);
}

TEST_F(DecodeRun, ARecordIsCompletedAtTheLongestTapLength) {
  Bytes body = testing::RandomBytes(kMaxLoadedRecordLength + 3, 7);
  Signal signal;
  signal.Block(body).Block({0x09});
  ASSERT_TRUE(Decode(signal).ok());
  body.resize(kMaxLoadedRecordLength);
  ASSERT_EQ(state.loadedBlockCount(), 2);
  EXPECT_EQ(state.loadedBlocks[0], MakeRecord(body));
  EXPECT_EQ(RecordLength(state.loadedBlocks[0]), 65535);
  EXPECT_EQ(state.loadedBlocks[1], MakeRecord({0x09}));
  EXPECT_EQ(host.lines, Report({kFound, BlockReportLine(65535), kFound, BlockReportLine(1)}, 2));
}

TEST_F(DecodeRun, AFullStoreEndsTheRunWithAReason) {
  Signal signal;
  for (int i = 0; i <= kMaxLoadedBlocks; ++i) signal.Block({static_cast<std::uint8_t>(i)}, 1);
  const DecodeResult result = Decode(signal);
  ASSERT_TRUE(result.ok());
  EXPECT_TRUE(result.storeFull);
  ASSERT_EQ(state.loadedBlockCount(), kMaxLoadedBlocks);
  EXPECT_EQ(state.loadedBlocks.back(), MakeRecord({static_cast<std::uint8_t>(kMaxLoadedBlocks - 1)}));
  const std::vector<std::string> tail(host.lines.end() - 4, host.lines.end());
  EXPECT_EQ(tail, (std::vector<std::string>{kFound, kReportStoreFull, kDone, BlocksFoundLine(kMaxLoadedBlocks)}));
}

TEST_F(DecodeRun, ExactlyAFullStoreNeedsNoReason) {
  Signal signal;
  for (int i = 0; i < kMaxLoadedBlocks; ++i) signal.Block({0x5A}, 1);
  ASSERT_TRUE(Decode(signal).ok());
  EXPECT_EQ(state.loadedBlockCount(), kMaxLoadedBlocks);
  EXPECT_EQ(std::count(host.lines.begin(), host.lines.end(), kReportStoreFull), 0);
}

TEST_F(DecodeRun, ANewRunReplacesTheStore) {
  state.loadedBlocks = Records({{1}, {2}, {3}});
  Signal signal;
  signal.Block({0x77});
  ASSERT_TRUE(Decode(signal).ok());
  EXPECT_EQ(state.loadedBlocks, Records({{0x77}}));
}

TEST_F(DecodeRun, NoFileNameDoesNothing) {
  state.loadedBlocks = Records({{1}});
  EXPECT_TRUE(DecodeTape(state, PulseBounds{}, "", host).ok());
  EXPECT_TRUE(host.calls.empty());
  EXPECT_EQ(state.loadedBlockCount(), 1);
}

TEST_F(DecodeRun, AnUnreadableFileDoesNotStartTheRun) {
  for (const std::string& path : {(dir / "gone.wav").string(), dir.path().string()}) {
    state.loadedBlocks = Records({{1}});
    const DecodeResult result = DecodeTape(state, PulseBounds{}, path, host);
    EXPECT_EQ(result.kind, OpResult::Kind::Error) << path;
    EXPECT_EQ(result.message, "Не удалось открыть звуковой файл " + path);
    EXPECT_FALSE(result.detail.empty());
    EXPECT_TRUE(host.calls.empty()) << "the run never begins";
    EXPECT_EQ(state.loadedBlockCount(), 1) << "the last run's records stay";
  }
}

TEST_F(DecodeRun, ARecordingThatShrinksDuringTheRunGivesAWarning) {
  Signal signal;
  for (int i = 0; i < 20; ++i) signal.Block(Bytes(200, 0x0F));
  const auto path = signal.Write(dir);
  host.onYield = [&path, this] {
    if (host.yields == 3) std::filesystem::resize_file(path, 100000);
  };
  const DecodeResult result = DecodeTape(state, PulseBounds{}, path.string(), host);
  EXPECT_EQ(result.kind, OpResult::Kind::Warning);
  EXPECT_EQ(result.message, "Ошибка чтения звукового файла " + path.string());
  EXPECT_GT(state.loadedBlockCount(), 0);
  EXPECT_LT(state.loadedBlockCount(), 20);
  EXPECT_EQ(host.lines.back(), BlocksFoundLine(state.loadedBlockCount()));
}

}  // namespace
}  // namespace reelo
