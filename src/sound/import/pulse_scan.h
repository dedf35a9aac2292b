// The level changes of a stretch of samples found all at once: a bit per
// sample for "high" (128 or more) and "low" (126 or less), the hysteresis of
// the measurement worked out on 64 samples at a time with one addition, and
// the rising and falling samples read off the result. Used by the pulse
// measurement; the same code is built for plain C++, SSE2 and AVX2, and the
// fastest the processor has runs (a test can choose another).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace reelo {

enum class LevelSearch { Scalar, Sse2, Avx2 };

// Whether this processor and build can run the search.
bool LevelSearchAvailable(LevelSearch search);
// Chooses the search for every later measurement; false (nothing changed)
// when it is not available. The fastest available is chosen at start.
bool UseLevelSearch(LevelSearch search);
LevelSearch CurrentLevelSearch();

namespace pulse_scan {

inline constexpr int kWordSamples = 64;
// Room the searches need beyond the entries they keep: they write a dozen
// offsets past the last one found rather than branch on every bit.
inline constexpr int kSlack = 16;

// Looks at words * 64 samples from data, the signal being low before data[0]
// (the state between two pulses). Writes the offset of every level change
// into edges, in order: as the level alternates, edges[2i] is the i-th
// pulse's rising sample and edges[2i + 1] its falling one (a last rise may
// have no fall). Returns the number of pulses that end within the samples.
// edges needs room for words * 64 + kSlack entries; words * 64 must fit an
// uint16_t.
using EdgeFunction = int (*)(const std::uint8_t* data, int words, std::uint16_t* edges);

EdgeFunction CurrentEdges();

int EdgesScalar(const std::uint8_t* data, int words, std::uint16_t* edges);
int EdgesSse2(const std::uint8_t* data, int words, std::uint16_t* edges);
int EdgesAvx2(const std::uint8_t* data, int words, std::uint16_t* edges);

// The pulses of a search as a pulse cursor holds them, one word each: the
// length (fall - rise, 0 when over longest) in the low half, the offset of
// the sample after the fall in the high half. Built for the processor of the
// current search, as a loop done many pulses at a time.
using HoldFunction = void (*)(const std::uint16_t* edges, int pulses, int longest, std::uint32_t* held);

HoldFunction CurrentHold();

void HoldPlain(const std::uint16_t* edges, int pulses, int longest, std::uint32_t* held);
void HoldAvx2(const std::uint16_t* edges, int pulses, int longest, std::uint32_t* held);

// The same pulses with their rises and falls apart: rises[i] and falls[i]
// are the i-th pulse's. Returns the number of pulses; each array needs room
// for words * 32 entries.
using ScanFunction = int (*)(const std::uint8_t* data, int words, std::uint16_t* rises, std::uint16_t* falls);

int ScanScalar(const std::uint8_t* data, int words, std::uint16_t* rises, std::uint16_t* falls);
int ScanSse2(const std::uint8_t* data, int words, std::uint16_t* rises, std::uint16_t* falls);
int ScanAvx2(const std::uint8_t* data, int words, std::uint16_t* rises, std::uint16_t* falls);

// The body shared by the builds: Masks::Get(samples, high, low) gives the two
// bit masks of 64 samples (bit i for samples[i]).
template <class Masks, class Bits>
inline int EdgeWords(const std::uint8_t* data, int words, std::uint16_t* edges) {
  std::uint64_t state = 0;  // 1 when the sample before the word left the signal high
  int count = 0;
  for (int w = 0; w < words; ++w) {
    std::uint64_t high = 0, low = 0;
    Masks::Get(data + w * kWordSamples, high, low);
    // A sample is high when it is high itself, or when it is not low and the
    // one before it was high: the high samples "carry" through the others.
    // Adding the high bits (and the state as carry in) to the not-low bits
    // runs a carry from every high sample through the not-low ones after it.
    const std::uint64_t notLow = ~low;
    const std::uint64_t level = (((notLow + high + state) ^ notLow) | high) & notLow;
    const std::uint64_t before = (level << 1) | state;
    Bits::Flatten(edges, count, level ^ before, static_cast<std::uint16_t>(w * kWordSamples));
    state = level >> 63;
  }
  return count / 2;
}

// The body of the HoldFunction builds.
inline void HoldEach(const std::uint16_t* edges, int pulses, int longest, std::uint32_t* held) {
  const auto limit = static_cast<std::uint32_t>(longest);
  for (int i = 0; i < pulses; ++i) {
    std::uint32_t rise = 0, fall = 0;
    if constexpr (std::endian::native == std::endian::little) {
      // A rise and its fall read as one word: the vector loop needs no shuffle.
      std::uint32_t pair = 0;
      std::memcpy(&pair, edges + 2 * i, sizeof pair);
      rise = pair & 0xFFFF;
      fall = pair >> 16;
    } else {
      rise = edges[2 * i];
      fall = edges[2 * i + 1];
    }
    const std::uint32_t length = fall - rise;
    held[i] = (fall + 1) << 16 | (length > limit ? 0 : length);
  }
}

// The offsets of the set bits of mask, base added, appended at out[count]:
// twelve are written without looking at how many there are (a tape signal's
// shortest cycles, ten samples, change the level about 13 times in 64
// samples), then four more at a time while any are left.
// Ops: static Popcount and TrailingZeros of an uint64_t, and kCountsZero:
// whether TrailingZeros gives 64 for an empty mask (the instruction does) or
// must never see one.
template <class Ops>
struct FlattenBits {
  static void Flatten(std::uint16_t* out, int& count, std::uint64_t mask, std::uint16_t base) {
    // The offsets written past the last real one are never read; where the
    // count of an empty mask is not defined, the top bit stands in for it.
    constexpr std::uint64_t kStop = Ops::kCountsZero ? 0 : std::uint64_t{1} << 63;
    constexpr int kFirst = 12;
    constexpr int kGroup = 4;
    static_assert(kFirst + kGroup - 1 <= kSlack);
    const int n = Ops::Popcount(mask);
    std::uint16_t* at = out + count;
    for (int i = 0; i < kFirst; ++i) {
      at[i] = static_cast<std::uint16_t>(base + Ops::TrailingZeros(mask | kStop));
      mask &= mask - 1;
    }
    for (int done = kFirst; done < n; done += kGroup) {
      for (int i = 0; i < kGroup; ++i) {
        at[done + i] = static_cast<std::uint16_t>(base + Ops::TrailingZeros(mask | kStop));
        mask &= mask - 1;
      }
    }
    count += n;
  }
};

// The same one bit at a time, for processors without a population count
// instruction (its library call costs more than the loop).
struct LoopBits {
  static void Flatten(std::uint16_t* out, int& count, std::uint64_t mask, std::uint16_t base) {
    for (; mask != 0; mask &= mask - 1) out[count++] = static_cast<std::uint16_t>(base + __builtin_ctzll(mask));
  }
};

}  // namespace pulse_scan
}  // namespace reelo
