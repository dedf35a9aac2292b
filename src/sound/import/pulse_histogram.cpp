#include "sound/import/pulse_histogram.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

#include "sound/import/pulse_classifier.h"
#include "sound/import/pulse_measure.h"
#include "sound/import/recording_reader.h"

namespace reelo {
namespace {

// The counts of the pulses measured since they were last added to the
// histogram. They are kept in four sets, pulse after pulse in turn, so a run
// of pulses of one length (a pilot tone) does not make each count wait for
// the one before. The histogram's cap is applied when they are added: a
// counter that stops at the cap ends as the smaller of the cap and its count.
class PendingCounts {
 public:
  void Count(int length) { ++sets_[0][Bin(length)]; }
  // A run of held pulses, in one loop without a look at the clock.
  void Count(const PulseCursor::HeldPulse* pulses, int n) {
    int i = 0;
    for (; i + kSets <= n; i += kSets) {
      for (int set = 0; set < kSets; ++set) ++sets_[set][Bin(PulseCursor::LengthOf(pulses[i + set]))];
    }
    for (; i < n; ++i) ++sets_[0][Bin(PulseCursor::LengthOf(pulses[i]))];
  }
  void AddTo(PulseHistogram& histogram) {
    for (std::size_t bin = 0; bin < histogram.size(); ++bin) {
      std::int64_t total = histogram[bin];
      for (auto& set : sets_) total += set[bin];
      histogram[bin] = static_cast<int>(std::min<std::int64_t>(total, kHistogramCap));
    }
    for (auto& set : sets_) set.fill(0);
  }

 private:
  static constexpr int kSets = 4;
  // Lengths from kHistogramBins on share the last counter, which is never added.
  static constexpr int kLongest = 63;
  static_assert(kLongest >= kHistogramBins);
  static std::size_t Bin(int length) { return static_cast<std::size_t>(std::min(length, kLongest)); }

  std::array<std::array<std::uint32_t, kLongest + 1>, kSets> sets_{};
};

// Every pulse is counted as it is measured, the held ones in runs between two
// looks at the clock. The pacer shows the progress and learns of a stop
// between any two of them; before each report the counts so far go into the
// histogram, so the window repaints every pulse measured.
void MeasureAll(ImportRun& run) {
  PendingCounts pending;
  Pacer pacer(
      [&run, &pending](std::int64_t position) {
        pending.AddTo(run.state.pulseHistogram);
        const bool goOn = run.events.Progress(position);
        if (!goOn) run.state.stopRequested = true;
        return goOn;
      },
      run.events.ProgressInterval(), kSamplesPerClockCheck);
  const bool& stop = run.state.stopRequested;
  while (run.position <= run.recording.length() && !stop) {
    const int taken = run.cursor.TakeHeld(
        run.recording, run.position, pacer, stop, std::numeric_limits<int>::max(),
        [&pending](const PulseCursor::HeldPulse* pulses, int n) { pending.Count(pulses, n); });
    if (taken == 0 && !stop) pending.Count(run.cursor.Measure(run.recording, run.position, pacer));
  }
  pending.AddTo(run.state.pulseHistogram);
}

}  // namespace

void CountPulse(PulseHistogram& histogram, int length) {
  if (length < 0 || length >= kHistogramBins) return;
  int& counter = histogram[static_cast<std::size_t>(length)];
  if (counter < kHistogramCap) ++counter;
}

void AnalyseSpectrum(ImportState& state, RecordingReader& recording, ImportEvents& events) {
  state.stopRequested = false;
  state.pulseHistogram.fill(0);
  events.Begin(kAnalysisStatusText, recording.expectedLength());
  ImportRun run(recording, events, state, kAnalysisStartPosition);
  MeasureAll(run);
}

OpResult AnalyseSpectrum(ImportState& state, const std::string& wavFileName, ImportEvents& events) {
  if (wavFileName.empty()) return OpResult::Success();
  RecordingReader recording;
  if (OpResult opened = recording.Open(wavFileName); !opened.ok()) return opened;
  AnalyseSpectrum(state, recording, events);
  return recording.ReadOutcome(wavFileName);
}

}  // namespace reelo
