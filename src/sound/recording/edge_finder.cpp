#include "sound/recording/edge_finder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace reelo {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Conditioning: a high-pass well below the pilot (hum, rumble, DC), a
// low-pass above the 0 bit's harmonics (hiss); the threshold follows the
// envelope's peak with this share and decays with this time.
constexpr double kHighPassHz = 250.0;
constexpr double kLowPassHz = 6000.0;
constexpr float kThresholdShare = 0.3f;
constexpr double kEnvelopeSeconds = 0.0015;
constexpr float kSilenceFloor = 3e-4f;   // about -70 dBFS: below it nothing is an edge
// A half-wave's swing is its largest distance from the zero line in this
// time after its edge: longer than any bit's half-wave.
constexpr double kSwingSeconds = 0.0006;

// The samples EdgeFinder filters at a time (its scratch stays in the
// first-level cache).
constexpr std::size_t kPassSamples = 4096;

// The notes of eight samples at once, in one word (the first sample in the
// lowest byte).
constexpr std::uint64_t kEveryByte = 0x0101010101010101ULL;
static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big);

std::uint64_t LoadFlags(const std::uint8_t* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// The filters and the envelope over a block: each filtered sample, and the
// share of the envelope that is its threshold. The state lives in locals, so
// the loop keeps it in registers; it has no branch, and does only what one
// sample needs of the one before.
template <bool kLowPass>
void FilterBlock(const float* in, std::size_t count, FilterSection& highPass, FilterSection& lowPass,
                 float& envelope, float decay, float* filtered, float* share) {
  FilterSection hp = highPass, lp = lowPass;
  float env = envelope;
  for (std::size_t i = 0; i < count; ++i) {
    float y = hp.Process(in[i]);
    if constexpr (kLowPass) y = lp.Process(y);
    env = std::max(std::fabs(y), env * decay);
    filtered[i] = y;
    share[i] = kThresholdShare * env;
  }
  highPass = hp;
  lowPass = lp;
  envelope = env;
}

// A sample's notes, from it, the sample before and its threshold's share.
// Past the threshold max(share, floor) means past both; and all in bit
// arithmetic: written with max, && or ?: the compiler makes branches.
inline std::uint8_t Notes(float y, float last, float share) {
  const unsigned above = static_cast<unsigned>(y > share) & static_cast<unsigned>(y > kSilenceFloor);
  const unsigned below = static_cast<unsigned>(y < -share) & static_cast<unsigned>(y < -kSilenceFloor);
  const unsigned crossed = static_cast<unsigned>(last <= 0) ^ static_cast<unsigned>(y <= 0);
  const unsigned positive = static_cast<unsigned>(y > 0);
  return static_cast<std::uint8_t>(above * kPastAbove | below * kPastBelow | (crossed & positive) * kCrossedUp |
                                   (crossed & (positive ^ 1)) * kCrossedDown);
}

// The notes of a block (before: the sample before it). No sample depends on
// another's notes, so the compiler does several at once.
void NoteBlock(const float* y, const float* share, std::size_t count, float before, std::uint8_t* flags) {
  if (count == 0) return;
  flags[0] = Notes(y[0], before, share[0]);
  for (std::size_t i = 1; i < count; ++i) flags[i] = Notes(y[i], y[i - 1], share[i]);
}

// The first sample in [from, count) with the note; count when there is none.
std::size_t NextFlagged(const std::uint8_t* flags, std::size_t from, std::size_t count, std::uint8_t flag) {
  std::size_t i = from;
  for (; i + 8 <= count; i += 8) {
    const std::uint64_t word = LoadFlags(flags + i) & (kEveryByte * flag);
    if (word != 0) return i + static_cast<std::size_t>(std::countr_zero(word)) / 8;
  }
  while (i < count && (flags[i] & flag) == 0) ++i;
  return i;
}

// The last sample in [0, end) with the note; end when there is none.
std::size_t LastFlagged(const std::uint8_t* flags, std::size_t end, std::uint8_t flag) {
  std::size_t i = end;
  for (; i >= 8; i -= 8) {
    const std::uint64_t word = LoadFlags(flags + i - 8) & (kEveryByte * flag);
    if (word != 0) return i - 1 - static_cast<std::size_t>(std::countl_zero(word)) / 8;
  }
  while (i > 0) {
    if (flags[--i] & flag) return i;
  }
  return end;
}

}  // namespace

FilterSection FilterSection::Make(double hz, double rate, bool high) {
  const double k = std::tan(kPi * std::min(hz, rate * 0.45) / rate);
  const double q = std::sqrt(0.5);
  const double norm = 1 / (1 + k / q + k * k);
  FilterSection s;
  s.b0_ = static_cast<float>(high ? norm : k * k * norm);
  s.b1_ = static_cast<float>(high ? -2 * norm : 2 * k * k * norm);
  s.b2_ = s.b0_;
  s.a1_ = static_cast<float>(2 * (k * k - 1) * norm);
  s.a2_ = static_cast<float>((1 - k / q + k * k) * norm);
  return s;
}

EdgeFilter::EdgeFilter(double rate)
    : highPass_(FilterSection::Make(kHighPassHz, rate, true)),
      lowPass_(FilterSection::Make(kLowPassHz, rate, false)),
      lowPassOn_(rate * 0.45 > kLowPassHz * 1.2),
      decay_(static_cast<float>(std::exp(-1.0 / (rate * kEnvelopeSeconds)))),
      share_(kPassSamples) {}

void EdgeFilter::Process(const float* samples, std::size_t count, float* filtered, std::uint8_t* flags) {
  for (std::size_t done = 0; done < count;) {
    const std::size_t n = std::min(count - done, share_.size());
    if (lowPassOn_) {
      FilterBlock<true>(samples + done, n, highPass_, lowPass_, envelope_, decay_, filtered + done, share_.data());
    } else {
      FilterBlock<false>(samples + done, n, highPass_, lowPass_, envelope_, decay_, filtered + done, share_.data());
    }
    NoteBlock(filtered + done, share_.data(), n, previous_, flags + done);
    previous_ = filtered[done + n - 1];
    done += n;
  }
}

EdgeScanner::EdgeScanner(double rate) : swingWindow_(rate * kSwingSeconds) {}

bool EdgeScanner::LastCrossing(const Block& block, std::size_t at, bool up, double& where) const {
  const std::size_t k = LastFlagged(block.flags, at + 1, up ? kCrossedUp : kCrossedDown);
  if (k > at) return false;
  const float* y = block.filtered;
  const float before = k == 0 ? previous_ : y[k - 1];
  const double n = static_cast<double>(block.first + static_cast<std::int64_t>(k));
  where = n - 1 + static_cast<double>(before / (before - y[k]));
  return true;
}

std::size_t EdgeScanner::SwingEnd(const Block& block, std::size_t from, std::size_t to) const {
  const auto inside = [&](std::size_t k) {
    return static_cast<double>(block.first + static_cast<std::int64_t>(k)) - lastEdge_ < swingWindow_;
  };
  // The test holds up to some sample and never after: most half-waves lie in
  // the window whole, or start past it.
  if (from == to || !inside(from)) return from;
  if (inside(to - 1)) return to;
  // Else a guess from the arithmetic, which the test itself then settles.
  const double reach = lastEdge_ + swingWindow_ - static_cast<double>(block.first);
  std::size_t k = from;
  if (reach >= static_cast<double>(to)) {
    k = to;
  } else if (reach > static_cast<double>(from)) {
    k = static_cast<std::size_t>(reach);
  }
  while (k > from && !inside(k - 1)) --k;
  while (k < to && inside(k)) ++k;
  return k;
}

void EdgeScanner::Swing(const Block& block, std::size_t from, std::size_t to) {
  const std::size_t end = SwingEnd(block, from, to);
  if (end == from) return;
  // A sample on the level's side counts its distance from zero; one on the
  // other side (or not a number) counts nothing, as the swing is never below
  // 0. Four running maxima, as the largest does not depend on the order.
  const float* y = block.filtered;
  const float side = high_ ? 1.0f : -1.0f;
  float peak[4] = {peak_, peak_, peak_, peak_};
  std::size_t k = from;
  for (; k + 4 <= end; k += 4) {
    for (std::size_t j = 0; j < 4; ++j) peak[j] = std::max(peak[j], side * y[k + j]);
  }
  for (; k < end; ++k) peak[0] = std::max(peak[0], side * y[k]);
  peak_ = std::max(std::max(peak[0], peak[1]), std::max(peak[2], peak[3]));
}

void EdgeScanner::Process(const float* filtered, const std::uint8_t* flags, std::size_t count, std::int64_t first,
                          std::vector<HalfWave>& out) {
  const Block block{filtered, flags, first};
  // Samples from `from` on count towards the swing of the half-wave in
  // progress; an edge may come from the sample `search` on.
  std::size_t from = 0, search = 0;
  for (;;) {
    const std::size_t edgeAt = NextFlagged(flags, search, count, high_ ? kPastBelow : kPastAbove);
    Swing(block, from, edgeAt);
    if (edgeAt == count) break;
    high_ = !high_;
    double& crossing = high_ ? up_ : down_;
    LastCrossing(block, edgeAt, high_, crossing);
    const double edge = crossing;
    out.push_back({static_cast<float>(edge - lastEdge_), static_cast<std::int64_t>(edge), peak_});
    lastEdge_ = edge;
    peak_ = 0;
    from = edgeAt;
    search = edgeAt + 1;
  }
  // The last crossings of the block, for the edges of the blocks to come.
  if (count > 0) {
    LastCrossing(block, count - 1, true, up_);
    LastCrossing(block, count - 1, false, down_);
    previous_ = filtered[count - 1];
  }
}

EdgeFinder::EdgeFinder(double rate)
    : filter_(rate), scanner_(rate), filtered_(kPassSamples), flags_(kPassSamples) {}

void EdgeFinder::Process(const float* samples, std::size_t count, std::int64_t first, std::vector<HalfWave>& out) {
  for (std::size_t done = 0; done < count;) {
    const std::size_t n = std::min(count - done, kPassSamples);
    filter_.Process(samples + done, n, filtered_.data(), flags_.data());
    scanner_.Process(filtered_.data(), flags_.data(), n, first + static_cast<std::int64_t>(done), out);
    done += n;
  }
}

}  // namespace reelo
