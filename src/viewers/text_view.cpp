#include "viewers/text_view.h"

#include <algorithm>
#include <cstdint>

namespace reelo {
namespace {

constexpr int kFirstDataByte = 3;
constexpr std::uint8_t kLineBreakByte = 13;
constexpr std::uint8_t kFirstPrintable = 32;
constexpr std::uint8_t kLastPrintable = 126;
constexpr char kUnprintable = '_';
constexpr const char* kLineBreak = "\r\n";

void AppendPiece(std::string& out, std::uint8_t byte) {
  if (byte == kLineBreakByte) {
    out += kLineBreak;
  } else if (byte >= kFirstPrintable && byte <= kLastPrintable) {
    out += static_cast<char>(byte);
  } else {
    out += kUnprintable;
  }
}

}  // namespace

std::string BuildTextView(const TapeBlock& block, Progress& progress) {
  const int length = RecordLength(block);
  ProgressScope scope(progress, kPrepareLabel, std::max<long long>(length, kMinViewProgressMaximum));
  std::string viewText;
  viewText.reserve(static_cast<std::size_t>(std::max(length - kFirstDataByte + 1, 0)));
  for (int i = kFirstDataByte; i <= length; ++i) {
    AppendPiece(viewText, ByteAt(block, i));
    if (i % kViewProgressStep == 0) scope.Step(i);
  }
  return viewText;
}

}  // namespace reelo
