// Pulse measurement and classification on arbitrary recordings, read through a
// buffer of arbitrary size from an arbitrary start position (before the file,
// inside it, past its end), compared pulse by pulse with the byte-at-a-time
// model; then the reader's single samples and windows against the bytes.
//
// Input: 16 steering bytes (buffer size, bounds, the data-part flag, the start
// position, how many pulses, four answers), then the recording.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "reference_import.h"

namespace reelo::fuzz {
namespace {

constexpr std::size_t kSteeringBytes = 16;
constexpr int kMaxBufferSize = 64;
constexpr int kMaxPulses = 64;
constexpr std::size_t kAnswerCount = 4;
constexpr int kProbes = 8;

struct Plan {
  std::size_t bufferSize;
  PulseBounds bounds;
  bool dataFound;
  std::int64_t start;
  int pulses;
  Bytes answers;
};

Plan PlanFrom(Steering& s) {
  Plan plan;
  const std::uint8_t buffer = s.Next();
  // Mostly tiny buffers, so pulses straddle refills; now and then the real size.
  plan.bufferSize = buffer >= 250 ? kRecordingBufferSize : 1 + buffer % kMaxBufferSize;
  plan.bounds = BoundsFrom(s);
  plan.dataFound = s.Next() % 2 != 0;
  plan.start = static_cast<std::int16_t>(s.NextWord());
  plan.pulses = s.NextInRange(1, kMaxPulses);
  for (std::size_t i = 0; i < kAnswerCount; ++i) plan.answers.push_back(s.Next());
  return plan;
}

void CheckMeasurement(const Bytes& rec, RecordingReader& reader, ImportEvents& host, const Plan& plan) {
  Pacer pacer = EventsPacer(host);
  std::int64_t position = plan.start;
  std::int64_t refPosition = plan.start;
  const auto f = static_cast<std::int64_t>(rec.size());
  for (int i = 0; i < plan.pulses && position <= f + 2; ++i) {
    const std::int64_t before = position;
    const int n = MeasurePulse(reader, position, pacer);
    FUZZ_CHECK(n == RefMeasurePulse(rec, refPosition));
    FUZZ_CHECK(position == refPosition);
    FUZZ_CHECK(n >= 0 && n <= kMaxPulseLength);
    FUZZ_CHECK(position > before);
  }
}

// The class of every pulse, and the question for a pulse that fits none.
void CheckClassification(const Bytes& rec, RecordingReader& reader, ScriptedHost& host, ImportState& state,
                         const Plan& plan) {
  state.dataFound = plan.dataFound;
  ImportRun run(reader, host, state, plan.start);
  AnswerScript answers(plan.answers);
  std::int64_t refPosition = plan.start;
  PulseClass previous = state.questionAnswer;
  for (int i = 0; i < plan.pulses && !state.stopRequested; ++i) {
    const std::size_t asked = host.trace.questions.size();
    const PulseClass pc = ClassifyPulse(run, plan.bounds);
    const int n = RefMeasurePulse(rec, refPosition);
    FUZZ_CHECK(run.position == refPosition);
    if (auto expected = RefClassifyLength(n, plan.bounds, plan.dataFound)) {
      FUZZ_CHECK(pc == *expected && host.trace.questions.size() == asked);
      continue;
    }
    FUZZ_CHECK(host.trace.questions.size() == asked + 1);
    FUZZ_CHECK(host.trace.questions.back() == (Asked{refPosition, n}));
    const QuestionReply reply = answers.Next();
    if (reply == QuestionReply::StopLoading) previous = PulseNoise;
    if (reply != QuestionReply::StopLoading && reply != QuestionReply::Closed) {
      previous = static_cast<PulseClass>(static_cast<int>(reply));
    }
    FUZZ_CHECK(pc == previous && state.questionAnswer == previous);
    FUZZ_CHECK(state.stopRequested == (reply == QuestionReply::StopLoading));
  }
}

// Single samples and windows at positions around the file and its edges.
void CheckReads(const Bytes& rec, RecordingReader& reader, Steering& s) {
  const auto f = static_cast<std::int64_t>(rec.size());
  for (int i = 0; i < kProbes; ++i) {
    const std::int64_t p = static_cast<std::int16_t>(s.NextWord());
    FUZZ_CHECK(reader.SampleAt(p) == RefSample(rec, p));
    if (p < 1 || p > f) continue;
    const SampleWindow window = reader.Window(p);
    FUZZ_CHECK(window.count >= 1 && p + window.count - 1 <= f);
    for (std::int64_t k = 0; k < window.count; ++k) FUZZ_CHECK(window.data[k] == RefSample(rec, p + k));
  }
}

}  // namespace
}  // namespace reelo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace reelo::fuzz;
  Steering steering(data, size, kSteeringBytes);
  const Plan plan = PlanFrom(steering);
  const Bytes rec = steering.payloadBytes();
  const std::string path = ScratchPath("pulses.wav");
  WriteScratch(path, rec.data(), rec.size());

  reelo::RecordingReader reader(plan.bufferSize);
  FUZZ_CHECK(reader.Open(path).kind == reelo::OpResult::Kind::Ok);
  FUZZ_CHECK(reader.length() == static_cast<std::int64_t>(rec.size()));
  reelo::ImportState state;
  ScriptedHost host(state, AnswerScript(plan.answers));
  host.SetRecording(rec);
  host.Begin("", reader.length());

  CheckMeasurement(rec, reader, host, plan);
  // The classification is a run of its own from the start again: its
  // positions only grow from there.
  host.trace.progress.clear();
  CheckClassification(rec, reader, host, state, plan);
  Steering probes(rec.data(), rec.size(), rec.size());  // probe positions from the recording itself
  CheckReads(rec, reader, probes);
  FUZZ_CHECK(!reader.readFailed());
  return 0;
}
