// TAP files made by tools no one here wrote load into the expected blocks and
// list lines, and save back byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "external_tools.h"
#include "project/block_list.h"
#include "project/checksum.h"
#include "project/tap_file.h"
#include "tape_builders.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;
using testing::Quoted;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::ToolInPath;

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
}

int RunQuiet(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

void ExpectRoundTrip(const fs::path& tap, const fs::path& copy, TapeProject& project) {
  NullProgress progress;
  ASSERT_EQ(LoadTapFile(project, tap.string(), progress).kind, OpResult::Kind::Ok);
  for (const auto& block : project.blocks) EXPECT_TRUE(ChecksumMatches(block));
  project.fileName = copy.string();
  ASSERT_TRUE(SaveTapFile(project, progress).ok());
  EXPECT_EQ(ReadFileBytes(copy), ReadFileBytes(tap));
}

TEST(ProjectInterop, ZmakebasProgramLoadsAsHeaderAndData) {
  if (!ToolInPath("zmakebas")) GTEST_SKIP() << "zmakebas is not installed";
  TempDir dir;
  WriteText(dir / "p.bas", "10 PRINT \"HELLO\"\n20 GO TO 10\n");
  ASSERT_EQ(RunQuiet("zmakebas -n hello -o " + Quoted(dir / "p.tap") + " " + Quoted(dir / "p.bas")), 0);
  TapeProject project;
  ExpectRoundTrip(dir / "p.tap", dir / "copy.tap", project);
  ASSERT_EQ(project.blockCount(), 2);
  EXPECT_EQ(BlockListLine(project.blocks[0]), "Program: hello     ");
  const int programLength = RecordLength(project.blocks[1]) - 2;
  EXPECT_EQ(BlockListLine(project.blocks[1]), "     " + NumberText(programLength) + " байт данных");
  auto summary = Summarize(project);
  EXPECT_EQ(summary.filesText, "Файлов: 1");
  EXPECT_EQ(summary.dataText, "Всего данных:" + NumberText(programLength + 2) + " байт");
}

TEST(ProjectInterop, PasmoTapbasGivesLoaderAndCodeBlocks) {
  if (!ToolInPath("pasmo")) GTEST_SKIP() << "pasmo is not installed";
  TempDir dir;
  WriteText(dir / "c.asm", "org 32768\nstart: ld a,2\n call 5633\n ld a,65\n rst 16\n ret\n end start\n");
  ASSERT_EQ(RunQuiet("cd " + Quoted(dir.path()) + " && pasmo --tapbas c.asm c.tap"), 0);
  TapeProject project;
  ExpectRoundTrip(dir / "c.tap", dir / "copy.tap", project);
  ASSERT_EQ(project.blockCount(), 4);
  EXPECT_EQ(BlockListLine(project.blocks[0]).rfind("Program: ", 0), 0u);
  EXPECT_EQ(BlockListLine(project.blocks[2]).rfind("Bytes: ", 0), 0u);
  EXPECT_EQ(BlockListLine(project.blocks[3]), "      9 байт данных");  // the nine bytes of code
}

}  // namespace
}  // namespace reelo
