// The text view and the decimal dump: pieces, rows, fields and progress.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tape_builders.h"
#include "viewers/dump_view.h"
#include "viewers/text_view.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::MakeBlock;
using testing::MakeDataBlock;
using testing::MakeRawRecord;

const std::string kHeadingLines = std::string(kDumpHeading) + "\r\n" + kDumpRule + "\r\n";

// Records every call the builders make to the progress display.
class RecordingProgress : public Progress {
 public:
  void Begin(const std::string& text, long long maximum) override {
    label = text;
    this->maximum = maximum;
    ++begins;
  }
  void Step(long long value) override { steps.push_back(value); }
  void End() override { ++ends; }

  std::string label;
  long long maximum = -1;
  int begins = 0;
  int ends = 0;
  std::vector<long long> steps;
};

std::string TextOf(const TapeBlock& block) {
  NullProgress progress;
  return BuildTextView(block, progress);
}

std::string DumpOf(const TapeBlock& block) {
  NullProgress progress;
  return BuildDumpView(block, progress);
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2) {
    lines.push_back(text.substr(start, at - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

std::size_t CodePoints(const std::string& utf8) {
  std::size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

struct TextCase {
  const char* name;
  TapeBlock block;
  std::string text;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class TextViewTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextViewTest, GivesOnePiecePerDataByte) { EXPECT_EQ(TextOf(GetParam().block), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Pieces, TextViewTest,
    ::testing::Values(TextCase{"LettersLineBreakAndUnderscores", MakeDataBlock({72, 105, 13, 0, 200}), "Hi\r\n__"},
                      TextCase{"NoDataBytes", MakeRawRecord({0xFF, 0xFF}), ""},
                      TextCase{"LengthZero", MakeRawRecord({}), ""},
                      TextCase{"FlagOnly", MakeRawRecord({0xFF}), ""},
                      TextCase{"LineFeedIsNoLineBreak", MakeDataBlock({10}), "_"},
                      TextCase{"PrintableEdges", MakeDataBlock({31, 32, 0x5E, 0x60, 126, 127}), "_ ^`~_"},
                      TextCase{"KeywordCodesAreUnderscores", MakeDataBlock({0x80, 0xA5, 0xF5, 0xFF}), "____"},
                      TextCase{"FlagAndChecksumAreNotShown", MakeBlock(0x41, {0x42}), "B"}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

struct DumpCase {
  const char* name;
  TapeBlock block;
  std::string rows;  // what follows the two heading lines
};

void PrintTo(const DumpCase& c, std::ostream* os) { *os << c.name; }

class DumpViewTest : public ::testing::TestWithParam<DumpCase> {};

TEST_P(DumpViewTest, GivesHeadingAndRows) { EXPECT_EQ(DumpOf(GetParam().block), kHeadingLines + GetParam().rows); }

const std::string kRow0To19 =
    "     0 |   0   1   2   3   4   5   6   7   8   9  10  11  12  13  14  15  16  17  18  19";

Bytes Counting(int n) {
  Bytes bytes;
  for (int i = 0; i < n; ++i) bytes.push_back(static_cast<std::uint8_t>(i));
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DumpViewTest,
    ::testing::Values(DumpCase{"ThreeValues", MakeDataBlock({1, 2, 255}), "     0 |   1   2 255"},
                      DumpCase{"NoDataBytes", MakeRawRecord({0xFF, 0x00}), ""},
                      DumpCase{"LengthZero", MakeRawRecord({}), ""},
                      DumpCase{"TwentyValuesMakeOneRow", MakeDataBlock(Counting(20)), kRow0To19},
                      DumpCase{"TwentyOneValuesStartASecondRow", MakeDataBlock(Counting(21)),
                               kRow0To19 + "\r\n    20 |  20"},
                      DumpCase{"FlagAndChecksumAreNotDumped", MakeBlock(0x07, {0x09}), "     0 |   9"}),
    [](const ::testing::TestParamInfo<DumpCase>& info) { return std::string(info.param.name); });

TEST(DumpView, HeadingLinesAre88CharactersWide) {
  EXPECT_EQ(CodePoints(kDumpHeading), 88u);
  EXPECT_EQ(CodePoints(kDumpRule), 88u);
}

// Reads every row back into its offset and values and checks them against the
// data, so a value in the wrong column or a row with the wrong offset shows.
// 1234 bytes reach offsets of one to four digits in their fixed 6-character field.
TEST(DumpView, RowsReadBackToTheDataWithTheirOffsets) {
  const Bytes data = testing::RandomBytes(1234, 7);
  const auto lines = SplitCrLf(DumpOf(MakeDataBlock(data)));
  ASSERT_EQ(lines.size(), 2 + (data.size() + 19) / 20);
  for (std::size_t r = 2; r < lines.size(); ++r) {
    const std::string& row = lines[r];
    const bool last = r + 1 == lines.size();
    if (!last) {
      EXPECT_EQ(row.size(), 88u) << "row " << r;
    }
    ASSERT_EQ(row.substr(6, 2), " |") << "row " << r;
    EXPECT_EQ(std::stoul(row.substr(0, 6)), (r - 2) * 20) << "row " << r;
    for (std::size_t column = 0; 8 + column * 4 < row.size(); ++column) {
      const std::size_t offset = (r - 2) * 20 + column;
      ASSERT_LT(offset, data.size());
      EXPECT_EQ(std::stoul(row.substr(8 + column * 4, 4)), data[offset]) << "offset " << offset;
    }
  }
  EXPECT_EQ(lines.back().size(), 8u + (data.size() % 20) * 4);
}

// Progress is the same contract for both builders.
using Builder = std::function<std::string(const TapeBlock&, Progress&)>;

struct ProgressCase {
  const char* name;
  int dataBytes;  // the record length is dataBytes + 2
  long long maximum;
  std::vector<long long> steps;
};

void PrintTo(const ProgressCase& c, std::ostream* os) { *os << c.name; }

std::vector<long long> EveryStepUpTo(long long last) {
  std::vector<long long> steps;
  for (long long i = 256; i <= last; i += 256) steps.push_back(i);
  return steps;
}

class ViewProgressTest : public ::testing::TestWithParam<std::tuple<const char*, ProgressCase>> {};

TEST_P(ViewProgressTest, StepsAtEveryMultipleOf256) {
  const auto& [builderName, c] = GetParam();
  const Builder build = std::string(builderName) == "text" ? Builder(BuildTextView) : Builder(BuildDumpView);
  RecordingProgress progress;
  const TapeBlock block = c.dataBytes < 0 ? MakeRawRecord({}) : MakeDataBlock(Bytes(c.dataBytes, 0x41));
  build(block, progress);
  EXPECT_EQ(progress.label, "Подготовка...");
  EXPECT_EQ(progress.begins, 1);
  EXPECT_EQ(progress.ends, 1);
  EXPECT_EQ(progress.maximum, c.maximum);
  EXPECT_EQ(progress.steps, c.steps);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ViewProgressTest,
    ::testing::Combine(::testing::Values("text", "dump"),
                       ::testing::Values(ProgressCase{"LengthZero", -1, 1, {}},
                                         ProgressCase{"JustBelowFirstStep", 253, 255, {}},
                                         ProgressCase{"FirstStepAtByte256", 254, 256, {256}},
                                         ProgressCase{"ThreeSteps", 998, 1000, {256, 512, 768}},
                                         ProgressCase{"LargestRecord", 65533, 65535, EveryStepUpTo(65535)})),
    [](const auto& info) {
      return std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
    });

}  // namespace
}  // namespace reelo
