// The command line's shared parsing: every malformed call is a usage error
// (exit 2) with a reason, and options are read the same way by every command.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace reelo::cli {
namespace {

struct ParseRow {
  const char* name;
  Args args;
  std::size_t minPositional, maxPositional;
  std::string error;  // empty: well formed
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
};

class ParseArgsTable : public ::testing::TestWithParam<ParseRow> {};

TEST_P(ParseArgsTable, SplitsOptionsFromArguments) {
  const ParseRow& row = GetParam();
  const ParsedArgs parsed = ParseArgs(row.args, {{"--exact", false}, {"--from", true}}, row.minPositional,
                                      row.maxPositional);
  EXPECT_EQ(parsed.error, row.error);
  if (row.error.empty()) {
    EXPECT_EQ(parsed.positional, row.positional);
    EXPECT_EQ(parsed.options, row.options);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseArgsTable,
    ::testing::Values(
        ParseRow{"plain", {"a", "b"}, 2, 2, "", {"a", "b"}, {}},
        ParseRow{"flag_and_value", {"a", "--exact", "--from", "3"}, 1, 1, "", {"a"}, {{"--exact", ""}, {"--from", "3"}}},
        ParseRow{"value_with_equals", {"--from=7", "a"}, 1, 1, "", {"a"}, {{"--from", "7"}}},
        ParseRow{"after_double_dash", {"--", "--exact"}, 1, 1, "", {"--exact"}, {}},
        ParseRow{"unknown_option", {"--fast", "a"}, 1, 1, "неизвестный параметр --fast", {}, {}},
        ParseRow{"missing_value", {"a", "--from"}, 1, 1, "параметру --from нужно значение", {}, {}},
        ParseRow{"flag_with_value", {"--exact=1", "a"}, 1, 1, "параметр --exact не принимает значения", {}, {}},
        ParseRow{"twice", {"--exact", "--exact", "a"}, 1, 1, "параметр --exact указан дважды", {}, {}},
        ParseRow{"too_few", {"a"}, 2, 2, "не хватает аргументов", {}, {}},
        ParseRow{"too_many", {"a", "b", "c"}, 1, 2, "лишний аргумент c", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseNumber, TakesOnlyWholeNumbersInRange) {
  struct Row {
    const char* text;
    bool ok;
    long long value;
  } rows[] = {{"0", true, 0}, {"65535", true, 65535}, {"65536", false, 0}, {"-1", false, 0},
              {"", false, 0}, {"12x", false, 0},      {" 1", false, 0},     {"99999999999999999999", false, 0}};
  for (const Row& row : rows) {
    long long value = -42;
    EXPECT_EQ(ParseNumber(row.text, 0, 65535, value), row.ok) << row.text;
    EXPECT_EQ(value, row.ok ? row.value : -42) << row.text;
  }
}

TEST(RunCli, AnswersBadCallsWithUsageAndStatusTwo) {
  const Args calls[] = {{}, {"frobnicate"}, {"--frobnicate"}};
  for (const Args& call : calls) {
    std::ostringstream out, err;
    Io io{out, err};
    EXPECT_EQ(RunCli(call, io), 2);
    EXPECT_NE(err.str().find("Использование: reelo-cli"), std::string::npos) << err.str();
    EXPECT_TRUE(out.str().empty());
  }
}

TEST(RunCli, HelpListsEveryCommand) {
  std::ostringstream out, err;
  Io io{out, err};
  EXPECT_EQ(RunCli({"--help"}, io), 0);
  std::vector<std::string> names;
  for (const Command& command : Commands()) {
    names.push_back(command.name);
    EXPECT_NE(out.str().find(std::string("reelo-cli ") + command.name + ' '), std::string::npos) << command.name;
  }
  // The names scripts call the program with.
  for (const char* name : {"decode", "analyse", "bas2tap", "bin2tap", "list", "convert", "view"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  }
}

}  // namespace
}  // namespace reelo::cli
