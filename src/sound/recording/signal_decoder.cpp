#include "sound/recording/signal_decoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>

#include "project/tape_project.h"
#include "sound/recording/bit_repair.h"

namespace reelo {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The ROM's timings (T-states), as shares of the pilot half-wave: bits are
// judged against the block's own pilot, so the speed of the recording cancels.
constexpr double kRomPilot = 2168, kRomSync = 667 + 735, kRomZero = 2 * 855, kRomOne = 2 * 1710;
constexpr double kZeroPeriod = kRomZero / kRomPilot;  // 0.79 pilot half-waves
constexpr double kOnePeriod = kRomOne / kRomPilot;    // 1.58
constexpr double kRomPilotSeconds = kRomPilot / 3500000.0;

// A pilot half-wave from 75% to 130% of the ROM's (speed errors, other
// machines' timings); at least this many of them, steady within a share of
// their mean, make a pilot. Speech and music are never that steady that long.
constexpr double kPilotLow = 0.75, kPilotHigh = 1.3;
constexpr int kMinPilot = 400;
constexpr float kPilotSteady = 0.12f;
constexpr float kPilotJitter = 1.0f;     // samples: an edge of an unfiltered square wave moves by one
// Half-waves that do not fit (noise splits some) are counted with a memory
// that fades with each good one; the pilot is given up when about one in five
// does not fit.
constexpr float kMissFade = 0.95f;
constexpr float kMissLimit = 4.0f;
constexpr int kPilotAverage = 32;        // pilot half-waves in the running mean

// Sync: one half-wave shorter than this share of the pilot, and with the next
// one a period within these shares.
constexpr float kSyncFirstMax = 0.75f, kSyncFirstMin = 0.12f;
constexpr float kSyncPairMin = 0.4f, kSyncPairMax = 1.05f;

// The end of a block's data: a half-wave longer than this (in pilot
// half-waves), a run of half-waves too short for any bit (noise), or a period
// outside the bits' range.
constexpr float kDataLongest = 2.0f;
constexpr float kNoiseHalf = 0.12f;
constexpr int kNoiseRun = 12;
constexpr double kPeriodMin = 0.5, kPeriodMax = 1.45;  // of the 0 and the 1 period
// While the data is read, periods outside the bits' range are counted with a
// fading memory; noise in the pause after a block soon passes this score.
constexpr float kBadFade = 0.8f, kBadLimit = 2.5f;
// So many half-waves in a row that fit the pilot end the data: the next
// block's pilot (no data bit's half-wave is that long and steady).
constexpr int kPilotRunEnds = 16;
constexpr float kPilotRunSteady = 0.1f;
// A half-wave shorter than this share of the 0 bit's half-wave is a split made
// by noise: it joins its neighbours.
constexpr double kSplitShare = 0.45;
// A second half-wave longer than this share of the 1 bit's half-wave ends the
// block (the pause): the bit is judged on its first half-wave.
constexpr double kLastHalfLong = 1.5;
// How fast the estimates of the periods follow the signal, per bit: the speed
// (both periods at once) and each period on its own.
constexpr double kSpeedFollow = 0.05, kClassFollow = 0.02;
// A bit whose two half-waves point to different values counts as this much
// less certain.
constexpr double kHalvesDisagree = 0.6;
// The largest record kept (a 64 KiB block with flag and checksum).
constexpr std::size_t kMaxRecordBytes = 65536 + 2;
constexpr std::size_t kMinRecordBytes = 2;

// Conditioning: a high-pass well below the pilot (hum, rumble, DC), a
// low-pass above the 0 bit's harmonics (hiss); the threshold follows the
// envelope's peak with this share and decays with this time.
constexpr double kHighPassHz = 250.0;
constexpr double kLowPassHz = 6000.0;
constexpr float kThresholdShare = 0.3f;
constexpr double kEnvelopeSeconds = 0.0015;
constexpr float kSilenceFloor = 3e-4f;   // about -70 dBFS: below it nothing is an edge

constexpr std::size_t kBlockSamples = 8192;
constexpr auto kProgressEvery = std::chrono::milliseconds(10);

// A second-order section in float, cheap enough to run on every sample.
class Section {
 public:
  static Section Make(double hz, double rate, bool high) {
    const double k = std::tan(kPi * std::min(hz, rate * 0.45) / rate);
    const double q = std::sqrt(0.5);
    const double norm = 1 / (1 + k / q + k * k);
    Section s;
    s.b0_ = static_cast<float>(high ? norm : k * k * norm);
    s.b1_ = static_cast<float>(high ? -2 * norm : 2 * k * k * norm);
    s.b2_ = s.b0_;
    s.a1_ = static_cast<float>(2 * (k * k - 1) * norm);
    s.a2_ = static_cast<float>((1 - k / q + k * k) * norm);
    return s;
  }
  float Process(float x) {
    const float y = b0_ * x + z1_;
    z1_ = b1_ * x - a1_ * y + z2_;
    z2_ = b2_ * x - a2_ * y;
    return y;
  }

 private:
  float b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0, z1_ = 0, z2_ = 0;
};

// Samples in, half-waves out: filters, follows the envelope, and places an
// edge at the zero crossing before the signal passes the threshold on the
// other side.
class EdgeFinder {
 public:
  explicit EdgeFinder(double rate)
      : highPass_(Section::Make(kHighPassHz, rate, true)),
        lowPass_(Section::Make(kLowPassHz, rate, false)),
        lowPassOn_(rate * 0.45 > kLowPassHz * 1.2),
        decay_(static_cast<float>(std::exp(-1.0 / (rate * kEnvelopeSeconds)))) {}

  template <typename Sink>
  void Process(const float* samples, std::size_t count, std::int64_t first, Sink&& sink) {
    for (std::size_t i = 0; i < count; ++i) {
      float y = highPass_.Process(samples[i]);
      if (lowPassOn_) y = lowPass_.Process(y);
      const float a = std::fabs(y);
      envelope_ = std::max(a, envelope_ * decay_);
      const double n = static_cast<double>(first + static_cast<std::int64_t>(i));
      if ((previous_ <= 0) != (y <= 0)) {
        const double at = n - 1 + static_cast<double>(previous_ / (previous_ - y));
        if (y > 0) up_ = at; else down_ = at;
      }
      previous_ = y;
      const float threshold = std::max(kThresholdShare * envelope_, kSilenceFloor);
      if (high_ ? y < -threshold : y > threshold) {
        high_ = !high_;
        const double edge = high_ ? up_ : down_;
        sink(static_cast<float>(edge - lastEdge_), static_cast<std::int64_t>(edge));
        lastEdge_ = edge;
      }
    }
  }

 private:
  Section highPass_, lowPass_;
  bool lowPassOn_;
  float decay_;
  float envelope_ = 0;
  float previous_ = 0;
  bool high_ = false;
  double up_ = 0, down_ = 0, lastEdge_ = 0;
};

struct BitRun {
  std::vector<std::uint8_t> bytes;
  std::vector<std::uint8_t> confidence;
  double meanConfidence = 0;
};

// The bits of a block's data half-waves, read from the pair starting at
// offset, with the periods' estimates starting from the pilot and following
// the signal bit by bit.
BitRun ReadBits(const std::vector<float>& halves, std::size_t offset, double pilot) {
  double m0 = kZeroPeriod * pilot, m1 = kOnePeriod * pilot;
  std::vector<std::uint8_t> bits, conf;
  for (std::size_t i = offset; i < halves.size(); i += 2) {
    const double a = halves[i];
    double p = i + 1 < halves.size() ? a + halves[i + 1] : 2 * a;
    const bool lastHalfLong = i + 1 >= halves.size() || halves[i + 1] > kLastHalfLong * m1 / 2;
    if (lastHalfLong) p = 2 * a;
    if (p < kPeriodMin * m0 || p > kPeriodMax * m1) break;
    const double threshold = (m0 + m1) / 2;
    const bool one = p > threshold;
    double certainty = std::min(1.0, std::fabs(p - threshold) / ((m1 - m0) / 2));
    if (!lastHalfLong && (2 * a > threshold) != (2 * halves[i + 1] > threshold)) certainty *= kHalvesDisagree;
    bits.push_back(one ? 1 : 0);
    conf.push_back(static_cast<std::uint8_t>(std::lround(certainty * 255)));
    const double ratio = p / (one ? m1 : m0);
    const double speed = 1 + kSpeedFollow * (ratio - 1);
    m0 *= speed;
    m1 *= speed;
    (one ? m1 : m0) += kClassFollow * (p - (one ? m1 : m0));
    if (lastHalfLong) break;
  }
  BitRun run;
  const std::size_t byteCount = std::min(bits.size() / 8, kMaxRecordBytes);
  run.bytes.assign(byteCount, 0);
  run.confidence.assign(conf.begin(), conf.begin() + static_cast<std::ptrdiff_t>(byteCount * 8));
  double sum = 0;
  for (std::size_t b = 0; b < byteCount * 8; ++b) {
    run.bytes[b / 8] = static_cast<std::uint8_t>(run.bytes[b / 8] << 1 | bits[b]);
    sum += conf[b];
  }
  run.meanConfidence = byteCount ? sum / static_cast<double>(byteCount * 8) : 0;
  return run;
}

// Joins half-waves split by noise: a tiny one with both its neighbours.
std::vector<float> JoinSplits(const std::vector<float>& halves, double pilot) {
  const float tiny = static_cast<float>(kSplitShare * kZeroPeriod / 2 * pilot);
  std::vector<float> out;
  out.reserve(halves.size());
  for (std::size_t i = 0; i < halves.size(); ++i) {
    if (halves[i] < tiny && !out.empty() && i + 1 < halves.size()) {
      out.back() += halves[i] + halves[i + 1];
      ++i;
    } else {
      out.push_back(halves[i]);
    }
  }
  return out;
}

// A byte sent after the checksum (some savers send one, 0) completes like any
// other and still matches, since x ^ 0 == x. It is dropped where the record's
// length is known: a header is 19 bytes, and the data after a header is as
// long as the header says.
constexpr std::size_t kHeaderBytes = 19;
void DropByteAfterChecksum(SignalRecord& record, std::size_t expected) {
  if (!record.checksumOk || record.bytes.size() != expected + 1 || record.bytes.back() != 0) return;
  record.bytes.pop_back();
  record.confidence.resize(record.bytes.size() * 8);
}

std::size_t ExpectedLength(const SignalRecord& record, const SignalRecord* header) {
  if (!record.bytes.empty() && record.bytes[0] == 0x00) return kHeaderBytes;
  if (header && header->checksumOk && header->bytes.size() == kHeaderBytes && header->bytes[0] == 0x00) {
    return static_cast<std::size_t>(header->bytes[12] | header->bytes[13] << 8) + 2;
  }
  return 0;
}

std::string RecordLine(int number, const SignalRecord& record) {
  std::string line = "Блок" + NumberText(number) + ":" + NumberText(static_cast<long long>(record.bytes.size())) +
                     " байт, флаг" + NumberText(record.bytes.empty() ? 0 : record.bytes[0]);
  if (record.checksumOk) {
    line += ", контрольная сумма верна";
    if (record.repairedBits > 0) line += ", исправлено битов:" + NumberText(record.repairedBits);
  } else {
    line += ", контрольная сумма неверна";
  }
  return line;
}

}  // namespace

int MeanConfidence(const SignalRecord& record) {
  if (record.confidence.empty()) return 0;
  long long sum = 0;
  for (std::uint8_t c : record.confidence) sum += c;
  return static_cast<int>(sum / static_cast<long long>(record.confidence.size()));
}

int LeastConfidence(const SignalRecord& record) {
  if (record.confidence.empty()) return 0;
  return *std::min_element(record.confidence.begin(), record.confidence.end());
}

BlockReader::BlockReader(double rate)
    : rate_(rate),
      minPilot_(static_cast<float>(kPilotLow * kRomPilotSeconds * rate)),
      maxPilot_(static_cast<float>(kPilotHigh * kRomPilotSeconds * rate)) {}

void BlockReader::StartSearch() {
  state_ = State::Search;
  pilotCount_ = 0;
  pilotMisses_ = 0;
  pilotHalf_ = 0;
}

bool BlockReader::Add(float length, std::int64_t endSample) {
  if (state_ == State::Data) {
    if (length > kDataLongest * pilotHalf_) {
      const bool done = CloseData(endSample);
      StartSearch();
      return done;
    }
    shortRun_ = length < kNoiseHalf * pilotHalf_ ? shortRun_ + 1 : 0;
    // Back to the pilot when what looked like a sync was a split in it.
    if (halves_.size() < 8 && std::fabs(length - pilotHalf_) < kPilotSteady * pilotHalf_) {
      state_ = State::Pilot;
      pilotCount_ += static_cast<int>(halves_.size()) + 1;
      return false;
    }
    halves_.push_back(length);
    if (halves_.size() % 2 == 0) {
      const float period = halves_[halves_.size() - 2] + length;
      const bool bad = period < kPeriodMin * kZeroPeriod * pilotHalf_ || period > kPeriodMax * kOnePeriod * pilotHalf_;
      badScore_ = badScore_ * kBadFade + (bad ? 1.0f : 0.0f);
    }
    pilotRun_ = std::fabs(length - pilotHalf_) < kPilotRunSteady * pilotHalf_ ? pilotRun_ + 1 : 0;
    if (pilotRun_ >= kPilotRunEnds) {
      // The next block's pilot: the data ends before it, and the pilot goes on.
      double run = 0;
      for (int k = 0; k < kPilotRunEnds; ++k) {
        run += halves_.back();
        halves_.pop_back();
      }
      const std::int64_t pilotFrom = endSample - static_cast<std::int64_t>(run);
      const float pilot = pilotHalf_;
      const bool done = CloseData(pilotFrom);
      StartSearch();
      state_ = State::Pilot;
      pilotHalf_ = pilot;
      pilotCount_ = kPilotRunEnds;
      pilotStart_ = pilotFrom;
      return done;
    }
    if (shortRun_ >= kNoiseRun || badScore_ > kBadLimit || halves_.size() >= kMaxRecordBytes * 16) {
      const bool done = CloseData(endSample);
      StartSearch();
      return done;
    }
    return false;
  }
  if (state_ == State::Sync) {
    const float pair = syncFirst_ + length;
    if (length < kSyncFirstMax * pilotHalf_ * 1.1f && pair > kSyncPairMin * pilotHalf_ &&
        pair < kSyncPairMax * pilotHalf_) {
      state_ = State::Data;
      dataStart_ = endSample;
      halves_.clear();
      shortRun_ = 0;
      pilotRun_ = 0;
      badScore_ = 0;
      return false;
    }
    state_ = State::Pilot;
    pilotMisses_ += 2;
    // Falls through: this half-wave may continue the pilot.
  }
  const bool pilotLike = length >= minPilot_ - kPilotJitter && length <= maxPilot_ + kPilotJitter;
  if (pilotLike &&
      (pilotCount_ == 0 || std::fabs(length - pilotHalf_) < kPilotSteady * pilotHalf_ + kPilotJitter)) {
    if (pilotCount_ == 0) {
      pilotStart_ = endSample - static_cast<std::int64_t>(length);
      pilotHalf_ = length;
    } else {
      const int n = std::min(pilotCount_ + 1, kPilotAverage);
      pilotHalf_ += (length - pilotHalf_) / static_cast<float>(n);
    }
    state_ = State::Pilot;
    ++pilotCount_;
    pilotMisses_ *= kMissFade;
    return false;
  }
  if (pilotCount_ >= kMinPilot && length < kSyncFirstMax * pilotHalf_ && length > kSyncFirstMin * pilotHalf_) {
    syncFirst_ = length;
    state_ = State::Sync;
    return false;
  }
  if (++pilotMisses_ > kMissLimit) {
    StartSearch();
    if (pilotLike) return Add(length, endSample);
  }
  return false;
}

bool BlockReader::Finish(std::int64_t endSample) {
  if (state_ != State::Data) return false;
  const bool done = CloseData(endSample);
  StartSearch();
  return done;
}

bool BlockReader::CloseData(std::int64_t endSample) {
  record_ = SignalRecord{};
  record_.pilotSample = pilotStart_;
  record_.dataSample = dataStart_;
  record_.endSample = endSample;
  record_.pilotHalfWaves = pilotCount_;
  record_.pilotHalfMicroseconds = pilotHalf_ / rate_ * 1e6;
  hasRecord_ = DecodeData();
  halves_.clear();
  return hasRecord_;
}

bool BlockReader::DecodeData() {
  const std::vector<float> halves = JoinSplits(halves_, pilotHalf_);
  // The pairs from the first half-wave after the sync, and from the next one
  // (a sync read one half-wave short); the run whose checksum matches, else the
  // surer one.
  BitRun best;
  bool bestOk = false;
  for (std::size_t offset = 0; offset < 2; ++offset) {
    BitRun run = ReadBits(halves, offset, pilotHalf_);
    const bool ok = run.bytes.size() >= kMinRecordBytes && RecordSyndrome(run.bytes) == 0;
    if (offset == 0 || (ok && !bestOk) || (ok == bestOk && run.meanConfidence > best.meanConfidence)) {
      best = std::move(run);
      bestOk = ok;
    }
  }
  if (best.bytes.size() < kMinRecordBytes) return false;
  // A byte completed by the ringing after the block: dropped when the record
  // matches without it.
  if (!bestOk && best.bytes.size() > kMinRecordBytes && RecordSyndrome(best.bytes) == best.bytes.back()) {
    best.bytes.pop_back();
    best.confidence.resize(best.bytes.size() * 8);
    bestOk = true;
  }
  record_.bytes = std::move(best.bytes);
  record_.confidence = std::move(best.confidence);
  record_.checksumOk = bestOk;
  return true;
}

SignalRecord BlockReader::TakeRecord() {
  hasRecord_ = false;
  return std::move(record_);
}

SignalDecodeResult DecodeSignal(SampleSource& source, DecodeEvents& events, const SignalDecodeOptions& options) {
  SignalDecodeResult result;
  const int rate = source.rate();
  if (rate <= 0) return result;
  EdgeFinder edges(rate);
  BlockReader reader(rate);
  std::vector<float> block(kBlockSamples);
  auto lastProgress = std::chrono::steady_clock::now();
  RepairLimits limits;
  limits.maxBits = options.maxRepairBits;

  auto keep = [&]() {
    SignalRecord record = reader.TakeRecord();
    if (!record.checksumOk && options.repair) {
      record.repairedBits = RepairBits(record.bytes, record.confidence, limits);
      record.checksumOk = record.repairedBits > 0;
    }
    DropByteAfterChecksum(record, ExpectedLength(record, result.records.empty() ? nullptr : &result.records.back()));
    if (options.reportLines) events.ReportLine(RecordLine(static_cast<int>(result.records.size()) + 1, record));
    result.records.push_back(std::move(record));
  };

  // A stop asked for before anything is read is honoured too.
  if (!events.Progress(0)) {
    result.stopped = true;
    return result;
  }
  while (!result.storeFull) {
    const std::size_t got = source.Read(block.data(), block.size());
    if (got == 0) break;
    edges.Process(block.data(), got, result.samplesRead, [&](float length, std::int64_t at) {
      if (result.storeFull || !reader.Add(length, at)) return;
      if (static_cast<int>(result.records.size()) >= options.maxRecords) {
        result.storeFull = true;
        reader.TakeRecord();
        return;
      }
      keep();
    });
    result.samplesRead += static_cast<std::int64_t>(got);
    const auto now = std::chrono::steady_clock::now();
    if (now - lastProgress >= kProgressEvery) {
      lastProgress = now;
      if (!events.Progress(result.samplesRead)) {
        result.stopped = true;
        return result;
      }
    }
  }
  if (!result.storeFull && reader.Finish(result.samplesRead)) {
    if (static_cast<int>(result.records.size()) >= options.maxRecords) {
      result.storeFull = true;
    } else {
      keep();
    }
  }
  events.Progress(result.samplesRead);
  return result;
}

}  // namespace reelo
