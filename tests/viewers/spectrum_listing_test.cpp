// The two listings side by side: the exact one renders every byte, the
// Spectrum-style one leaves out what LIST leaves out (number forms, colour
// and position codes with their parameters) and spells the Spectrum's own
// characters so that the text reads back into the program.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace reelo
