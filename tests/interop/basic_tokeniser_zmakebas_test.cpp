// BASIC text made into a program by our tokeniser and by zmakebas: the TAP
// files are the same byte for byte, with and without an autostart line. Two
// departures, each with its own test: after each DEF FN parameter the
// Spectrum's own editor keeps six bytes (0x0E and five zeros), and so do we,
// where zmakebas leaves them out; and VAL$ is its own keyword (0xAE), where
// zmakebas writes VAL followed by a "$".
// A program's Spectrum-style listing reads back into the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "blocks/basic_tokeniser.h"
#include "blocks/block_makers.h"
#include "external_tools.h"
#include "project/block_access.h"
#include "tape_builders.h"
#include "viewers/basic_listing.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::Quoted;
using testing::ReadFileBytes;
using testing::RunTool;
using testing::TempDir;
using testing::ToolInPath;

struct Source {
  const char* name;
  const char* text;
  std::optional<int> autostart;
  // Where the text holds codes LIST does not show, the listing the Spectrum
  // gives instead of the text read back.
  const char* listing = nullptr;
  // For those, the listing with the hidden bytes shown.
  const char* marked = nullptr;
};

const Source kSources[] = {
    {"keywords_every_statement", R"(10 BORDER 1: PAPER 7: INK 0: BRIGHT 1: FLASH 0: INVERSE 0: OVER 0: CLS
20 FOR i=1 TO 10 STEP 2: NEXT i
30 GO TO 40: GOTO 40
40 GO SUB 1000: GOSUB 1000
50 IF a<>b AND c<=d OR e>=f THEN PRINT "x"
60 RANDOMIZE USR 32768: RANDOMISE 5
70 DIM a(10): DIM b$(3,4): READ x: DATA 1,2,3: RESTORE 70
80 POKE 23606,0: LET a=PEEK 23606: OUT 254,1: LET b=IN 254
90 PLOT 10,10: DRAW 20,-5: CIRCLE 128,88,40
100 BEEP .5,12: PAUSE 0: INPUT "name";n$: LPRINT n$: LLIST
110 LOAD "a" CODE: SAVE "b" SCREEN$: VERIFY "": MERGE "c"
120 OPEN #4,"s": CLOSE #4: OPEN#5,"k": CLOSE#5: CAT: FORMAT "m";1: MOVE "a","b": ERASE "c"
130 CLEAR 32767: COPY: LIST: NEW: CONTINUE: STOP: RETURN
1000 RETURN
)",
     10},
    {"functions", R"(10 LET a=SIN PI+COS 1+TAN 2+ASN .5+ACS .5+ATN 1+LN 2+EXP 1+INT 2.5+SQR 4+SGN -1+ABS -3
20 LET b$=STR$ 1+CHR$ 65+INKEY$: LET c=CODE "a"+LEN "abc"+VAL "2"+USR 0
30 LET d$=STR$ VAL "2"+SCREEN$ (0,0): LET e=ATTR (0,0)+POINT (1,1)+RND+NOT 0
40 PRINT AT 1,2; TAB 5;"x";BIN 1011; FN a(1)
50 PRINT play;spectrum
)",
     std::nullopt},
    {"numbers_in_every_form", R"(10 PRINT 0;1;255;256;65535;65536;-1;-65535;-65536
20 PRINT .5;0.1;1.5;3.14159;1e3;1E-5;1.5e+10;123456789;1e38;2.5e-38;1e-999;0.000e-99999
30 PRINT BIN 0;BIN 101;BIN 11111111;BIN 0x1F;BIN 0xffff
40 PRINT 0x10;1e;2.;-.25;+7;a1;x-1;(2)-3
)",
     20},
    {"strings_and_quotes", R"(10 PRINT "say ""hi""": PRINT ""
20 LET a$="PRINT GO TO rem": PRINT "  spaces  kept  "
30 PRINT "1 2 3";"a,b:c"
)",
     std::nullopt},
    {"rem_keeps_its_text", R"(10 REM  print this as it is: 12 GO TO 3
20 REM
30 rem lower case rem
40 PRINT 1: REM after a statement
)",
     10},
    {"line_numbers_zero_to_9999", "0 PRINT 0\n1 PRINT 1\n9998 PRINT 9998\n9999 STOP\n", 0},
    {"colour_codes_as_escapes", R"(10 PRINT "\{16}\{2}red\{16}\{7} \{0x11}\{1}\{19}\{1}bright"
20 PRINT "\{22}\{13}\{0}at 13,0\{23}\{4}\{0}"
30 REM \{016}\{0x12}\{1}
)",
     10, "   10 PRINT \"red bright\"\n   20 PRINT \"at 13,0\"\n   30 REM \n", "   10 PRINT \"{INK 2}red{INK 7} {PAPER 1}{BRIGHT 1}bright\"\n   20 PRINT \"{AT 13,0}at 13,0{TAB 4,0}\"\n"
     // \{016} is octal: a number marker, whose form takes the line's end.
     "   30 REM {0E 12 01 0D}\n"},
    {"block_graphics_and_udgs", R"(10 PRINT "\  \ '\' \''\ .\ :\'.\':\. \.'\: \:'\..\.:\:.\::"
20 PRINT "\a\b\c\d\e\f\g\h\i\j\k\l\m\n\o\p\q\r\s\t\u\A\U"
30 PRINT "\*\\\@`^"; REM \::\a`
)",
     std::nullopt},
    {"comments_blank_lines_and_continuations", "# a comment\n\n10 PRINT \"one\";\\\n\"two\"\n\n# another\n"
                                               "20 LET total=1: LET forward=2: LET printer=3\n30\tPRINT\ttab\n",
     30},
    {"lower_case_and_spacing", "10 print   \"a\" ;  1  +  2\n20   let x = 5:go to 10\n30 if x then goto 10\n",
     std::nullopt},
};

Bytes MakeWithZmakebas(const Source& source, const TempDir& dir) {
  testing::WriteFileBytes(dir / "in.bas", Bytes(source.text, source.text + std::char_traits<char>::length(source.text)));
  std::string command = "zmakebas -n " + std::string(source.name).substr(0, 10) + " -o " + Quoted(dir / "out.tap");
  if (source.autostart) command += " -a " + std::to_string(*source.autostart);
  EXPECT_TRUE(RunTool(command + " " + Quoted(dir / "in.bas"), dir / "zmakebas.log"));
  return ReadFileBytes(dir / "out.tap");
}

Bytes MadeByUs(const Source& source) {
  const MadeBlocks made = MakeProgramBlocks(source.text, std::string(source.name).substr(0, 10), source.autostart);
  EXPECT_TRUE(made.status.ok()) << made.status.message;
  Bytes tap;
  for (const TapeBlock& block : made.blocks) tap.insert(tap.end(), block.begin(), block.end());
  return tap;
}

class TokeniserAgainstZmakebas : public ::testing::TestWithParam<Source> {};

TEST_P(TokeniserAgainstZmakebas, GivesTheSameTap) {
  if (!ToolInPath("zmakebas")) GTEST_SKIP() << "zmakebas is not installed";
  TempDir dir;
  const Bytes theirs = MakeWithZmakebas(GetParam(), dir);
  ASSERT_FALSE(theirs.empty());
  const Bytes ours = MadeByUs(GetParam());
  for (std::size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i) {
    ASSERT_EQ(ours[i], theirs[i]) << "first difference at byte " << i;
  }
  EXPECT_EQ(ours.size(), theirs.size());
}

TEST_P(TokeniserAgainstZmakebas, ListingReadsBackIntoTheSameProgram) {
  const MadeBlocks made = MakeProgramBlocks(GetParam().text, "x", std::nullopt);
  ASSERT_EQ(made.blocks.size(), 2u);
  const std::string listing = BuildSpectrumListing(made.blocks[1]);
  if (GetParam().listing) {
    // Colour, position and number codes are passed over, as the Spectrum's LIST does.
    EXPECT_EQ(listing, GetParam().listing);
    return;
  }
  const TokenisedProgram again = TokeniseBasic(listing);
  ASSERT_TRUE(again.status.ok()) << again.status.message << "\n" << listing;
  EXPECT_EQ(again.bytes, DataBytes(made.blocks[1])) << listing;
}

// Both ways for every program: the Spectrum-style listing of zmakebas's tape
// is what listbasic lists, space for space, and our tokeniser (what bas2tap
// and "Создать из файла..." run) reads that listing back into the same bytes.
TEST_P(TokeniserAgainstZmakebas, ListingIsListbasicsAndReadsBack) {
  if (!ToolInPath("zmakebas") || !ToolInPath("listbasic")) GTEST_SKIP() << "zmakebas or listbasic is not installed";
  TempDir dir;
  MakeWithZmakebas(GetParam(), dir);
  ASSERT_TRUE(RunTool("listbasic " + Quoted(dir / "out.tap"), dir / "listbasic.txt"));
  const Bytes listed = ReadFileBytes(dir / "listbasic.txt");
  const Bytes tap = ReadFileBytes(dir / "out.tap");
  const TapeBlock program = MakeRecord(Bytes(tap.begin() + 21 + 2, tap.end()));
  const std::string listing = BuildSpectrumListing(program);
  // listbasic spells the 128's PLAY and SPECTRUM; in a 48K listing they are
  // the user-defined graphics \u and \t.
  std::string theirs(listed.begin(), listed.end());
  for (const auto& [word, udg] : {std::pair{"PLAY ", "\\u"}, std::pair{" SPECTRUM ", "\\t"}}) {
    for (std::size_t at = theirs.find(word); at != std::string::npos; at = theirs.find(word)) {
      theirs.replace(at, std::strlen(word), udg);
    }
  }
  EXPECT_EQ(listing, theirs);
  if (GetParam().listing) return;  // codes LIST does not show cannot come back
  const MadeBlocks again = MakeProgramBlocks(listing, "x", std::nullopt);
  ASSERT_TRUE(again.status.ok()) << again.status.message << "\n" << listing;
  EXPECT_EQ(DataBytes(again.blocks[1]), DataBytes(program)) << listing;
}

// The listing with hidden bytes: every number's form is one mark of the
// marker and its five bytes right after the number's digits (a whole number
// below 65536 is stored as 00, sign, low, high, 00: the digits give it), and
// without its marks the listing is the plain one.
TEST_P(TokeniserAgainstZmakebas, MarksShowEveryHiddenByte) {
  const MadeBlocks made = MakeProgramBlocks(GetParam().text, "x", std::nullopt);
  ASSERT_EQ(made.blocks.size(), 2u);
  const MarkedListing marked = BuildMarkedListing(made.blocks[1]);
  if (GetParam().marked) {
    EXPECT_EQ(marked.text, GetParam().marked);
    return;
  }
  std::string plain;
  std::size_t from = 0, wholeNumbers = 0;
  for (const ListingMark& mark : marked.marks) {
    const std::string text = marked.text.substr(mark.begin, mark.length);
    ASSERT_EQ(text.substr(0, 4), "{0E ") << "only numbers are hidden here: " << text;
    ASSERT_EQ(text.size(), std::string("{0E 00 00 0A 00 00}").size()) << text;
    const std::string digits = marked.text.substr(0, mark.begin);
    const std::size_t first = digits.find_last_not_of("0123456789") + 1;
    // Decimal digits only: not a fraction, an exponent, 0x.. or BIN.
    const bool decimal = first < digits.size() && std::strchr(" =;,(*/+", digits[first - 1]) != nullptr &&
                         digits.substr(0, first).rfind("BIN ") != first - 4;
    if (text.substr(0, 7) == "{0E 00 " && decimal && digits.size() - first <= 5) {
      const long value = std::stol(digits.substr(first));
      if (value < 65536) {
        char form[32];
        std::snprintf(form, sizeof form, "{0E 00 00 %02lX %02lX 00}", value & 0xFF, value >> 8);
        EXPECT_EQ(text, form) << digits.substr(first);
        ++wholeNumbers;
      }
    }
    plain += marked.text.substr(from, mark.begin - from);
    from = mark.begin + mark.length;
  }
  plain += marked.text.substr(from);
  EXPECT_EQ(plain, BuildSpectrumListing(made.blocks[1]));
  if (!marked.marks.empty()) {
    EXPECT_GT(wholeNumbers, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Sources, TokeniserAgainstZmakebas, ::testing::ValuesIn(kSources),
                         [](const auto& info) { return std::string(info.param.name); });

// The bodies of a program's lines (what follows number and length).
std::vector<Bytes> LineBodies(const Bytes& program) {
  std::vector<Bytes> bodies;
  for (std::size_t p = 0; p + 4 <= program.size();) {
    const std::size_t length = program[p + 2] + 256u * program[p + 3];
    bodies.emplace_back(program.begin() + static_cast<long>(p + 4),
                        program.begin() + static_cast<long>(std::min(p + 4 + length, program.size())));
    p += 4 + length;
  }
  return bodies;
}

// Every occurrence of `from` in each body replaced by `to`.
std::vector<Bytes> Replaced(std::vector<Bytes> bodies, const Bytes& from, const Bytes& to) {
  for (Bytes& body : bodies) {
    for (auto at = std::search(body.begin(), body.end(), from.begin(), from.end()); at != body.end();
         at = std::search(body.begin(), body.end(), from.begin(), from.end())) {
      at = body.erase(at, at + static_cast<long>(from.size()));
      body.insert(at, to.begin(), to.end());
    }
  }
  return bodies;
}

// The program of a TAP of header and data block.
Bytes ProgramOf(const Bytes& tap) {
  constexpr std::size_t kDataStart = 21 + 3;  // header record, then length and flag
  if (tap.size() <= kDataStart) return {};
  return Bytes(tap.begin() + kDataStart, tap.end() - 1);
}

TEST(TokeniserAgainstZmakebas, DefFnKeepsTheSpectrumsParameterPlaceholders) {
  if (!ToolInPath("zmakebas")) GTEST_SKIP() << "zmakebas is not installed";
  const Source source{"deffn", "10 DEF FN f(x,y)=x*y+1\n20 DEF FN a$(s$)=s$+\"!\"\n30 DEF FN p()=PI\n"
                               "40 deffn g(z) = z/2\n50 PRINT FN f(2,3);FN a$(\"a\");FN p()\n",
                      10};
  TempDir dir;
  const Bytes theirs = ProgramOf(MakeWithZmakebas(source, dir));
  const Bytes ours = ProgramOf(MadeByUs(source));
  EXPECT_EQ(ours.size(), theirs.size() + 6 * 4);  // x, y, s$ and z; FN p() has none
  const Bytes placeholder = {0x0E, 0, 0, 0, 0, 0};
  std::vector<Bytes> expected = LineBodies(theirs);
  for (const char* parameter : {"x,", "y)", "s$)", "z)"}) {
    const std::string name(parameter, std::strlen(parameter) - 1);
    Bytes with(name.begin(), name.end());
    with.insert(with.end(), placeholder.begin(), placeholder.end());
    with.push_back(static_cast<std::uint8_t>(parameter[name.size()]));
    expected = Replaced(expected, Bytes(parameter, parameter + std::strlen(parameter)), with);
  }
  EXPECT_EQ(LineBodies(ours), expected);
}

TEST(TokeniserAgainstZmakebas, ValDollarIsItsOwnKeyword) {
  if (!ToolInPath("zmakebas")) GTEST_SKIP() << "zmakebas is not installed";
  const Source source{"valdollar", "10 LET d$=VAL$ \"a$\"+val$ \"b$\"\n20 PRINT VAL \"1\"\n", std::nullopt};
  TempDir dir;
  const Bytes theirs = ProgramOf(MakeWithZmakebas(source, dir));
  const Bytes ours = ProgramOf(MadeByUs(source));
  EXPECT_EQ(LineBodies(ours), Replaced(LineBodies(theirs), {0xB0, '$'}, {0xAE}));
}

}  // namespace
}  // namespace reelo
