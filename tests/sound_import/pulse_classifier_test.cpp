// Pulse classes: every length 0..1000 against tables of bounds, the answers of
// the bad-signal question, and the question's view of the recording.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "import_fakes.h"
#include "sound/import/pulse_classifier.h"
#include "sound/import/pulse_measure.h"

namespace reelo {
namespace {

using testing::FakeHost;
using testing::TempDir;

// Expected class of a range of lengths; kAsk means the user is asked.
constexpr int kAsk = -1;
struct Span {
  int upTo;  // the span covers lengths from the previous span's upTo + 1 to this
  int expected;
};

struct ClassCase {
  std::string name;
  std::array<int, 6> bounds;
  bool dataFound;
  std::vector<Span> spans;  // the last one must reach kMaxPulseLength
};

std::vector<ClassCase> ClassCases() {
  const std::array<int, 6> defaults = PulseBounds::kDefaults;
  return {
      {"DefaultsOutsideData", defaults, false,
       {{1, PulseNoise}, {6, PulseZero}, {8, kAsk}, {11, PulseOne}, {14, PulsePilot}, {1000, PulseNoise}}},
      {"DefaultsInData", defaults, true,
       {{1, PulseNoise}, {6, PulseZero}, {8, kAsk}, {11, PulseOne}, {14, kAsk}, {1000, PulseNoise}}},
      {"OverlapPilotBeatsOneBeatsZero", {2, 12, 9, 14, 12, 14}, false,
       {{1, PulseNoise}, {8, PulseZero}, {11, PulseOne}, {14, PulsePilot}, {1000, PulseNoise}}},
      {"OverlapInDataOneBeatsZero", {2, 12, 9, 14, 12, 14}, true,
       {{1, PulseNoise}, {8, PulseZero}, {14, PulseOne}, {1000, PulseNoise}}},
      {"ReversedZeroRangeIsUnreachable", {6, 2, 9, 11, 12, 14}, false,
       {{5, PulseNoise}, {8, kAsk}, {11, PulseOne}, {14, PulsePilot}, {1000, PulseNoise}}},
      {"ReversedPilotRangeLeavesAnUpperBoundOf12", {2, 6, 9, 11, 14, 12}, false,
       {{1, PulseNoise}, {6, PulseZero}, {8, kAsk}, {11, PulseOne}, {12, kAsk}, {1000, PulseNoise}}},
      {"PilotFromZeroTakesTheEnd", {2, 6, 9, 11, 0, 14}, false,
       {{0, PulsePilot}, {1, PulsePilot}, {14, PulsePilot}, {1000, PulseNoise}}},
      {"PilotFromZeroInDataIsNoiseAtZero", {2, 6, 9, 11, 0, 14}, true,
       {{1, PulseNoise}, {6, PulseZero}, {8, kAsk}, {11, PulseOne}, {14, kAsk}, {1000, PulseNoise}}},
      {"ZeroFromZeroTakesTheEnd", {0, 6, 9, 11, 12, 14}, false,
       {{6, PulseZero}, {8, kAsk}, {11, PulseOne}, {14, PulsePilot}, {1000, PulseNoise}}},
      {"AllZero", {0, 0, 0, 0, 0, 0}, false, {{0, PulsePilot}, {1000, PulseNoise}}},
      {"AllZeroInData", {0, 0, 0, 0, 0, 0}, true, {{0, PulseOne}, {1000, PulseNoise}}},
      {"WidestBounds", {0, 40, 0, 40, 0, 40}, true, {{40, PulseOne}, {1000, PulseNoise}}},
  };
}

class ClassifyLengthTest : public ::testing::TestWithParam<ClassCase> {};

TEST_P(ClassifyLengthTest, EveryLength) {
  const ClassCase& c = GetParam();
  PulseBounds bounds;
  bounds.value = c.bounds;
  int length = 0;
  for (const Span& span : c.spans) {
    for (; length <= span.upTo; ++length) {
      const std::optional<PulseClass> got = ClassifyLength(length, bounds, c.dataFound);
      const int actual = got ? static_cast<int>(*got) : kAsk;
      ASSERT_EQ(actual, span.expected) << "length " << length;
    }
  }
  EXPECT_EQ(length, kMaxPulseLength + 1) << "the table must cover every length";
}

// The decoder's look-up table: the same classes for every length.
TEST_P(ClassifyLengthTest, TheLookUpTableGivesTheSame) {
  const ClassCase& c = GetParam();
  PulseBounds bounds;
  bounds.value = c.bounds;
  const PulseClassTable classes(bounds);
  int length = 0;
  for (const Span& span : c.spans) {
    for (; length <= span.upTo; ++length) {
      const std::optional<PulseClass> got = classes(length, c.dataFound);
      ASSERT_EQ(got ? static_cast<int>(*got) : kAsk, span.expected) << "length " << length;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Bounds, ClassifyLengthTest, ::testing::ValuesIn(ClassCases()),
                         [](const auto& info) { return info.param.name; });

struct ReplyCase {
  QuestionReply reply;
  PulseClass previous;
  PulseClass result;
  bool stop;
};

TEST(ApplyQuestionReply, EachButtonAndTheCloseBox) {
  const std::vector<ReplyCase> cases = {
      {QuestionReply::Noise, PulseOne, PulseNoise, false},   {QuestionReply::Pilot, PulseNoise, PulsePilot, false},
      {QuestionReply::One, PulseNoise, PulseOne, false},     {QuestionReply::Zero, PulseNoise, PulseZero, false},
      {QuestionReply::StopLoading, PulseOne, PulseNoise, true}, {QuestionReply::Closed, PulseOne, PulseOne, false},
      {QuestionReply::Closed, PulseNoise, PulseNoise, false},
  };
  for (const auto& c : cases) {
    ImportState state;
    state.questionAnswer = c.previous;
    EXPECT_EQ(ApplyQuestionReply(state, c.reply), c.result) << static_cast<int>(c.reply);
    EXPECT_EQ(state.questionAnswer, c.result) << "the answer is kept for the next question";
    EXPECT_EQ(state.stopRequested, c.stop);
  }
}

// A pulse of 8 between the 0 and 1 ranges: the question gets the position
// just after it, its length, and a view with the rising sample at x = 41 and
// the falling one at x = 49.
TEST(ClassifyPulse, AsksAboutAGapPulseAndShowsItsSamples) {
  testing::Signal signal;
  signal.Level(testing::kLow, 60).Cycle(8).Level(testing::kLow, 23);
  TempDir dir;
  RecordingReader recording;
  ASSERT_TRUE(recording.Open(signal.Write(dir).string()).ok());
  FakeHost host;
  host.replies = {QuestionReply::One};
  ImportState state;
  ImportRun run(recording, host, state, kDecodeStartPosition);

  EXPECT_EQ(ClassifyPulse(run, PulseBounds{}), PulseOne);
  ASSERT_EQ(host.questions.size(), 1u);
  const auto& q = host.questions[0];
  const std::int64_t riseAt = 49 + 60 + 8 + 1;  // positions of the rising and falling samples
  EXPECT_EQ(q.position, riseAt + 8 + 1);
  EXPECT_EQ(q.length, 8);
  EXPECT_EQ(q.picture.bandLeft, 41);
  EXPECT_EQ(q.picture.bandRight, 49);
  EXPECT_EQ(q.picture.samples[40], testing::kLow);
  EXPECT_EQ(q.picture.samples[41], testing::kHigh);
  EXPECT_EQ(q.picture.samples[48], testing::kHigh);
  EXPECT_EQ(q.picture.samples[49], testing::kLow);
  // The file ends 22 samples after the falling one: the rest of the view is the rest level.
  EXPECT_EQ(q.picture.samples[71], testing::kLow);
  EXPECT_EQ(q.picture.samples[72], kOutsideSample);
  EXPECT_EQ(q.picture.samples[100], kOutsideSample);
}

}  // namespace
}  // namespace reelo
