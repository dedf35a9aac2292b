// The four block viewers on arbitrary blocks, whole records as well as damaged
// ones whose length field promises more bytes than the block holds. Besides the
// sanitizers' "no read past the block", each view is checked for its shape:
// the dump's rows and values, the text's pieces, the listing's line ends and
// numbers, the screen's pixels against the bytes that hold them.
//
// Input: one steering byte (bit 0: make the length field match the block; bits
// 1-3: the pixel line of the screen to check), then the block.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "viewers/basic_listing.h"
#include "viewers/dump_view.h"
#include "viewers/screen_view.h"
#include "viewers/text_view.h"

namespace reelo::fuzz {
namespace {

constexpr int kFirstDataByte = 3;
constexpr std::size_t kLongestToken = 11;  // " RANDOMIZE "
constexpr std::size_t kLineNumberWidth = 5;
constexpr const char* kCrLf = "\r\n";

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + separator.size()) {
    parts.push_back(text.substr(start, at - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

int DataBytes(const TapeBlock& block) { return std::max(RecordLength(block) - 2, 0); }

void CheckViewProgress(const CheckedProgress& progress, const TapeBlock& block) {
  FUZZ_CHECK(progress.begun == 1 && progress.ended == 1 && progress.label == kPrepareLabel);
  FUZZ_CHECK(progress.maximum == std::max(RecordLength(block), 1));
  for (long long step : progress.steps) FUZZ_CHECK(step % kViewProgressStep == 0);
  FUZZ_CHECK(progress.steps.size() == static_cast<std::size_t>(RecordLength(block) / kViewProgressStep));
}

// Heading, rule, then ceil(n / 20) rows of the data bytes' values.
void CheckDump(const TapeBlock& block) {
  CheckedProgress progress;
  const std::string dump = BuildDumpView(block, progress);
  CheckViewProgress(progress, block);
  const int n = DataBytes(block);
  const std::vector<std::string> lines = Split(dump, kCrLf);
  const std::size_t rows = static_cast<std::size_t>((n + kDumpValuesPerRow - 1) / kDumpValuesPerRow);
  FUZZ_CHECK(lines.size() == 2 + (rows == 0 ? 1 : rows));
  FUZZ_CHECK(lines[0] == kDumpHeading && lines[1] == kDumpRule);
  if (rows == 0) FUZZ_CHECK(lines[2].empty());
  for (std::size_t r = 0; r < rows; ++r) {
    const std::string& row = lines[2 + r];
    const std::size_t values = std::min<std::size_t>(kDumpValuesPerRow, static_cast<std::size_t>(n) - r * kDumpValuesPerRow);
    FUZZ_CHECK(row.size() == kDumpOffsetWidth + 2 + values * kDumpValueWidth);
    FUZZ_CHECK(std::stol(row.substr(0, kDumpOffsetWidth)) == static_cast<long>(r * kDumpValuesPerRow));
    for (std::size_t v = 0; v < values; ++v) {
      const long value = std::stol(row.substr(kDumpOffsetWidth + 2 + v * kDumpValueWidth, kDumpValueWidth));
      FUZZ_CHECK(value == ByteAt(block, kFirstDataByte + static_cast<long long>(r * kDumpValuesPerRow + v)));
    }
  }
}

// One piece per data byte: CR LF for 13, the character for 32..126, "_" else.
void CheckText(const TapeBlock& block) {
  CheckedProgress progress;
  const std::string text = BuildTextView(block, progress);
  CheckViewProgress(progress, block);
  std::size_t at = 0;
  for (int i = kFirstDataByte; i <= RecordLength(block); ++i) {
    const std::uint8_t b = ByteAt(block, i);
    const std::string piece = b == 13 ? kCrLf : (b >= 32 && b <= 126) ? std::string(1, static_cast<char>(b)) : "_";
    FUZZ_CHECK(text.compare(at, piece.size(), piece) == 0);
    at += piece.size();
  }
  FUZZ_CHECK(at == text.size());
}

// ASCII lines, each a right-aligned number (at least 5 characters) and a body; CR only as a line's last
// character; never more lines than the data can start.
void CheckListing(const TapeBlock& block) {
  const std::string listing = BuildBasicListing(block);
  FUZZ_CHECK(!listing.empty() && listing.back() == '\n');
  std::vector<std::string> lines = Split(listing, "\n");
  lines.pop_back();  // after the last LF
  const std::size_t readable = static_cast<std::size_t>(RecordLength(block)) + 1;
  FUZZ_CHECK(lines.size() <= std::max<std::size_t>(1, readable / 5 + 1));
  FUZZ_CHECK(listing.size() <= lines.size() * 7 + readable * kLongestToken);
  for (const std::string& line : lines) {
    FUZZ_CHECK(line.size() >= 5);
    const std::size_t digits = line.find_first_not_of(' ');
    FUZZ_CHECK(digits != std::string::npos && digits <= 4);
    for (std::size_t i = digits; i < kLineNumberWidth; ++i) FUZZ_CHECK(line[i] >= '0' && line[i] <= '9');
    for (std::size_t i = 0; i < line.size(); ++i) {
      const auto c = static_cast<unsigned char>(line[i]);
      FUZZ_CHECK((c >= 32 && c <= 126) || (c == 13 && i + 1 == line.size()));
    }
  }
}

// The Spectrum-style listing and the one with hidden bytes as marks: ASCII,
// lines in LF; the marks in order, inside the text, each in braces with no
// brace or line end inside; without the marks (and the lines that hold only a
// mark) the text is the plain listing; every data byte is shown at most once
// as listed text or as two hexadecimal digits, so the text stays in bounds.
void CheckMarkedListing(const TapeBlock& block) {
  const std::string plain = BuildSpectrumListing(block);
  const MarkedListing marked = BuildMarkedListing(block);
  FUZZ_CHECK(plain.empty() || plain.back() == '\n');
  FUZZ_CHECK(marked.text.empty() || marked.text.back() == '\n');
  for (const char c : marked.text) FUZZ_CHECK(c == '\n' || (c >= 32 && c <= 126));
  const std::size_t data = static_cast<std::size_t>(std::max(0, RecordLength(block) - 1));
  FUZZ_CHECK(marked.text.size() <= data * (kLongestToken + 4) + 16);
  std::string unmarked;
  std::size_t from = 0;
  for (const ListingMark& mark : marked.marks) {
    FUZZ_CHECK(mark.begin >= from && mark.length >= 2 && mark.begin + mark.length <= marked.text.size());
    FUZZ_CHECK(marked.text[mark.begin] == '{' && marked.text[mark.begin + mark.length - 1] == '}');
    const std::string inside = marked.text.substr(mark.begin + 1, mark.length - 2);
    FUZZ_CHECK(inside.find_first_of("{}\n") == std::string::npos);
    unmarked += marked.text.substr(from, mark.begin - from);
    from = mark.begin + mark.length;
    const bool lineOfMarkOnly = (unmarked.empty() || unmarked.back() == '\n') && from < marked.text.size() &&
                                marked.text[from] == '\n';
    if (lineOfMarkOnly) ++from;
  }
  unmarked += marked.text.substr(from);
  FUZZ_CHECK(unmarked == plain);
}

// Every pixel shows its bitmap bit in its cell's ink or paper; the modes agree.
// One pixel line of every character row is looked at (which one, the input
// says): the rule is the same for all, and checking all 49152 pixels would
// make each execution several times slower.
void CheckScreen(const TapeBlock& block, int pixelLine) {
  const ScreenPicture picture = DecodeScreen(block);
  const int length = RecordLength(block);
  for (int y = pixelLine; y < kScreenHeight; y += kCellSize) {
    for (int x = 0; x < kScreenWidth; ++x) {
      const int k = kFirstDataByte + BitmapByteIndex(x / 8, y);
      const bool set = k <= length && (ByteAt(block, k) & (0x80 >> (x % 8))) != 0;
      FUZZ_CHECK((picture.PixelBits(x, y) != 0) == set);
      const int column = x / kCellSize, row = y / kCellSize;
      const std::uint32_t cell = set ? picture.InkColours(column, row) : picture.PaperColours(column, row);
      FUZZ_CHECK(ScreenPixelColour(picture, ScreenMode::Colour, x, y) == cell);
      FUZZ_CHECK(ScreenPixelColour(picture, ScreenMode::BlackOnWhite, x, y) == (set ? kBlack : kWhite));
      FUZZ_CHECK(ScreenPixelColour(picture, ScreenMode::WhiteOnBlack, x, y) == (set ? kWhite : kBlack));
    }
  }
  for (int cell = 0; cell < kAttributeBytes; ++cell) {
    const int k = kFirstDataByte + kBitmapBytes + cell;
    const std::uint8_t a = ByteAt(block, k);
    const bool bright = (a & 0x40) != 0;
    const int column = cell % kCellColumns, row = cell / kCellColumns;
    FUZZ_CHECK(picture.InkColours(column, row) == (k <= length ? SpectrumColour(a & 7, bright) : kBlack));
    FUZZ_CHECK(picture.PaperColours(column, row) == (k <= length ? SpectrumColour((a >> 3) & 7, bright) : kWhite));
  }
  FUZZ_CHECK(ScreenPixelColour(picture, ScreenMode::Colour, kScreenWidth, 0) == kBlack);
}

}  // namespace
}  // namespace reelo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace reelo::fuzz;
  if (size < 1) return 0;
  reelo::TapeBlock block(data + 1, data + size);
  const bool whole = (data[0] & 1) != 0;
  if (whole && block.size() >= 2 && block.size() - 2 <= static_cast<std::size_t>(reelo::kMaxRecordLength)) {
    block.set(0, static_cast<std::uint8_t>((block.size() - 2) & 0xFF));
    block.set(1, static_cast<std::uint8_t>((block.size() - 2) >> 8));
  }
  CheckDump(block);
  CheckText(block);
  CheckListing(block);
  CheckMarkedListing(block);
  CheckScreen(block, (data[0] >> 1) % reelo::kCellSize);
  return 0;
}
