#include "blocks/basic_tokeniser.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <optional>

#include "blocks/zx_number.h"
#include "project/tape_project.h"
#include "viewers/basic_listing.h"

namespace reelo {
namespace {

constexpr std::uint8_t kEndOfLine = 0x0D;
constexpr std::uint8_t kNumberMarker = 0x0E;
constexpr std::uint8_t kRemToken = 0xEA;
constexpr std::uint8_t kBinToken = 0xC4;
constexpr std::uint8_t kDefFnToken = 0xCE;
constexpr std::uint8_t kCopyright = 0x7F;
constexpr std::uint8_t kFirstBlockGraphic = 0x80;
constexpr std::uint8_t kFirstUdg = 0x90;
// Marks text taken by a keyword in the working copy of a line; it never
// reaches the program.
constexpr char kTaken = '\x01';
// A program and its line buffer must fit the Spectrum's memory.
constexpr std::size_t kMaxProgramBytes = 49152;
constexpr std::size_t kDefFnPlaceholderBytes = 5;

struct Keyword {
  std::uint8_t code;
  const char* spelling;
  const char* other;  // a second spelling, or ""
};

// The keywords in the order they are looked for: from the highest code down,
// so that GO TO is found before TO and DEF FN before FN. VAL$ is looked for
// before VAL. PLAY and SPECTRUM are the 128's keywords, held in the codes of
// the last two user-defined graphics.
constexpr Keyword kKeywords[] = {
    {0xFF, "copy", ""},      {0xFE, "return", ""},   {0xFD, "clear", ""},    {0xFC, "draw", ""},
    {0xFB, "cls", ""},       {0xFA, "if", ""},       {0xF9, "randomize", "randomise"},
    {0xF8, "save", ""},      {0xF7, "run", ""},      {0xF6, "plot", ""},     {0xF5, "print", ""},
    {0xF4, "poke", ""},      {0xF3, "next", ""},     {0xF2, "pause", ""},    {0xF1, "let", ""},
    {0xF0, "list", ""},      {0xEF, "load", ""},     {0xEE, "input", ""},    {0xED, "go sub", "gosub"},
    {0xEC, "go to", "goto"}, {0xEB, "for", ""},      {0xEA, "rem", ""},      {0xE9, "dim", ""},
    {0xE8, "continue", ""},  {0xE7, "border", ""},   {0xE6, "new", ""},      {0xE5, "restore", ""},
    {0xE4, "data", ""},      {0xE3, "read", ""},     {0xE2, "stop", ""},     {0xE1, "llist", ""},
    {0xE0, "lprint", ""},    {0xDF, "out", ""},      {0xDE, "over", ""},     {0xDD, "inverse", ""},
    {0xDC, "bright", ""},    {0xDB, "flash", ""},    {0xDA, "paper", ""},    {0xD9, "ink", ""},
    {0xD8, "circle", ""},    {0xD7, "beep", ""},     {0xD6, "verify", ""},   {0xD5, "merge", ""},
    {0xD4, "close #", "close#"}, {0xD3, "open #", "open#"}, {0xD2, "erase", ""}, {0xD1, "move", ""},
    {0xD0, "format", ""},    {0xCF, "cat", ""},      {0xCE, "def fn", "deffn"}, {0xCD, "step", ""},
    {0xCC, "to", ""},        {0xCB, "then", ""},     {0xCA, "line", ""},     {0xC9, "<>", ""},
    {0xC8, ">=", ""},        {0xC7, "<=", ""},       {0xC6, "and", ""},      {0xC5, "or", ""},
    {0xC4, "bin", ""},       {0xC3, "not", ""},      {0xC2, "chr$", ""},     {0xC1, "str$", ""},
    {0xC0, "usr", ""},       {0xBF, "in", ""},       {0xBE, "peek", ""},     {0xBD, "abs", ""},
    {0xBC, "sgn", ""},       {0xBB, "sqr", ""},      {0xBA, "int", ""},      {0xB9, "exp", ""},
    {0xB8, "ln", ""},        {0xB7, "atn", ""},      {0xB6, "acs", ""},      {0xB5, "asn", ""},
    {0xB4, "tan", ""},       {0xB3, "cos", ""},      {0xB2, "sin", ""},      {0xB1, "len", ""},
    {0xAE, "val$", ""},      {0xAF, "code", ""},     {0xB0, "val", ""},      {0xAD, "tab", ""},
    {0xAC, "at", ""},        {0xAB, "attr", ""},     {0xAA, "screen$", ""},  {0xA9, "point", ""},
    {0xA8, "fn", ""},        {0xA7, "pi", ""},       {0xA6, "inkey$", ""},   {0xA5, "rnd", ""},
    {0xA4, "play", ""},      {0xA3, "spectrum", ""},
};

// The block graphics by their two-character drawings, from 0x80 on: each
// character draws a column of the cell's top and bottom quarters.
constexpr const char* kBlockDrawings[] = {"  ", " '", "' ", "''", " .", " :", "'.", "':",
                                          ". ", ".'", ": ", ":'", "..", ".:", ":.", "::"};

// Character classes of the C locale, whatever locale the program runs in.
bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
char Lower(unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); }

struct LineError {
  std::string reason;
};

// Whether a decimal number text beyond the range of a double is beyond it
// because it is too close to 0: the power of ten of its first significant
// digit, with the exponent, is below 0.
bool IsTooSmall(std::string_view text) {
  long long power = 0;
  bool significant = false, afterPoint = false;
  std::size_t i = 0;
  for (; i < text.size() && (IsDigit(static_cast<unsigned char>(text[i])) || text[i] == '.'); ++i) {
    if (text[i] == '.') {
      afterPoint = true;
    } else if (!significant && text[i] == '0') {
      if (afterPoint) --power;
    } else {
      significant = true;
      if (!afterPoint) ++power;
    }
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    long long exponent = 0;
    const bool negative = i + 1 < text.size() && text[i + 1] == '-';
    for (std::size_t k = i + 1; k < text.size(); ++k) {
      if (IsDigit(static_cast<unsigned char>(text[k]))) exponent = std::min(exponent * 10 + (text[k] - '0'), 1LL << 40);
    }
    power += negative ? -exponent : exponent;
  }
  return power <= 0;
}

// One line of the program being built.
class LineTokeniser {
 public:
  explicit LineTokeniser(std::string statements) : work_(std::move(statements)) {}

  // The line's bytes without number and length, ending in 13; or the reason.
  std::optional<LineError> Run(std::vector<std::uint8_t>& out) {
    MarkKeywords();
    return Emit(out);
  }

 private:
  unsigned char At(std::size_t i) const { return i < work_.size() ? static_cast<unsigned char>(work_[i]) : 0; }
  bool LetterAt(const std::string& s, long i) const {
    return i >= 0 && static_cast<std::size_t>(i) < s.size() && IsLetter(static_cast<unsigned char>(s[i]));
  }

  // The keywords are found in a lower-case copy with the strings blanked out;
  // the first REM (as a word) ends the search, and what follows it stays text.
  void MarkKeywords() {
    std::string lower(work_.size(), ' ');
    bool inQuotes = false;
    for (std::size_t i = 0; i < work_.size(); ++i) {
      if (work_[i] == '"') inQuotes = !inQuotes;
      lower[i] = (inQuotes && work_[i] != '"') ? ' ' : Lower(static_cast<unsigned char>(work_[i]));
    }
    std::optional<std::size_t> rem;
    const std::size_t found = lower.find("rem");
    if (found != std::string::npos && !LetterAt(lower, static_cast<long>(found) - 1) &&
        !LetterAt(lower, static_cast<long>(found) + 3)) {
      rem = found;
      const bool spaceAfter = found + 3 < lower.size() && lower[found + 3] == ' ';
      lower.resize(found);
      work_[found + 1] = work_[found + 2] = kTaken;
      if (spaceAfter) work_[found + 3] = kTaken;  // REM takes one space after it
      work_[found] = kTaken;
    }
    for (const Keyword& keyword : kKeywords) {
      MarkKeyword(lower, keyword.code, keyword.spelling);
      if (*keyword.other) MarkKeyword(lower, keyword.code, keyword.other);
    }
    if (rem) work_[*rem] = static_cast<char>(kRemToken);
  }

  void MarkKeyword(std::string& lower, std::uint8_t code, std::string_view spelling) {
    const bool comparison = spelling[0] == '<' || spelling[1] == '=';
    for (std::size_t at = lower.find(spelling); at != std::string::npos; at = lower.find(spelling, at + spelling.size())) {
      const auto start = static_cast<long>(at);
      if (!comparison && (LetterAt(lower, start - 1) || LetterAt(lower, start + static_cast<long>(spelling.size())))) {
        continue;
      }
      std::fill_n(lower.begin() + start, spelling.size(), kTaken);
      std::fill_n(work_.begin() + start, spelling.size(), kTaken);
      std::size_t end = at + spelling.size();
      while (end < work_.size() && work_[end] == ' ') work_[end++] = kTaken;
      // BIN stands right before its number, so the number is read in binary.
      const std::size_t place = code == kBinToken ? end - 1 : at;
      work_[place] = static_cast<char>(code);
      lower[std::min(place, lower.size() - 1)] = static_cast<char>(code);
    }
  }

  std::optional<LineError> Emit(std::vector<std::uint8_t>& out) {
    bool inQuotes = false, inRem = false, inDefFn = false;
    // Two numbers with nothing but spaces between them are not BASIC: the
    // spaces are dropped, so the listing would show one number ("0 1" as "01").
    bool afterNumber = false;
    std::size_t i = 0;
    while (i < work_.size()) {
      const unsigned char c = At(i);
      if (c == '"') inQuotes = !inQuotes;
      if (c == static_cast<unsigned char>(kTaken) || c == '\t' || (!inQuotes && !inRem && c == ' ')) {
        ++i;
        continue;
      }
      if (c == kDefFnToken) inDefFn = true;
      if (c == kRemToken) inRem = true;
      if (c == '\\') {
        if (auto error = Escape(i, out)) return error;
        afterNumber = false;
        continue;
      }
      if (!inRem && !inQuotes && StartsNumber(i)) {
        if (afterNumber && (IsDigit(c) || c == '.')) return LineError{"два числа подряд"};
        if ((IsDigit(c) || c == '.') && LetterBeforeSpaces(i)) return LineError{"число через пробел после имени"};
        if (auto error = Number(i, out)) return error;
        afterNumber = true;
        continue;
      }
      afterNumber = false;
      if (inDefFn && (c == ',' || c == ')') && !out.empty() && (IsLetter(out.back()) || out.back() == '$')) {
        // The Spectrum's editor keeps room for the parameter's value.
        out.push_back(kNumberMarker);
        out.insert(out.end(), kDefFnPlaceholderBytes, 0);
      }
      if (c == '=') inDefFn = false;
      out.push_back(c);
      ++i;
    }
    out.push_back(kEndOfLine);
    return std::nullopt;
  }

  // Whether spaces and a letter stand right before i ("a 1"): the spaces are
  // dropped, so the digits would join the name when the line is read again.
  bool LetterBeforeSpaces(std::size_t i) const {
    std::size_t j = i;
    while (j > 0 && (At(j - 1) == ' ' || At(j - 1) == '\t')) --j;
    return j < i && j > 0 && IsLetter(At(j - 1));
  }

  // A number starts after a non-letter: a digit, a sign or point before a
  // digit, or a sign and a point before a digit.
  bool StartsNumber(std::size_t i) const {
    if (i > 0 && IsLetter(At(i - 1))) return false;
    const unsigned char c = At(i);
    if (IsDigit(c)) return true;
    if ((c == '-' || c == '+' || c == '.') && IsDigit(At(i + 1))) return true;
    return (c == '-' || c == '+') && At(i + 1) == '.' && IsDigit(At(i + 2));
  }

  std::optional<LineError> Number(std::size_t& i, std::vector<std::uint8_t>& out) {
    double value = 0;
    std::size_t end = i;
    const bool binary = i > 0 && At(i - 1) == kBinToken;
    if (auto error = binary ? ReadBinary(i, end, value) : ReadDecimal(i, end, value)) return error;
    const std::optional<NumberForm> form = SpectrumNumberForm(value);
    if (!form) return LineError{"число вне пределов ZX Spectrum"};
    out.insert(out.end(), work_.begin() + static_cast<long>(i), work_.begin() + static_cast<long>(end));
    out.push_back(kNumberMarker);
    out.insert(out.end(), form->begin(), form->end());
    i = end;
    return std::nullopt;
  }

  // A decimal number as C's strtod reads it in the C locale (a hexadecimal
  // one after "0x" too), but never touched by the program's locale.
  std::optional<LineError> ReadDecimal(std::size_t i, std::size_t& end, double& value) const {
    const char* first = work_.data() + i;
    const char* last = work_.data() + work_.size();
    bool negative = false;
    if (*first == '-' || *first == '+') negative = *first++ == '-';
    std::from_chars_result result{};
    const bool hex = last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X') &&
                     std::isxdigit(static_cast<unsigned char>(first[2]));
    if (hex) {
      result = std::from_chars(first + 2, last, value, std::chars_format::hex);
    } else {
      result = std::from_chars(first, last, value);
    }
    if (result.ec == std::errc::result_out_of_range) {
      // Too small for a double is 0, as the Spectrum takes it; too large is an error.
      if (hex || !IsTooSmall(std::string_view(first, static_cast<std::size_t>(result.ptr - first)))) {
        return LineError{"число вне пределов ZX Spectrum"};
      }
      value = 0;
    } else if (result.ec != std::errc()) {
      return LineError{"неверное число"};
    }
    if (negative) value = -value;
    end = static_cast<std::size_t>(result.ptr - work_.data());
    return std::nullopt;
  }

  // The digits after BIN: ones and zeros, or "0x" and hexadecimal digits.
  std::optional<LineError> ReadBinary(std::size_t i, std::size_t& end, double& value) const {
    std::size_t p = i;
    while (IsSpace(At(p))) ++p;
    std::uint64_t v = 0;
    if (At(p) == '0' && (At(p + 1) == 'x' || At(p + 1) == 'X')) {
      p += 2;
      if (!std::isxdigit(At(p))) return LineError{"неверное число после BIN 0x"};
      for (; std::isxdigit(At(p)); ++p) v = v * 16 + static_cast<std::uint64_t>(HexValue(At(p)));
    } else {
      if (At(p) != '0' && At(p) != '1') return LineError{"после BIN нужно двоичное число"};
      for (; At(p) == '0' || At(p) == '1'; ++p) v = v * 2 + (At(p) - '0');
    }
    value = static_cast<double>(v);
    end = p;
    return std::nullopt;
  }

  static int HexValue(unsigned char c) {
    return IsDigit(c) ? c - '0' : Lower(c) - 'a' + 10;
  }

  // "\" and what follows it: the Spectrum's own characters.
  std::optional<LineError> Escape(std::size_t& i, std::vector<std::uint8_t>& out) const {
    const unsigned char next = At(i + 1);
    if (i + 1 >= work_.size()) return LineError{"после \\ ничего нет"};
    if (IsLetter(next) && !std::strchr("vwxyzVWXYZ", next)) {
      out.push_back(static_cast<std::uint8_t>(kFirstUdg + (Lower(next) - 'a')));
    } else if (next == '*') {
      out.push_back(kCopyright);
    } else if (next == '\'' || next == '.' || next == ':' || next == ' ') {
      const char drawing[3] = {static_cast<char>(next), static_cast<char>(At(i + 2)), '\0'};
      const auto* found = std::find_if(std::begin(kBlockDrawings), std::end(kBlockDrawings),
                                       [&drawing](const char* d) { return std::strcmp(d, drawing) == 0; });
      if (found == std::end(kBlockDrawings)) return LineError{"неверный символ блочной графики"};
      out.push_back(static_cast<std::uint8_t>(kFirstBlockGraphic + (found - std::begin(kBlockDrawings))));
      ++i;
    } else if (next == '{') {
      const std::size_t close = work_.find('}', i + 2);
      if (close == std::string::npos) return LineError{"нет закрывающей скобки } после \\{"};
      const std::optional<int> code = CharacterCode(work_.substr(i + 2, close - i - 2));
      if (!code) return LineError{"код символа в \\{...} должен быть числом от 0 до 255"};
      out.push_back(static_cast<std::uint8_t>(*code));
      i = close - 1;
    } else {
      out.push_back(next);  // "\\", "\@" and any other character stand for themselves
    }
    i += 2;
    return std::nullopt;
  }

  // A character code as C writes it: decimal, 0x hexadecimal or 0 octal.
  static std::optional<int> CharacterCode(const std::string& text) {
    std::size_t b = 0, e = text.size();
    while (b < e && IsSpace(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && IsSpace(static_cast<unsigned char>(text[e - 1]))) --e;
    std::string_view digits(text.data() + b, e - b);
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
      digits.remove_prefix(2);
      base = 16;
    } else if (digits.size() > 1 && digits[0] == '0') {
      digits.remove_prefix(1);
      base = 8;
    }
    int value = 0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size() || value < 0 || value > 255) {
      return std::nullopt;
    }
    return value;
  }

  std::string work_;
};

// The text split into program lines: a line ending in "\" goes on on the next.
struct SourceLine {
  int textLine;  // where the line starts, from 1
  std::string text;
};

bool IsBlank(const std::string& line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return IsSpace(static_cast<unsigned char>(c)); });
}

// Blank lines and lines starting with "#" are left out; a line ending in "\"
// takes the next one in (whatever it holds).
std::vector<SourceLine> SplitLines(std::string_view text) {
  std::vector<SourceLine> lines;
  int textLine = 0;
  bool continued = false;
  for (std::size_t p = 0; p < text.size();) {
    std::size_t end = text.find_first_of("\r\n", p);
    if (end == std::string_view::npos) end = text.size();
    const std::string piece(text.substr(p, end - p));
    p = end;
    if (p < text.size() && text[p] == '\r') ++p;
    if (p < text.size() && text[p] == '\n') ++p;
    ++textLine;
    if (continued) {
      lines.back().text += piece;
    } else if (IsBlank(piece) || piece.front() == '#') {
      continue;
    } else {
      lines.push_back({textLine, piece});
    }
    continued = !lines.back().text.empty() && lines.back().text.back() == '\\';
    if (continued) lines.back().text.pop_back();
  }
  return lines;
}

TokenisedProgram Failure(int textLine, const std::string& reason) {
  TokenisedProgram result;
  result.status = OpResult::Fail("Ошибка в строке" + NumberText(textLine) + " текста BASIC: " + reason);
  result.errorLine = textLine;
  return result;
}

// A line typed with printable characters only (no "\\{N}" byte escapes): its
// listing shows everything it holds, so it must read back the same.
bool ListsAsTyped(std::string_view text) {
  if (text.find("\\{") != std::string_view::npos) return false;
  return std::all_of(text.begin(), text.end(), [](char c) { return (c >= 32 && c <= 126) || c == '\t'; });
}

TokenisedProgram Tokenise(std::string_view text, bool checkListing);

// Whether a tokenised line lists as text that tokenises into the same bytes.
// Spaces outside strings are not stored, so "a 1" or ". 5" would come back as
// "a1" or ".5": such a line is refused rather than stored as something its own
// listing contradicts.
bool ReadsBackTheSame(const std::vector<std::uint8_t>& line) {
  std::vector<std::uint8_t> record = {0xFF};
  record.insert(record.end(), line.begin(), line.end());
  std::uint8_t checksum = 0;
  for (std::uint8_t b : record) checksum ^= b;
  record.push_back(checksum);
  const std::string listing = BuildSpectrumListing(MakeRecord(record));
  const TokenisedProgram again = Tokenise(listing, false);
  return again.status.ok() && again.bytes == line;
}

TokenisedProgram Tokenise(std::string_view text, bool checkListing) {
  // A text editor's UTF-8 byte order mark is not part of the first line.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
  TokenisedProgram program;
  int lastLine = -1;
  for (const SourceLine& line : SplitLines(text)) {
    std::size_t p = 0;
    while (p < line.text.size() && IsSpace(static_cast<unsigned char>(line.text[p]))) ++p;
    if (p == line.text.size() || !IsDigit(static_cast<unsigned char>(line.text[p]))) {
      return Failure(line.textLine, "нет номера строки");
    }
    long number = 0;
    for (; p < line.text.size() && IsDigit(static_cast<unsigned char>(line.text[p])); ++p) {
      number = std::min(number * 10 + (line.text[p] - '0'), 100000L);
    }
    if (number > kMaxBasicLine) return Failure(line.textLine, "номер строки больше 9999");
    if (number <= lastLine) return Failure(line.textLine, "номер строки не больше номера предыдущей");
    lastLine = static_cast<int>(number);
    while (p < line.text.size() && IsSpace(static_cast<unsigned char>(line.text[p]))) ++p;
    // A statement never starts with a number, and the listing could not tell
    // such a number from the line's own ("10 5" lists as "   105").
    if (p < line.text.size() && IsDigit(static_cast<unsigned char>(line.text[p]))) {
      return Failure(line.textLine, "строка программы начинается с числа");
    }

    std::vector<std::uint8_t> body;
    if (auto error = LineTokeniser(line.text.substr(p)).Run(body)) return Failure(line.textLine, error->reason);
    if (program.bytes.size() + 4 + body.size() >= kMaxProgramBytes) {
      return Failure(line.textLine, "программа не поместится в память ZX Spectrum");
    }
    const std::size_t lineStart = program.bytes.size();
    program.bytes.push_back(static_cast<std::uint8_t>(number >> 8));
    program.bytes.push_back(static_cast<std::uint8_t>(number & 0xFF));
    program.bytes.push_back(static_cast<std::uint8_t>(body.size() & 0xFF));
    program.bytes.push_back(static_cast<std::uint8_t>(body.size() >> 8));
    program.bytes.insert(program.bytes.end(), body.begin(), body.end());
    if (checkListing && ListsAsTyped(line.text) &&
        !ReadsBackTheSame({program.bytes.begin() + static_cast<long>(lineStart), program.bytes.end()})) {
      return Failure(line.textLine, "пробел разделяет знаки, которые без него читаются иначе (например, \"a 1\" или \". 5\")");
    }
  }
  return program;
}

}  // namespace

TokenisedProgram TokeniseBasic(std::string_view text) { return Tokenise(text, true); }

}  // namespace reelo
