#include "project/tape_project.h"

namespace reelo {

std::string NumberText(long long x) {
  std::string digits = std::to_string(x);
  return x < 0 ? digits : " " + digits;
}

TapeBlock MakeRecord(const std::vector<std::uint8_t>& body) {
  TapeBlock block;
  block.reserve(body.size() + 2);
  block.push_back(static_cast<std::uint8_t>(body.size() & 0xFF));
  block.push_back(static_cast<std::uint8_t>((body.size() >> 8) & 0xFF));
  block.insert(block.end(), body.begin(), body.end());
  return block;
}

}  // namespace reelo
