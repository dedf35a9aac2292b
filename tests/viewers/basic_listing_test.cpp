// The BASIC listing: byte texts, line numbers, line ends and reads at the
// record's end.
#include "viewers/basic_listing.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tape_builders.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::MakeDataBlock;
using testing::MakeRawRecord;

struct TokenCase {
  int byte;
  std::string text;
};

class BasicTokenTextTest : public ::testing::TestWithParam<TokenCase> {};

TEST_P(BasicTokenTextTest, GivesTheByteText) {
  EXPECT_EQ(BasicTokenText(static_cast<std::uint8_t>(GetParam().byte)), GetParam().text)
      << "byte 0x" << std::hex << GetParam().byte;
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, BasicTokenTextTest,
    ::testing::Values(
        // Control codes, including the number marker and colour codes, give nothing.
        TokenCase{0x00, ""}, TokenCase{0x0C, ""}, TokenCase{0x0D, "\r"}, TokenCase{0x0E, ""}, TokenCase{0x10, ""},
        TokenCase{0x1F, ""},
        // Printable ASCII, with the Spectrum's arrow and pound codes as ASCII.
        TokenCase{0x20, " "}, TokenCase{0x41, "A"}, TokenCase{0x5E, "^"}, TokenCase{0x60, "`"},
        TokenCase{0x7E, "~"},
        // The copyright sign, block graphics and user-defined graphics give nothing.
        TokenCase{0x7F, ""}, TokenCase{0x80, ""}, TokenCase{0x8F, ""}, TokenCase{0x90, ""}, TokenCase{0xA4, ""},
        // Keywords with their spacing exceptions.
        TokenCase{0xA5, " RND "}, TokenCase{0xA6, " INKEY$"}, TokenCase{0xAF, " CODE "},
        TokenCase{0xB0, " VAL "}, TokenCase{0xBF, " IN "}, TokenCase{0xC7, "<="}, TokenCase{0xC8, ">="},
        TokenCase{0xC9, "<>"}, TokenCase{0xCE, " DEF FN "}, TokenCase{0xCF, " CAT "},
        TokenCase{0xD0, " FORMAT "}, TokenCase{0xD1, " MOVE "}, TokenCase{0xD2, " ERASE "},
        TokenCase{0xD3, " OPEN# "}, TokenCase{0xD4, " CLOSE# "}, TokenCase{0xDF, " OUT "},
        TokenCase{0xE0, " LPRINT "}, TokenCase{0xEC, " GO TO "}, TokenCase{0xED, " GO SUB "},
        TokenCase{0xEF, " LOAD "}, TokenCase{0xF9, " RANDOMIZE "}, TokenCase{0xFF, " COPY "}));

struct ListingCase {
  const char* name;
  TapeBlock block;
  std::string listing;
};

void PrintTo(const ListingCase& c, std::ostream* os) { *os << c.name; }

class BasicListingTest : public ::testing::TestWithParam<ListingCase> {};

TEST_P(BasicListingTest, ListsTheBlock) { EXPECT_EQ(BuildBasicListing(GetParam().block), GetParam().listing); }

// A block whose vector holds stale bytes after its record, as a damaged slot could.
TapeBlock WithBytesAfterRecord(TapeBlock block, const Bytes& extra) {
  block.insert(block.end(), extra.begin(), extra.end());
  return block;
}

INSTANTIATE_TEST_SUITE_P(
    Listings, BasicListingTest,
    ::testing::Values(
        ListingCase{"PrintLine", MakeDataBlock({0x00, 0x0A, 0x06, 0x00, 0xF5, 0x22, 0x41, 0x22, 0x0D}),
                    "   10 PRINT \"A\"\r\n"},
        ListingCase{"TwoWholeLinesEndExactly",
                    MakeDataBlock({0x00, 0x05, 0x02, 0x00, 0xFB, 0x0D, 0x00, 0x2A, 0x02, 0x00, 0xE2, 0x0D}),
                    "    5 CLS \r\n   42 STOP \r\n"},
        ListingCase{"NumberWidths",
                    MakeDataBlock({0x00, 0x00, 0x01, 0x00, 0x0D, 0x01, 0xA4, 0x01, 0x00, 0x0D, 0x10, 0x68, 0x01,
                                   0x00, 0x0D, 0x27, 0x0F, 0x01, 0x00, 0x0D, 0x27, 0x10, 0x01, 0x00, 0x0D, 0xFF,
                                   0xFF, 0x01, 0x00, 0x0D}),
                    "    0\r\n  420\r\n 4200\r\n 9999\r\n 10000\r\n 65535\r\n"},
        ListingCase{"AdjacentKeywordsStandTwoSpacesApart",
                    MakeDataBlock({0x00, 0x01, 0x05, 0x00, 0xFA, 0x61, 0xCB, 0xEC, 0x0D}), "    1 IF a THEN  GO TO \r\n"},
        ListingCase{"KeywordsAfterRemAndInStringsAreSpelledOut",
                    MakeDataBlock({0x00, 0x01, 0x06, 0x00, 0xEA, 0xF5, 0x22, 0xE2, 0x22, 0x0D}),
                    "    1 REM  PRINT \" STOP \"\r\n"},
        ListingCase{"HiddenNumberThirteenEndsTheLine",
                    MakeDataBlock({0x00, 0x0A, 0x0B, 0x00, 0xF5, 0x31, 0x33, 0x0E, 0x00, 0x00, 0x0D, 0x00, 0x00,
                                   0x0D}),
                    "   10 PRINT 13\r\n    0\n"},
        ListingCase{"HiddenNumberSixtyFiveShowsItsLetter",
                    MakeDataBlock({0x00, 0x0A, 0x0B, 0x00, 0xF5, 0x36, 0x35, 0x0E, 0x00, 0x00, 0x41, 0x00, 0x00,
                                   0x0D}),
                    "   10 PRINT 65A\r\n"},
        ListingCase{"ColourCodesAndTheirParametersRenderOneByOne",
                    MakeDataBlock({0x00, 0x01, 0x07, 0x00, 0xF5, 0x10, 0x02, 0x11, 0x41, 0x7F, 0x0D}),
                    "    1 PRINT A\r\n"},
        ListingCase{"LineCutByTheEndOfDataEndsInLineFeedAlone",
                    MakeDataBlock({0x00, 0x0A, 0x03, 0x00, 0xF5, 0x41}), "   10 PRINT A\n"},
        ListingCase{"DataThatIsNoProgramIsListedAllTheSame", MakeDataBlock({'H', 'E', 'L', 'L', 'O'}),
                    " 18501O\n"},
        // Flag 0xFF ^ 0x00 ^ 0x01 = 0xFE (RETURN) is the checksum at L + 1, read as
        // the first byte of the line body.
        ListingCase{"ChecksumByteIsReadAsPartOfTheRecord", MakeDataBlock({0x00, 0x01, 0x00, 0x00}),
                    "    1 RETURN \n"},
        ListingCase{"ChecksumGivesTheLineNumberLowByte", MakeDataBlock({0x00}), "  255\n"},
        ListingCase{"BytesAfterTheRecordAreNeverRead",
                    WithBytesAfterRecord(MakeDataBlock({0x00, 0x01, 0x00}), {'Z', 'Z', 'Z', 'Z'}), "    1\n"},
        ListingCase{"StaleLineNumberBytesAfterTheRecordReadAsZero",
                    WithBytesAfterRecord(MakeRawRecord({}), {0x12, 0x34, 0x56, 0x78, 0x9A, 'Z', 'Z'}), "    0\n"},
        ListingCase{"LengthZeroStillRunsOneLineStep", MakeRawRecord({}), "    0\n"},
        ListingCase{"FlagOnlyRecordStillRunsOneLineStep", MakeRawRecord({0xFF}), "    0\n"},
        ListingCase{"EmptyVector", TapeBlock{}, "    0\n"}),
    [](const ::testing::TestParamInfo<ListingCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo
