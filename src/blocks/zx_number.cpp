#include "blocks/zx_number.h"

#include <cmath>

namespace reelo {
namespace {

constexpr double kLargestSmallInteger = 65535.0;
constexpr int kExponentBias = 128;
constexpr int kMantissaBits = 32;
constexpr std::uint32_t kSignBit = 0x80000000u;

}  // namespace

std::optional<NumberForm> SpectrumNumberForm(double value) {
  double v = std::fabs(value);
  if (!std::isfinite(v)) return std::nullopt;
  if (v <= kLargestSmallInteger && v == std::trunc(v)) {
    const auto n = static_cast<unsigned>(v);
    return NumberForm{0, 0, static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>(n >> 8), 0};
  }
  // Binary standard form: 0.5 <= v < 1, times 2 to the exponent.
  int exponent = 0;
  while (v >= 1.0) {
    v /= 2.0;
    ++exponent;
  }
  while (v < 0.5) {
    v *= 2.0;
    --exponent;
  }
  if (exponent < -kExponentBias || exponent > kExponentBias - 1) return std::nullopt;
  // Take the mantissa bit by bit from the halves down, then round on the next bit.
  std::uint64_t mantissa = 0;
  v *= 2.0;
  for (int bit = 0; bit < kMantissaBits; ++bit) {
    const int whole = static_cast<int>(v);
    mantissa = (mantissa << 1) | static_cast<std::uint64_t>(whole);
    v = (v - whole) * 2.0;
  }
  if (static_cast<int>(v) != 0 && mantissa != 0xFFFFFFFFu) ++mantissa;
  const auto stored = static_cast<std::uint32_t>(mantissa) & ~kSignBit;
  return NumberForm{static_cast<std::uint8_t>(kExponentBias + exponent), static_cast<std::uint8_t>(stored >> 24),
                    static_cast<std::uint8_t>(stored >> 16), static_cast<std::uint8_t>(stored >> 8),
                    static_cast<std::uint8_t>(stored)};
}

}  // namespace reelo
