#include "sound/recording/bit_repair.h"

#include <array>
#include <bit>
#include <cstddef>

namespace reelo {
namespace {

constexpr int kNoBit = 256;  // above every confidence

// The least and the next least confidence of one bit column, and where the
// least one is.
struct ColumnPick {
  int least = kNoBit;
  int next = kNoBit;
  std::size_t byte = 0;
};

}  // namespace

std::uint8_t RecordSyndrome(const std::vector<std::uint8_t>& bytes) {
  std::uint8_t x = 0;
  for (std::uint8_t b : bytes) x ^= b;
  return x;
}

int RepairBits(std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& confidence, const RepairLimits& limits) {
  const std::uint8_t syndrome = RecordSyndrome(bytes);
  const int wrongColumns = std::popcount(syndrome);
  if (wrongColumns == 0 || wrongColumns > limits.maxBits || confidence.size() != bytes.size() * 8) return 0;
  std::array<ColumnPick, 8> picks{};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    for (int column = 0; column < 8; ++column) {
      if (!(syndrome >> column & 1)) continue;
      const int c = confidence[i * 8 + static_cast<std::size_t>(7 - column)];
      ColumnPick& pick = picks[static_cast<std::size_t>(column)];
      if (c < pick.least) {
        pick.next = pick.least;
        pick.least = c;
        pick.byte = i;
      } else if (c < pick.next) {
        pick.next = c;
      }
    }
  }
  for (int column = 0; column < 8; ++column) {
    if (!(syndrome >> column & 1)) continue;
    const ColumnPick& pick = picks[static_cast<std::size_t>(column)];
    if (pick.least > limits.maxConfidence || pick.next - pick.least < limits.minMargin) return 0;
  }
  for (int column = 0; column < 8; ++column) {
    if (!(syndrome >> column & 1)) continue;
    const ColumnPick& pick = picks[static_cast<std::size_t>(column)];
    bytes[pick.byte] ^= static_cast<std::uint8_t>(1u << column);
    // A repaired bit is as certain as the checksum made it: no longer doubtful,
    // but not above a bit read cleanly.
    confidence[pick.byte * 8 + static_cast<std::size_t>(7 - column)] = static_cast<std::uint8_t>(limits.maxConfidence);
  }
  return wrongColumns;
}

}  // namespace reelo
