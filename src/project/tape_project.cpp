#include "project/tape_project.h"

namespace reelo {

std::string NumberText(long long x) {
  std::string digits = std::to_string(x);
  return x < 0 ? digits : " " + digits;
}

TapeBlock MakeRecord(const std::uint8_t* body, std::size_t size) {
  // Filled by appending, not zeroed first: on a long tape the zeroing would
  // cost as much as the copy.
  TapeBlock block;
  block.reserve(size + 2);
  block.push_back(static_cast<std::uint8_t>(size & 0xFF));
  block.push_back(static_cast<std::uint8_t>((size >> 8) & 0xFF));
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
  // GCC 12 sees the append after the reserve as writing past a 2-byte buffer.
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#pragma GCC diagnostic ignored "-Warray-bounds"
#endif
  if (size > 0) block.insert(block.end(), body, body + size);  // body may be null when empty
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
  return block;
}

TapeBlock MakeRecord(const std::vector<std::uint8_t>& body) { return MakeRecord(body.data(), body.size()); }

}  // namespace reelo
