// The five-byte form a Spectrum program stores after every number it shows.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace reelo {

using NumberForm = std::array<std::uint8_t, 5>;

// The hidden form of a number as typed (the sign is not part of it: the
// program holds the minus sign as text). Whole numbers up to 65535 take the
// small-integer form 00 00 lo hi 00; others the floating form: exponent + 128
// and a 32-bit mantissa with its top bit (always 1) left out, rounded to
// nearest. Nothing for a number the Spectrum cannot hold.
std::optional<NumberForm> SpectrumNumberForm(double value);

}  // namespace reelo
