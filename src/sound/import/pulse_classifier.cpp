#include "sound/import/pulse_classifier.h"

#include "sound/import/import_pictures.h"
#include "sound/import/pulse_measure.h"

namespace reelo {
namespace {

bool InRange(int length, int low, int high) { return low <= length && length <= high; }

}  // namespace

std::optional<PulseClass> ClassifyLength(int length, const PulseBounds& b, bool dataFound) {
  if (!dataFound && InRange(length, b[PulseBounds::kPilotLow], b[PulseBounds::kPilotHigh])) return PulsePilot;
  if (InRange(length, b[PulseBounds::kOneLow], b[PulseBounds::kOneHigh])) return PulseOne;
  if (InRange(length, b[PulseBounds::kZeroLow], b[PulseBounds::kZeroHigh])) return PulseZero;
  if (length < b[PulseBounds::kZeroLow] || length > b[PulseBounds::kPilotHigh]) return PulseNoise;
  return std::nullopt;
}

PulseClass ApplyQuestionReply(ImportState& state, QuestionReply reply) {
  switch (reply) {
    case QuestionReply::Noise: state.questionAnswer = PulseNoise; break;
    case QuestionReply::Pilot: state.questionAnswer = PulsePilot; break;
    case QuestionReply::One: state.questionAnswer = PulseOne; break;
    case QuestionReply::Zero: state.questionAnswer = PulseZero; break;
    case QuestionReply::StopLoading:
      state.stopRequested = true;
      state.questionAnswer = PulseNoise;
      break;
    case QuestionReply::Closed: break;
  }
  return state.questionAnswer;
}

Pacer EventsPacer(ImportEvents& events, ImportState* state) {
  return Pacer(
      [&events, state](std::int64_t position) {
        const bool goOn = events.Progress(position);
        if (!goOn && state) state->stopRequested = true;
        return goOn;
      },
      events.ProgressInterval(), kSamplesPerClockCheck);
}

PulseClassTable::PulseClassTable(const PulseBounds& bounds) : bounds_(bounds) {
  for (int dataFound = 0; dataFound < 2; ++dataFound) {
    for (int length = 0; length <= kMaxPulseLength; ++length) {
      const auto found = ClassifyLength(length, bounds, dataFound != 0);
      classes_[static_cast<std::size_t>(dataFound)][static_cast<std::size_t>(length)] =
          found ? static_cast<std::uint8_t>(*found) : kAsk;
    }
  }
}

namespace {

PulseClass Ask(ImportRun& run, int length) {
  const BadSignalQuestion question{run.position, length, BuildQuestionPicture(run.recording, run.position, length)};
  return ApplyQuestionReply(run.state, run.events.AskBadSignal(question));
}

}  // namespace

PulseClass ClassifyPulse(ImportRun& run, const PulseBounds& bounds) {
  const int length = run.cursor.Measure(run.recording, run.position, run.pacer);
  if (const auto found = ClassifyLength(length, bounds, run.state.dataFound)) return *found;
  return Ask(run, length);
}

PulseClass ClassifyPulse(ImportRun& run, const PulseClassTable& classes) {
  const int length = run.cursor.Measure(run.recording, run.position, run.pacer);
  if (const auto found = classes(length, run.state.dataFound)) [[likely]] return *found;
  return Ask(run, length);
}

}  // namespace reelo
