// Running the tape tools from Debian's packages (fuse-emulator-utils, zmakebas,
// pasmo) through the shell, for tests that check against them.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace reelo::testing {

// Whether the shell finds the program (a test without it is skipped).
inline bool ToolInPath(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// A path as one shell word; the temporary folders' names have no quote in them.
inline std::string Quoted(const std::filesystem::path& path) {
  std::string word(1, '\'');
  word += path.string();
  word += '\'';
  return word;
}

// Runs a shell command with its output in log; the log is printed on failure.
inline ::testing::AssertionResult RunTool(const std::string& command, const std::filesystem::path& log) {
  const int status = std::system((command + " >" + Quoted(log) + " 2>&1").c_str());
  if (status == 0) return ::testing::AssertionSuccess();
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  return ::testing::AssertionFailure() << command << " failed (status " << status << "):\n" << text.str();
}

}  // namespace reelo::testing
