// Blocks made from files, put into a project and saved as a TAP file, read by
// the tools of fuse-emulator-utils: tzxlist shows the names, start addresses,
// lengths and autostart lines we set, and listbasic lists the program. A
// screen saved as PNG is read by Python's zlib.
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

// Python's zlib, a reader we did not write, takes our PNG: every chunk's CRC,
// the zlib stream with its Adler-32, and the pixels of the screen.
TEST(SavedPicture, DecodesWithPythonsZlib) {
  if (!ToolInPath("python3")) GTEST_SKIP() << "python3 is not installed";
  TempDir dir;
  testing::Bytes screen(6912, 0);
  screen[0] = 0x80;                  // pixel (0, 0) set
  screen[6144] = (1 << 3) | 6;       // cell (0, 0): yellow ink on blue paper; the others black
  const MadeBlocks made = MakeScreenBlocks(screen, "pic");
  ASSERT_TRUE(made.status.ok());
  const auto png = dir / "screen.png";
  ASSERT_TRUE(SaveDataFile({made.blocks[1]}, DataFileKind::PictureDouble, ScreenMode::Colour, png.string()).ok());
  const std::string script =
      "import struct, sys, zlib\n"
      "d = open(sys.argv[1], 'rb').read()\n"
      "assert d[:8] == b'\\x89PNG\\r\\n\\x1a\\n'\n"
      "p, idat = 8, b''\n"
      "while p < len(d):\n"
      "    n, t = struct.unpack('>I4s', d[p:p + 8])\n"
      "    assert zlib.crc32(d[p + 4:p + 8 + n]) == struct.unpack('>I', d[p + 8 + n:p + 12 + n])[0], t\n"
      "    if t == b'IHDR': w, h = struct.unpack('>II', d[p + 8:p + 16])\n"
      "    if t == b'IDAT': idat += d[p + 8:p + 8 + n]\n"
      "    p += 12 + n\n"
      "raw = zlib.decompress(idat)\n"
      "row = 1 + 3 * w\n"
      "px = lambda x, y: tuple(raw[y * row + 1 + 3 * x:y * row + 4 + 3 * x])\n"
      "print(w, h, len(raw) == h * row, px(0, 0), px(1, 1), px(2, 0), px(511, 383))\n";
  std::ofstream(dir / "check.py") << script;
  ASSERT_TRUE(RunTool("python3 " + Quoted(dir / "check.py") + " " + Quoted(png), dir / "out.txt"));
  EXPECT_EQ(ReadText(dir / "out.txt"), "512 384 True (200, 200, 0) (200, 200, 0) (0, 0, 200) (0, 0, 0)\n");
}

}  // namespace
}  // namespace reelo
