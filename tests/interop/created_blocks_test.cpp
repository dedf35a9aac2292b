// Blocks made from files, put into a project and saved as a TAP file, read by
// the tools of fuse-emulator-utils: tzxlist shows the names, start addresses,
// lengths and autostart lines we set, and listbasic lists the program.
#include <gtest/gtest.h>

#include <string>

#include "blocks/block_makers.h"
#include "external_tools.h"
#include "project/edits.h"
#include "project/tap_file.h"
#include "tape_builders.h"

namespace reelo {
namespace {

using testing::Quoted;
using testing::ReadFileBytes;
using testing::RunTool;
using testing::TempDir;
using testing::ToolInPath;

std::string ReadText(const std::filesystem::path& path) {
  const testing::Bytes bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(CreatedBlocks, ReadByTzxlistWithTheirNamesStartsAndLengths) {
  if (!ToolInPath("tzxlist") || !ToolInPath("tapeconv")) GTEST_SKIP() << "fuse-emulator-utils are not installed";
  TempDir dir;
  TapeProject project;
  EditHistory history;
  const MadeBlocks code = MakeCodeBlocks(testing::RandomBytes(1234, 7), "loader", 40000);
  const MadeBlocks screen = MakeScreenBlocks(testing::RandomBytes(6912, 8), "picture");
  const MadeBlocks program = MakeProgramBlocks("10 PRINT \"hi\"\n20 GO TO 10\n", "prog", 20);
  for (const MadeBlocks* made : {&code, &screen, &program}) {
    ASSERT_TRUE(made->status.ok()) << made->status.message;
    ASSERT_TRUE(InsertBlocks(project, history, project.blockCount(), made->blocks).changed);
  }
  project.fileName = (dir / "made.tap").string();
  NullProgress progress;
  ASSERT_TRUE(SaveTapFile(project, progress).ok());

  ASSERT_TRUE(RunTool("tapeconv " + Quoted(dir / "made.tap") + " " + Quoted(dir / "made.tzx"), dir / "conv.log"));
  ASSERT_TRUE(RunTool("tzxlist " + Quoted(dir / "made.tzx"), dir / "list.txt"));
  const std::string list = ReadText(dir / "list.txt");
  for (const char* expected : {"Bytes: \"loader    \" CODE  40000, 1234",  //
                               "Bytes: \"picture   \" SCREEN$  16384, 6912", "Program: \"prog      \" LINE 20"}) {
    EXPECT_NE(list.find(expected), std::string::npos) << expected << "\n" << list;
  }
  if (!ToolInPath("listbasic")) return;
  ASSERT_TRUE(RunTool("listbasic " + Quoted(dir / "made.tap"), dir / "basic.txt"));
  EXPECT_NE(ReadText(dir / "basic.txt").find("GO TO 10"), std::string::npos) << ReadText(dir / "basic.txt");
}

}  // namespace
}  // namespace reelo
