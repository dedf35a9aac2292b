#include "viewers/basic_listing.h"

#include <algorithm>
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

// What LIST leaves out: the number marker with the five bytes of the number's
// form, and the colour and position codes with their parameter bytes.
constexpr std::uint8_t kNumberMarker = 0x0E;
constexpr int kNumberFormBytes = 5;
constexpr std::uint8_t kFirstControlCode = 16;   // INK .. OVER: one parameter
constexpr std::uint8_t kFirstTwoParameterCode = 22;  // AT, TAB: two parameters
constexpr std::uint8_t kLastControlCode = 23;
// A byte of 0x40 or more where a line number's high byte belongs is the
// first byte of a variable: the program has ended.
constexpr std::uint8_t kFirstVariableByte = 0x40;
constexpr std::uint8_t kBackslash = 0x5C;
constexpr std::uint8_t kCopyright = 0x7F;
constexpr std::uint8_t kFirstBlockGraphic = 0x80;
constexpr std::uint8_t kFirstUdg = 0x90;

// The block graphics as two-character drawings (top and bottom quarters).
constexpr std::array<std::string_view, 16> kBlockDrawings = {"  ", " '", "' ", "''", " .", " :", "'.", "':",
                                                             ". ", ".'", ": ", ":'", "..", ".:", ":.", "::"};

// One character as a BASIC text spells it: the Spectrum's own characters as
// escapes, so the text reads back into the same byte.
void AppendSpectrumChar(std::string& out, std::uint8_t byte) {
  if (byte == kBackslash) {
    out += "\\\\";
  } else if (byte == kCopyright) {
    out += "\\*";
  } else if (byte >= kFirstBlockGraphic && byte < kFirstUdg) {
    out += '\\';
    out += kBlockDrawings[byte - kFirstBlockGraphic];
  } else if (byte >= kFirstUdg && byte < kFirstKeyword) {
    out += '\\';
    out += static_cast<char>('a' + (byte - kFirstUdg));
  } else if (byte != kEndOfLine) {
    out += TokenView(byte);
  }
}

// How many bytes after this one LIST passes over.
int HiddenBytesAfter(std::uint8_t byte) {
  if (byte == kNumberMarker) return kNumberFormBytes;
  if (byte >= kFirstControlCode && byte < kFirstTwoParameterCode) return 1;
  if (byte >= kFirstTwoParameterCode && byte <= kLastControlCode) return 2;
  return 0;
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

std::string BuildSpectrumListing(const TapeBlock& block) {
  const std::size_t end = static_cast<std::size_t>(std::clamp<long long>(
      RecordLength(block) + 1, kFirstDataByte, static_cast<long long>(block.size())));
  std::string viewText;
  std::size_t p = kFirstDataByte;
  while (p < end && block[p] < kFirstVariableByte) {
    AppendLineNumber(viewText, 256 * block[p] + (p + 1 < end ? block[p + 1] : 0));
    p += kLineHeaderBytes;
    while (p < end) {
      const std::uint8_t b = block[p++];
      if (b == kEndOfLine) break;
      const int hidden = HiddenBytesAfter(b);
      if (hidden > 0) {
        p += static_cast<std::size_t>(hidden);
      } else {
        AppendSpectrumChar(viewText, b);
      }
    }
    viewText += '\n';
  }
  return viewText;
}

}  // namespace reelo
