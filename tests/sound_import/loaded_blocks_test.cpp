// Taking decoded records into the project, and the recording reader's edges.
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "import_fakes.h"
#include "sound/import/loaded_blocks.h"
#include "sound/import/pulse_measure.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::TempDir;

TapeProject ProjectOf(int blocks) {
  TapeProject project;
  for (int i = 0; i < blocks; ++i) project.blocks.push_back(testing::MakeDataBlock({static_cast<std::uint8_t>(i)}));
  return project;
}

TEST(AddLoadedBlocks, AppendsRecordsUnchangedAfterTheLastBlock) {
  TapeProject project = ProjectOf(3);
  project.blockSelected = true;
  ImportState state;
  const TapeBlock eighteen = testing::MakeRawRecord(testing::RandomBytes(18));
  const TapeBlock badChecksum = testing::MakeRawRecord({0xFF, 0x01, 0x02, 0x77});
  state.loadedBlocks = {eighteen, badChecksum};

  EXPECT_EQ(AddLoadedBlocks(project, state).kind, OpResult::Kind::Ok);
  ASSERT_EQ(project.blockCount(), 5);
  EXPECT_EQ(project.blocks[3], eighteen);
  EXPECT_EQ(project.blocks[3][0], 18);
  EXPECT_EQ(project.blocks[3][1], 0);
  EXPECT_EQ(project.blocks[4], badChecksum);
  EXPECT_TRUE(project.modified) << "new blocks must not be lost without the save question";
  EXPECT_FALSE(project.blockSelected);
  EXPECT_EQ(state.loadedBlockCount(), 2) << "the store is kept";

  AddLoadedBlocks(project, state);
  EXPECT_EQ(project.blockCount(), 7) << "adding again appends the same records again";
  EXPECT_EQ(project.blocks[6], badChecksum);
}

TEST(AddLoadedBlocks, NothingLoadedChangesNothing) {
  TapeProject project = ProjectOf(2);
  EXPECT_EQ(AddLoadedBlocks(project, ImportState{}).kind, OpResult::Kind::Ok);
  EXPECT_EQ(project.blockCount(), 2);
  EXPECT_FALSE(project.modified);
}

TEST(AddLoadedBlocks, AddsWhatFitsAndSaysHowManyDidNot) {
  struct Case {
    int inProject, loaded, added;
    const char* message;
  };
  const std::vector<Case> cases = {
      {998, 5, 2, "В проекте может быть не больше 1000 блоков: не добавлено загруженных блоков: 3."},
      {1000, 1, 0, "В проекте может быть не больше 1000 блоков: не добавлено загруженных блоков: 1."},
      {995, 5, 5, ""},
  };
  for (const auto& c : cases) {
    TapeProject project = ProjectOf(c.inProject);
    ImportState state;
    for (int i = 0; i < c.loaded; ++i) state.loadedBlocks.push_back(MakeRecord({static_cast<std::uint8_t>(i)}));
    const OpResult result = AddLoadedBlocks(project, state);
    EXPECT_EQ(project.blockCount(), c.inProject + c.added);
    EXPECT_EQ(result.message, c.message);
    EXPECT_EQ(result.kind, c.added < c.loaded ? OpResult::Kind::Warning : OpResult::Kind::Ok);
    EXPECT_EQ(project.modified, c.added > 0);
    if (c.added > 0) {
      EXPECT_EQ(project.blocks.back(), state.loadedBlocks[static_cast<std::size_t>(c.added - 1)]);
    }
  }
}

TEST(RecordingReader, OutsideTheFileIsTheRestLevel) {
  TempDir dir;
  testing::WriteFileBytes(dir / "r.wav", {10, 20, 30});
  RecordingReader recording;
  ASSERT_TRUE(recording.Open((dir / "r.wav").string()).ok());
  EXPECT_EQ(recording.length(), 3);
  const std::vector<std::pair<std::int64_t, int>> samples = {{-5, 127}, {0, 127}, {1, 10}, {3, 30}, {4, 127}, {1000, 127}};
  for (auto [position, value] : samples) EXPECT_EQ(recording.SampleAt(position), value) << position;
  EXPECT_FALSE(recording.readFailed());
}

// Positions past 2^31 work: a sparse file of 3 GB with a pulse near its end.
TEST(RecordingReader, PositionsBeyond32Bits) {
  TempDir dir;
  const auto path = dir / "big.wav";
  const std::int64_t size = std::int64_t{3} << 30;
  const std::int64_t pulseAt = size - 100;  // 1-based position of the rising sample
  {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    const std::uint8_t pulse[] = {200, 200, 200, 10};
    ASSERT_EQ(::pwrite(fd, pulse, sizeof pulse, pulseAt - 1), static_cast<ssize_t>(sizeof pulse));
    ::close(fd);
  }
  RecordingReader recording;
  ASSERT_TRUE(recording.Open(path.string()).ok());
  EXPECT_EQ(recording.length(), size);
  EXPECT_EQ(recording.SampleAt(pulseAt), 200);
  testing::FakeHost host;
  Pacer pacer = EventsPacer(host);
  std::int64_t position = pulseAt - 1000;
  EXPECT_EQ(MeasurePulse(recording, position, pacer), 3);
  EXPECT_EQ(position, pulseAt + 4);
}

}  // namespace
}  // namespace reelo
