// The BASIC listing of programs tokenised by zmakebas, checked against the
// BASIC sources they came from and against listbasic's listing of the same tapes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "external_tools.h"
#include "project/tap_file.h"
#include "tape_builders.h"
#include "viewers/basic_listing.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::Quoted;
using testing::TempDir;
using testing::ToolInPath;

constexpr std::uint8_t kNumberMarker = 0x0E;
constexpr int kHiddenNumberBytes = 5;
constexpr std::uint8_t kEndOfLine = 0x0D;
constexpr std::uint8_t kValDollarCode = 0xAE;

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(' ') != std::string::npos) lines.push_back(line);
  }
  return lines;
}

// Keyword spacing differs between a typed source, this listing and listbasic
// ("GO TO 10", " GO TO 10", "OPEN #4" / " OPEN# 4"); spaces outside string
// literals are dropped so that only the characters themselves are compared.
std::string WithoutSpacing(const std::string& line) {
  std::string out;
  bool inString = false;
  for (char c : line) {
    if (c == '"') inString = !inString;
    if (inString || c != ' ') out += c;
  }
  return out;
}

std::vector<std::string> Normalised(const std::string& text) {
  std::vector<std::string> lines;
  for (const auto& line : Lines(text)) lines.push_back(WithoutSpacing(line));
  return lines;
}

// Tokenises source with zmakebas into a TAP file in dir and returns the path.
std::filesystem::path MakeTape(const TempDir& dir, const std::string& source) {
  const auto bas = dir / "prog.bas";
  const auto tap = dir / "prog.tap";
  std::ofstream(bas, std::ios::binary) << source;
  const std::string command = "zmakebas -n prog -o " + Quoted(tap) + " " + Quoted(bas) + " >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return tap;
}

TapeBlock LoadProgramBlock(const std::filesystem::path& tap) {
  TapeProject project;
  NullProgress progress;
  const OpResult result = LoadTapFile(project, tap.string(), progress);
  EXPECT_EQ(result.kind, OpResult::Kind::Ok) << result.message;
  EXPECT_EQ(project.blockCount(), 2) << "header and program";
  if (project.blockCount() != 2) return {};
  EXPECT_TRUE(IsHeader(project.blocks[0]));
  return project.blocks[1];
}

// The program with every number's hidden stored form (the marker 0x0E and the
// five bytes after it) taken out, so that the listing shows only what was typed.
TapeBlock WithoutNumberForms(const TapeBlock& program) {
  const std::size_t end = static_cast<std::size_t>(RecordLength(program)) + 1;  // the checksum
  Bytes data;
  std::size_t p = 3;
  while (p + 4 <= end) {
    data.insert(data.end(), program.begin() + static_cast<long>(p), program.begin() + static_cast<long>(p + 4));
    for (p += 4; p < end; ++p) {
      if (program[p] == kNumberMarker) {
        p += kHiddenNumberBytes;
        continue;
      }
      data.push_back(program[p]);
      if (program[p] == kEndOfLine) break;
    }
    ++p;
  }
  return testing::MakeDataBlock(data);
}

std::string ListBasic(const std::filesystem::path& tap) {
  const auto out = tap.parent_path() / "listbasic.txt";
  const std::string command = "listbasic " + Quoted(tap) + " > " + Quoted(out) + " 2>/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return ReadText(out);
}

std::vector<std::string> LineNumbers(const std::vector<std::string>& lines) {
  std::vector<std::string> numbers;
  for (const auto& line : lines) {
    const auto start = line.find_first_not_of(' ');
    numbers.push_back(line.substr(start, line.find_first_not_of("0123456789", start) - start));
  }
  return numbers;
}

// Line by line, so a failure names the one line that differs.
void ExpectSameLines(const std::vector<std::string>& ours, const std::vector<std::string>& expected) {
  ASSERT_EQ(ours.size(), expected.size());
  for (std::size_t i = 0; i < ours.size(); ++i) EXPECT_EQ(ours[i], expected[i]) << "line " << i + 1;
}

struct Program {
  const char* name;
  const char* source;
};

void PrintTo(const Program& program, std::ostream* os) { *os << program.name; }

// Programs whose numbers have no byte 13 in their stored forms, so the
// listing's lines are the source's lines even with the hidden forms in place.
const Program kPrograms[] = {
    {"EveryKeyword", R"(10 PRINT RND;INKEY$;PI;FN a(1);POINT (1,2);SCREEN$ (3,4);ATTR (5,6);AT 7,8;TAB 9;VAL$ "x";CODE "y"
20 LET x=VAL "1"+LEN "ab"+SIN 1+COS 2+TAN 3+ASN 0+ACS 1+ATN 2+LN 3+EXP 4+INT 5+SQR 6+SGN 7+ABS 8+PEEK 9+IN 254
30 LET x=USR 0: LET a$=STR$ 1+CHR$ 65: IF NOT x OR x AND BIN 101 THEN GO TO 30
40 IF x<=1 OR x>=2 OR x<>3 THEN SAVE "p" LINE 10: FOR i=1 TO 9 STEP 2: NEXT i
50 DEF FN a(x)=x: CAT 1: FORMAT "m";1: MOVE "a","b": ERASE "m";1;"c"
60 OPEN #4,"b": CLOSE #4: MERGE "x": VERIFY "y": BEEP 1,2: CIRCLE 3,4,5
70 INK 1: PAPER 2: FLASH 1: BRIGHT 0: INVERSE 1: OVER 0: OUT 254,7
80 LPRINT "a": LLIST : STOP : READ x: DATA 1,2: RESTORE 80: NEW : BORDER 3: CONTINUE
90 DIM a(10): REM everything PRINT here is text
100 GO SUB 200: INPUT x: LOAD "": LIST : PAUSE 0: POKE 23606,0: PLOT 1,2: RUN
110 RANDOMIZE : CLS : DRAW 1,2: CLEAR 32767: RETURN : COPY
)"},
    {"Numbers", R"(1 LET a=0+5+42+255+256+1000+23606+65535
2 LET b=1.5*0.001/1E10-3.25+BIN 11111111
3 LET c=-7*(2+99999)
)"},
    {"StringsAndRem", R"(5 PRINT "GO TO 10 <= THEN", "  spaced  out  "
15 PRINT "^`~|{}[]@#%&*?!", ""
25 REM a REM with "quotes" and : colons
)"},
    {"LineNumbers", R"(0 CLS
9 CLS
99 CLS
999 CLS
1000 CLS
9999 STOP
)"},
};

class ZmakebasProgramTest : public ::testing::TestWithParam<Program> {
 protected:
  void SetUp() override {
    if (!ToolInPath("zmakebas")) GTEST_SKIP() << "zmakebas is not installed";
    tap_ = MakeTape(dir_, GetParam().source);
    program_ = LoadProgramBlock(tap_);
    ASSERT_FALSE(program_.empty());
  }
  TempDir dir_;
  std::filesystem::path tap_;
  TapeBlock program_;
};

TEST_P(ZmakebasProgramTest, ListingMatchesTheSource) {
  ExpectSameLines(Normalised(BuildBasicListing(WithoutNumberForms(program_))), Normalised(GetParam().source));
}

TEST_P(ZmakebasProgramTest, HiddenNumberFormsKeepTheLineNumbers) {
  EXPECT_EQ(LineNumbers(Lines(BuildBasicListing(program_))), LineNumbers(Lines(GetParam().source)));
}

TEST_P(ZmakebasProgramTest, ListbasicAgrees) {
  if (!ToolInPath("listbasic")) GTEST_SKIP() << "listbasic is not installed";
  const std::string theirs = ListBasic(tap_);
  const std::string ours = BuildBasicListing(program_);
  EXPECT_EQ(LineNumbers(Lines(ours)), LineNumbers(Lines(theirs)));
  ExpectSameLines(Normalised(BuildBasicListing(WithoutNumberForms(program_))), Normalised(theirs));
}

// The Spectrum-style listing spaces keywords as LIST does, so it is
// listbasic's listing character for character.
TEST_P(ZmakebasProgramTest, SpectrumListingIsListbasics) {
  if (!ToolInPath("listbasic")) GTEST_SKIP() << "listbasic is not installed";
  EXPECT_EQ(BuildSpectrumListing(program_), ListBasic(tap_));
}

INSTANTIATE_TEST_SUITE_P(Programs, ZmakebasProgramTest, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& info) { return std::string(info.param.name); });

// zmakebas spells VAL$ as VAL followed by "$"; every other keyword code occurs,
// so the listing above has checked every other entry of the keyword table.
TEST(ZmakebasKeywords, EveryKeywordCodeIsExercised) {
  if (!ToolInPath("zmakebas")) GTEST_SKIP() << "zmakebas is not installed";
  TempDir dir;
  const TapeBlock program = LoadProgramBlock(MakeTape(dir, kPrograms[0].source));
  const std::set<std::uint8_t> present(program.begin(), program.end());
  for (int code = 0xA5; code <= 0xFF; ++code) {
    if (code == kValDollarCode) continue;
    EXPECT_TRUE(present.count(static_cast<std::uint8_t>(code))) << "code " << code;
  }
}

// A stored number whose form holds the byte 13 ends the listed line there:
// the rest of the line is read as the next line's header.
TEST(ZmakebasHiddenNumbers, StoredThirteenCutsTheLine) {
  if (!ToolInPath("zmakebas")) GTEST_SKIP() << "zmakebas is not installed";
  TempDir dir;
  const TapeBlock program = LoadProgramBlock(MakeTape(dir, "10 PRINT 13;\"AB\"\n20 STOP\n"));
  const auto lines = Lines(BuildBasicListing(program));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "   10 PRINT 13");
  EXPECT_EQ(lines[1], "    0AB\"");
  EXPECT_EQ(lines[2], "   20 STOP ");
  EXPECT_EQ(Lines(BuildBasicListing(WithoutNumberForms(program))),
            (std::vector<std::string>{"   10 PRINT 13;\"AB\"", "   20 STOP "}));
}

}  // namespace
}  // namespace reelo
