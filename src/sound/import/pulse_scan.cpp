#include "sound/import/pulse_scan.h"

#include <atomic>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace reelo {
namespace pulse_scan {
namespace {

constexpr std::uint8_t kHighFrom = 128;  // a rising sample: this or more
constexpr std::uint8_t kLowTo = 126;     // a falling sample: this or less

struct ScalarMasks {
  static void Get(const std::uint8_t* samples, std::uint64_t& high, std::uint64_t& low) {
    for (int i = 0; i < kWordSamples; ++i) {
      high |= static_cast<std::uint64_t>(samples[i] >= kHighFrom) << i;
      low |= static_cast<std::uint64_t>(samples[i] <= kLowTo) << i;
    }
  }
};

#if defined(__SSE2__)
struct Sse2Masks {
  static void Get(const std::uint8_t* samples, std::uint64_t& high, std::uint64_t& low) {
    const __m128i lowTo = _mm_set1_epi8(static_cast<char>(kLowTo));
    for (int group = 0; group < 4; ++group) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 16 * group));
      // The top bit is set from 128 on; a sample is at most 126 when the
      // smaller of it and 126 is itself.
      const auto h = static_cast<unsigned>(_mm_movemask_epi8(v));
      const auto l = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, lowTo), v)));
      high |= static_cast<std::uint64_t>(h) << (16 * group);
      low |= static_cast<std::uint64_t>(l) << (16 * group);
    }
  }
};
#endif

EdgeFunction Fastest() {
#if defined(__x86_64__) && defined(REELO_HAVE_AVX2_SCAN)
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("popcnt")) {
    return EdgesAvx2;
  }
#endif
#if defined(__SSE2__)
  return EdgesSse2;
#else
  return EdgesScalar;
#endif
}

std::atomic<EdgeFunction>& Current() {
  static std::atomic<EdgeFunction> current{Fastest()};
  return current;
}

EdgeFunction FunctionOf(LevelSearch search) {
  switch (search) {
    case LevelSearch::Scalar: return EdgesScalar;
    case LevelSearch::Sse2:
#if defined(__SSE2__)
      return EdgesSse2;
#else
      return nullptr;
#endif
    case LevelSearch::Avx2:
#if defined(__x86_64__) && defined(REELO_HAVE_AVX2_SCAN)
      if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("popcnt")) {
        return EdgesAvx2;
      }
#endif
      return nullptr;
  }
  return nullptr;
}

// The edges of one search dealt out to the rises and the falls.
int Split(EdgeFunction edgesOf, const std::uint8_t* data, int words, std::uint16_t* rises, std::uint16_t* falls) {
  std::vector<std::uint16_t> edges(static_cast<std::size_t>(words) * kWordSamples + kSlack);
  const int pulses = edgesOf(data, words, edges.data());
  for (int i = 0; i < pulses; ++i) {
    rises[i] = edges[static_cast<std::size_t>(2 * i)];
    falls[i] = edges[static_cast<std::size_t>(2 * i + 1)];
  }
  return pulses;
}

}  // namespace

int EdgesScalar(const std::uint8_t* data, int words, std::uint16_t* edges) {
  return EdgeWords<ScalarMasks, LoopBits>(data, words, edges);
}

int ScanScalar(const std::uint8_t* data, int words, std::uint16_t* rises, std::uint16_t* falls) {
  return Split(EdgesScalar, data, words, rises, falls);
}

#if defined(__SSE2__)
int EdgesSse2(const std::uint8_t* data, int words, std::uint16_t* edges) {
  return EdgeWords<Sse2Masks, LoopBits>(data, words, edges);
}

int ScanSse2(const std::uint8_t* data, int words, std::uint16_t* rises, std::uint16_t* falls) {
  return Split(EdgesSse2, data, words, rises, falls);
}
#endif

#if defined(__x86_64__) && defined(REELO_HAVE_AVX2_SCAN)
int ScanAvx2(const std::uint8_t* data, int words, std::uint16_t* rises, std::uint16_t* falls) {
  return Split(EdgesAvx2, data, words, rises, falls);
}
#endif

EdgeFunction CurrentEdges() { return Current().load(std::memory_order_relaxed); }

void HoldPlain(const std::uint16_t* edges, int pulses, int longest, std::uint32_t* held) {
  HoldEach(edges, pulses, longest, held);
}

HoldFunction CurrentHold() {
#if defined(__x86_64__) && defined(REELO_HAVE_AVX2_SCAN)
  if (CurrentEdges() == EdgesAvx2) return HoldAvx2;
#endif
  return HoldPlain;
}

}  // namespace pulse_scan

bool LevelSearchAvailable(LevelSearch search) { return pulse_scan::FunctionOf(search) != nullptr; }

bool UseLevelSearch(LevelSearch search) {
  const pulse_scan::EdgeFunction edges = pulse_scan::FunctionOf(search);
  if (!edges) return false;
  pulse_scan::Current().store(edges, std::memory_order_relaxed);
  return true;
}

LevelSearch CurrentLevelSearch() {
  const pulse_scan::EdgeFunction edges = pulse_scan::CurrentEdges();
  if (edges == pulse_scan::EdgesScalar) return LevelSearch::Scalar;
#if defined(__x86_64__) && defined(REELO_HAVE_AVX2_SCAN)
  if (edges == pulse_scan::EdgesAvx2) return LevelSearch::Avx2;
#endif
  return LevelSearch::Sse2;
}

}  // namespace reelo
