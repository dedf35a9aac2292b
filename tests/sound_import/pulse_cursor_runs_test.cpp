// The pulse cursor measures ahead and hands its pulses out in runs; whoever
// reads them must see exactly what one pulse at a time gives: the lengths and
// positions of the byte-by-byte rule, the same progress reports (so a stop
// from the window lands on the same pulse) and the same histograms, over
// readers whose windows and mapped stretches end anywhere in a pulse.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "import_fakes.h"
#include "sound/import/pulse_classifier.h"
#include "sound/import/pulse_histogram.h"
#include "sound/import/pulse_measure.h"
#include "sound/import/tape_decoder.h"

namespace reelo {
namespace {

using testing::ByteByByte;
using testing::Bytes;
using testing::FakeHost;
using testing::Signal;
using testing::TempDir;

// How a run reads the file: mapped stretches of mappedSpan bytes or copies,
// windows of at most bufferSize samples, a cursor looking at span samples.
struct Reading {
  FileReading mode = FileReading::Mapped;
  std::size_t bufferSize = kRecordingBufferSize;
  std::int64_t mappedSpan = kMappedSpan;
  int span = PulseCursor::kMaxSpan;
};

struct RunCase {
  std::string name;
  Bytes samples;
  Reading reading;
  int batch;   // most pulses asked for at once
  int stopAt;  // the progress report that answers "stop" (0: none)
};

// What a run of pulse batches shows: every length, the position after every
// batch (or after every pulse, for batches of one), the progress reports.
struct Seen {
  std::vector<int> lengths;
  std::vector<std::int64_t> positions;
  std::vector<std::int64_t> progress;
  std::int64_t end = 0;
  bool operator==(const Seen&) const = default;
};

void StopAt(FakeHost& host, int stopAt) {
  host.onYield = [&host, stopAt] {
    if (stopAt > 0 && host.yields == stopAt) host.stopAnswer = true;
  };
}

// One pulse at a time, the pacer ticked before each, over the same reader.
Seen PlainRun(const std::string& path, const Reading& reading, int stopAt) {
  RecordingReader recording(reading.bufferSize, reading.mode, reading.mappedSpan);
  EXPECT_TRUE(recording.Open(path).ok());
  ImportState state;
  FakeHost host;
  StopAt(host, stopAt);
  Pacer pacer = EventsPacer(host, &state);
  PulseCursor cursor(reading.span);
  Seen seen;
  std::int64_t position = kDecodeStartPosition;
  while (position <= recording.length() && !state.stopRequested) {
    seen.lengths.push_back(cursor.Measure(recording, position, pacer));
    seen.positions.push_back(position);
  }
  seen.progress = host.progress;
  seen.end = position;
  return seen;
}

Seen BatchedRun(const std::string& path, const Reading& reading, int batch, int stopAt) {
  RecordingReader recording(reading.bufferSize, reading.mode, reading.mappedSpan);
  EXPECT_TRUE(recording.Open(path).ok());
  ImportState state;
  FakeHost host;
  StopAt(host, stopAt);
  Pacer pacer = EventsPacer(host, &state);
  PulseCursor cursor(reading.span);
  Seen seen;
  std::vector<int> lengths(static_cast<std::size_t>(std::min(batch, 100000)));
  std::int64_t position = kDecodeStartPosition;
  while (position <= recording.length() && !state.stopRequested) {
    const int n = MeasurePulses(cursor, recording, position, pacer, state.stopRequested, lengths.data(),
                                static_cast<int>(lengths.size()));
    EXPECT_GT(n, 0);
    if (n <= 0) break;
    seen.lengths.insert(seen.lengths.end(), lengths.begin(), lengths.begin() + n);
    seen.positions.push_back(position);
  }
  seen.progress = host.progress;
  seen.end = position;
  return seen;
}

// Cycles of 1 to 30 samples and now and then a long high half-wave or rest,
// so pulses straddle every 64 and 4096 samples somewhere.
Bytes Mixed(unsigned seed, int cycles) {
  Signal signal;
  std::uint32_t state = seed;
  for (int i = 0; i < cycles; ++i) {
    state = state * 1664525u + 1013904223u;
    const int kind = static_cast<int>(state >> 28);
    if (kind == 0) {
      signal.Level(testing::kHigh, 900 + (state >> 8) % 4000).Level(testing::kLow, 2);
    } else if (kind == 1) {
      signal.Level(testing::kRest, 1 + (state >> 8) % 5000);
    } else {
      signal.Cycle(1 + static_cast<int>((state >> 8) % 30));
    }
  }
  return signal.samples();
}

// Cycles of seven samples: 14 does not divide 64 or 4096, so every block
// looked at together ends inside a pulse.
Bytes SevenSampleCycles(int count) {
  Signal signal;
  return signal.Cycles(7, count).samples();
}

// Cycles of 16 samples: a pulse begins exactly where the pacer next looks at
// the clock (every 4096 samples from the last look).
Bytes SixteenSampleCycles(int count) {
  Signal signal;
  return signal.Cycles(8, count).samples();
}

// A file whose last pulses end at F - 3 (measured) and F - 2 (the end).
Bytes EndingInPulses(std::size_t before) {
  Bytes out = Mixed(9, 1000);
  out.resize(before, testing::kRest);
  const Bytes tail = {200, 200, 90, 200, 90, 127, 127, 200, 200, 90, 127};
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

std::vector<RunCase> RunCases() {
  const std::int64_t page = 4096;
  return {
      {"SevenSampleCyclesWholeRuns", SevenSampleCycles(5000), {}, INT_MAX, 0},
      {"SevenSampleCyclesSevenAtATime", SevenSampleCycles(5000), {}, 7, 0},
      {"OneAtATimeAsTheDecoderAsks", Mixed(1, 1000), {}, 1, 0},
      {"MappedStretchesOfOnePage", Mixed(2, 1000), {FileReading::Mapped, kRecordingBufferSize, page}, 1000, 0},
      {"MappedWindowsOf100Samples", Mixed(3, 1000), {FileReading::Mapped, 100, page}, INT_MAX, 0},
      {"CopiedWindowsOfOddSizes", Mixed(4, 1000), {FileReading::Copied, 333}, 1000, 0},
      {"CursorOf64Samples", Mixed(5, 1000), {FileReading::Mapped, kRecordingBufferSize, kMappedSpan, 64}, 5, 0},
      {"CursorOf4000Samples", Mixed(6, 1000), {FileReading::Mapped, kRecordingBufferSize, kMappedSpan, 4000},
       INT_MAX, 0},
      {"CyclesMeetingTheClockExactly", SixteenSampleCycles(3000), {}, INT_MAX, 0},
      {"CyclesMeetingTheClockExactlyOnePageStretches", SixteenSampleCycles(3000),
       {FileReading::Mapped, kRecordingBufferSize, page}, 100, 0},
      {"StopAtTheFirstReport", Mixed(7, 1000), {}, INT_MAX, 1},
      {"StopAtTheSecondReportInsideARun", SevenSampleCycles(3000), {}, INT_MAX, 2},
      {"StopAtTheThirdReportMeetingTheClock", SixteenSampleCycles(3000), {}, 1000, 3},
      {"StopAtTheSixthReportOneAtATime", Mixed(8, 1000), {}, 1, 6},
      {"StopAtTheFourthReportOnePageStretches", SevenSampleCycles(9000),
       {FileReading::Mapped, 100, page}, 1000, 4},
      {"OddLengthEndingInPulses", EndingInPulses(4096 * 5 + 37), {}, INT_MAX, 0},
      {"OddLengthEndingInPulsesSmallWindows", EndingInPulses(4096 * 5 + 37), {FileReading::Copied, 61}, 3, 0},
      {"ShorterThanTwoWords", EndingInPulses(100), {}, INT_MAX, 0},
  };
}

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class CursorRuns : public ::testing::TestWithParam<RunCase> {};

TEST_P(CursorRuns, BatchesMeasureAsThePlainLoop) {
  const RunCase& c = GetParam();
  TempDir dir;
  testing::WriteFileBytes(dir / "r.wav", c.samples);
  const std::string path = (dir / "r.wav").string();
  const Seen plain = PlainRun(path, c.reading, c.stopAt);
  const Seen batched = BatchedRun(path, c.reading, c.batch, c.stopAt);

  // The byte-by-byte rule gives the plain loop's lengths.
  std::int64_t p = kDecodeStartPosition;
  for (std::size_t i = 0; i < plain.lengths.size(); ++i) {
    ASSERT_EQ(ByteByByte(c.samples, p), plain.lengths[i]) << "pulse " << i;
    ASSERT_EQ(p, plain.positions[i]) << "pulse " << i;
  }
  EXPECT_EQ(batched.lengths, plain.lengths);
  EXPECT_EQ(batched.progress, plain.progress);
  EXPECT_EQ(batched.end, plain.end);
  if (c.batch == 1) {
    EXPECT_EQ(batched.positions, plain.positions);
  }
  if (c.stopAt > 0) {
    EXPECT_EQ(plain.progress.size(), static_cast<std::size_t>(c.stopAt));
    EXPECT_LT(plain.end, static_cast<std::int64_t>(c.samples.size()));
  }
}

// The spectrum analysis over the same readers: the same report positions and
// at each report the same histogram as the plain loop counting pulse by pulse.
// (The analysis's cursor looks at the most samples at once.)
TEST_P(CursorRuns, SpectrumAnalysisCountsAsThePlainLoop) {
  const RunCase& c = GetParam();
  TempDir dir;
  testing::WriteFileBytes(dir / "r.wav", c.samples);
  const std::string path = (dir / "r.wav").string();
  struct Counted {
    std::vector<std::int64_t> progress;
    std::vector<PulseHistogram> shown;
    PulseHistogram final{};
  };
  auto watch = [&c](FakeHost& host, const ImportState& state, Counted& counted) {
    host.onYield = [&host, &state, &counted, stopAt = c.stopAt] {
      counted.shown.push_back(state.pulseHistogram);
      if (stopAt > 0 && host.yields == stopAt) host.stopAnswer = true;
    };
  };

  Counted plain;
  {
    RecordingReader recording(c.reading.bufferSize, c.reading.mode, c.reading.mappedSpan);
    ASSERT_TRUE(recording.Open(path).ok());
    ImportState state;
    FakeHost host;
    watch(host, state, plain);
    Pacer pacer = EventsPacer(host, &state);
    PulseCursor cursor;
    std::int64_t position = kAnalysisStartPosition;
    while (position <= recording.length() && !state.stopRequested) {
      CountPulse(state.pulseHistogram, cursor.Measure(recording, position, pacer));
    }
    plain.progress = host.progress;
    plain.final = state.pulseHistogram;
  }
  Counted analysed;
  {
    RecordingReader recording(c.reading.bufferSize, c.reading.mode, c.reading.mappedSpan);
    ASSERT_TRUE(recording.Open(path).ok());
    ImportState state;
    FakeHost host;
    watch(host, state, analysed);
    AnalyseSpectrum(state, recording, host);
    analysed.progress = host.progress;
    analysed.final = state.pulseHistogram;
  }
  EXPECT_EQ(analysed.progress, plain.progress);
  ASSERT_EQ(analysed.shown.size(), plain.shown.size());
  for (std::size_t i = 0; i < plain.shown.size(); ++i) EXPECT_EQ(analysed.shown[i], plain.shown[i]) << "report " << i;
  EXPECT_EQ(analysed.final, plain.final);
}

INSTANTIATE_TEST_SUITE_P(Readers, CursorRuns, ::testing::ValuesIn(RunCases()),
                         [](const auto& info) { return info.param.name; });

// The decoder over the batched cursor and over one-sample windows: the same
// report, questions (position, length, picture) and records. (The progress
// positions follow the windows a reader hands out, so they differ here.)
struct DecodeCase {
  std::string name;
  Bytes samples;
  std::vector<QuestionReply> replies;
  Reading reading;
};

struct Decoded {
  std::vector<std::string> calls;
  std::vector<FakeHost::Question> questions;
  std::vector<TapeBlock> blocks;
  bool stopped = false;
};

Decoded Decode(const std::string& path, const DecodeCase& c, const Reading& reading) {
  RecordingReader recording(reading.bufferSize, reading.mode, reading.mappedSpan);
  EXPECT_TRUE(recording.Open(path).ok());
  ImportState state;
  FakeHost host;
  host.replies.assign(c.replies.begin(), c.replies.end());
  const DecodeResult result = DecodeTape(state, PulseBounds{}, recording, host);
  return {host.calls, host.questions, state.loadedBlocks, result.stopped};
}

Bytes BlocksWithBadPulses() {
  Signal signal;
  for (int i = 0; i < 12; ++i) {
    signal.Cycles(13, 100 + 7 * i).Cycle(5);
    for (int b = 0; b < 60; ++b) signal.Byte(static_cast<std::uint8_t>(b * 7 + i));
    // a pulse between the classes inside the data, then more bytes
    signal.Cycle(8);
    for (int b = 0; b < 20; ++b) signal.Byte(static_cast<std::uint8_t>(b));
    signal.Cycle(5).Level(testing::kRest, Signal::kPause + static_cast<std::size_t>(i));
  }
  return signal.samples();
}

std::vector<DecodeCase> DecodeCases() {
  using R = QuestionReply;
  const std::vector<R> answers = {R::One, R::Zero, R::Noise, R::Pilot, R::Closed, R::One,
                                  R::Zero, R::One, R::Noise, R::Zero, R::One, R::Zero};
  std::vector<R> stopInTheMiddle(answers.begin(), answers.begin() + 6);
  stopInTheMiddle.push_back(R::StopLoading);
  const Reading onePage{FileReading::Mapped, 100, 4096};
  return {
      {"QuestionsAnswered", BlocksWithBadPulses(), answers, {}},
      {"QuestionsAnsweredOnePageStretches", BlocksWithBadPulses(), answers, onePage},
      {"StopFromAQuestionInTheMiddle", BlocksWithBadPulses(), stopInTheMiddle, {}},
      {"StopFromAQuestionOnePageStretches", BlocksWithBadPulses(), stopInTheMiddle, onePage},
  };
}

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class CursorDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(CursorDecode, TheSameRunAsOneSampleWindows) {
  const DecodeCase& c = GetParam();
  TempDir dir;
  testing::WriteFileBytes(dir / "r.wav", c.samples);
  const std::string path = (dir / "r.wav").string();
  const Decoded plain = Decode(path, c, Reading{FileReading::Copied, 1});
  const Decoded batched = Decode(path, c, c.reading);
  EXPECT_EQ(batched.calls, plain.calls);
  ASSERT_EQ(batched.questions.size(), plain.questions.size());
  for (std::size_t i = 0; i < plain.questions.size(); ++i) {
    EXPECT_EQ(batched.questions[i].position, plain.questions[i].position) << "question " << i;
    EXPECT_EQ(batched.questions[i].length, plain.questions[i].length) << "question " << i;
    EXPECT_EQ(batched.questions[i].picture.samples, plain.questions[i].picture.samples) << "question " << i;
    EXPECT_EQ(batched.questions[i].picture.bandLeft, plain.questions[i].picture.bandLeft) << "question " << i;
  }
  EXPECT_EQ(batched.blocks, plain.blocks);
  EXPECT_EQ(batched.stopped, plain.stopped);
  // Every answer was asked for: the questions really lie in the middle of the run.
  EXPECT_EQ(plain.questions.size(), c.replies.size());
  EXPECT_GT(plain.blocks.size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Questions, CursorDecode, ::testing::ValuesIn(DecodeCases()),
                         [](const auto& info) { return info.param.name; });

// Samples in memory as an 8-bit source: read in pieces of at most `piece`,
// and lent whole when `lends`.
class MemorySource final : public ByteSampleSource {
 public:
  MemorySource(const Bytes& bytes, std::size_t piece, bool lends) : bytes_(bytes), piece_(piece), lends_(lends) {}
  int rate() const override { return 22050; }
  std::int64_t length() const override { return static_cast<std::int64_t>(bytes_.size()); }
  std::size_t ReadBytes(std::uint8_t* dest, std::size_t size) override {
    const std::size_t n = std::min({size, piece_, bytes_.size() - std::min(at_, bytes_.size())});
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at_), n, dest);
    at_ += n;
    return n;
  }
  bool Seek(std::int64_t index) override {
    at_ = static_cast<std::size_t>(index);
    return true;
  }
  Lent Lend(std::int64_t) override {
    return lends_ ? Lent{bytes_.data(), 0, length()} : Lent{};
  }

 private:
  const Bytes& bytes_;
  std::size_t piece_;
  bool lends_;
  std::size_t at_ = 0;
};

// The decoder takes the pulses the cursor holds in loops of its own; its
// progress reports must still fall on the pulses where one call per pulse
// (the pacer ticked before each) has them, so a stop lands on the same
// pulse, and its records and questions be the same as with one-sample
// windows (no pulse held). Over files and over sources in memory.
struct ProgressCase {
  std::string name;
  Bytes samples;
  Reading reading;
  std::size_t piece;  // > 0: read from a MemorySource in pieces of this size
  bool lends;         // the MemorySource lends its samples
  int stopAt;         // the progress report that answers "stop" (0: none)
  std::vector<QuestionReply> replies;
};

bool Open(RecordingReader& recording, const std::string& path, const ProgressCase& c, MemorySource& memory) {
  return c.piece > 0 ? recording.Open(memory).ok() : recording.Open(path).ok();
}

Bytes RandomBlocks(int count, int bytes) {
  Signal signal;
  std::uint32_t state = 77;
  for (int i = 0; i < count; ++i) {
    Bytes body;
    for (int b = 0; b < bytes + 13 * i; ++b) {
      state = state * 1664525u + 1013904223u;
      body.push_back(static_cast<std::uint8_t>(state >> 24));
    }
    signal.Block(body, 30 + i);
  }
  return signal.samples();
}

std::vector<ProgressCase> ProgressCases() {
  using R = QuestionReply;
  const Reading copied333{FileReading::Copied, 333};
  const Reading onePage{FileReading::Mapped, 100, 4096};
  const std::vector<R> answers = {R::One, R::Zero, R::Noise, R::Pilot, R::Closed, R::One,
                                  R::Zero, R::One, R::Noise, R::Zero, R::One, R::Zero};
  return {
      {"BlocksMapped", RandomBlocks(4, 300), {}, 0, false, 0, {}},
      {"BlocksCopiedWindowsOf333", RandomBlocks(4, 300), copied333, 0, false, 0, {}},
      {"BlocksOnePageStretches", RandomBlocks(4, 300), onePage, 0, false, 0, {}},
      {"BlocksMemoryLent", RandomBlocks(4, 300), {}, 4096, true, 0, {}},
      {"BlocksMemoryInPiecesOf77", RandomBlocks(4, 300), copied333, 77, false, 0, {}},
      {"StopAtTheFirstReport", RandomBlocks(3, 300), {}, 0, false, 1, {}},
      {"StopAtTheFifthReportCopied", RandomBlocks(3, 300), copied333, 0, false, 5, {}},
      {"StopAtTheNinthReportOnePageStretches", RandomBlocks(3, 300), onePage, 0, false, 9, {}},
      {"StopAtTheSeventhReportMemory", RandomBlocks(3, 300), copied333, 1000, false, 7, {}},
      {"QuestionsMapped", BlocksWithBadPulses(), {}, 0, false, 0, answers},
      {"QuestionsMemoryInPiecesOf61", BlocksWithBadPulses(), copied333, 61, false, 0, answers},
      {"QuestionsThenStopAtTheFourthReport", BlocksWithBadPulses(), onePage, 0, false, 4, answers},
  };
}

void PrintTo(const ProgressCase& c, std::ostream* os) { *os << c.name; }

class DecoderPulses : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(DecoderPulses, ReportsStopsAndQuestionsFallAsOnePulseACall) {
  const ProgressCase& c = GetParam();
  TempDir dir;
  testing::WriteFileBytes(dir / "r.wav", c.samples);
  const std::string path = (dir / "r.wav").string();
  MemorySource memory(c.samples, c.piece, c.lends);

  // Every pulse from the decoder's start, one call each, over the same reading.
  RecordingReader plainReading(c.reading.bufferSize, c.reading.mode, c.reading.mappedSpan);
  ASSERT_TRUE(Open(plainReading, path, c, memory));
  ImportState plainState;
  FakeHost plainHost;
  StopAt(plainHost, c.stopAt);
  Pacer pacer = EventsPacer(plainHost, &plainState);
  PulseCursor cursor;
  std::int64_t position = kDecodeStartPosition;
  while (position <= plainReading.length() && !plainState.stopRequested) cursor.Measure(plainReading, position, pacer);

  RecordingReader recording(c.reading.bufferSize, c.reading.mode, c.reading.mappedSpan);
  ASSERT_TRUE(Open(recording, path, c, memory));
  ImportState state;
  FakeHost host;
  StopAt(host, c.stopAt);
  host.replies.assign(c.replies.begin(), c.replies.end());
  const DecodeResult decoded = DecodeTape(state, PulseBounds{}, recording, host);
  EXPECT_TRUE(recording.ReadOutcome(path).ok());

  EXPECT_EQ(host.progress, plainHost.progress);
  EXPECT_EQ(decoded.stopped, c.stopAt > 0);
  if (c.stopAt > 0) {
    EXPECT_EQ(host.progress.size(), static_cast<std::size_t>(c.stopAt));
  } else {
    EXPECT_GT(host.progress.size(), 8u);
  }

  // Records and questions as with no pulse held, up to where the stop fell.
  DecodeCase asked{c.name, c.samples, c.replies, {}};
  const Decoded plain = Decode(path, asked, Reading{FileReading::Copied, 1});
  ASSERT_LE(host.questions.size(), plain.questions.size());
  for (std::size_t i = 0; i < host.questions.size(); ++i) {
    EXPECT_EQ(host.questions[i].position, plain.questions[i].position) << "question " << i;
    EXPECT_EQ(host.questions[i].length, plain.questions[i].length) << "question " << i;
    EXPECT_EQ(host.questions[i].picture.samples, plain.questions[i].picture.samples) << "question " << i;
  }
  ASSERT_LE(state.loadedBlocks.size(), plain.blocks.size());
  EXPECT_TRUE(std::equal(state.loadedBlocks.begin(), state.loadedBlocks.end(), plain.blocks.begin()));
  if (c.stopAt == 0) {
    EXPECT_EQ(host.calls, plain.calls);
    EXPECT_EQ(host.questions.size(), c.replies.size());
    EXPECT_GT(state.loadedBlocks.size(), 2u);
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, DecoderPulses, ::testing::ValuesIn(ProgressCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace reelo
