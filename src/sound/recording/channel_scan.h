// The measuring pass: one scanner per channel takes the recording's samples as
// they are (at their own rate) and gathers what the quality report and the
// automatic channel choice need: peak, clipping, DC offset, the level of the
// quiet stretches, and the pilot tones with how evenly their half-waves run.
#pragma once

#include <cstdint>
#include <vector>

#include "sound/recording/pacer.h"
#include "sound/recording/quality_report.h"
#include "sound/recording/signal_stages.h"

namespace reelo {

// Runs of pilot half-waves: a run is a stretch of half-waves of the pilot's
// length (about 0.62 ms, a quarter either way) that agree with each other.
class PilotRuns {
 public:
  explicit PilotRuns(double rate);
  // One half-wave, in samples (fractional).
  void Add(double length);
  // Ends the run that is going on (at the end of the recording).
  void Finish();

  int runs() const { return runs_; }
  std::int64_t halfWaves() const { return halfWaves_; }
  // The pilot's frequency over all runs; 0 without a run.
  double frequency() const;
  // The mean relative spread of the half-waves within the runs (1 without a run).
  double jitter() const;

 private:
  void EndRun();

  double rate_, shortest_, longest_;
  // The run going on.
  std::int64_t count_ = 0;
  double sum_ = 0, sumSquares_ = 0;
  // All runs found.
  int runs_ = 0;
  std::int64_t halfWaves_ = 0;
  double totalLength_ = 0, spreadSum_ = 0;
};

class ChannelScanner {
 public:
  ChannelScanner(double rate, int bitsPerSample);
  void Add(float x) {
    const float magnitude = x < 0 ? -x : x;
    if (magnitude > peak_) peak_ = magnitude;
    if (magnitude >= clipLevel_) ++clipped_;
    sum_ += x;
    ++count_;
    mean_ += (x - mean_) * meanAlpha_;
    Track(x - mean_);
  }
  void Finish() { pilots_.Finish(); }

  ChannelQuality Result() const;
  double pilotHalfWaves() const { return static_cast<double>(pilots_.halfWaves()); }
  int pilotRuns() const { return pilots_.runs(); }
  double pilotJitter() const { return pilots_.jitter(); }

 private:
  // d: the sample without its DC (hum and rumble still in it).
  void Track(float d);

  float clipLevel_;
  float meanAlpha_;
  Biquad highPass1_, highPass2_;  // hum and rumble out, for finding the edges
  float releaseFactor_;
  float peak_ = 0, mean_ = 0, envelope_ = 0, previous_ = 0;
  double edgeFraction_ = 0;  // how far before its sample the last edge lay
  double sum_ = 0;
  std::int64_t count_ = 0, clipped_ = 0, sinceEdge_ = 0;
  bool high_ = false;
  BlockLevels levels_;
  PilotRuns pilots_;
};

// Index of the channel whose pilot tones are cleaner: the one that shows
// clearly more pilot half-waves, else the one whose half-waves run more evenly.
int BetterChannel(const std::vector<ChannelScanner>& channels);

}  // namespace reelo

namespace reelo {

class SoundFile;
class PrepareProgress;

// The pacer of a pass: the pass begins now (its label and length in frames),
// and the frames done go to progress->Advance about every
// kPrepareReportIntervalMs. Without a progress nothing is reported.
Pacer PassPacer(PrepareProgress* progress, const char* label, std::int64_t total);

// Frames read per block by every pass.
inline constexpr std::int64_t kFramesPerBlock = 16384;

// Feeds up to maxFrames frames of file, from where it stands, to one scanner
// per channel. False when the progress asked to stop.
bool ScanFrames(SoundFile& file, std::int64_t maxFrames, Pacer& pacer, std::vector<ChannelScanner>& scanners);

// Feeds count interleaved frames to one scanner per channel.
void ScanBlock(const std::vector<float>& frames, std::int64_t count, std::vector<ChannelScanner>& scanners);

// One scanner per channel of the recording.
std::vector<ChannelScanner> MakeScanners(const RecordingInfo& info);

// The report from the scanners of every channel.
QualityReport BuildQualityReport(const RecordingInfo& info, std::vector<ChannelScanner>& scanners);

}  // namespace reelo
