#include "project/tap_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "file_size_limit.h"
#include "recording_progress.h"
#include "tape_builders.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::Concat;
using testing::MakeDataBlock;
using testing::MakeHeader;
using testing::MakeRawRecord;
using testing::ReadFileBytes;
using testing::RecordingProgress;
using testing::TempDir;
using testing::WriteFileBytes;

OpResult Load(TapeProject& project, const fs::path& path) {
  NullProgress progress;
  return LoadTapFile(project, path.string(), progress);
}

TEST(LoadTapFile, AppendsEveryRecordAndSavesBackIdentically) {
  TempDir dir;
  const Bytes file = Concat({MakeHeader(0, "prog", 3), MakeDataBlock({1, 2, 3}), MakeRawRecord({}),
                             MakeRawRecord({0x55}), MakeDataBlock(Bytes(6912, 0x38))});
  WriteFileBytes(dir / "in.tap", file);
  TapeProject project;
  ASSERT_EQ(Load(project, dir / "in.tap").kind, OpResult::Kind::Ok);
  ASSERT_EQ(project.blockCount(), 5);
  EXPECT_EQ(project.blocks[2], (TapeBlock{0, 0}));
  EXPECT_EQ(project.blocks[3], (TapeBlock{1, 0, 0x55}));

  project.fileName = (dir / "out.tap").string();
  project.modified = true;
  NullProgress progress;
  ASSERT_TRUE(SaveTapFile(project, progress).ok());
  EXPECT_FALSE(project.modified);
  EXPECT_EQ(ReadFileBytes(dir / "out.tap"), file);
}

TEST(LoadTapFile, AppendsAfterExistingBlocksInFileOrder) {
  TempDir dir;
  WriteFileBytes(dir / "a.tap", Concat({MakeDataBlock({7}), MakeDataBlock({8})}));
  TapeProject project;
  project.blocks = {MakeDataBlock({1})};
  ASSERT_TRUE(Load(project, dir / "a.tap").ok());
  ASSERT_EQ(project.blockCount(), 3);
  EXPECT_EQ(project.blocks[1], MakeDataBlock({7}));
  EXPECT_EQ(project.blocks[2], MakeDataBlock({8}));
}

struct DamagedCase {
  const char* name;
  Bytes file;
  int blocksKept;
  OpResult::Kind kind;
  const char* warningPart;  // a piece the warning must contain
};

class DamagedFileTest : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedFileTest, KeepsWholeRecordsAndSaysWhatWasLeft) {
  TempDir dir;
  WriteFileBytes(dir / "d.tap", GetParam().file);
  TapeProject project;
  project.blocks = {MakeDataBlock({42})};
  OpResult result = Load(project, dir / "d.tap");
  EXPECT_EQ(result.kind, GetParam().kind) << result.message;
  EXPECT_EQ(project.blockCount(), 1 + GetParam().blocksKept);
  EXPECT_NE(result.message.find(GetParam().warningPart), std::string::npos) << result.message;
  EXPECT_EQ(project.blocks[0], MakeDataBlock({42}));
}

Bytes TruncatedAfterOneRecord() {
  Bytes file = Concat({MakeDataBlock({1, 2}), MakeDataBlock(Bytes(100, 9))});
  file.resize(file.size() - 10);
  return file;
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedFileTest,
    ::testing::Values(
        DamagedCase{"Empty", {}, 0, OpResult::Kind::Ok, ""},
        DamagedCase{"OneByte", {0x13}, 0, OpResult::Kind::Ok, ""},
        DamagedCase{"OneByteAfterLastRecordIgnored", Concat({MakeDataBlock({1}), TapeBlock{0x77}}), 1,
                    OpResult::Kind::Ok, ""},
        // The second record starts at offset 6 and 94 of its 104 bytes are present.
        DamagedCase{"TruncatedLastRecord", TruncatedAfterOneRecord(), 1, OpResult::Kind::Warning,
                    "не загружено 94 байт со смещения 6"},
        DamagedCase{"LengthFieldPromisesMoreThanFile", {0xFF, 0xFF, 1, 2, 3}, 0, OpResult::Kind::Warning,
                    "не загружено 5 байт со смещения 0"},
        // 00 00 is a whole record of length 0, even as the file's last two bytes.
        DamagedCase{"FinalZeroLengthRecord", Concat({MakeDataBlock({1}), TapeBlock{0x00, 0x00}}), 2,
                    OpResult::Kind::Ok, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadTapFile, KeepsWhatFitsUnderTheBlockLimitAndCountsTheRest) {
  TempDir dir;
  Bytes file;
  for (int i = 0; i < 1003; ++i) {
    auto block = MakeDataBlock({static_cast<std::uint8_t>(i)});
    file.insert(file.end(), block.begin(), block.end());
  }
  WriteFileBytes(dir / "big.tap", file);
  TapeProject project;
  project.blocks = {MakeDataBlock({1}), MakeDataBlock({2})};
  OpResult result = Load(project, dir / "big.tap");
  EXPECT_TRUE(result.isWarning());
  EXPECT_EQ(project.blockCount(), 1000);
  EXPECT_EQ(project.blocks[999], MakeDataBlock({static_cast<std::uint8_t>(997)}));
  EXPECT_NE(result.message.find("не загружено блоков из файла: 5"), std::string::npos) << result.message;
}

TEST(LoadTapFile, MissingFileOrFolderChangesNothing) {
  TempDir dir;
  for (const fs::path& path : {dir / "absent.tap", dir.path()}) {
    TapeProject project;
    project.blocks = {MakeDataBlock({1})};
    OpResult result = Load(project, path);
    EXPECT_EQ(result.kind, OpResult::Kind::Error) << path;
    EXPECT_NE(result.message.find("Не удалось открыть файл"), std::string::npos);
    EXPECT_NE(result.message.find(path.string()), std::string::npos);
    EXPECT_FALSE(result.detail.empty());
    EXPECT_EQ(project.blockCount(), 1);
  }
}

TEST(LoadTapFile, ProgressShowsNextReadPositionAfterEveryRecord) {
  TempDir dir;
  WriteFileBytes(dir / "p.tap", Concat({MakeDataBlock({1}), MakeRawRecord({}), MakeDataBlock({1, 2, 3})}));
  TapeProject project;
  RecordingProgress progress;
  ASSERT_TRUE(LoadTapFile(project, (dir / "p.tap").string(), progress).ok());
  EXPECT_EQ(progress.labels, std::vector<std::string>{"Загрузка TAP-файла, подождите..."});
  EXPECT_EQ(progress.maximums, std::vector<long long>{15});  // file size 14, plus one
  EXPECT_EQ(progress.values, (std::vector<long long>{6, 8, 15}));
  EXPECT_EQ(progress.ended, 1);
}

TEST(SaveTapFile, ProgressShowsIndexOfEachBlockWritten) {
  TempDir dir;
  TapeProject project;
  project.fileName = (dir / "s.tap").string();
  project.blocks = {MakeDataBlock({1}), MakeDataBlock({2}), MakeDataBlock({3})};
  RecordingProgress progress;
  ASSERT_TRUE(SaveTapFile(project, progress).ok());
  EXPECT_EQ(progress.labels, std::vector<std::string>{"Сохранение TAP-файла, подождите..."});
  EXPECT_EQ(progress.maximums, std::vector<long long>{4});
  EXPECT_EQ(progress.values, (std::vector<long long>{0, 1, 2}));
  EXPECT_EQ(progress.ended, 1);
}

TEST(SaveTapFile, EmptyProjectWritesEmptyFileOverLongerOne) {
  TempDir dir;
  WriteFileBytes(dir / "e.tap", Bytes(5000, 1));
  TapeProject project;
  project.fileName = (dir / "e.tap").string();
  project.modified = true;
  NullProgress progress;
  ASSERT_TRUE(SaveTapFile(project, progress).ok());
  EXPECT_EQ(fs::file_size(dir / "e.tap"), 0u);
  EXPECT_FALSE(project.modified);
}

// The old file survives a failed save, modified stays set, and no temporary
// file is left behind.
void ExpectFailedSaveKeepsEverything(const fs::path& target, const fs::path& folder) {
  TapeProject project;
  project.fileName = target.string();
  project.blocks = {MakeDataBlock({1, 2, 3})};
  project.modified = true;
  NullProgress progress;
  OpResult result = SaveTapFile(project, progress);
  EXPECT_EQ(result.kind, OpResult::Kind::Error);
  EXPECT_EQ(result.message, "Проблемы с сохранением файла. Файл не сохранён.");
  EXPECT_TRUE(project.modified);
  if (fs::is_directory(folder)) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      EXPECT_EQ(entry.path().filename().string().find(".reelo-save"), std::string::npos) << entry.path();
    }
  }
}

TEST(SaveTapFile, FolderThatDoesNotExistFails) {
  TempDir dir;
  ExpectFailedSaveKeepsEverything(dir / "missing" / "x.tap", dir / "missing");
}

TEST(SaveTapFile, ParentThatIsAFileFails) {
  TempDir dir;
  WriteFileBytes(dir / "plain", {1});
  ExpectFailedSaveKeepsEverything(dir / "plain" / "x.tap", dir.path());
  EXPECT_EQ(ReadFileBytes(dir / "plain"), Bytes{1});
}

TEST(SaveTapFile, TargetThatIsAFolderFailsAndStaysAFolder) {
  TempDir dir;
  fs::create_directory(dir / "folder.tap");
  ExpectFailedSaveKeepsEverything(dir / "folder.tap", dir.path());
  EXPECT_TRUE(fs::is_directory(dir / "folder.tap"));
}

// A file-size limit makes the write fail part-way, as a full disk would.
TEST(SaveTapFile, WriteFailureLeavesOldFileUntouched) {
  TempDir dir;
  const Bytes old = Concat({MakeDataBlock({1}), MakeDataBlock({2})});
  WriteFileBytes(dir / "keep.tap", old);
  const int status = testing::ExitStatusUnderFileSizeLimit(4096, [&] {
    TapeProject project;
    project.fileName = (dir / "keep.tap").string();
    project.blocks = {MakeDataBlock(Bytes(60000, 7))};
    project.modified = true;
    NullProgress progress;
    OpResult result = SaveTapFile(project, progress);
    return !result.ok() && project.modified && result.detail == "файл слишком велик" ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFileBytes(dir / "keep.tap"), old);
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().filename(), "keep.tap");
  }
}

// The same in a table: the limit falls inside the first record, exactly
// where the first call to the system ends (256 records of 65537 bytes), at
// the last byte; a limit of exactly the file's size lets the save through.
TEST(SaveTapFile, WriteFailingAtAnyByteKeepsTheOldFile) {
  const TapeBlock record = MakeRawRecord(testing::RandomBytes(65535, 51));
  const std::uint64_t fileSize = 300 * 65537;
  struct Row {
    const char* name;
    std::uint64_t limit;
    bool saved;
  };
  const Row rows[] = {
      {"inside_the_first_record", 4096, false},
      {"at_the_end_of_the_first_call", 256 * 65537, false},
      {"the_last_byte", fileSize - 1, false},
      {"exactly_the_file", fileSize, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const Bytes old = Concat({MakeDataBlock({1}), MakeDataBlock({2})});
    WriteFileBytes(dir / "keep.tap", old);
    const int status = testing::ExitStatusUnderFileSizeLimit(row.limit, [&] {
      TapeProject project;
      project.fileName = (dir / "keep.tap").string();
      project.blocks.assign(300, record);
      project.modified = true;
      NullProgress progress;
      const OpResult result = SaveTapFile(project, progress);
      if (result.ok()) return project.modified ? 3 : 1;
      return project.modified && result.detail == "файл слишком велик" ? 0 : 2;
    });
    EXPECT_EQ(status, row.saved ? 1 : 0);
    const Bytes file = ReadFileBytes(dir / "keep.tap");
    if (row.saved) {
      EXPECT_EQ(file.size(), fileSize);
      EXPECT_EQ(Bytes(file.end() - 65537, file.end()), Bytes(record.begin(), record.end()));
    } else {
      EXPECT_EQ(file, old);
    }
    for (const auto& entry : fs::directory_iterator(dir.path())) EXPECT_EQ(entry.path().filename(), "keep.tap");
  }
}

}  // namespace
}  // namespace reelo
