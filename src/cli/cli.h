// reelo-cli: the program's core from the command line, for people who convert
// many files and for a small computer without a screen. Each command is one row
// of a table (name, usage, summary, the function that runs it); the parsing of
// options is shared so every command answers a bad call the same way.
#pragma once

#include <initializer_list>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "project/tape_project.h"

namespace reelo::cli {

inline constexpr int kExitOk = 0;       // something was written or shown
inline constexpr int kExitNothing = 1;  // the command ran and found nothing to write
inline constexpr int kExitUsage = 2;    // a usage error, or a file that cannot be read or written

using Args = std::vector<std::string>;

// Where a command writes: results on out, messages and progress on err.
struct Io {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;  // a progress bar is drawn only on a terminal
};

struct Command {
  const char* name;
  const char* usage;    // the arguments after the command's name
  const char* summary;  // one line for the list of commands
  const char* help;     // the options, one per line ("" when there are none)
  int (*run)(const Args& args, Io& io);
};

// Parses and runs one command line (without the program's name).
int RunCli(const Args& args, Io& io);

// The table of commands, in the order --help lists them.
const std::vector<Command>& Commands();

// One option of a command: "--exact" or, with a value, "--from N" / "--from=N".
struct OptionSpec {
  const char* name;
  bool takesValue;
};

struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // present options ("" for flags)
  std::string error;                           // empty when the line is well formed

  bool has(const std::string& name) const { return options.count(name) != 0; }
  std::string value(const std::string& name) const;
};

// Splits args into options and positional arguments; an unknown option, a
// missing value or a positional count outside [minPositional, maxPositional]
// sets error (in Russian).
ParsedArgs ParseArgs(const Args& args, std::initializer_list<OptionSpec> specs, std::size_t minPositional,
                     std::size_t maxPositional);

// Prints "reelo-cli: <why>" and the command's usage to err; returns kExitUsage.
int UsageError(Io& io, const char* command, const std::string& why);

// A whole decimal number in [min, max]; false for anything else.
bool ParseNumber(const std::string& text, long long min, long long max, long long& value);

// Prints a failure "reelo-cli: <message>[: <detail>]" to err.
void PrintFailure(Io& io, const std::string& message, const std::string& detail = {});

// Reads a tape file into an empty project, printing any warning; false (after
// printing the reason) when it cannot be read.
bool ReadTape(const std::string& path, TapeProject& project, Io& io);

// Writes the project as a TAP file at path, atomically; false (after printing
// the reason) when it could not be written.
bool WriteTape(TapeProject& project, const std::string& path, Io& io);

}  // namespace reelo::cli
