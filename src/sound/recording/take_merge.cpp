#include "sound/recording/take_merge.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <limits>
#include <utility>

#include "project/tape_project.h"

namespace reelo {
namespace {

// Bytes compared when matching records: enough for a header's name, cheap on
// a 48 KiB block.
constexpr std::size_t kComparedBytes = 64;
// Two records are the same record of the tape when at least this share of the
// compared bytes agree (a bad take has a few wrong bits, not wrong bytes).
constexpr double kSameShare = 0.6, kSameShareOfOneLength = 0.25;
constexpr std::size_t kLenientFrom = 16;
constexpr int kShiftedBits = 3;

// How alike two records are: 0 for different records. Records of one length
// and flag score 1 + the share of equal bytes among the first ones; records
// of another length whose first bytes agree (one take lost the end of the
// block) score less than any of those.
// The byte of a record's bits that starts shift bits after byte i (0 past its ends).
std::uint8_t ShiftedByte(const std::vector<std::uint8_t>& bytes, std::size_t i, int shift) {
  const long long first = static_cast<long long>(i) * 8 + shift;
  std::uint8_t out = 0;
  for (int k = 0; k < 8; ++k) {
    const long long bit = first + k;
    const bool one = bit >= 0 && bit < static_cast<long long>(bytes.size()) * 8 &&
                     (bytes[static_cast<std::size_t>(bit / 8)] >> (7 - bit % 8) & 1);
    out = static_cast<std::uint8_t>(out << 1 | (one ? 1 : 0));
  }
  return out;
}

double Likeness(const SignalRecord& a, const SignalRecord& b) {
  if (a.bytes.empty() || b.bytes.empty() || a.bytes[0] != b.bytes[0]) return 0;
  const std::size_t n = std::min({a.bytes.size(), b.bytes.size(), kComparedBytes});
  // Bytes compared in place, and with one take's bits a few bits early or
  // late (bits lost or made up early in a record shift all that follows).
  std::size_t equal = 0;
  for (int shift = -kShiftedBits; shift <= kShiftedBits; ++shift) {
    std::size_t same = 0;
    for (std::size_t i = 0; i < n; ++i) same += a.bytes[i] == ShiftedByte(b.bytes, i, shift) ? 1 : 0;
    equal = std::max(equal, same);
  }
  const double share = static_cast<double>(equal) / static_cast<double>(n);
  // Of one length, a record whose bits slipped in a dropout still holds many
  // bytes in their place; longer records of one length that differ hold
  // almost none.
  const bool lenient = a.bytes.size() == b.bytes.size() && n >= kLenientFrom;
  if (share < (lenient ? kSameShareOfOneLength : kSameShare)) return 0;
  return a.bytes.size() == b.bytes.size() ? 1 + share : share / 2;
}

// For channels of one recording: the share of the shorter record's stretch
// that the other's covers, 0 below half.
double Overlap(const SignalRecord& a, const SignalRecord& b) {
  const std::int64_t from = std::max(a.dataSample, b.dataSample);
  const std::int64_t to = std::min(a.endSample, b.endSample);
  const std::int64_t shorter = std::min(a.endSample - a.dataSample, b.endSample - b.dataSample);
  if (to <= from || shorter <= 0) return 0;
  const double share = static_cast<double>(to - from) / static_cast<double>(shorter);
  return share >= 0.5 ? 1 + share : 0;
}

// One record of the tape and what each take holds of it.
struct Slot {
  std::vector<const SignalRecord*> records;
  std::vector<int> takes;
};

// The records of a slot whose bits can be combined (a confidence for every
// bit, and room for a length and a checksum), with their takes.
std::pair<std::vector<const SignalRecord*>, std::vector<int>> Combinable(const Slot& slot) {
  std::pair<std::vector<const SignalRecord*>, std::vector<int>> out;
  for (std::size_t k = 0; k < slot.records.size(); ++k) {
    if (slot.records[k]->confidence.size() != slot.records[k]->bytes.size() * 8 || slot.records[k]->bytes.size() < 2) continue;
    out.first.push_back(slot.records[k]);
    out.second.push_back(slot.takes[k]);
  }
  return out;
}

double SlotLikeness(const Slot& slot, const SignalRecord& record, bool sameClock) {
  double best = 0;
  for (const SignalRecord* r : slot.records) best = std::max(best, sameClock ? Overlap(*r, record) : Likeness(*r, record));
  return best;
}

// Aligns a take's records to the slots (order kept, most likeness in all) and
// adds them: to their matched slot, or as new slots in their place.
void AddTake(std::vector<Slot>& slots, const std::vector<SignalRecord>& take, int takeIndex, bool sameClock) {
  const std::size_t n = slots.size(), m = take.size();
  std::vector<double> score((n + 1) * (m + 1), 0);
  auto at = [&](std::size_t i, std::size_t j) -> double& { return score[i * (m + 1) + j]; };
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t j = m; j-- > 0;) {
      const double like = SlotLikeness(slots[i], take[j], sameClock);
      double best = std::max(at(i + 1, j), at(i, j + 1));
      if (like > 0) best = std::max(best, like + at(i + 1, j + 1));
      at(i, j) = best;
    }
  }
  std::vector<Slot> merged;
  std::size_t i = 0, j = 0;
  while (i < n || j < m) {
    if (i < n && j < m) {
      const double like = SlotLikeness(slots[i], take[j], sameClock);
      if (like > 0 && at(i, j) == like + at(i + 1, j + 1)) {
        slots[i].records.push_back(&take[j]);
        slots[i].takes.push_back(takeIndex);
        merged.push_back(std::move(slots[i]));
        ++i, ++j;
        continue;
      }
      if (at(i, j) == at(i + 1, j)) {
        merged.push_back(std::move(slots[i++]));
        continue;
      }
    } else if (i < n) {
      merged.push_back(std::move(slots[i++]));
      continue;
    }
    merged.push_back(Slot{{&take[j]}, {takeIndex}});
    ++j;
  }
  slots = std::move(merged);
}

// The bits of same-length records combined: majority (ties and two takes by
// confidence). The result's confidence is how clearly its side won.
SignalRecord Combine(const std::vector<const SignalRecord*>& group) {
  SignalRecord out = *group.front();
  out.repairedBits = 0;
  const std::size_t bits = out.bytes.size() * 8;
  for (std::size_t b = 0; b < bits; ++b) {
    int votes = 0, weight = 0, surest = 0;  // votes and weight: for 1 positive
    for (const SignalRecord* r : group) {
      const bool one = r->bytes[b / 8] >> (7 - b % 8) & 1;
      const int c = r->confidence[b];
      votes += one ? 1 : -1;
      weight += one ? c : -c;
      surest = std::max(surest, c);
    }
    const bool one = votes != 0 ? votes > 0 : weight > 0;
    const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (b % 8));
    out.bytes[b / 8] = static_cast<std::uint8_t>(one ? out.bytes[b / 8] | mask : out.bytes[b / 8] & ~mask);
    // Takes that agree are as sure as the surest of them; where they differ,
    // the winning side's margin.
    const bool unanimous = std::abs(votes) == static_cast<int>(group.size());
    const int margin = (one ? weight : -weight) / static_cast<int>(group.size());
    out.confidence[b] = static_cast<std::uint8_t>(unanimous ? surest : std::clamp(margin, 0, 255));
  }
  out.checksumOk = RecordSyndrome(out.bytes) == 0;
  return out;
}

// The bits of a record, most significant first, and their confidences.
struct BitList {
  std::vector<std::uint8_t> bits;
  std::vector<std::uint8_t> confidence;
};

BitList BitsOf(const SignalRecord& r) {
  BitList list;
  list.bits.reserve(r.bytes.size() * 8);
  for (std::size_t b = 0; b < r.bytes.size() * 8; ++b) list.bits.push_back(r.bytes[b / 8] >> (7 - b % 8) & 1);
  list.confidence = r.confidence;
  list.confidence.resize(list.bits.size(), 0);
  return list;
}

// How one take's bits line up with the reference's: a take read through a
// dropout may have a few bits too many or too few there, so the bits after
// it sit a little earlier or later than the reference's. A banded alignment
// (matches gain, mismatches of sure bits and gaps cost) finds, for each
// reference bit, the take's bit read at the same place (or none), and the
// take's bits that lie between two reference bits.
constexpr int kBand = 24;
constexpr int kMatch = 2, kGap = -3;

constexpr int kNoPartner = -1, kPastTheTake = -2;

struct Alignment {
  // Per reference bit: the take's bit, kNoPartner, or kPastTheTake when the
  // take ended before it (a take cut short says nothing of what follows).
  std::vector<int> partner;
  std::vector<std::pair<int, int>> inserted;         // per reference bit (and the end): the take's bits before it
};

Alignment Align(const BitList& ref, const BitList& take) {
  const int n = static_cast<int>(ref.bits.size()), m = static_cast<int>(take.bits.size());
  const int lo = std::min(0, m - n) - kBand, hi = std::max(0, m - n) + kBand;
  const int width = hi - lo + 1;
  constexpr int kNone = std::numeric_limits<int>::min() / 4;
  // Row i holds the scores of j = i + lo .. i + hi.
  std::vector<int> previous(static_cast<std::size_t>(width), kNone), current(static_cast<std::size_t>(width), kNone);
  std::vector<std::uint8_t> move(static_cast<std::size_t>(n + 1) * static_cast<std::size_t>(width), 0);
  std::vector<int> takeEnd(static_cast<std::size_t>(n + 1), kNone);  // score with all the take's bits used
  auto cell = [&](std::vector<int>& row, int i, int j) -> int& { return row[static_cast<std::size_t>(j - i - lo)]; };
  auto inBand = [&](int i, int j) { return j >= 0 && j <= m && j - i >= lo && j - i <= hi; };
  for (int i = 0; i <= n; ++i) {
    std::fill(current.begin(), current.end(), kNone);
    for (int j = std::max(0, i + lo); j <= std::min(m, i + hi); ++j) {
      int best = kNone;
      std::uint8_t how = 0;
      if (i == 0 && j == 0) best = 0;
      if (i > 0 && j > 0 && inBand(i - 1, j - 1) && cell(previous, i - 1, j - 1) > kNone) {
        const auto a = static_cast<std::size_t>(i - 1), b = static_cast<std::size_t>(j - 1);
        const int score = ref.bits[a] == take.bits[b] ? kMatch : -1 - (ref.confidence[a] + take.confidence[b]) / 256;
        if (cell(previous, i - 1, j - 1) + score > best) best = cell(previous, i - 1, j - 1) + score, how = 1;
      }
      if (i > 0 && inBand(i - 1, j) && cell(previous, i - 1, j) > kNone && cell(previous, i - 1, j) + kGap > best) {
        best = cell(previous, i - 1, j) + kGap, how = 2;  // the reference's bit has no partner
      }
      if (j > 0 && inBand(i, j - 1) && cell(current, i, j - 1) > kNone && cell(current, i, j - 1) + kGap > best) {
        best = cell(current, i, j - 1) + kGap, how = 3;   // the take's bit lies between reference bits
      }
      cell(current, i, j) = best;
      if (j == m) takeEnd[static_cast<std::size_t>(i)] = best;
      move[static_cast<std::size_t>(i) * static_cast<std::size_t>(width) + static_cast<std::size_t>(j - i - lo)] = how;
    }
    std::swap(previous, current);
  }
  Alignment out;
  out.partner.assign(static_cast<std::size_t>(n), kNoPartner);
  out.inserted.assign(static_cast<std::size_t>(n + 1), {0, 0});
  // The reference bits after the take's last one cost nothing.
  int i = n, j = m;
  for (int k = 0; k <= n; ++k) {
    if (takeEnd[static_cast<std::size_t>(k)] > takeEnd[static_cast<std::size_t>(i)]) i = k;
  }
  if (!inBand(i, j) || takeEnd[static_cast<std::size_t>(i)] == kNone) return out;
  for (int k = i; k < n; ++k) out.partner[static_cast<std::size_t>(k)] = kPastTheTake;
  while (i > 0 || j > 0) {
    const std::uint8_t how = move[static_cast<std::size_t>(i) * static_cast<std::size_t>(width) + static_cast<std::size_t>(j - i - lo)];
    if (how == 1) {
      out.partner[static_cast<std::size_t>(i - 1)] = j - 1;
      --i, --j;
    } else if (how == 2) {
      --i;
    } else if (how == 3) {
      auto& range = out.inserted[static_cast<std::size_t>(i)];
      if (range.first == range.second) range = {j - 1, j};
      else range.first = j - 1;
      --j;
    } else {
      break;
    }
  }
  return out;
}

int MeanOf(const std::vector<std::uint8_t>& values, std::size_t from, std::size_t to) {
  if (to <= from) return 0;
  int sum = 0;
  for (std::size_t k = from; k < to; ++k) sum += values[k];
  return sum / static_cast<int>(to - from);
}

// How sure a take is around reference bit i: its bits next to its partner
// of i (or of the nearest reference bit before i that has one).
int Around(const BitList& take, const Alignment& a, std::size_t i) {
  for (std::size_t k = std::min(i, a.partner.size() - 1) + 1; k-- > 0 && !a.partner.empty();) {
    const int j = a.partner[k];
    if (j >= 0) {
      const auto at = static_cast<std::size_t>(j);
      return MeanOf(take.confidence, at >= 2 ? at - 2 : 0, std::min(take.bits.size(), at + 3));
    }
    if (i - k > 8) break;
  }
  return 0;
}

// One bit from several readings: the majority over three or more, the surer
// side where the votes tie (always with two). The confidence is how clearly
// it won.
// With byConfidence the sum of the confidences decides over three or more
// too (two takes damaged in one place, the third sure there).
std::pair<std::uint8_t, std::uint8_t> Vote(const std::vector<std::pair<std::uint8_t, std::uint8_t>>& readings,
                                           bool byConfidence) {
  int votes = 0, weight = 0, surest = 0;
  for (auto [bit, c] : readings) {
    votes += bit ? 1 : -1;
    weight += bit ? c : -c;
    surest = std::max<int>(surest, c);
  }
  const bool one = votes != 0 && readings.size() >= 3 && !(byConfidence && weight != 0) ? votes > 0 : weight > 0;
  const bool unanimous = std::abs(votes) == static_cast<int>(readings.size());
  const int margin = (one ? weight : -weight) / static_cast<int>(readings.size());
  return {static_cast<std::uint8_t>(one ? 1 : 0), static_cast<std::uint8_t>(unanimous ? surest : std::clamp(margin, 0, 255))};
}

// The takes' bits combined after lining each up with the reference (the
// surest take of the commonest length): each reference bit voted with the
// takes' bits at its place, dropped when most takes have nothing there, and
// bits most takes hold between two reference bits put in.
SignalRecord CombineAligned(const std::vector<const SignalRecord*>& group, std::size_t reference, bool byConfidence) {
  const BitList ref = BitsOf(*group[reference]);
  std::vector<BitList> lists;
  std::vector<Alignment> alignments;
  for (std::size_t k = 0; k < group.size(); ++k) {
    if (k == reference) continue;
    lists.push_back(BitsOf(*group[k]));
    alignments.push_back(Align(ref, lists.back()));
  }
  const std::size_t n = ref.bits.size();
  const int takes = static_cast<int>(group.size());
  BitList out;
  std::vector<std::pair<std::uint8_t, std::uint8_t>> readings;
  for (std::size_t i = 0; i <= n; ++i) {
    // Bits between reference bits i - 1 and i.
    int holders = 0;
    std::size_t length = 0;
    for (const Alignment& a : alignments) {
      const auto [from, to] = a.inserted[i];
      if (to > from) {
        ++holders;
        length = std::max(length, static_cast<std::size_t>(to - from));
      }
    }
    bool put = holders * 2 > takes;
    if (holders > 0 && (holders * 2 == takes || byConfidence)) {
      // A tie (two takes), or weighed: the surer side. Those that hold the
      // bits weigh as sure as those bits; the others as their bits around.
      int theirs = 0, others = MeanOf(ref.confidence, i >= 2 ? i - 2 : 0, std::min(n, i + 2));
      for (std::size_t t = 0; t < alignments.size(); ++t) {
        const auto [from, to] = alignments[t].inserted[i];
        if (to > from) {
          theirs += MeanOf(lists[t].confidence, static_cast<std::size_t>(from), static_cast<std::size_t>(to));
        } else {
          others += Around(lists[t], alignments[t], i);
        }
      }
      put = theirs > others;
    }
    if (put) {
      for (std::size_t k = 0; k < length; ++k) {
        readings.clear();
        for (std::size_t t = 0; t < alignments.size(); ++t) {
          const auto [from, to] = alignments[t].inserted[i];
          if (static_cast<std::size_t>(to - from) != length) continue;
          const auto b = static_cast<std::size_t>(from) + k;
          readings.emplace_back(lists[t].bits[b], lists[t].confidence[b]);
        }
        if (readings.empty()) continue;
        const auto [bit, c] = Vote(readings, byConfidence);
        out.bits.push_back(bit);
        out.confidence.push_back(c);
      }
    }
    if (i == n) break;
    readings.clear();
    readings.emplace_back(ref.bits[i], ref.confidence[i]);
    int absent = 0, absentConfidence = 0, absentWeight = 0;
    for (std::size_t t = 0; t < alignments.size(); ++t) {
      const int j = alignments[t].partner[i];
      if (j == kPastTheTake) continue;
      if (j < 0) {
        ++absent;
        const auto at = static_cast<std::size_t>(std::max(0, alignments[t].inserted[i].first));
        const int around = MeanOf(lists[t].confidence, at >= 2 ? at - 2 : 0, std::min(lists[t].bits.size(), at + 2));
        absentConfidence = std::max(absentConfidence, around);
        absentWeight += around;
        continue;
      }
      readings.emplace_back(lists[t].bits[static_cast<std::size_t>(j)], lists[t].confidence[static_cast<std::size_t>(j)]);
    }
    const int present = static_cast<int>(readings.size());
    if (byConfidence && absent > 0) {
      int presentWeight = 0;
      for (auto [bit, c] : readings) presentWeight += c;
      if (absentWeight > presentWeight) continue;
    } else if (absent > present || (absent == present && absentConfidence > ref.confidence[i])) {
      continue;
    }
    const auto [bit, c] = Vote(readings, byConfidence);
    out.bits.push_back(bit);
    out.confidence.push_back(c);
  }
  SignalRecord combined = *group[reference];
  combined.repairedBits = 0;
  const std::size_t bytes = out.bits.size() / 8;
  combined.bytes.assign(bytes, 0);
  combined.confidence.assign(out.confidence.begin(), out.confidence.begin() + static_cast<std::ptrdiff_t>(bytes * 8));
  for (std::size_t b = 0; b < bytes * 8; ++b) {
    combined.bytes[b / 8] = static_cast<std::uint8_t>(combined.bytes[b / 8] << 1 | out.bits[b]);
  }
  combined.checksumOk = combined.bytes.size() >= 2 && RecordSyndrome(combined.bytes) == 0;
  return combined;
}

// Bits read with less confidence than this are doubtful.
constexpr int kDoubtful = 32;

int DoubtfulBits(const SignalRecord& r) {
  return static_cast<int>(std::count_if(r.confidence.begin(), r.confidence.end(), [](std::uint8_t c) { return c < kDoubtful; }));
}

// Two readings of one length that both match their checksum but differ: a
// reading whose bits slipped in a dropout (one lost, one made up further on)
// still matches one time in 256, and a repair may have chosen the wrong
// bits. Where they first and last differ, the one read there with clearly
// more confidence is right: +1 for a, -1 for b, 0 when neither stands out.
constexpr std::size_t kDifferenceWindow = 16;
constexpr int kSurerMargin = 64;
int SurerWhereTheyDiffer(const SignalRecord& a, const SignalRecord& b) {
  if (!a.checksumOk || !b.checksumOk || a.bytes.size() != b.bytes.size() || a.bytes == b.bytes ||
      a.confidence.size() != a.bytes.size() * 8 || b.confidence.size() != b.bytes.size() * 8) {
    return 0;
  }
  const std::size_t bits = a.bytes.size() * 8;
  std::size_t first = bits, last = 0;
  for (std::size_t i = 0; i < a.bytes.size(); ++i) {
    const std::uint8_t d = a.bytes[i] ^ b.bytes[i];
    if (d == 0) continue;
    first = std::min(first, i * 8 + static_cast<std::size_t>(std::countl_zero(d)));
    last = i * 8 + 7 - static_cast<std::size_t>(std::countr_zero(d));
  }
  auto least = [&](const SignalRecord& r) {
    int low = 255;
    for (std::size_t at : {first, last}) {
      const std::size_t from = at >= kDifferenceWindow ? at - kDifferenceWindow : 0;
      for (std::size_t k = from; k < std::min(bits, at + kDifferenceWindow + 1); ++k) low = std::min<int>(low, r.confidence[k]);
    }
    return low;
  };
  const int la = least(a), lb = least(b);
  if (la >= lb + kSurerMargin) return 1;
  if (lb >= la + kSurerMargin) return -1;
  return 0;
}

// The take the others are lined up on: the surest of the commonest length
// (the longer on a tie: a take cut short is likelier than one too long).
std::size_t LeadingTake(const std::vector<const SignalRecord*>& group) {
  std::size_t reference = 0;
  int referenceCount = 0;
  for (std::size_t k = 0; k < group.size(); ++k) {
    int count = 0;
    for (const SignalRecord* r : group) count += r->bytes.size() == group[k]->bytes.size() ? 1 : 0;
    const bool better = count > referenceCount ||
                        (count == referenceCount && (group[k]->bytes.size() > group[reference]->bytes.size() ||
                                                     (group[k]->bytes.size() == group[reference]->bytes.size() &&
                                                      MeanConfidence(*group[k]) > MeanConfidence(*group[reference]))));
    if (better) {
      reference = k;
      referenceCount = count;
    }
  }
  return reference;
}

MergedRecord Resolve(const Slot& slot, const RepairLimits& limits) {
  // A take whose checksum matches as read, else the one repaired with fewest
  // bits. Takes that match but differ (a slip the checksum, blind to it, let
  // through, one time in 256) are weighed: the reading most takes give
  // exactly, then the one with fewer doubtful bits (bits put in unknown where
  // the signal broke, and reads that barely made it). Of two that match, the
  // shorter when the other is it with a 0 byte more: a byte completed after
  // the block (by ringing, or sent by the saver) still matches, and a block
  // with no header has no length to cut it to.
  std::vector<int> agreeing(slot.records.size(), 0);
  for (std::size_t k = 0; k < slot.records.size(); ++k) {
    for (const SignalRecord* other : slot.records) {
      agreeing[k] += other->checksumOk && other->repairedBits == 0 && other->bytes == slot.records[k]->bytes ? 1 : 0;
    }
  }
  auto better = [&](std::size_t k, std::size_t than) {
    const SignalRecord& r = *slot.records[k];
    const SignalRecord& t = *slot.records[than];
    if (std::max(agreeing[k], agreeing[than]) >= 2 && agreeing[k] != agreeing[than]) {
      return agreeing[k] > agreeing[than];
    }
    if (const int surer = SurerWhereTheyDiffer(r, t)) return surer > 0;
    if (r.repairedBits != t.repairedBits) return r.repairedBits < t.repairedBits;
    if (agreeing[k] != agreeing[than]) return agreeing[k] > agreeing[than];
    if (r.bytes.size() + 1 == t.bytes.size() && t.bytes.back() == 0 && std::equal(r.bytes.begin(), r.bytes.end(), t.bytes.begin())) {
      return true;
    }
    if (t.bytes.size() + 1 == r.bytes.size() && r.bytes.back() == 0 && std::equal(t.bytes.begin(), t.bytes.end(), r.bytes.begin())) {
      return false;
    }
    return DoubtfulBits(r) < DoubtfulBits(t);
  };
  int chosen = -1;
  for (std::size_t k = 0; k < slot.records.size(); ++k) {
    const SignalRecord& r = *slot.records[k];
    if (!r.checksumOk) continue;
    if (chosen < 0 || better(k, static_cast<std::size_t>(chosen))) chosen = static_cast<int>(k);
  }
  if (chosen >= 0 && slot.records[static_cast<std::size_t>(chosen)]->repairedBits == 0) {
    return {*slot.records[static_cast<std::size_t>(chosen)], {slot.takes[static_cast<std::size_t>(chosen)]}, false, {}};
  }
  // The surest take as it is, unless the combination of the takes matches.
  std::size_t surest = 0;
  for (std::size_t k = 1; k < slot.records.size(); ++k) {
    if (MeanConfidence(*slot.records[k]) > MeanConfidence(*slot.records[surest])) surest = k;
  }
  MergedRecord fallback{*slot.records[surest], {slot.takes[surest]}, false, {}};
  if (chosen >= 0) fallback = {*slot.records[static_cast<std::size_t>(chosen)], {slot.takes[static_cast<std::size_t>(chosen)]}, false, {}};
  // The commonest length among the takes (the longer on a tie: a take cut
  // short is likelier than one too long); the surest take of it leads.
  const auto [group, groupTakes] = Combinable(slot);
  if (group.size() < 2) return fallback;
  const std::size_t reference = LeadingTake(group);
  // The bits at the same places first (takes of one length), then lined up.
  std::vector<SignalRecord> candidates;
  std::vector<const SignalRecord*> sameLength;
  for (const SignalRecord* r : group) {
    if (r->bytes.size() == group[reference]->bytes.size()) sameLength.push_back(r);
  }
  if (sameLength.size() >= 2) candidates.push_back(Combine(sameLength));
  // Lined up on the leading take, then on each of the others of its length
  // (the leading one may be the one whose bits slipped), by majority and then
  // by confidence.
  for (bool byConfidence : {false, true}) {
    candidates.push_back(CombineAligned(group, reference, byConfidence));
    for (std::size_t k = 0; k < group.size() && group.size() >= 3; ++k) {
      if (k != reference && group[k]->bytes.size() == group[reference]->bytes.size()) {
        candidates.push_back(CombineAligned(group, k, byConfidence));
      }
    }
  }
  for (SignalRecord& combined : candidates) {
    if (combined.checksumOk) return {std::move(combined), groupTakes, true, {}};
  }
  // Repaired: the combination or the take that needed fewest bits changed
  // (the take on a tie: its bits were read, not voted).
  const int takeBits = chosen >= 0 ? slot.records[static_cast<std::size_t>(chosen)]->repairedBits : limits.maxBits + 1;
  for (SignalRecord& combined : candidates) {
    combined.repairedBits = RepairBits(combined.bytes, combined.confidence, limits);
    combined.checksumOk = combined.repairedBits > 0;
    if (combined.checksumOk && combined.repairedBits < takeBits) return {std::move(combined), groupTakes, true, {}};
  }
  return fallback;
}

// The length a slot's record must have to be trusted: a header's 19 bytes,
// the length the header before it gives (plus flag and checksum), else the
// length most of the takes read; 0 when none is known.
constexpr std::size_t kHeaderBytes = 19;

std::size_t TrustedLength(const Slot& slot, const SignalRecord* previous) {
  if (slot.records.empty() || slot.records.front()->bytes.empty()) return 0;
  if (slot.records.front()->bytes[0] == 0x00) return kHeaderBytes;
  if (previous && previous->checksumOk && previous->bytes.size() == kHeaderBytes && previous->bytes[0] == 0x00) {
    return static_cast<std::size_t>(previous->bytes[12] | previous->bytes[13] << 8) + 2;
  }
  for (const SignalRecord* r : slot.records) {
    const auto same = std::count_if(slot.records.begin(), slot.records.end(),
                                    [&](const SignalRecord* o) { return o->bytes.size() == r->bytes.size(); });
    if (static_cast<std::size_t>(same) * 2 > slot.records.size()) return r->bytes.size();
  }
  return 0;
}

// A reading that may stand for the record: of the trusted length, and when
// it is a header, of a type the ROM writes (a header of another type is bits
// that slipped and matched by chance).
bool Plausible(const std::vector<std::uint8_t>& bytes, std::size_t trustedLength) {
  if (trustedLength > 0 && bytes.size() != trustedLength) return false;
  return bytes.size() != kHeaderBytes || bytes[0] != 0x00 || bytes[1] <= 3;
}

// How far a reading is from what the takes read: each take lined up with it,
// the confidences of the take's bits that differ, and a doubtful bit's worth
// for each bit one side has and the other has not. The reading the takes
// hold is the one they contradict least.
constexpr long kGapCost = 128;
constexpr std::size_t kNearLength = 2;

// Counting stops once the cost passes limit (the answer is then known).
long Contradiction(const std::vector<std::uint8_t>& bytes, const std::vector<const SignalRecord*>& takes,
                   long limit = std::numeric_limits<long>::max()) {
  BitList reading;
  reading.bits.reserve(bytes.size() * 8);
  for (std::size_t b = 0; b < bytes.size() * 8; ++b) reading.bits.push_back(bytes[b / 8] >> (7 - b % 8) & 1);
  reading.confidence.assign(reading.bits.size(), 128);
  long cost = 0;
  for (const SignalRecord* r : takes) {
    // A take cut short, or run on into another block, is no reading of it.
    if (r->bytes.size() + kNearLength < bytes.size() || bytes.size() + kNearLength < r->bytes.size()) continue;
    if (r->bytes == bytes || cost > limit) continue;  // a take does not contradict its own reading
    const BitList take = BitsOf(*r);
    const Alignment a = Align(reading, take);
    for (std::size_t i = 0; i < a.partner.size(); ++i) {
      const int j = a.partner[i];
      if (j >= 0) {
        if (reading.bits[i] != take.bits[static_cast<std::size_t>(j)]) cost += take.confidence[static_cast<std::size_t>(j)];
      } else if (j == kNoPartner) {
        cost += kGapCost;
      }
      cost += kGapCost * (a.inserted[i].second - a.inserted[i].first);
    }
  }
  return cost;
}

// One reading that matches its checksum, and what gave it.
struct Answer {
  SignalRecord record;
  std::vector<int> takes;  // the take it was read from, or the takes combined
  bool combined = false;
  int takeReadings = 0;    // takes that read (or repaired) it so
  bool fromLeader = false; // a take's reading, or a combination lined up on the leading take
  const SignalRecord* read = nullptr;  // a take's record that reads (or was repaired to) it
};

// Of two equal answers, the one to report: read as it is before combined,
// combined before repaired, then fewer bits repaired.
bool Preferred(const Answer& a, const Answer& b) {
  if ((a.record.repairedBits == 0) != (b.record.repairedBits == 0)) return a.record.repairedBits == 0;
  if (a.record.repairedBits == 0 && a.combined != b.combined) return !a.combined;
  return a.record.repairedBits < b.record.repairedBits;
}

// Two takes' answers must be clearly apart to choose between them: more
// than a doubtful bit's worth.
constexpr long kClearlyCloser = 128;
// An answer the takes contradict more than one of them contradicts the
// others (by more than two sure bits) is no better than that take's bad
// reading: a chance match.
constexpr long kBeyondTheTakes = 2 * 255;

// The record of a slot from several takes. Every reading that matches its
// checksum is an answer: each take's, and the takes' bits combined (as they
// are, or repaired). A checksum matches by chance one time in 256, so an
// answer is trusted only when it has the length the header (or most takes)
// give, when two takes read it alike or the takes contradict it clearly
// less than any other answer, and when the takes contradict it no more than
// they contradict one of their own readings. Otherwise the record stays bad:
// the surest take that does not match.
MergedRecord ResolveTakes(const Slot& slot, const RepairLimits& limits, std::size_t trustedLength) {
  std::vector<Answer> answers;
  auto add = [&](Answer answer) {
    if (!answer.record.checksumOk || !Plausible(answer.record.bytes, trustedLength)) return;
    for (Answer& a : answers) {
      if (a.record.bytes != answer.record.bytes) continue;
      a.takeReadings += answer.takeReadings;
      a.fromLeader = a.fromLeader || answer.fromLeader;
      if (!a.read) a.read = answer.read;
      if (Preferred(answer, a)) {
        answer.takeReadings = a.takeReadings;
        answer.fromLeader = a.fromLeader;
        answer.read = a.read;
        a = std::move(answer);
      }
      return;
    }
    answers.push_back(std::move(answer));
  };
  for (std::size_t k = 0; k < slot.records.size(); ++k) {
    add({*slot.records[k], {slot.takes[k]}, false, 1, true, slot.records[k]});
  }
  // Two takes that read a record alike, as they are: no chance.
  for (const Answer& a : answers) {
    if (a.takeReadings >= 2 && a.record.repairedBits == 0 && !a.combined) return {a.record, a.takes, false, {}};
  }
  // The bad reading to keep when no answer can be trusted: the surest take
  // that does not match, else the surest.
  std::size_t surest = 0;
  for (std::size_t k = 1; k < slot.records.size(); ++k) {
    const SignalRecord& r = *slot.records[k];
    const SignalRecord& s = *slot.records[surest];
    if (r.checksumOk != s.checksumOk ? !r.checksumOk : MeanConfidence(r) > MeanConfidence(s)) surest = k;
  }
  const MergedRecord bad{*slot.records[surest], {slot.takes[surest]}, false, {}};

  const auto [group, groupTakes] = Combinable(slot);
  // The takes' bits are combined only when no take reads the record as it
  // is, or when the takes' answers differ (the combination may side with
  // one): every combination tried is one more try at a chance match.
  const bool readAsItIs = std::any_of(answers.begin(), answers.end(), [](const Answer& a) { return a.record.repairedBits == 0; });
  if (group.size() >= 2 && (!readAsItIs || answers.size() > 1)) {
    const std::size_t reference = LeadingTake(group);
    std::vector<std::pair<SignalRecord, bool>> candidates;  // and whether lined up on the leading take
    std::vector<const SignalRecord*> sameLength;
    for (const SignalRecord* r : group) {
      if (r->bytes.size() == group[reference]->bytes.size()) sameLength.push_back(r);
    }
    if (sameLength.size() >= 2) candidates.emplace_back(Combine(sameLength), true);
    for (bool byConfidence : {false, true}) {
      candidates.emplace_back(CombineAligned(group, reference, byConfidence), true);
      for (std::size_t k = 0; k < group.size() && group.size() >= 3; ++k) {
        if (k != reference && group[k]->bytes.size() == group[reference]->bytes.size()) {
          candidates.emplace_back(CombineAligned(group, k, byConfidence), false);
        }
      }
    }
    bool matched = false;
    for (auto& [combined, leader] : candidates) {
      matched = matched || (combined.checksumOk && Plausible(combined.bytes, trustedLength));
      add({combined, groupTakes, true, 0, leader});
    }
    // Repaired only when no combination matches as it is.
    for (auto& [combined, leader] : candidates) {
      if (matched || combined.checksumOk) continue;
      combined.repairedBits = RepairBits(combined.bytes, combined.confidence, limits);
      combined.checksumOk = combined.repairedBits > 0;
      add({std::move(combined), groupTakes, true, 0, leader});
    }
  }
  // An answer only the lines on another take than the leading one give is
  // one try more at a chance match, not a reading.
  answers.erase(std::remove_if(answers.begin(), answers.end(), [](const Answer& a) { return !a.fromLeader; }),
                answers.end());
  if (answers.empty()) return bad;
  std::size_t best = 0;
  if (answers.size() > 1) {
    // Read so by two takes (one of them repaired) and by no two for another.
    std::vector<std::size_t> byTwo;
    for (std::size_t a = 0; a < answers.size(); ++a) {
      if (answers[a].takeReadings >= 2) byTwo.push_back(a);
    }
    // Of takes' readings that differ, the one read clearly surer where they
    // differ than each of the others.
    int surer = -1;
    for (std::size_t a = 0; a < answers.size() && surer < 0; ++a) {
      bool all = answers[a].read != nullptr;
      for (std::size_t b = 0; b < answers.size() && all; ++b) {
        all = b == a || (answers[b].read && SurerWhereTheyDiffer(*answers[a].read, *answers[b].read) > 0);
      }
      if (all) surer = static_cast<int>(a);
    }
    if (byTwo.size() == 1) {
      best = byTwo.front();
    } else if (surer >= 0) {
      best = static_cast<std::size_t>(surer);
    } else {
      std::vector<long> cost;
      for (const Answer& a : answers) cost.push_back(Contradiction(a.record.bytes, group.empty() ? slot.records : group));
      best = static_cast<std::size_t>(std::min_element(cost.begin(), cost.end()) - cost.begin());
      // Close answers: the one a take read as it is, when only one was (a
      // repair makes any checksum match that its limits allow; a reading
      // matches by chance one time in 256).
      int close = 0, closeAsRead = 0;
      std::size_t asRead = best;
      for (std::size_t a = 0; a < answers.size(); ++a) {
        if (cost[a] >= cost[best] + kClearlyCloser) continue;
        ++close;
        if (answers[a].record.repairedBits == 0 && !answers[a].combined) {
          ++closeAsRead;
          asRead = a;
        }
      }
      if (close > 1 && closeAsRead != 1) return bad;
      best = asRead;
    }
  }
  // Against the takes' own readings.
  const std::vector<const SignalRecord*>& takes = group.empty() ? slot.records : group;
  if (takes.size() >= 2) {
    const long cost = Contradiction(answers[best].record.bytes, takes);
    for (const SignalRecord* r : takes) {
      if (r->bytes == answers[best].record.bytes) continue;
      if (Contradiction(r->bytes, takes, cost - kBeyondTheTakes) + kBeyondTheTakes < cost) return bad;
    }
  }
  Answer& chosen = answers[best];
  return {std::move(chosen.record), chosen.combined ? groupTakes : chosen.takes, chosen.combined, {}};
}

}  // namespace

std::vector<MergedRecord> MergeTakes(const std::vector<std::vector<SignalRecord>>& takes, const RepairLimits& limits,
                                     bool sameClock) {
  if (takes.empty()) return {};
  // The take with most records sets the first slots.
  std::size_t first = 0;
  for (std::size_t t = 1; t < takes.size(); ++t) {
    if (takes[t].size() > takes[first].size()) first = t;
  }
  std::vector<Slot> slots;
  AddTake(slots, takes[first], static_cast<int>(first), sameClock);
  for (std::size_t t = 0; t < takes.size(); ++t) {
    if (t != first) AddTake(slots, takes[t], static_cast<int>(t), sameClock);
  }
  std::vector<MergedRecord> merged;
  merged.reserve(slots.size());
  for (const Slot& slot : slots) {
    if (sameClock) {
      merged.push_back(Resolve(slot, limits));
    } else {
      merged.push_back(ResolveTakes(slot, limits, TrustedLength(slot, merged.empty() ? nullptr : &merged.back().record)));
    }
    merged.back().present = slot.takes;
  }
  return merged;
}

std::vector<int> UnmatchedTakes(const std::vector<MergedRecord>& merged, int takeCount) {
  std::vector<int> records(static_cast<std::size_t>(takeCount), 0), shared(static_cast<std::size_t>(takeCount), 0);
  for (const MergedRecord& m : merged) {
    for (int t : m.present) {
      if (t < 0 || t >= takeCount) continue;
      ++records[static_cast<std::size_t>(t)];
      if (m.present.size() > 1) ++shared[static_cast<std::size_t>(t)];
    }
  }
  // Only against other takes that hold records: a silent take proves nothing.
  const auto holding = std::count_if(records.begin(), records.end(), [](int n) { return n > 0; });
  std::vector<int> out;
  if (holding < 2) return out;
  for (int t = 0; t < takeCount; ++t) {
    if (records[static_cast<std::size_t>(t)] > 0 && shared[static_cast<std::size_t>(t)] == 0) out.push_back(t);
  }
  return out;
}

std::string TakeSourceText(const MergedRecord& merged) {
  if (merged.takes.empty()) return {};
  std::vector<int> takes = merged.takes;
  std::sort(takes.begin(), takes.end());
  if (!merged.combined) return "из записи" + NumberText(takes.front() + 1);
  std::string text = "собран из записей";
  for (std::size_t k = 0; k < takes.size(); ++k) text += (k ? "," : "") + NumberText(takes[k] + 1);
  return text;
}

}  // namespace reelo
