#include "viewers/dump_view.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace reelo {
namespace {

constexpr int kFirstDataByte = 3;
constexpr int kByteValues = 256;
constexpr const char* kLineBreak = "\r\n";
constexpr const char* kOffsetSeparator = " |";

// NumberText filled with spaces on the left up to width; never cut.
std::string PaddedNumber(long long x, std::size_t width) {
  std::string digits = NumberText(x);
  return digits.size() < width ? std::string(width - digits.size(), ' ') + digits : digits;
}

// The value field of every byte value, built once per dump so each byte costs
// a table look-up instead of a number conversion.
std::array<std::string, kByteValues> MakeValueFields() {
  std::array<std::string, kByteValues> fields;
  for (int v = 0; v < kByteValues; ++v) fields[static_cast<std::size_t>(v)] = PaddedNumber(v, kDumpValueWidth);
  return fields;
}

std::size_t ExpectedSize(int dataBytes) {
  const std::size_t rows = static_cast<std::size_t>((dataBytes + kDumpValuesPerRow - 1) / kDumpValuesPerRow);
  const std::size_t rowWidth = kDumpOffsetWidth + kDumpValuesPerRow * kDumpValueWidth + 4;  // " |", CR LF
  return std::string_view(kDumpHeading).size() + std::string_view(kDumpRule).size() + 4 + rows * rowWidth;
}

}  // namespace

std::string BuildDumpView(const TapeBlock& block, Progress& progress) {
  const int length = RecordLength(block);
  ProgressScope scope(progress, kPrepareLabel, std::max<long long>(length, kMinViewProgressMaximum));
  const auto valueFields = MakeValueFields();
  std::string viewText;
  viewText.reserve(ExpectedSize(std::max(length - kFirstDataByte + 1, 0)));
  viewText.append(kDumpHeading).append(kLineBreak).append(kDumpRule).append(kLineBreak);
  for (int i = kFirstDataByte; i <= length; ++i) {
    const int offset = i - kFirstDataByte;
    if (offset % kDumpValuesPerRow == 0) {
      if (offset != 0) viewText += kLineBreak;
      viewText.append(PaddedNumber(offset, kDumpOffsetWidth)).append(kOffsetSeparator);
    }
    viewText += valueFields[ByteAt(block, i)];
    if (i % kViewProgressStep == 0) scope.Step(i);
  }
  return viewText;
}

}  // namespace reelo
