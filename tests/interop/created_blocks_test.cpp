// Blocks made from files, put into a project and saved as a TAP file, read by
// the tools of fuse-emulator-utils: tzxlist shows the names, start addresses,
// lengths and autostart lines we set, and listbasic lists the program. A
// screen saved as PNG is read by pypng.
#include <gtest/gtest.h>

#include <string>

#include <fstream>

#include "blocks/block_export.h"
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

// A PNG reader we did not write (pypng, pure Python, no libpng) takes our
// file: its checksums, its palette and the pixels of the screen.
TEST(SavedPicture, DecodesWithAnIndependentReader) {
  const std::filesystem::path python = "/usr/bin/python3";
  if (!std::filesystem::exists(python)) GTEST_SKIP() << "Debian's python3 is not installed";
  TempDir dir;
  testing::Bytes screen(6912, 0);
  screen[0] = 0x80;                  // pixel (0, 0) set
  screen[6144] = (1 << 3) | 6;       // cell (0, 0): yellow ink on blue paper; the others black
  const MadeBlocks made = MakeScreenBlocks(screen, "pic");
  ASSERT_TRUE(made.status.ok());
  const auto picture = dir / "screen.png";
  ASSERT_TRUE(SaveDataFile({made.blocks[1]}, DataFileKind::PictureDouble, ScreenMode::Colour, picture.string()).ok());
  const std::string script =
      "import sys\n"
      "try:\n"
      "    import png\n"
      "except ImportError:\n"
      "    print('no pypng'); sys.exit(0)\n"
      "w, h, rows, info = png.Reader(filename=sys.argv[1]).asRGB8()\n"
      "rows = [list(r) for r in rows]\n"
      "px = lambda x, y: tuple(rows[y][3 * x:3 * x + 3])\n"
      "print(w, h, len(rows) == h, px(0, 0), px(1, 1), px(2, 0), px(511, 383))\n";
  std::ofstream(dir / "check.py") << script;
  ASSERT_TRUE(RunTool(python.string() + " " + Quoted(dir / "check.py") + " " + Quoted(picture), dir / "out.txt"));
  if (ReadText(dir / "out.txt") == "no pypng\n") GTEST_SKIP() << "python3-png is not installed";
  EXPECT_EQ(ReadText(dir / "out.txt"), "512 384 True (200, 200, 0) (200, 200, 0) (0, 0, 200) (0, 0, 0)\n");
}

}  // namespace
}  // namespace reelo
