// The AVX2 build of the level search: this file alone is compiled for AVX2,
// BMI and POPCNT, and runs only where the processor has them. Everything in
// it stays file-local, so no shared inline code is taken from here.
#include <immintrin.h>

#include "sound/import/pulse_scan.h"

namespace reelo::pulse_scan {
namespace {

struct Avx2Bits {
  static constexpr bool kCountsZero = true;  // tzcnt of 0 is 64
  static int Popcount(std::uint64_t mask) { return static_cast<int>(_mm_popcnt_u64(mask)); }
  static int TrailingZeros(std::uint64_t mask) { return static_cast<int>(_tzcnt_u64(mask)); }
};

struct Avx2Masks {
  static void Get(const std::uint8_t* samples, std::uint64_t& high, std::uint64_t& low) {
    const __m256i lowTo = _mm256_set1_epi8(126);
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples + 32));
    const auto highA = static_cast<std::uint32_t>(_mm256_movemask_epi8(a));
    const auto highB = static_cast<std::uint32_t>(_mm256_movemask_epi8(b));
    const auto lowA = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(a, lowTo), a)));
    const auto lowB = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(b, lowTo), b)));
    high = highA | (static_cast<std::uint64_t>(highB) << 32);
    low = lowA | (static_cast<std::uint64_t>(lowB) << 32);
  }
};

}  // namespace

void HoldAvx2(const std::uint16_t* edges, int pulses, int longest, std::uint32_t* held) {
  HoldEach(edges, pulses, longest, held);
}

int EdgesAvx2(const std::uint8_t* data, int words, std::uint16_t* edges) {
  return EdgeWords<Avx2Masks, FlattenBits<Avx2Bits>>(data, words, edges);
}

}  // namespace reelo::pulse_scan
