// The tokeniser's own rules where no other tool can say: the bytes the
// Spectrum's editor stores for DEF FN, the five-byte forms of numbers, and a
// clear Russian reason with the text line for every line it refuses.
#include <gtest/gtest.h>

#include <limits>

#include "blocks/basic_tokeniser.h"
#include "blocks/zx_number.h"
#include "tape_builders.h"

namespace reelo {
namespace {

using testing::Bytes;

TEST(TokeniseBasic, DefFnParametersGetThePlaceholdersTheSpectrumStores) {
  const TokenisedProgram program = TokeniseBasic("10 DEF FN f(x,y)=x*y\n20 DEF FN p()=1\n");
  ASSERT_TRUE(program.status.ok()) << program.status.message;
  const Bytes expected = {
      0, 10, 24, 0, 0xCE, 'f', '(', 'x', 0x0E, 0, 0, 0, 0, 0, ',', 'y', 0x0E, 0, 0, 0, 0, 0, ')', '=', 'x', '*', 'y',
      0x0D,  //
      0, 20, 13, 0, 0xCE, 'p', '(', ')', '=', '1', 0x0E, 0, 0, 1, 0, 0, 0x0D};
  EXPECT_EQ(program.bytes, expected);
}

TEST(TokeniseBasic, ReadsNumbersTheSameInEveryLocale) {
  // The program's own locale may write decimals with a comma; the text never does.
  const TokenisedProgram program = TokeniseBasic("10 PRINT 0.5\n");
  ASSERT_TRUE(program.status.ok());
  const Bytes expected = {0, 10, 11, 0, 0xF5, '0', '.', '5', 0x0E, 0x80, 0, 0, 0, 0, 0x0D};
  EXPECT_EQ(program.bytes, expected);
}

TEST(SpectrumNumberForm, GivesTheFormsOfSmallIntegersAndFloatingNumbers) {
  struct Row {
    double value;
    std::optional<NumberForm> form;
  } rows[] = {
      {0, NumberForm{0, 0, 0, 0, 0}},
      {-0.0, NumberForm{0, 0, 0, 0, 0}},
      {13, NumberForm{0, 0, 13, 0, 0}},
      {-1000, NumberForm{0, 0, 0xE8, 0x03, 0}},
      {65535, NumberForm{0, 0, 0xFF, 0xFF, 0}},
      {65536, NumberForm{0x91, 0, 0, 0, 0}},
      {0.5, NumberForm{0x80, 0, 0, 0, 0}},
      {0.1, NumberForm{0x7D, 0x4C, 0xCC, 0xCC, 0xCD}},
      {1e-5, NumberForm{0x70, 0x27, 0xC5, 0xAC, 0x47}},
      {123456, NumberForm{0x91, 0x71, 0x20, 0, 0}},
      {1.7e38, NumberForm{0xFF, 0x7F, 0xC9, 0x9E, 0x3C}},
      {1e39, std::nullopt},
      {1e-39, std::nullopt},
      {std::numeric_limits<double>::infinity(), std::nullopt},
  };
  for (const Row& row : rows) EXPECT_EQ(SpectrumNumberForm(row.value), row.form) << row.value;
}

TEST(TokeniseBasic, RefusesABadLineWithItsNumberAndReason) {
  struct Row {
    const char* text;
    int line;
    const char* reason;
  } rows[] = {
      {"PRINT 1\n", 1, "нет номера строки"},
      {"10 PRINT 1\n\n# note\n   \nGO TO 10\n", 5, "нет номера строки"},
      {"10 STOP\n10 STOP\n", 2, "номер строки не больше номера предыдущей"},
      {"20 STOP\r\n10 STOP\r\n", 2, "номер строки не больше номера предыдущей"},
      {"10000 STOP\n", 1, "номер строки больше 9999"},
      {"99999999999999999999 STOP\n", 1, "номер строки больше 9999"},
      {"10 PRINT BIN 2\n", 1, "после BIN нужно двоичное число"},
      {"10 PRINT BIN 0xg\n", 1, "неверное число после BIN 0x"},
      {"10 PRINT 1e39\n", 1, "число вне пределов ZX Spectrum"},
      {"10 PRINT 1e999\n", 1, "число вне пределов ZX Spectrum"},
      {"10 PRINT \"\\:x\"\n", 1, "неверный символ блочной графики"},
      {"10 PRINT \"\\{16\"\n", 1, "нет закрывающей скобки } после \\{"},
      {"10 PRINT \"\\{256}\"\n", 1, "код символа в \\{...} должен быть числом от 0 до 255"},
      {"10 PRINT \"\\{i2}\"\n", 1, "код символа в \\{...} должен быть числом от 0 до 255"},
      {"10 PRINT \\\n\"a\"\n20 PRINT \\\n\\{x}\n", 3, "код символа в \\{...} должен быть числом от 0 до 255"},
      // Found by fuzzing: spaces are not stored, so these would list as another program.
      {"10 FOR i=1 TO 0 1\n", 1, "два числа подряд"},
      {"5 STOP\n10 DEF 5\n", 2, "число через пробел после имени"},
      {"10 10P\n", 1, "строка программы начинается с числа"},
      {"10 LET a=. 15\n", 1,
       "пробел разделяет знаки, которые без него читаются иначе (например, \"a 1\" или \". 5\")"},
  };
  for (const auto& row : rows) {
    const TokenisedProgram program = TokeniseBasic(row.text);
    EXPECT_FALSE(program.status.ok()) << row.text;
    EXPECT_TRUE(program.bytes.empty()) << row.text;
    EXPECT_EQ(program.errorLine, row.line) << row.text;
    EXPECT_EQ(program.status.message,
              "Ошибка в строке " + std::to_string(row.line) + " текста BASIC: " + row.reason)
        << row.text;
  }
}

TEST(TokeniseBasic, RefusesAProgramTooBigForTheSpectrum) {
  std::string text;
  for (int line = 1; line <= 500; ++line) text += std::to_string(line) + " REM " + std::string(100, 'x') + "\n";
  const TokenisedProgram program = TokeniseBasic(text);
  EXPECT_FALSE(program.status.ok());
  EXPECT_NE(program.status.message.find("не поместится в память ZX Spectrum"), std::string::npos);
  EXPECT_GT(program.errorLine, 400);
}

TEST(TokeniseBasic, TakesEveryLineEndingAndAByteOrderMark) {
  const Bytes expected = TokeniseBasic("10 PRINT 1\n20 STOP\n").bytes;
  ASSERT_FALSE(expected.empty());
  for (const char* text : {"10 PRINT 1\r\n20 STOP\r\n", "10 PRINT 1\r20 STOP", "\n\n10 PRINT 1\n\n20 STOP",
                           "\xEF\xBB\xBF" "10 PRINT 1\n20 STOP\n"}) {
    EXPECT_EQ(TokeniseBasic(text).bytes, expected) << text;
  }
}

TEST(TokeniseBasic, AnyTextGivesAProgramOrAReasonWithoutReadingPastIt) {
  // Every prefix of a text full of escapes, numbers and keywords cut anywhere,
  // and random bytes: a result each time (the sanitizers watch the reads).
  const std::string text =
      "10 PRINT \"\\{16}\\{2}a\\::\\q\";BIN 0x1F;1.5e-3;-.5: DEF FN f(x)=x: REM \\*\\\n20 GO TO 10";
  for (std::size_t n = 0; n <= text.size(); ++n) {
    const TokenisedProgram program = TokeniseBasic(text.substr(0, n));
    EXPECT_TRUE(program.status.ok() || program.bytes.empty()) << n;
  }
  for (unsigned seed = 1; seed <= 200; ++seed) {
    const Bytes noise = testing::RandomBytes(seed * 3, seed);
    std::string random = std::to_string(seed) + " " + std::string(noise.begin(), noise.end());
    const TokenisedProgram program = TokeniseBasic(random);
    EXPECT_TRUE(program.status.ok() || program.errorLine >= 1) << seed;
  }
}

}  // namespace
}  // namespace reelo
