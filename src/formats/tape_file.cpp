#include "formats/tape_file.h"

#include <cctype>
#include <cstring>

namespace reelo {
namespace {

constexpr char kTzxSignature[] = "ZXTape!\x1A";
constexpr char kPzxSignature[] = "PZXT";
constexpr char kCswSignature[] = "Compressed Square Wave\x1A";
constexpr char kTzxExtension[] = ".tzx";

template <std::size_t N>
bool StartsWith(const std::uint8_t* data, std::size_t size, const char (&signature)[N]) {
  constexpr std::size_t length = N - 1;  // without the closing zero
  return size >= length && std::memcmp(data, signature, length) == 0;
}

}  // namespace

TapeFormat DetectTapeFormat(const std::uint8_t* data, std::size_t size) {
  if (StartsWith(data, size, kTzxSignature)) return TapeFormat::Tzx;
  if (StartsWith(data, size, kPzxSignature)) return TapeFormat::Pzx;
  if (StartsWith(data, size, kCswSignature)) return TapeFormat::Csw;
  return TapeFormat::Tap;
}

bool IsTzxFileName(const std::string& path) {
  const std::size_t n = sizeof kTzxExtension - 1;
  if (path.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(path[path.size() - n + i]);
    if (std::tolower(c) != kTzxExtension[i]) return false;
  }
  return true;
}

}  // namespace reelo
