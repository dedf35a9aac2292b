// Checksum-guided repair and the merging of takes on arbitrary records,
// checked against plain models: a repair changes exactly the bits it reports,
// at most its limit, only in the syndrome's columns, and leaves a matching
// checksum, or changes nothing; merging identical takes gives that take;
// a merged record marked good has a matching checksum, and comes from a take
// that had it good unless it was combined from two or more.
//
// Input: 4 steering bytes (repair limit, how many takes, the flip pattern),
// then records: a length byte, the bytes, one confidence byte per byte (used
// for all its bits, with the flip pattern's bits doubtful).
#include <bit>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "sound/recording/bit_repair.h"
#include "sound/recording/take_merge.h"

namespace reelo::fuzz {
namespace {

constexpr std::size_t kSteeringBytes = 4;

std::vector<SignalRecord> RecordsFrom(const Steering& s) {
  std::vector<SignalRecord> records;
  const std::uint8_t* p = s.payload();
  std::size_t i = 0;
  const std::size_t n = s.payloadSize();
  while (i < n) {
    // The length byte is taken first: the room left must not count it.
    const std::size_t asked = p[i++] % 24 + 2;
    const std::size_t length = std::min<std::size_t>(asked, (n - i) / 2);
    if (length < 2) break;
    SignalRecord r;
    r.bytes.assign(p + i, p + i + length);
    for (std::size_t k = 0; k < length; ++k) r.confidence.insert(r.confidence.end(), 8, p[i + length + k]);
    i += 2 * length;
    r.checksumOk = RecordSyndrome(r.bytes) == 0;
    records.push_back(std::move(r));
  }
  return records;
}

int DifferentBits(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  int n = 0;
  for (std::size_t i = 0; i < a.size(); ++i) n += std::popcount(static_cast<unsigned>(a[i] ^ b[i]));
  return n;
}

void CheckRepair(const SignalRecord& record, int maxBits) {
  std::vector<std::uint8_t> bytes = record.bytes, confidence = record.confidence;
  RepairLimits limits;
  limits.maxBits = maxBits;
  const int changed = RepairBits(bytes, confidence, limits);
  FUZZ_CHECK(changed >= 0 && changed <= maxBits);
  FUZZ_CHECK(DifferentBits(bytes, record.bytes) == changed);
  if (changed == 0) {
    FUZZ_CHECK(bytes == record.bytes);
    return;
  }
  const std::uint8_t syndrome = RecordSyndrome(record.bytes);
  FUZZ_CHECK(RecordSyndrome(bytes) == 0);
  FUZZ_CHECK(changed == std::popcount(static_cast<unsigned>(syndrome)));
  for (std::size_t i = 0; i < bytes.size(); ++i) FUZZ_CHECK(((bytes[i] ^ record.bytes[i]) & ~syndrome) == 0);
}

}  // namespace
}  // namespace reelo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace reelo;
  using namespace reelo::fuzz;
  Steering s(data, size, kSteeringBytes);
  const int maxBits = s.NextInRange(0, 8);
  const int takeCount = s.NextInRange(1, 4);
  const int flips = s.NextWord();
  const std::vector<SignalRecord> records = RecordsFrom(s);
  for (const SignalRecord& r : records) CheckRepair(r, maxBits);

  // Identical takes give that take, record for record.
  const std::vector<std::vector<SignalRecord>> same(static_cast<std::size_t>(takeCount), records);
  const std::vector<MergedRecord> merged = MergeTakes(same);
  FUZZ_CHECK(merged.size() == records.size());
  for (std::size_t i = 0; i < merged.size(); ++i) {
    FUZZ_CHECK(merged[i].record.bytes == records[i].bytes || (!records[i].checksumOk && merged[i].combined));
  }

  // Takes that differ by flipped bits: every good result has a matching
  // checksum and names where it came from.
  std::vector<std::vector<SignalRecord>> takes(static_cast<std::size_t>(takeCount), records);
  for (std::size_t t = 1; t < takes.size(); ++t) {
    for (std::size_t r = 0; r < takes[t].size(); ++r) {
      SignalRecord& rec = takes[t][r];
      const std::size_t bit = static_cast<std::size_t>(flips * (t + 1) + r * 7) % (rec.bytes.size() * 8);
      rec.bytes[bit / 8] ^= static_cast<std::uint8_t>(0x80u >> (bit % 8));
      rec.checksumOk = RecordSyndrome(rec.bytes) == 0;
    }
  }
  for (const MergedRecord& m : MergeTakes(takes)) {
    FUZZ_CHECK(!m.takes.empty());
    FUZZ_CHECK(m.record.checksumOk == (RecordSyndrome(m.record.bytes) == 0));
    FUZZ_CHECK(!m.combined || m.takes.size() >= 2);
  }
  return 0;
}
