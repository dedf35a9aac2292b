// The two listings side by side: the exact one renders every byte, the
// Spectrum-style one leaves out what LIST leaves out (number forms, colour
// and position codes with their parameters) and spells the Spectrum's own
// characters so that the text reads back into the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tape_builders.h"
#include "viewers/basic_listing.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::MakeDataBlock;
using testing::MakeRawRecord;

struct ListingRow {
  const char* name;
  TapeBlock block;
  std::string exact;
  std::string spectrum;
};

class BothListings : public ::testing::TestWithParam<ListingRow> {};

TEST_P(BothListings, RenderTheSameBytes) {
  EXPECT_EQ(BuildBasicListing(GetParam().block), GetParam().exact);
  EXPECT_EQ(BuildSpectrumListing(GetParam().block), GetParam().spectrum);
}

// One program line: number, length (not checked by either listing) and body.
Bytes Line(int number, const Bytes& body) {
  Bytes line = {static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number & 0xFF),
                static_cast<std::uint8_t>(body.size() & 0xFF), static_cast<std::uint8_t>(body.size() >> 8)};
  line.insert(line.end(), body.begin(), body.end());
  return line;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BothListings,
    ::testing::Values(
        // GO SUB 1000: the form 00 00 E8 03 00 holds 0xE8, the code of CONTINUE.
        ListingRow{"go_sub_1000",
                   MakeDataBlock(Line(10, {0xED, '1', '0', '0', '0', 0x0E, 0, 0, 0xE8, 3, 0, 0x0D})),
                   "   10 GO SUB 1000 CONTINUE \r\n", "   10 GO SUB 1000\n"},
        // A form holding 13 ends the exact listing's line in the middle and
        // garbles the next; the Spectrum's listing reads on.
        ListingRow{"number_13_then_next_line",
                   MakeDataBlock(Join({Line(10, {0xF5, '1', '3', 0x0E, 0, 0, 13, 0, 0, ';', '"', 'A', '"', 0x0D}),
                                       Line(20, {0xE2, 0x0D})})),
                   "   10 PRINT 13\r\n    0A\"\r\n   20 STOP \r\n",
                   "   10 PRINT 13;\"A\"\n   20 STOP \n"},
        // Colour codes with their parameters ('A' is PAPER's), and AT 13,0
        // whose 13 must not end the line.
        ListingRow{"colour_and_position_codes",
                   MakeDataBlock(Line(5, {0xF5, '"', 0x10, 2, 'R', 0x11, 'A', 'B', 0x16, 13, 0, 'C', '"', 0x0D})),
                   "    5 PRINT \"RAB\r\n   67\n", "    5 PRINT \"RBC\"\n"},
        // TAB takes two parameter bytes too.
        ListingRow{"tab_code", MakeDataBlock(Line(5, {0xF5, '"', 0x17, 'X', 'Y', 'C', '"', 0x0D})),
                   "    5 PRINT \"XYC\"\r\n", "    5 PRINT \"C\"\n"},
        // The Spectrum's own characters, spelled the way BASIC text writes them.
        ListingRow{"spectrum_characters",
                   MakeDataBlock(Line(1, {0xEA, '\\', 0x7F, 0x80, 0x87, 0x8F, 0x90, 0xA4, 0x60, 0x5E, 0x0D})),
                   "    1 REM \\`^\r\n", "    1 REM \\\\\\*\\  \\':\\::\\a\\u`^\n"},
        // Line numbers from 0 to 16383 keep their width rule.
        ListingRow{"line_numbers",
                   MakeDataBlock(Join({Line(0, {0x0D}), Line(9999, {0x0D}), Line(16383, {0x0D})})),
                   "    0\r\n 9999\r\n 16383\r\n", "    0\n 9999\n 16383\n"},
        // The variables after the program are not program lines for LIST.
        ListingRow{"variables_end_the_program",
                   MakeDataBlock(Join({Line(10, {0xE2, 0x0D}), Bytes{0x61, 0, 0, 5, 0, 0, 0x80}})),
                   "   10 STOP \r\n 24832\n", "   10 STOP \n"},
        // A line cut by the end of the data; the checksum is not listed.
        ListingRow{"cut_line", MakeRawRecord({0xFF, 0, 10, 9, 0, 0xF5, '"', 'x', 0x0E, 0, 'A'}),
                   "   10 PRINT \"x\n", "   10 PRINT \"x\n"},
        ListingRow{"empty_data", MakeDataBlock({}), " 65280\n", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SpectrumListing, AnyBytesGiveSomeListingWithinTheData) {
  // Every prefix of a program and random data, listed without reading beyond the block.
  const Bytes program =
      Join({Line(10, {0xF5, '1', 0x0E, 0, 0, 1, 0, 0, 0x16, 1, 2, 0x0D}), Line(20, {0xEC, '1', '0', 0x0E})});
  for (std::size_t n = 0; n <= program.size(); ++n) {
    const TapeBlock block = MakeDataBlock(Bytes(program.begin(), program.begin() + static_cast<long>(n)));
    EXPECT_NO_THROW(BuildSpectrumListing(block)) << n;
  }
  for (unsigned seed = 1; seed <= 50; ++seed) {
    TapeBlock block = MakeDataBlock(testing::RandomBytes(seed * 37, seed));
    block.resize(block.size() - seed % 5);  // some records shorter than their length says
    const std::string listing = BuildSpectrumListing(block);
    EXPECT_TRUE(listing.empty() || listing.back() == '\n') << seed;
  }
}

struct MarkedRow {
  const char* name;
  TapeBlock block;
  std::string text;
  std::vector<std::string> marks;  // the text of each mark, in order
};

class MarkedListingRows : public ::testing::TestWithParam<MarkedRow> {};

TEST_P(MarkedListingRows, ShowsTheHiddenBytesAsMarks) {
  const MarkedListing listing = BuildMarkedListing(GetParam().block);
  EXPECT_EQ(listing.text, GetParam().text);
  std::vector<std::string> marks;
  for (const ListingMark& mark : listing.marks) marks.push_back(listing.text.substr(mark.begin, mark.length));
  EXPECT_EQ(marks, GetParam().marks);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MarkedListingRows,
    ::testing::Values(
        MarkedRow{"number_form_after_its_digits",
                  MakeDataBlock(Line(10, {0xF5, '1', '0', 0x0E, 0, 0, 10, 0, 0, '+', 'a', 0x0D})),
                  "   10 PRINT 10{0E 00 00 0A 00 00}+a\n", {"{0E 00 00 0A 00 00}"}},
        // AT 13,0 and TAB's 13 neither end the line nor show as anything but their mark.
        MarkedRow{"colour_and_position_codes",
                  MakeDataBlock(Line(5, {0xF5, '"', 0x10, 2, 'R', 0x15, 1, 0x16, 13, 10, 'C', 0x17, 13, 0, '"', 0x0D})),
                  "    5 PRINT \"{INK 2}R{OVER 1}{AT 13,10}C{TAB 13,0}\"\n",
                  {"{INK 2}", "{OVER 1}", "{AT 13,10}", "{TAB 13,0}"}},
        MarkedRow{"other_codes_in_hexadecimal", MakeDataBlock(Line(1, {0xF5, '1', 0x06, '2', 0x1F, 0x0D})),
                  "    1 PRINT 1{06}2{1F}\n", {"{06}", "{1F}"}},
        MarkedRow{"variables_after_the_program",
                  MakeDataBlock(Join({Line(10, {0xE2, 0x0D}), Bytes{0x61, 0, 0, 5, 0, 0}})),
                  "   10 STOP \n{61 00 00 05 00 00}\n", {"{61 00 00 05 00 00}"}},
        MarkedRow{"data_that_is_no_program",
                  MakeDataBlock({0x80, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0xFF, 0x41}),
                  "{80 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F}\n{FF 41}\n",
                  {"{80 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F}", "{FF 41}"}},
        MarkedRow{"form_cut_by_the_end_of_the_data", MakeDataBlock({0, 10, 9, 0, 0xF5, '7', 0x0E, 0, 0}),
                  "   10 PRINT 7{0E 00 00}\n", {"{0E 00 00}"}},
        MarkedRow{"code_cut_by_the_end_of_the_data", MakeDataBlock({0, 10, 9, 0, 0xF5, 0x16, 3}),
                  "   10 PRINT {AT 3}\n", {"{AT 3}"}},
        // The last byte, 0x11, is the checksum, not a PAPER code.
        MarkedRow{"checksum_not_listed", MakeRawRecord({0xFF, 0, 10, 3, 0, 0xF5, 0x11}), "   10 PRINT \n", {}},
        MarkedRow{"empty_data", MakeDataBlock({}), "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Random bytes: the marks lie inside the text, in order, and taking them out
// (with the lines of bytes after the program) leaves the plain listing.
TEST(MarkedListing, MarksOfAnyBytesLeaveThePlainListing) {
  for (unsigned seed = 1; seed <= 60; ++seed) {
    Bytes data = testing::RandomBytes(seed * 41, seed);
    if (seed % 2 == 0 && !data.empty()) data[0] = 0;  // a line number, so that lines are listed
    TapeBlock block = MakeDataBlock(data);
    block.resize(block.size() - seed % 3);
    const MarkedListing marked = BuildMarkedListing(block);
    std::string plain;
    std::size_t from = 0;
    for (const ListingMark& mark : marked.marks) {
      ASSERT_GE(mark.begin, from) << seed;
      ASSERT_LE(mark.begin + mark.length, marked.text.size()) << seed;
      EXPECT_EQ(marked.text[mark.begin], '{') << seed;
      EXPECT_EQ(marked.text[mark.begin + mark.length - 1], '}') << seed;
      plain += marked.text.substr(from, mark.begin - from);
      from = mark.begin + mark.length;
      if (from < marked.text.size() && marked.text[from] == '\n' && (plain.empty() || plain.back() == '\n')) ++from;
    }
    plain += marked.text.substr(from);
    EXPECT_EQ(plain, BuildSpectrumListing(block)) << seed;
  }
}

}  // namespace
}  // namespace reelo
