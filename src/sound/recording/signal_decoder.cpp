#include "sound/recording/signal_decoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "project/tape_project.h"
#include "sound/recording/bit_repair.h"
#include "sound/recording/half_wave_stream.h"

namespace reelo {
namespace {

// The ROM's timings (T-states), as shares of the pilot half-wave: bits are
// judged against the block's own pilot, so the speed of the recording cancels.
constexpr double kRomPilot = 2168, kRomSync = 667 + 735, kRomZero = 2 * 855, kRomOne = 2 * 1710;
constexpr double kZeroPeriod = kRomZero / kRomPilot;  // 0.79 pilot half-waves
constexpr double kOnePeriod = kRomOne / kRomPilot;    // 1.58
constexpr double kRomPilotSeconds = kRomPilot / 3500000.0;
constexpr double kSyncShare = kRomSync / kRomPilot;                        // 0.65 pilot half-waves
constexpr double kSyncOrZero = (kRomSync + kRomZero) / 2 / kRomPilot;      // between a sync and a 0 bit

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
// A pilot already long enough to be one (kMinPilot half-waves) is held
// through more: a dropout or a burst of noise near its end would otherwise
// lose the block whose sync follows.
constexpr float kHeldPilotMissLimit = 10.0f;
constexpr int kPilotAverage = 32;        // pilot half-waves in the running mean

// Sync: one half-wave shorter than this share of the pilot, and with the next
// one a period within these shares.
constexpr float kSyncFirstMax = 0.75f, kSyncFirstMin = 0.12f;
constexpr float kSyncPairMin = 0.4f, kSyncPairMax = 1.05f;
// The sync's half-waves swing on average at least this share of the pilot's
// swing: in a dropout the pilot sinks into hiss, whose short half-waves are
// no sync. (A lossy coder may leave the second much weaker than the first.)
constexpr float kSyncSwing = 0.3f;
// A sync run into the data's first half-wave (see SyncMayHoldData): what is
// left of that half-wave after the sync is a bit's half-wave, within these
// shares of a 0 bit's (or of a 1 bit's) half-wave, and at least this many
// bit-like half-waves follow it before the pilot is given up.
constexpr float kMergedLow = 0.6f, kMergedZeroHigh = 1.5f, kMergedHigh = 1.25f;
constexpr std::size_t kMergedRun = 6;
constexpr std::size_t kMergedBits = 2;
constexpr std::size_t kMostPilotTail = 64;

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
constexpr std::size_t kHeaderBytes = 19;
// A block's last edge is a swing to the other level, as large as the data's
// (the saver's level then holds); a swing smaller than this share of the
// last byte's half-waves (these many) is the signal falling back to rest.
constexpr float kClosingSwing = 0.6f;
constexpr std::size_t kSwingHalves = 16;
// Riding through a dropout: a record of at least this many bytes so far that
// does not match goes on when bits come again within this time: so many
// pairs in a row of one phase whose period fits the bits' range (these shares
// of the 0 and the 1 period) and whose halves agree within this share.
constexpr std::size_t kMinGapRecord = 4;
constexpr double kGapSeconds = 0.06;
constexpr int kResumePairs = 10;
constexpr float kResumeLow = 0.75f, kResumeHigh = 1.25f, kResumeAgree = 0.3f;

constexpr auto kProgressEvery = std::chrono::milliseconds(10);

// The bits of a block's data, read from its half-waves by the cheapest path
// through them. Each step reads one bit from two half-waves of one class (the
// usual case, judged on the whole period and on each half), or mends what
// noise did to the edges: one half-wave holding a whole period (its middle
// edge lost), three holding two bits (the edge between them lost), four
// holding one (a spike split a half-wave), or a half-wave that is no bit at
// all (noise, or the sync read one half-wave short). Mended steps cost more,
// so a clean stretch is read exactly as pairs, and a damaged stretch keeps
// its bits in step with the tape. The estimates of the 0 and 1 periods start
// from the pilot and follow the signal along the path.
struct BitPath {
  std::vector<std::uint8_t> bits;
  std::vector<std::uint8_t> confidence;
  std::vector<std::uint8_t> clean;  // per bit: read from a pair of half-waves that fit their class
  // Per bit: the half-wave that closed it, or kUnclosed for a bit judged on
  // its first half-wave alone (its end never seen).
  std::vector<std::uint32_t> lastHalf;
  bool firstSkipped = false;  // its first half-wave was no bit
};
constexpr std::uint32_t kUnclosed = std::numeric_limits<std::uint32_t>::max();

// Costs are squared deviations in units of kSpread of the expected length.
constexpr double kSpread = 0.22;
constexpr float kMostCost = 9.0f;      // one half-wave never costs more than this
constexpr float kMendCost = 5.0f;      // a mended step costs this on top
constexpr float kSkipCost = 7.0f;      // a half-wave that is no bit
constexpr float kCleanCost = 2.5f;     // a period within about 35% of its class
constexpr float kCleanHalves = 12.0f;  // and halves not far from even
// A pair is judged mostly on its whole period (at low rates the edges between
// its halves move by most of a sample), a little on each half.
constexpr float kPeriodWeight = 2.0f, kHalfWeight = 0.3f;
constexpr double kMendedCertainty = 0.3;
// A step of two bits of which one half-wave lost its edges costs this on top.
constexpr float kLostSwingCost = 1.0f;

float Deviation(double length, double expected) {
  const double r = (length / expected - 1) / kSpread;
  return static_cast<float>(std::min<double>(r * r, kMostCost));
}

struct PathNode {
  float cost = std::numeric_limits<float>::infinity();
  float m0 = 0, m1 = 0;
  std::uint32_t from = 0;
  std::uint8_t bitCount = 0;   // bits this step gave (0, 1 or 2)
  std::uint8_t values = 0;     // first bit in bit 0, second in bit 1
  std::uint8_t certainty[2] = {0, 0};
  std::uint8_t clean = 0;
  bool closed = true;          // its last bit's last half-wave was seen
};

BitPath ReadBits(const std::vector<float>& halves, double pilot, bool lostSwings, bool splitShape) {
  const std::size_t n = halves.size();
  std::vector<PathNode> nodes(n + 1);
  nodes[0].cost = 0;
  nodes[0].m0 = static_cast<float>(kZeroPeriod * pilot);
  nodes[0].m1 = static_cast<float>(kOnePeriod * pilot);
  auto offer = [&](std::size_t to, const PathNode& step) {
    if (step.cost < nodes[to].cost) nodes[to] = step;
  };
  auto certaintyOf = [](double period, double m0, double m1) {
    const double threshold = (m0 + m1) / 2;
    return std::min(1.0, std::fabs(period - threshold) / ((m1 - m0) / 2));
  };
  auto byte = [](double c) { return static_cast<std::uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255)); };
  // With lostSwings: two half-waves, two bits: one half-wave of them was too
  // weak to pass the threshold (a lossy coder thins single half-waves), so
  // its two edges were lost and three half-waves read as one. Two 0 bits then
  // measure as one 1 bit's period, but split about 3:1 where a 1 bit's halves
  // are even; the halves' shape decides, so this step weighs them fully.
  // Noise makes such shapes too, so this reading is only a second try.
  auto lostSwing = [&](const PathNode& step, float base, double a, double b, std::size_t next) {
    PathNode best = step;
    best.cost = std::numeric_limits<float>::infinity();
    best.clean = 0;
    for (int shape = 0; shape < 8; ++shape) {
      const bool x = shape & 1, y = shape & 2, firstHoldsThree = shape & 4;
      const double px = x ? step.m1 : step.m0, py = y ? step.m1 : step.m0;
      const double ea = firstHoldsThree ? px + py / 2 : px / 2;
      const double eb = firstHoldsThree ? py / 2 : px / 2 + py;
      const float cost = base + kLostSwingCost + kPeriodWeight * Deviation(a + b, px + py) + Deviation(a, ea) +
                         Deviation(b, eb);
      if (cost < best.cost) {
        best.cost = cost;
        best.bitCount = 2;
        best.values = static_cast<std::uint8_t>((x ? 1 : 0) | (y ? 2 : 0));
        best.certainty[0] = best.certainty[1] = byte(kMendedCertainty);
      }
    }
    if (best.bitCount == 2) offer(next, best);
  };
  for (std::size_t i = 0; i < n; ++i) {
    const PathNode& at = nodes[i];
    if (!std::isfinite(at.cost)) continue;
    const double m0 = at.m0, m1 = at.m1, threshold = (m0 + m1) / 2;
    PathNode step;
    step.from = static_cast<std::uint32_t>(i);
    step.m0 = at.m0;
    step.m1 = at.m1;
    // A half-wave that is no bit: free before the first bit, and after the
    // last when it is longer than any bit's (the level held into the pause).
    const bool held = i + 1 == n && halves[i] > kLastHalfLong * m1 / 2;
    step.cost = at.cost + (i == 0 || held ? 0.0f : kSkipCost);
    step.bitCount = 0;
    offer(i + 1, step);
    const double a = halves[i];
    if (i + 1 < n) {
      // Two half-waves, one bit: the usual step.
      const double b = halves[i + 1];
      const double p = a + b;
      const bool one = p > threshold;
      const double half = (one ? m1 : m0) / 2;
      const float dp = Deviation(p, one ? m1 : m0);
      const float halvesCost = Deviation(a, half) + Deviation(b, half);
      double certainty = certaintyOf(p, m0, m1);
      if ((2 * a > threshold) != (2 * b > threshold)) certainty *= kHalvesDisagree;
      PathNode bit = step;
      bit.cost = at.cost + kPeriodWeight * dp + kHalfWeight * halvesCost;
      bit.bitCount = 1;
      bit.values = one ? 1 : 0;
      bit.certainty[0] = byte(certainty);
      bit.clean = dp <= kCleanCost && halvesCost <= kCleanHalves;
      const double ratio = p / (one ? m1 : m0);
      if (ratio > kPeriodMin && ratio < kPeriodMax) {
        const double speed = 1 + kSpeedFollow * (ratio - 1);
        double n0 = m0 * speed, n1 = m1 * speed;
        (one ? n1 : n0) += kClassFollow * (p - (one ? n1 : n0));
        bit.m0 = static_cast<float>(n0);
        bit.m1 = static_cast<float>(n1);
      }
      offer(i + 2, bit);
      if (lostSwings) lostSwing(step, at.cost, a, b, i + 2);
    }
    if (i + 1 == n || (i + 2 == n && halves[i + 1] > kLastHalfLong * m1 / 2)) {
      // The block's last bit, judged on its first half-wave: the second ran on
      // into the pause (or was never seen).
      const bool one = 2 * a > threshold;
      PathNode bit = step;
      const float da = Deviation(a, (one ? m1 : m0) / 2);
      bit.cost = at.cost + kPeriodWeight * da;
      bit.bitCount = 1;
      bit.values = one ? 1 : 0;
      bit.certainty[0] = byte(certaintyOf(2 * a, m0, m1));
      bit.clean = da <= kCleanCost;
      bit.closed = false;
      offer(n, bit);
    }
    // One bit of a mended period p, the path going on at half-wave next;
    // shape: what the halves' shape costs on top.
    const auto mendedBit = [&](double p, std::size_t next, float shape) {
      const bool one = p > threshold;
      PathNode bit = step;
      bit.cost = at.cost + kPeriodWeight * Deviation(p, one ? m1 : m0) + kMendCost + shape;
      bit.bitCount = 1;
      bit.values = one ? 1 : 0;
      bit.certainty[0] = byte(certaintyOf(p, m0, m1) * kMendedCertainty);
      offer(next, bit);
    };
    // One half-wave holding a whole period.
    mendedBit(a, i + 1, 0.0f);
    if (i + 2 < n) {
      // Three half-waves, two bits: the edge between them lost.
      const double c = halves[i + 2];
      const bool first = 2 * a > threshold, second = 2 * c > threshold;
      const double ha = (first ? m1 : m0) / 2, hc = (second ? m1 : m0) / 2;
      PathNode bits = step;
      bits.cost = at.cost + Deviation(a, ha) + Deviation(c, hc) + Deviation(halves[i + 1], ha + hc) + kMendCost;
      bits.bitCount = 2;
      bits.values = static_cast<std::uint8_t>((first ? 1 : 0) | (second ? 2 : 0));
      bits.certainty[0] = byte(certaintyOf(2 * a, m0, m1) * kMendedCertainty);
      bits.certainty[1] = byte(certaintyOf(2 * c, m0, m1) * kMendedCertainty);
      offer(i + 3, bits);
    }
    if (i + 3 < n) {
      // Four half-waves, one bit: a spike split one of its halves. With
      // splitShape they must have the shape of a split: one end a whole half,
      // the three others adding up to the other. Two 0 bits have a 1 bit's
      // period too, and with their middle edge moved (a lossy coder moves
      // edges) cost about as much as a mended 1 bit; only the halves' shape
      // tells them apart, so it weighs fully. Noise after a block makes
      // half-waves of any shape, which the plain mend absorbs (keeping the
      // noise from reading as clean bits), so this is only a second try.
      const double b = halves[i + 1], c = halves[i + 2], d = halves[i + 3], p = a + b + c + d;
      const double half = (p > threshold ? m1 : m0) / 2;
      const float shape = splitShape ? std::min(Deviation(a, half) + Deviation(b + c + d, half),
                                                Deviation(a + b + c, half) + Deviation(d, half))
                                     : 0.0f;
      mendedBit(p, i + 4, shape);
    }
  }
  std::vector<std::uint32_t> steps;
  for (std::size_t i = n; i > 0; i = nodes[i].from) steps.push_back(static_cast<std::uint32_t>(i));
  BitPath path;
  path.firstSkipped = !steps.empty() && nodes[steps.back()].from == 0 && nodes[steps.back()].bitCount == 0;
  for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
    const PathNode& step = nodes[*it];
    for (int k = 0; k < step.bitCount; ++k) {
      path.bits.push_back(static_cast<std::uint8_t>(step.values >> k & 1));
      path.confidence.push_back(step.certainty[k]);
      path.clean.push_back(step.clean);
      // The step ends at half-wave *it; a step of two bits closes its first
      // at its middle half-wave.
      const std::uint32_t last = *it - 1 - (step.bitCount == 2 && k == 0 ? 1 : 0);
      path.lastHalf.push_back(step.closed ? last : kUnclosed);
    }
  }
  return path;
}

// Where a block's bits end: after the last run of clean bits long enough to be
// data (noise in the pause gives a few clean-looking bits, never that many in
// a row), and on over a doubtful bit that clean ones follow. Damaged
// stretches inside the block are kept.
constexpr std::size_t kCleanRun = 8;
constexpr std::size_t kCleanAfterDoubt = 3;
std::size_t DataEnd(const BitPath& path) {
  std::size_t run = 0, end = 0;
  for (std::size_t i = 0; i < path.bits.size(); ++i) {
    run = path.clean[i] ? run + 1 : 0;
    if (run >= kCleanRun) end = i + 1;
  }
  for (;;) {
    std::size_t next = end + 1;
    while (next < path.bits.size() && path.clean[next] && next - end <= kCleanAfterDoubt) ++next;
    if (end >= path.bits.size() || path.clean[end] || next - end <= kCleanAfterDoubt) break;
    end = next;
    while (end < path.bits.size() && path.clean[end]) ++end;
  }
  return end;
}

// The worst damaged stretch before end: doubtful bits less than
// kStretchJoin clean bits apart belong to one stretch (a dropout leaves some
// clean-looking bits among its junk); the stretch with most doubtful bits,
// as its first bit and its length.
constexpr std::size_t kStretchJoin = 16;
std::pair<std::size_t, std::size_t> WorstStretch(const BitPath& path, std::size_t end) {
  std::size_t bestFrom = 0, bestLength = 0, bestCount = 0;
  std::size_t from = 0, last = 0, count = 0;
  for (std::size_t i = 0; i <= end; ++i) {
    const bool doubtful = i < end && !path.clean[i];
    if (!doubtful && i < end) continue;
    if (count > 0 && (i == end || i - last > kStretchJoin)) {
      if (count > bestCount) {
        bestCount = count;
        bestFrom = from;
        bestLength = last + 1 - from;
      }
      count = 0;
    }
    if (!doubtful) break;
    if (count == 0) from = i;
    last = i;
    ++count;
  }
  return {bestFrom, bestLength};
}

// Brings the bits to the length a header gave, when they are near it: bits
// missing (or too many) are put in (or taken out of) the middle of the worst
// damaged stretch, unknown and of no confidence, so the bits after it stay in
// their place (for the repair and for other takes); extra bits after the end
// go.
constexpr std::size_t kTailBits = 16, kUnseenBits = 2;
void FitLength(BitPath& path, std::size_t end, std::size_t expectedBits) {
  // The last bits of a block that end doubtful (the checksum byte fading
  // into the pause) are still its bits when the length says so; the last one
  // or two, never seen, are put in unknown (the repair may find them); only
  // when nothing before was damaged: bits lost there would show up as bits
  // missing at the end, and the checksum, blind to a shift, could pass.
  if (expectedBits > end && expectedBits <= end + kTailBits) {
    const std::size_t seen = std::min(path.bits.size(), expectedBits);
    if (seen + kUnseenBits >= expectedBits && WorstStretch(path, end).second == 0) {
      path.bits.resize(seen);
      path.confidence.resize(seen);
      path.bits.resize(expectedBits, 0);
      path.confidence.resize(expectedBits, 0);
      return;
    }
  }
  path.bits.resize(end);
  path.confidence.resize(end);
  path.clean.resize(end);
  if (expectedBits == 0 || end == expectedBits) return;
  const std::size_t slack = expectedBits / 10 + 24;
  if (end + slack < expectedBits || end > expectedBits + slack) return;
  const auto [from, length] = WorstStretch(path, end);
  const auto at = static_cast<std::ptrdiff_t>(from + length / 2);
  if (end < expectedBits) {
    if (length == 0) return;
    const std::size_t missing = expectedBits - end;
    path.bits.insert(path.bits.begin() + at, missing, 0);
    path.confidence.insert(path.confidence.begin() + at, missing, 0);
    path.clean.insert(path.clean.begin() + at, missing, 0);
    return;
  }
  const std::size_t extra = end - expectedBits;
  if (length >= extra) {
    const auto cut = at - static_cast<std::ptrdiff_t>(extra / 2);
    path.bits.erase(path.bits.begin() + cut, path.bits.begin() + cut + static_cast<std::ptrdiff_t>(extra));
    path.confidence.erase(path.confidence.begin() + cut,
                          path.confidence.begin() + cut + static_cast<std::ptrdiff_t>(extra));
  } else {
    path.bits.resize(expectedBits);
    path.confidence.resize(expectedBits);
  }
}

// A byte sent after the checksum (some savers send one, 0) completes like any
// other and still matches, since x ^ 0 == x. It is dropped where the record's
// length is known: a header is 19 bytes, and the data after a header is as
// long as the header says.
void DropByteAfterChecksum(SignalRecord& record, std::size_t expected) {
  if (!record.checksumOk || record.bytes.size() != expected + 1 || record.bytes.back() != 0) return;
  record.bytes.pop_back();
  record.confidence.resize(record.bytes.size() * 8);
}

// The record's last bit was completed by the pause after the block rather
// than closed by an edge of its own: its last half-wave never ended, or
// what ended it was no swing to the other level.
bool CompletedByThePause(const BitPath& path, std::size_t lastBit, const std::vector<float>& peaks, float tailPeak) {
  const std::uint32_t last = path.lastHalf[lastBit];
  if (last == kUnclosed || last >= peaks.size()) return true;
  const std::size_t after = last + 1;
  const float swing = after < peaks.size() ? peaks[after] : tailPeak;
  const std::size_t from = last >= kSwingHalves ? last + 1 - kSwingHalves : 0;
  float sum = 0;
  for (std::size_t k = from; k <= last; ++k) sum += peaks[k];
  const float reference = sum / static_cast<float>(last + 1 - from);
  return swing < kClosingSwing * reference;
}

std::size_t ExpectedLength(const SignalRecord& record, const SignalRecord* header) {
  if (!record.bytes.empty() && record.bytes[0] == 0x00) return kHeaderBytes;
  if (header && header->checksumOk && header->bytes.size() == kHeaderBytes && header->bytes[0] == 0x00) {
    return static_cast<std::size_t>(header->bytes[12] | header->bytes[13] << 8) + 2;
  }
  return 0;
}

// A record that is no header, or a header of a type the ROM writes (program,
// number array, character array, bytes).
bool PlausibleHeader(const SignalRecord& record) {
  return record.bytes.size() != kHeaderBytes || record.bytes[0] != 0x00 || record.bytes[1] <= 3;
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
  halves_.clear();
  peaks_.clear();
  gap_.clear();
  pilotTail_.clear();
}

bool BlockReader::Break(std::int64_t endSample) {
  // A record complete as it stands ends here (it matches, or has the length
  // it should have); so does a false start.
  const bool done = CloseData(endSample);
  const std::size_t wanted = done && record_.bytes[0] == 0x00 ? kHeaderBytes : ExpectedBytes();
  if (!done || halves_.size() < kMinGapRecord * 16 || record_.checksumOk ||
      (wanted > 0 && record_.bytes.size() >= wanted)) {
    StartSearch();
    return done;
  }
  // Otherwise the data may go on after a dropout: the half-waves are kept
  // aside until bits come again (then they join the data), a pilot starts, or
  // the gap is longer than any dropout (then the record ends where it broke).
  hasRecord_ = false;
  state_ = State::Gap;
  breakSample_ = endSample;
  gap_.clear();
  gapLength_ = 0;
  resumeRun_[0] = resumeRun_[1] = 0;
  gapPilotRun_ = 0;
  return false;
}

bool BlockReader::GiveUpGap() {
  const bool done = CloseData(breakSample_);
  std::vector<GapHalf> gap = std::move(gap_);
  StartSearch();
  for (const GapHalf& half : gap) Add(half.length, half.end, half.peak);
  return done;
}

bool BlockReader::AddToGap(float length, std::int64_t endSample, float peak) {
  gap_.push_back({length, endSample, peak});
  gapLength_ += length;
  gapPilotRun_ = std::fabs(length - pilotHalf_) < kPilotRunSteady * pilotHalf_ ? gapPilotRun_ + 1 : 0;
  if (gapPilotRun_ >= kPilotRunEnds) {
    // The next block's pilot: the record ended where it broke.
    double run = 0;
    for (int k = 0; k < kPilotRunEnds; ++k) run += gap_[gap_.size() - 1 - static_cast<std::size_t>(k)].length;
    const float pilot = pilotHalf_;
    const bool done = CloseData(breakSample_);
    StartSearch();
    state_ = State::Pilot;
    pilotHalf_ = pilot;
    pilotCount_ = kPilotRunEnds;
    pilotStart_ = endSample - static_cast<std::int64_t>(run);
    return done;
  }
  if (gapLength_ > kGapSeconds * rate_) return GiveUpGap();
  if (gap_.size() >= 2) {
    const float previous = gap_[gap_.size() - 2].length;
    const float period = previous + length;
    const bool bit = period > kResumeLow * kZeroPeriod * pilotHalf_ && period < kResumeHigh * kOnePeriod * pilotHalf_ &&
                     std::fabs(previous - length) < kResumeAgree * std::max(previous, length);
    int& run = resumeRun_[gap_.size() % 2];
    run = bit ? run + 1 : 0;
    if (run >= kResumePairs) {
      for (const GapHalf& half : gap_) {
        halves_.push_back(half.length);
        peaks_.push_back(half.peak);
      }
      gap_.clear();
      state_ = State::Data;
      badScore_ = 0;
      shortRun_ = 0;
      pilotRun_ = 0;
    }
  }
  return false;
}

bool BlockReader::Add(float length, std::int64_t endSample, float peak) {
  if (state_ == State::Gap) return AddToGap(length, endSample, peak);
  if (state_ == State::Data) {
    tailPeak_ = peak;
    if (length > kDataLongest * pilotHalf_) return Break(endSample);
    shortRun_ = length < kNoiseHalf * pilotHalf_ ? shortRun_ + 1 : 0;
    // Back to the pilot when what looked like a sync was a split in it: a
    // second half-wave of the pilot's length among the first few (one alone
    // may be a 1 bit of the flag stretched by noise).
    const auto pilotLength = [&](float h) { return std::fabs(h - pilotHalf_) < kPilotSteady * pilotHalf_; };
    if (halves_.size() < 8 && pilotLength(length) &&
        std::any_of(halves_.begin(), halves_.end(), [&](float h) { return pilotLength(h); })) {
      state_ = State::Pilot;
      pilotCount_ += static_cast<int>(halves_.size()) + 1;
      halves_.clear();
      peaks_.clear();
      lastPilot_ = length;
      pilotTail_.clear();
      return false;
    }
    halves_.push_back(length);
    peaks_.push_back(peak);
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
        tailPeak_ = peaks_.back();
        halves_.pop_back();
        peaks_.pop_back();
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
    if (halves_.size() >= kMaxRecordBytes * 16) {
      const bool done = CloseData(endSample);
      StartSearch();
      return done;
    }
    if (shortRun_ >= kNoiseRun || badScore_ > kBadLimit) return Break(endSample);
    return false;
  }
  if (state_ == State::Sync) {
    const float pair = syncFirst_ + length;
    const bool timed = length < kSyncFirstMax * pilotHalf_ * 1.1f && pair > kSyncPairMin * pilotHalf_ &&
                       pair < kSyncPairMax * pilotHalf_;
    const bool swung = (syncFirstPeak_ + peak) / 2 >= kSyncSwing * pilotPeak_;
    if (timed && !swung) {
      // Hiss in a dropout of the pilot: no sync, and no fault of the pilot.
      state_ = State::Pilot;
      if (pilotTail_.size() < kMostPilotTail) pilotTail_.push_back({length, endSample, peak});
      return false;
    }
    if (timed) {
      // After a sync run into a 1 bit's half-wave, a pair of 0 bits further
      // on may pass for the sync: the bits since then say so.
      if (pilotTail_.size() < kMostPilotTail) {
        pilotTail_.push_back({length, endSample, peak});
        bool resumed = false;
        const bool done = ResumeAfterMergedSync(resumed);
        if (resumed) return done;
        pilotTail_.pop_back();
      }
      state_ = State::Data;
      fromSync_ = true;
      syncSecond_ = length;
      syncSecondPeak_ = peak;
      dataStart_ = endSample;
      halves_.clear();
      peaks_.clear();
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
      pilotPeak_ = peak;
    } else {
      const int n = std::min(pilotCount_ + 1, kPilotAverage);
      pilotHalf_ += (length - pilotHalf_) / static_cast<float>(n);
      pilotPeak_ += (peak - pilotPeak_) / static_cast<float>(n);
    }
    state_ = State::Pilot;
    ++pilotCount_;
    pilotMisses_ *= kMissFade;
    lastPilot_ = length;
    // A half-wave that fits only by the jitter (a 1 bit's stretched) stays in
    // the tail.
    if (std::fabs(length - pilotHalf_) < kPilotSteady * pilotHalf_) {
      pilotTail_.clear();
    } else if (pilotCount_ >= kMinPilot && pilotTail_.size() < kMostPilotTail) {
      pilotTail_.push_back({length, endSample, peak});
    }
    return false;
  }
  // The half-waves since the pilot's last, while it is long enough to be one.
  if (pilotCount_ >= kMinPilot && pilotTail_.size() < kMostPilotTail) pilotTail_.push_back({length, endSample, peak});
  if (pilotCount_ >= kMinPilot && length < kSyncFirstMax * pilotHalf_ && length > kSyncFirstMin * pilotHalf_) {
    syncFirst_ = length;
    syncFirstPeak_ = peak;
    state_ = State::Sync;
    return false;
  }
  if (++pilotMisses_ > (pilotCount_ >= kMinPilot ? kHeldPilotMissLimit : kMissLimit)) {
    if (pilotCount_ >= kMinPilot) {
      bool resumed = false;
      const bool done = ResumeAfterMergedSync(resumed);
      if (resumed) return done;
    }
    StartSearch();
    if (pilotLike) return Add(length, endSample, peak);
  }
  return false;
}

bool BlockReader::Finish(std::int64_t endSample, float peak) {
  if (state_ == State::Data) tailPeak_ = peak;
  bool done = false;
  if (state_ == State::Data) done = CloseData(endSample);
  if (state_ == State::Gap) done = CloseData(breakSample_);
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
  return hasRecord_;
}

std::size_t BlockReader::ExpectedBytes() const { return expectedBytes_; }


bool BlockReader::DecodeData() {
  // The record as read from the bits of one path through the half-waves;
  // the bits read before the length was fitted, and the length it should
  // have (0: unknown).
  std::size_t end = 0, expectedBits = 0;
  bool firstSkipped = false;
  auto decode = [&](BitPath path, const std::vector<float>& peaks) {
    end = DataEnd(path);
    firstSkipped = path.firstSkipped;
    // The length it should have: a header's own, or what the header before
    // said; only when the bits come near it (a loader's own blocks may be of
    // any length).
    expectedBits = 0;
    if (end >= 8) {
      std::uint8_t flag = 0;
      for (std::size_t k = 0; k < 8; ++k) flag = static_cast<std::uint8_t>(flag << 1 | path.bits[k]);
      expectedBits = 8 * (flag == 0x00 ? kHeaderBytes : ExpectedBytes());
    }
    FitLength(path, end, expectedBits);
    const std::size_t byteCount = std::min(path.bits.size() / 8, kMaxRecordBytes);
    if (byteCount < kMinRecordBytes) return false;
    SignalRecord& r = record_;
    r.bytes.assign(byteCount, 0);
    r.confidence.assign(path.confidence.begin(), path.confidence.begin() + static_cast<std::ptrdiff_t>(byteCount * 8));
    for (std::size_t b = 0; b < byteCount * 8; ++b) {
      r.bytes[b / 8] = static_cast<std::uint8_t>(r.bytes[b / 8] << 1 | path.bits[b]);
    }
    // A byte some savers send after the checksum (the program's own export
    // does: 0) completes like any other and, since x ^ 0 == x, changes nothing
    // the checksum can see. Where the length is not known it goes when the
    // pause completed it: a block's own last bit ends with a swing to the
    // other level (the saver then holds it), the export's extra byte with the
    // level falling back to rest. A real checksum of 0 whose last edge was read
    // whole stays.
    if (expectedBits == 0 && r.bytes.size() > kMinRecordBytes && r.bytes.back() == 0 &&
        CompletedByThePause(path, byteCount * 8 - 1, peaks, tailPeak_)) {
      r.bytes.pop_back();
      r.confidence.resize(r.bytes.size() * 8);
    }
    r.checksumOk = RecordSyndrome(r.bytes) == 0;
    // A byte completed by the ringing after the block: dropped when the record
    // matches without it.
    if (!r.checksumOk && r.bytes.size() > kMinRecordBytes && RecordSyndrome(r.bytes) == r.bytes.back() &&
        expectedBits != byteCount * 8) {
      r.bytes.pop_back();
      r.confidence.resize(r.bytes.size() * 8);
      r.checksumOk = true;
    }
    return true;
  };
  if (!decode(ReadBits(halves_, pilotHalf_, false, false), peaks_)) return false;
  if (expectedBits == 0 || end >= expectedBits) return true;
  // A record of known length with bits missing is read again. First from
  // before its sync, when the sync may have run into the data
  // (SyncMayHoldData): the missing bits were then lost at the start, where a
  // header's 0 bits hide them from the checksum, so this goes first even when
  // the bits put in at the end made it match. Then, when it fails, allowing
  // for half-waves lost in it, taking four half-waves for one bit only in the
  // shape of a split (see ReadBits), and both. A second reading is kept only when
  // it has exactly the bits the length asks, its checksum matches and a
  // header is of a type the ROM writes, and counts as repaired by the bits
  // missing (a second reading is a second chance for a slip to match: other
  // takes may outweigh it).
  SignalRecord plain = record_;
  const std::size_t wanted = expectedBits, missing = expectedBits - end;
  const auto exact = [&]() {
    return end == wanted && expectedBits == wanted && record_.checksumOk && PlausibleHeader(record_);
  };
  // The sync run into a 0 bit's half-wave leaves the data's first two bits
  // (both 0: the pair read as the sync was one of each) a half-wave and a half
  // short: the plain reading is two bits short and begins by passing over
  // the odd half-wave.
  if (missing == kMergedBits && firstSkipped && SyncMayHoldData()) {
    std::vector<float> halves = {lastPilot_ - static_cast<float>(kSyncShare) * pilotHalf_, syncFirst_, syncSecond_};
    std::vector<float> peaks = {syncFirstPeak_, syncFirstPeak_, syncSecondPeak_};
    halves.insert(halves.end(), halves_.begin(), halves_.end());
    peaks.insert(peaks.end(), peaks_.begin(), peaks_.end());
    if (decode(ReadBits(halves, pilotHalf_, false, false), peaks) && exact() && !firstSkipped &&
        record_.bytes[0] < 0x40) {
      record_.repairedBits = static_cast<int>(missing);
      return true;
    }
  }
  // Each of a coder's harms alone, then both in one record.
  for (const auto& [lostSwings, splitShape] : {std::pair{true, false}, std::pair{false, true}, std::pair{true, true}}) {
    if (!plain.checksumOk && decode(ReadBits(halves_, pilotHalf_, lostSwings, splitShape), peaks_) && exact()) {
      record_.repairedBits = static_cast<int>(missing);
      return true;
    }
  }
  record_ = std::move(plain);
  return true;
}

bool BlockReader::SyncMayHoldData() const {
  // The sync's second half-wave, shorter and weaker than its first, is the
  // one a lossy coder loses first; the sync then runs into the data's first
  // half-wave (a 0 bit's: the three together last about a pilot half-wave),
  // and the first 0 bit is taken for the sync. Then the pair read as the sync
  // is timed like a 0 bit rather than a sync, and the pilot's last half-wave
  // holds a sync and a 0 bit's half-wave.
  if (!fromSync_) return false;
  const float zeroHalf = static_cast<float>(kZeroPeriod / 2) * pilotHalf_;
  const float rest = lastPilot_ - static_cast<float>(kSyncShare) * pilotHalf_;
  return syncFirst_ + syncSecond_ > static_cast<float>(kSyncOrZero) * pilotHalf_ && rest > kMergedLow * zeroHalf &&
         rest < kMergedZeroHigh * zeroHalf;
}

bool BlockReader::ResumeAfterMergedSync(bool& resumed) {
  // The sync ran into the data's first half-wave (see SyncMayHoldData), a
  // 1 bit's: too long for the pilot or a sync, and the 1 bits after it too
  // long for a sync (or fitting the pilot only by its jitter), so the pilot
  // was given up, or a pair of 0 bits further on passed for the sync. When
  // the half-waves since the pilot are such a half-wave and then bits (pairs
  // of one period, as when bits come again after a dropout), all swinging like
  // the pilot, the data is read from them.
  resumed = false;
  if (pilotTail_.size() < kMergedRun + 1) return false;
  const float zeroHalf = static_cast<float>(kZeroPeriod / 2) * pilotHalf_;
  const float oneHalf = static_cast<float>(kOnePeriod / 2) * pilotHalf_;
  const GapHalf first = pilotTail_.front();
  const float rest = first.length - static_cast<float>(kSyncShare) * pilotHalf_;
  if (rest < kMergedLow * zeroHalf || rest > kMergedHigh * oneHalf) return false;
  for (const GapHalf& half : pilotTail_) {
    if (half.peak < kSyncSwing * pilotPeak_) return false;
  }
  for (std::size_t k = 0; k + 1 < pilotTail_.size(); k += 2) {
    const float a = k == 0 ? rest : pilotTail_[k].length, b = pilotTail_[k + 1].length;
    const float period = a + b;
    if (period < kResumeLow * 2 * zeroHalf || period > kResumeHigh * 2 * oneHalf ||
        std::fabs(a - b) >= kResumeAgree * std::max(a, b)) {
      return false;
    }
  }
  const std::vector<GapHalf> tail = std::move(pilotTail_);
  pilotTail_.clear();
  state_ = State::Data;
  fromSync_ = false;
  dataStart_ = first.end - static_cast<std::int64_t>(rest);
  halves_.assign(1, rest);
  peaks_.assign(1, first.peak);
  shortRun_ = 0;
  pilotRun_ = 0;
  badScore_ = 0;
  resumed = true;
  for (std::size_t k = 1; k < tail.size(); ++k) {
    if (Add(tail[k].length, tail[k].end, tail[k].peak)) return true;
  }
  return false;
}

SignalRecord BlockReader::TakeRecord() {
  hasRecord_ = false;
  return std::move(record_);
}

SignalDecodeResult DecodeSignal(SampleSource& source, DecodeEvents& events, const SignalDecodeOptions& options) {
  SignalDecodeResult result;
  const int rate = source.rate();
  if (rate <= 0) return result;
  BlockReader reader(rate);
  std::vector<HalfWave> halves;
  auto lastProgress = std::chrono::steady_clock::now();
  RepairLimits limits;
  limits.maxBits = options.maxRepairBits;

  auto keep = [&]() {
    SignalRecord record = reader.TakeRecord();
    if (!record.checksumOk && options.repair) {
      const std::vector<std::uint8_t> before = record.bytes, confidence = record.confidence;
      record.repairedBits = RepairBits(record.bytes, record.confidence, limits);
      record.checksumOk = record.repairedBits > 0;
      if (record.checksumOk && !PlausibleHeader(record)) {
        // A header of no type the ROM writes: the bits slipped, and the
        // checksum, blind to a slip, was made to match by chance.
        record.bytes = before;
        record.confidence = confidence;
        record.repairedBits = 0;
        record.checksumOk = false;
      }
    }
    DropByteAfterChecksum(record, ExpectedLength(record, result.records.empty() ? nullptr : &result.records.back()));
    const bool header = record.checksumOk && record.bytes.size() == kHeaderBytes && record.bytes[0] == 0x00;
    reader.ExpectLength(header ? static_cast<std::size_t>(record.bytes[12] | record.bytes[13] << 8) + 2 : 0);
    if (options.reportLines) events.ReportLine(RecordLine(static_cast<int>(result.records.size()) + 1, record));
    result.records.push_back(std::move(record));
  };

  // A stop asked for before anything is read is honoured too.
  if (!events.Progress(0)) {
    result.stopped = true;
    return result;
  }
  HalfWaveStream stream(source, options.secondThread);
  while (!result.storeFull) {
    halves.clear();
    const std::size_t got = stream.Next(halves);
    if (got == 0) break;
    for (const HalfWave& half : halves) {
      if (!reader.Add(half.length, half.end, half.peak)) continue;
      if (static_cast<int>(result.records.size()) >= options.maxRecords) {
        result.storeFull = true;
        reader.TakeRecord();
        break;
      }
      keep();
    }
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
  if (!result.storeFull && reader.Finish(result.samplesRead, stream.Peak())) {
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
