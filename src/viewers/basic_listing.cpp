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
constexpr std::uint8_t kFirstControlCode = 16;       // INK .. OVER: one parameter
constexpr std::uint8_t kFirstTwoParameterCode = 22;  // AT, TAB: two parameters
constexpr std::uint8_t kLastControlCode = 23;
constexpr std::array<std::string_view, 8> kControlNames = {"INK", "PAPER", "FLASH", "BRIGHT",
                                                           "INVERSE", "OVER", "AT", "TAB"};
// A byte of 0x40 or more where a line number's high byte belongs is the
// first byte of a variable: the program has ended.
constexpr std::uint8_t kFirstVariableByte = 0x40;
constexpr std::uint8_t kSpace = 0x20;
constexpr std::uint8_t kBackslash = 0x5C;
constexpr std::uint8_t kCopyright = 0x7F;
constexpr std::uint8_t kFirstBlockGraphic = 0x80;
constexpr std::uint8_t kFirstUdg = 0x90;
// LIST's spacing of keywords, as the Spectrum's token printer does it: the
// functions RND .. BIN never take a leading space, nor do "<=", ">=" and
// "<>"; RND, INKEY$ and PI never take a trailing space, nor does a keyword
// ending in a character before "A" ("OPEN #", "<="), except "$".
constexpr std::uint8_t kFirstLeadingSpaceKeyword = 0xC5;  // OR
constexpr std::uint8_t kFirstTrailingSpaceKeyword = 0xA8;  // FN
// Bytes after the program (its variables) shown per line of marks.
constexpr std::size_t kTailBytesPerLine = 16;

// The block graphics as two-character drawings (top and bottom quarters).
constexpr std::array<std::string_view, 16> kBlockDrawings = {"  ", " '", "' ", "''", " .", " :", "'.", "':",
                                                             ". ", ".'", ": ", ":'", "..", ".:", ":.", "::"};

void AppendHexByte(std::string& out, std::uint8_t byte) {
  constexpr std::string_view kDigits = "0123456789ABCDEF";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

// The listing as LIST prints it, optionally with a mark for every byte LIST
// leaves out. Tracks what the Spectrum's printer tracks: whether the last
// character printed was a space, which takes the next keyword's leading space.
class SpectrumLister {
 public:
  SpectrumLister(const TapeBlock& block, MarkedListing* marked)
      : block_(block),
        end_(static_cast<std::size_t>(std::clamp<long long>(RecordLength(block) + 1, kFirstDataByte,
                                                            static_cast<long long>(block.size())))),
        marked_(marked) {}

  std::string List() {
    std::size_t p = kFirstDataByte;
    while (p < end_ && block_[p] < kFirstVariableByte) {
      AppendLineNumber(out_, 256 * block_[p] + (p + 1 < end_ ? block_[p + 1] : 0));
      afterSpace_ = false;
      p = ListLineBody(p + kLineHeaderBytes);
      out_ += '\n';
    }
    if (marked_) MarkTail(p);
    return std::move(out_);
  }

 private:
  std::size_t ListLineBody(std::size_t p) {
    while (p < end_) {
      const std::uint8_t b = block_[p++];
      if (b == kEndOfLine) break;
      if (b == kNumberMarker) {
        p = HiddenNumber(p - 1);
      } else if (b >= kFirstControlCode && b <= kLastControlCode) {
        p = HiddenControl(b, p);
      } else if (b < kSpace) {
        Mark([&] { AppendHexByte(out_, b); });
      } else {
        AppendSpectrumChar(b);
      }
    }
    return p;
  }

  // The marker and the five bytes of a number's form (fewer when the data ends).
  std::size_t HiddenNumber(std::size_t marker) {
    const std::size_t end = std::min(end_, marker + 1 + kNumberFormBytes);
    Mark([&] {
      for (std::size_t i = marker; i < end; ++i) {
        if (i > marker) out_ += ' ';
        AppendHexByte(out_, block_[i]);
      }
    });
    return end;
  }

  // A colour or position code with its parameters in decimal: {INK 2}, {AT 5,10}.
  std::size_t HiddenControl(std::uint8_t code, std::size_t p) {
    const std::size_t count = code >= kFirstTwoParameterCode ? 2 : 1;
    const std::size_t end = std::min(end_, p + count);
    Mark([&] {
      out_ += kControlNames[code - kFirstControlCode];
      for (std::size_t i = p; i < end; ++i) {
        out_ += i == p ? ' ' : ',';
        out_ += std::to_string(block_[i]);
      }
    });
    return end;
  }

  // The bytes after the program (its variables, or data that is no program)
  // as lines of hexadecimal marks.
  void MarkTail(std::size_t p) {
    for (; p < end_; p += kTailBytesPerLine) {
      Mark([&] {
        for (std::size_t i = p; i < std::min(end_, p + kTailBytesPerLine); ++i) {
          if (i > p) out_ += ' ';
          AppendHexByte(out_, block_[i]);
        }
      });
      out_ += '\n';
    }
  }

  // Appends "{...}" with what `fill` writes, and records it as a mark; without
  // marks requested, appends nothing.
  template <typename Fill>
  void Mark(Fill fill) {
    if (!marked_) return;
    const std::size_t begin = out_.size();
    out_ += '{';
    fill();
    out_ += '}';
    marked_->marks.push_back({begin, out_.size() - begin});
  }

  // One character as a BASIC text spells it: the Spectrum's own characters as
  // escapes, so the text reads back into the same byte.
  void AppendSpectrumChar(std::uint8_t byte) {
    if (byte >= kFirstKeyword) {
      AppendKeyword(byte);
    } else if (byte >= kFirstUdg) {
      out_ += '\\';
      out_ += static_cast<char>('a' + (byte - kFirstUdg));
    } else if (byte >= kFirstBlockGraphic) {
      out_ += '\\';
      out_ += kBlockDrawings[byte - kFirstBlockGraphic];
    } else {
      if (byte == kBackslash) {
        out_ += "\\\\";
      } else if (byte == kCopyright) {
        out_ += "\\*";
      } else {
        out_ += static_cast<char>(byte);
      }
      afterSpace_ = byte == kSpace;
    }
  }

  void AppendKeyword(std::uint8_t code) {
    std::string_view word = kKeywords[code - kFirstKeyword];
    word.remove_prefix(word.find_first_not_of(' '));
    word.remove_suffix(word.size() - 1 - word.find_last_not_of(' '));
    const bool letterFirst = word.front() >= 'A' && word.front() <= 'Z';
    if (code >= kFirstLeadingSpaceKeyword && letterFirst && !afterSpace_) out_ += ' ';
    if (word.back() == '#') {  // the Spectrum spells OPEN # and CLOSE # with a space
      out_ += word.substr(0, word.size() - 1);
      out_ += " #";
    } else {
      out_ += word;
    }
    const char last = word.back();
    afterSpace_ = code >= kFirstTrailingSpaceKeyword && ((last >= 'A' && last <= 'Z') || last == '$');
    if (afterSpace_) out_ += ' ';
  }

  const TapeBlock& block_;
  const std::size_t end_;
  MarkedListing* marked_;
  std::string out_;
  bool afterSpace_ = false;
};

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

std::string BuildSpectrumListing(const TapeBlock& block) { return SpectrumLister(block, nullptr).List(); }

MarkedListing BuildMarkedListing(const TapeBlock& block) {
  MarkedListing marked;
  marked.text = SpectrumLister(block, &marked).List();
  return marked;
}

}  // namespace reelo
