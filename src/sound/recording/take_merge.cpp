#include "sound/recording/take_merge.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "project/tape_project.h"

namespace reelo {
namespace {

// Bytes compared when matching records: enough for a header's name, cheap on
// a 48 KiB block.
constexpr std::size_t kComparedBytes = 64;
// Two records are the same record of the tape when at least this share of the
// compared bytes agree (a bad take has a few wrong bits, not wrong bytes).
constexpr double kSameShare = 0.6;

// How alike two records are: 0 for different records. Records of one length
// and flag score 1 + the share of equal bytes among the first ones; records
// of another length whose first bytes agree (one take lost the end of the
// block) score less than any of those.
double Likeness(const SignalRecord& a, const SignalRecord& b) {
  if (a.bytes.empty() || b.bytes.empty() || a.bytes[0] != b.bytes[0]) return 0;
  const std::size_t n = std::min({a.bytes.size(), b.bytes.size(), kComparedBytes});
  std::size_t equal = 0;
  for (std::size_t i = 0; i < n; ++i) equal += a.bytes[i] == b.bytes[i] ? 1 : 0;
  const double share = static_cast<double>(equal) / static_cast<double>(n);
  if (share < kSameShare) return 0;
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

MergedRecord Resolve(const Slot& slot, const RepairLimits& limits) {
  // A take whose checksum matches as read, else the one repaired with fewest bits.
  int chosen = -1;
  for (std::size_t k = 0; k < slot.records.size(); ++k) {
    const SignalRecord& r = *slot.records[k];
    if (!r.checksumOk) continue;
    if (chosen < 0 || r.repairedBits < slot.records[static_cast<std::size_t>(chosen)]->repairedBits) {
      chosen = static_cast<int>(k);
    }
  }
  if (chosen >= 0) {
    return {*slot.records[static_cast<std::size_t>(chosen)], {slot.takes[static_cast<std::size_t>(chosen)]}, false};
  }
  // The surest take as it is, unless the combination of the takes matches.
  std::size_t surest = 0;
  for (std::size_t k = 1; k < slot.records.size(); ++k) {
    if (MeanConfidence(*slot.records[k]) > MeanConfidence(*slot.records[surest])) surest = k;
  }
  MergedRecord result{*slot.records[surest], {slot.takes[surest]}, false};
  std::vector<const SignalRecord*> group;
  std::vector<int> groupTakes;
  for (std::size_t k = 0; k < slot.records.size(); ++k) {
    if (slot.records[k]->bytes.size() != result.record.bytes.size() ||
        slot.records[k]->confidence.size() != result.record.bytes.size() * 8) {
      continue;
    }
    group.push_back(slot.records[k]);
    groupTakes.push_back(slot.takes[k]);
  }
  if (group.size() < 2) return result;
  SignalRecord combined = Combine(group);
  if (!combined.checksumOk) {
    combined.repairedBits = RepairBits(combined.bytes, combined.confidence, limits);
    combined.checksumOk = combined.repairedBits > 0;
  }
  if (combined.checksumOk) return {std::move(combined), groupTakes, true};
  return result;
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
    merged.push_back(Resolve(slot, limits));
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
