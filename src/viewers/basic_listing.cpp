#include "viewers/basic_listing.h"

#include <array>
#include <optional>
#include <string_view>

namespace reelo {
namespace {

constexpr std::uint8_t kEndOfLine = 13;
constexpr std::uint8_t kFirstPrintable = 32;
constexpr std::uint8_t kLastPrintable = 126;
constexpr std::uint8_t kFirstKeyword = 0xA5;
constexpr int kKeywordCount = 256 - kFirstKeyword;

constexpr int kFirstDataByte = 3;
constexpr int kLineHeaderBytes = 4;  // line number (high byte first) and line length
constexpr int kLineNumberWidth = 5;  // 0..9999 right-aligned; larger numbers take 6

// Keyword texts from 0xA5 to 0xFF. One space, the keyword, one space, except
// INKEY$ (no space after), the comparisons (no spaces) and OPEN#/CLOSE# (no
// space before the #). 0xD1 and 0xD2 are MOVE and ERASE in the Spectrum's
// character set and follow the common pattern.
constexpr std::array<std::string_view, kKeywordCount> kKeywords = {
    " RND ",     " INKEY$",   " PI ",      " FN ",       " POINT ",   " SCREEN$ ", " ATTR ",
    " AT ",      " TAB ",     " VAL$ ",    " CODE ",                                             // A5-AF
    " VAL ",     " LEN ",     " SIN ",     " COS ",      " TAN ",     " ASN ",     " ACS ",
    " ATN ",     " LN ",      " EXP ",     " INT ",      " SQR ",     " SGN ",     " ABS ",
    " PEEK ",    " IN ",                                                                         // B0-BF
    " USR ",     " STR$ ",    " CHR$ ",    " NOT ",      " BIN ",     " OR ",      " AND ",
    "<=",        ">=",        "<>",        " LINE ",     " THEN ",    " TO ",      " STEP ",
    " DEF FN ",  " CAT ",                                                                        // C0-CF
    " FORMAT ",  " MOVE ",    " ERASE ",   " OPEN# ",    " CLOSE# ",  " MERGE ",   " VERIFY ",
    " BEEP ",    " CIRCLE ",  " INK ",     " PAPER ",    " FLASH ",   " BRIGHT ",  " INVERSE ",
    " OVER ",    " OUT ",                                                                        // D0-DF
    " LPRINT ",  " LLIST ",   " STOP ",    " READ ",     " DATA ",    " RESTORE ", " NEW ",
    " BORDER ",  " CONTINUE ", " DIM ",    " REM ",      " FOR ",     " GO TO ",   " GO SUB ",
    " INPUT ",   " LOAD ",                                                                       // E0-EF
    " LIST ",    " LET ",     " PAUSE ",   " NEXT ",     " POKE ",    " PRINT ",   " PLOT ",
    " RUN ",     " SAVE ",    " RANDOMIZE ", " IF ",     " CLS ",     " DRAW ",    " CLEAR ",
    " RETURN ",  " COPY ",                                                                       // F0-FF
};
static_assert(kKeywords[0xD3 - kFirstKeyword] == " OPEN# " && kKeywords[kKeywordCount - 1] == " COPY ",
              "the keyword table must run from 0xA5 to 0xFF in code order");

// The text of a byte without building a string: keywords point into the table,
// single characters into a table of one-character views.
constexpr std::array<char, 256> MakeCharTable() {
  std::array<char, 256> table{};
  for (int i = 0; i < 256; ++i) table[static_cast<std::size_t>(i)] = static_cast<char>(i);
  return table;
}
constexpr std::array<char, 256> kChars = MakeCharTable();

std::string_view TokenView(std::uint8_t byte) {
  if (byte >= kFirstKeyword) return kKeywords[byte - kFirstKeyword];
  if (byte == kEndOfLine || (byte >= kFirstPrintable && byte <= kLastPrintable)) return {&kChars[byte], 1};
  return {};
}

// Reads the listing makes: within the record (up to its checksum byte at L + 1)
// a position gives its byte; beyond it, nothing.
class ListingReader {
 public:
  explicit ListingReader(const TapeBlock& block) : block_(block), lastPosition_(RecordLength(block) + 1) {}

  int length() const { return lastPosition_ - 1; }

  std::optional<std::uint8_t> At(int p) const {
    if (p > lastPosition_) return std::nullopt;
    return ByteAt(block_, p);
  }

  std::uint8_t NumberByteAt(int p) const { return At(p).value_or(0); }

 private:
  const TapeBlock& block_;
  int lastPosition_;
};

void AppendLineNumber(std::string& out, int n) {
  std::string digits = NumberText(n);
  if (digits.size() < kLineNumberWidth) out.append(kLineNumberWidth - digits.size(), ' ');
  out += digits;
}

// Renders the bytes of one line from p on, up to and including its byte 13 or
// until the data ends; at least one byte is rendered. Returns the next position.
int AppendLineBody(std::string& out, const ListingReader& reader, int p) {
  std::optional<std::uint8_t> b;
  do {
    b = reader.At(p);
    if (b) out += TokenView(*b);
    ++p;
  } while (p <= reader.length() && b != kEndOfLine);
  return p;
}

}  // namespace

std::string BasicTokenText(std::uint8_t byte) { return std::string(TokenView(byte)); }

std::string BuildBasicListing(const TapeBlock& block) {
  const ListingReader reader(block);
  std::string viewText;
  viewText.reserve(static_cast<std::size_t>(reader.length()) * 2);
  int p = kFirstDataByte;
  do {
    AppendLineNumber(viewText, 256 * reader.NumberByteAt(p) + reader.NumberByteAt(p + 1));
    p = AppendLineBody(viewText, reader, p + kLineHeaderBytes);
    viewText += '\n';
  } while (p <= reader.length());
  return viewText;
}

}  // namespace reelo
