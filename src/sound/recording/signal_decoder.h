// The decoder of the prepared path: reads a tape signal from any sample
// source, at any rate from 8000 Hz up, and returns the records it found as
// values. It does its own conditioning (high-pass for hum and DC, low-pass for
// hiss), finds the edges at the zero crossings between the points where the
// signal passes a threshold that follows its envelope, placing each edge
// between samples, and decides bits on whole periods measured against the
// 0 and 1 periods it follows through the block, starting from the block's own
// pilot. Every bit gets a confidence. Only a block with a pilot and sync of its
// own gives a record, so speech, music, clicks and noise give none.
//
// Memory: a few blocks of samples (HalfWaveStream) and the half-waves of the
// record being read; nothing grows with the recording's length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "sound/recording/sample_source.h"

namespace reelo {

// One record as read from the signal.
struct SignalRecord {
  std::vector<std::uint8_t> bytes;       // flag .. checksum (the TAP record without its length)
  std::vector<std::uint8_t> confidence;  // per bit (bytes.size() * 8, most significant first), 0..255
  bool checksumOk = false;
  int repairedBits = 0;                  // bits changed by the checksum-guided repair
  std::int64_t pilotSample = 0;          // where its pilot began
  std::int64_t dataSample = 0;           // where its first bit began
  std::int64_t endSample = 0;            // where its last bit ended
  int pilotHalfWaves = 0;
  double pilotHalfMicroseconds = 0;      // the pilot's half-wave, so its speed against the ROM's 619 µs
};

struct SignalDecodeOptions {
  bool repair = true;          // try checksum-guided repair on records that fail
  int maxRepairBits = 3;       // at most this many bits changed per record
  int maxRecords = 1000;       // the store: the run ends when it is full
  bool reportLines = true;     // a report line per record
  bool secondThread = true;    // read and filter on a second thread
};

struct SignalDecodeResult {
  std::vector<SignalRecord> records;
  bool stopped = false;    // Progress returned false
  bool storeFull = false;  // maxRecords reached before the end of the recording
  std::int64_t samplesRead = 0;
};

// The mean confidence (0..255) of a record's bits, and the least.
int MeanConfidence(const SignalRecord& record);
int LeastConfidence(const SignalRecord& record);

// Decodes everything the source delivers.
SignalDecodeResult DecodeSignal(SampleSource& source, DecodeEvents& events, const SignalDecodeOptions& options = {});

// The decoder's parts, open for the tests and the take merger: the stream of
// half-waves (in samples, between interpolated edges) goes into a BlockReader,
// which finds pilots and syncs and hands back whole records.
class BlockReader {
 public:
  explicit BlockReader(double rate);
  // One half-wave: its length in samples, where it ended, and its largest
  // swing from the zero line (any unit; only its ratio to the swings of the
  // data's half-waves counts). True when a record was finished by it (take
  // it with TakeRecord).
  bool Add(float length, std::int64_t endSample, float peak = 1.0f);
  // The end of the recording, with the swing of the half-wave in progress:
  // finishes a record in progress.
  bool Finish(std::int64_t endSample, float peak = 1.0f);
  bool HasRecord() const { return hasRecord_; }
  SignalRecord TakeRecord();
  // The length (flag to checksum) a header gave for the record that follows
  // it; 0 when unknown. Holds for the next record read.
  void ExpectLength(std::size_t bytes) { expectedBytes_ = bytes; }

 private:
  enum class State { Search, Pilot, Sync, Data, Gap };
  void StartSearch();
  bool CloseData(std::int64_t endSample);
  bool DecodeData();
  // The data stopped looking like bits: a dropout, or the end of the block.
  bool Break(std::int64_t endSample);
  bool AddToGap(float length, std::int64_t endSample, float peak);
  // The sync read may be the data's first 0 bit, the real sync having run
  // into the pilot's last half-wave.
  bool SyncMayHoldData() const;
  // On giving up a pilot: reads the data from the half-waves since its end
  // when the sync ran into the data's first half-wave (resumed then; true when
  // that finished a record).
  bool ResumeAfterMergedSync(bool& resumed);
  bool GiveUpGap();
  std::size_t ExpectedBytes() const;

  double rate_;
  float minPilot_, maxPilot_;  // the range of a pilot half-wave, in samples
  State state_ = State::Search;
  int pilotCount_ = 0;
  float pilotMisses_ = 0;
  double pilotSum_ = 0;        // of the last pilot half-waves, for their mean
  float pilotHalf_ = 0;        // the running mean of pilot half-waves
  std::int64_t pilotStart_ = 0;
  std::int64_t dataStart_ = 0;
  float syncFirst_ = 0;
  float syncFirstPeak_ = 0;
  float pilotPeak_ = 0;        // the running mean of the pilot's swings
  int shortRun_ = 0;
  int pilotRun_ = 0;           // half-waves in a row that fit the pilot
  float badScore_ = 0;         // periods outside the bits' range, fading
  std::vector<float> halves_;  // of the record being read
  std::vector<float> peaks_;   // their swings
  float tailPeak_ = 1.0f;      // the swing of the half-wave that ended the data
  // A dropout being ridden through: where the data broke off, the half-waves
  // since (with their ends), how long they last, and the runs of pairs in
  // each phase that look like bits again.
  std::int64_t breakSample_ = 0;
  struct GapHalf {
    float length;
    std::int64_t end;
    float peak;
  };
  std::vector<GapHalf> gap_;
  // The pilot's last half-wave, the sync's second, whether the data began at
  // a sync; the half-waves since the pilot's last (with their ends).
  float lastPilot_ = 0;
  float syncSecond_ = 0;
  float syncSecondPeak_ = 0;
  bool fromSync_ = false;
  std::vector<GapHalf> pilotTail_;
  double gapLength_ = 0;
  int resumeRun_[2] = {0, 0};
  int gapPilotRun_ = 0;
  std::size_t expectedBytes_ = 0;
  SignalRecord record_;
  bool hasRecord_ = false;
};

}  // namespace reelo
