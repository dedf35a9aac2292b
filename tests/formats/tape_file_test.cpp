// Tapes of every format load into the records they hold, with one message
// that counts what was taken, converted, decoded and left out; broken files
// change nothing and say why; saving picks TZX or TAP by the name.
#include "formats/tape_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "project/tap_file.h"
#include "recording_progress.h"
#include "tape_images.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;
using namespace reelo::testing;

const TapeBlock kHeader = MakeHeader(0, "hello", 10);
const TapeBlock kData = MakeDataBlock(RandomBytes(10, 3));
const TapeBlock kLong = MakeDataBlock(RandomBytes(300, 5));

TapeBlock WithBadChecksum(TapeBlock record) {
  record.mutableBytes().back() ^= 0x55;
  return record;
}

// A PZX file: the header block, then PULS (a pilot and the two sync pulses),
// DATA with the ROM's bit pulses, and PAUS for each record.
Bytes Pzx(std::initializer_list<TapeBlock> records) {
  Bytes out;
  auto block = [&out](const char* tag, const Bytes& body) {
    out.insert(out.end(), tag, tag + 4);
    PutWord(out, static_cast<std::uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
  };
  block("PZXT", {1, 0});
  for (const TapeBlock& record : records) {
    Bytes puls;
    PutWord(puls, 0x8000 | (record[2] < 0x80 ? 8063 : 3223), 2);
    for (int v : {2168, 667, 735}) PutWord(puls, v, 2);
    block("PULS", puls);
    Bytes data;
    PutWord(data, static_cast<std::uint32_t>((record.size() - 2) * 8), 4);
    PutWord(data, 945, 2);
    data.push_back(2);
    data.push_back(2);
    for (int v : {855, 855, 1710, 1710}) PutWord(data, v, 2);
    data.insert(data.end(), record.begin() + 2, record.end());
    block("DATA", data);
    Bytes paus;
    PutWord(paus, 3500000, 4);
    block("PAUS", paus);
  }
  return out;
}

struct LoadCase {
  const char* name;
  Bytes file;
  std::vector<TapeBlock> records;
  TapeLoadCounts counts;
  OpResult::Kind kind = OpResult::Kind::Warning;
};

void ExpectCounts(const TapeLoadCounts& got, const TapeLoadCounts& want) {
  EXPECT_EQ(got.taken, want.taken);
  EXPECT_EQ(got.keptKinds, want.keptKinds);
  EXPECT_EQ(got.converted, want.converted);
  EXPECT_EQ(got.badChecksums, want.badChecksums);
  EXPECT_EQ(got.signalBlocks, want.signalBlocks);
  EXPECT_EQ(got.decodedRecords, want.decodedRecords);
  EXPECT_EQ(got.signalWithoutData, want.signalWithoutData);
  EXPECT_EQ(got.pauses, want.pauses);
  EXPECT_EQ(got.groups, want.groups);
  EXPECT_EQ(got.texts, want.texts);
  EXPECT_EQ(got.unknown, want.unknown);
  EXPECT_EQ(got.recordsLeftOut, want.recordsLeftOut);
}

TapeLoadCounts Counts(std::initializer_list<std::pair<int TapeLoadCounts::*, int>> fields) {
  TapeLoadCounts counts;
  for (const auto& [field, value] : fields) counts.*field = value;
  return counts;
}

using C = TapeLoadCounts;
constexpr OpResult::Kind kOk = OpResult::Kind::Ok;

TEST(TapeFile, LoadsEveryKindOfBlockIntoTheRecordsItHolds) {
  const Bytes truncated = [] {
    Bytes tzx = Tzx({TzxRom(kHeader), TzxRom(kData)});
    tzx.resize(tzx.size() - 3);
    return tzx;
  }();
  const std::vector<LoadCase> cases = {
      {"standard blocks", Tzx({TzxRom(kHeader), TzxRom(kData)}), {kHeader, kData}, Counts({{&C::taken, 2}}), kOk},
      // Read apart from libspectrum, and through it once a pause is among them.
      {"empty and one-byte records",
       Tzx({TzxRom(MakeRawRecord({})), TzxRom(MakeRawRecord({0xAA})), TzxRom(kLong)}),
       {MakeRawRecord({}), MakeRawRecord({0xAA}), kLong},
       Counts({{&C::taken, 3}}),
       kOk},
      {"empty and one-byte records and a pause",
       Tzx({TzxRom(MakeRawRecord({})), TzxRom(MakeRawRecord({0xAA})), TzxRom(kLong), TzxPause(0)}),
       {MakeRawRecord({}), MakeRawRecord({0xAA}), kLong},
       Counts({{&C::taken, 3}, {&C::keptKinds, 1}}),
       kOk},
      {"no blocks", Tzx({}), {}, {}, kOk},
      // Every block is kept as it is, timings and all: nothing to warn about.
      {"turbo, and pure data after its own tone and sync",
       Tzx({TzxTurbo(Body(kHeader)), TzxPureTone(2168, 3223), TzxPulses({667, 735}), TzxPureData(Body(kData))}),
       {kHeader, kData},
       Counts({{&C::keptKinds, 4}}),
       kOk},
      {"turbo block at the ROM's own timings",
       Tzx({TzxTurbo(Body(kData), 2168, 855, 1710, 667, 735)}),
       {kData},
       Counts({{&C::keptKinds, 1}}),
       kOk},
      {"turbo block with the ROM's timings but its own second sync",
       Tzx({TzxTurbo(Body(kData), 2168, 855, 1710, 667, 700)}),
       {kData},
       Counts({{&C::keptKinds, 1}}),
       kOk},
      {"turbo block with a wrong checksum",
       Tzx({TzxTurbo(Body(WithBadChecksum(kData)))}),
       {WithBadChecksum(kData)},
       Counts({{&C::keptKinds, 1}}),
       kOk},
      {"turbo block of the longest record",
       Tzx({TzxTurbo(Body(MakeRawRecord(Bytes(65535, 0x5A))))}),
       {MakeRawRecord(Bytes(65535, 0x5A))},
       Counts({{&C::keptKinds, 1}}),
       kOk},
      {"pure data ending in a part byte keeps its bytes and used bits",
       Tzx({TzxPureData(Body(kData), 5)}),
       {kData},
       Counts({{&C::keptKinds, 1}}),
       kOk},
      {"blocks without data",
       Tzx({TzxText(0x30, "side A"),
            TzxText(0x21, "game"),
            TzxRom(kHeader),
            TzxPause(500),
            TzxRom(kData),
            {0x22},
            {0x2A, 0, 0, 0, 0}}),
       {kHeader, kData},
       Counts({{&C::taken, 2}, {&C::keptKinds, 5}}),
       kOk},
      {"unknown and unsupported blocks",
       Tzx({TzxSkippable(0x4B, {1, 2, 3}), TzxRom(kHeader), {0x27}, TzxSkippable(0x16, {9, 9})}),
       {kHeader},
       Counts({{&C::taken, 1}, {&C::keptKinds, 3}}),
       kOk},
      {"direct recording kept as a recording",
       Tzx({TzxDirectRecording(
           Joined({Silence(100), RomPulses(kHeader), Silence(300), RomPulses(kLong), Silence(300)}))}),
       {},
       Counts({{&C::keptKinds, 1}}),
       kOk},
      // One recording block that holds the file's pulses; a TAP save decodes it.
      {"CSW recording of two records",
       CswV1(Joined({Silence(100), RomPulses(kHeader), Silence(300), RomPulses(kLong), Silence(300)})),
       {},
       Counts({{&C::keptKinds, 1}}),
       kOk},
      {"CSW at 3.5 MHz, a sample a T-state",
       CswV2(3500000, 1, [] {
         Bytes pulses;
         for (std::uint32_t n : PulsesInSamples(Joined({Silence(10), RomPulses(kData), Silence(30)}), 3500000)) {
           pulses.push_back(0);
           PutWord(pulses, n, 4);
         }
         return pulses;
       }()),
       {},
       Counts({{&C::keptKinds, 1}}),
       kOk},
      {"PZX of two records", Pzx({kHeader, kData}), {kHeader, kData}, Counts({{&C::taken, 2}}), kOk},
      {"a last block cut short", truncated, {kHeader}, Counts({{&C::taken, 1}})},
      {"TAP records in a file named .tzx", Concat({kHeader, kData}), {kHeader, kData}, {}, kOk},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteFileBytes(dir / "tape.tzx", c.file);
    TapeProject project;
    project.blocks.push_back(kLong);  // loading appends
    RecordingProgress progress;
    TapeLoadCounts counts;
    const OpResult result = LoadTapeFile(project, (dir / "tape.tzx").string(), progress, &counts);
    ASSERT_TRUE(result.ok()) << result.message << ": " << result.detail;
    std::vector<TapeBlock> expected{kLong};
    expected.insert(expected.end(), c.records.begin(), c.records.end());
    EXPECT_EQ(RecordBytes(project.blocks), expected);
    ExpectCounts(counts, c.counts);
    EXPECT_EQ(result.kind, c.kind) << result.message;
    EXPECT_EQ(progress.begun, 1);
    EXPECT_EQ(progress.ended, 1);
    // One bar over the file, ending full.
    EXPECT_EQ(progress.maximums, std::vector<long long>{static_cast<long long>(c.file.size()) + 1});
    if (!progress.values.empty()) {
      EXPECT_EQ(progress.values.back(), progress.maximums.front());
    }
  }
}

TEST(TapeFile, KeepsEveryKindAndWarnsOnlyOfWhatIsLost) {
  TempDir dir;
  const Bytes recording = TzxDirectRecording(Joined({Silence(100), RomPulses(kLong), Silence(300)}));
  const Bytes mixed = Tzx({TzxText(0x30, "hi"), TzxRom(kHeader), TzxTurbo(Body(WithBadChecksum(kData))),
                           TzxPause(100), TzxSkippable(0x4B, {}), recording});
  WriteFileBytes(dir / "mixed.tzx", mixed);
  TapeProject project;
  NullProgress progress;
  OpResult result = LoadTapeFile(project, (dir / "mixed.tzx").string(), progress);
  EXPECT_EQ(result.kind, OpResult::Kind::Ok) << result.message;
  EXPECT_EQ(project.blockCount(), 6);

  Bytes cut = mixed;
  cut.resize(cut.size() - 5);
  WriteFileBytes(dir / "cut.tzx", cut);
  project.blocks.clear();
  result = LoadTapeFile(project, (dir / "cut.tzx").string(), progress);
  EXPECT_EQ(result.kind, OpResult::Kind::Warning);
  const auto offset = static_cast<long long>(mixed.size() - recording.size());
  EXPECT_EQ(result.message, "Стандартных блоков данных взято: 1.\n"
                            "Блоков других видов взято: 4.\n"
                            "Последний блок файла обрезан: не загружено" +
                                NumberText(static_cast<long long>(cut.size()) - offset) + " байт со смещения" +
                                NumberText(offset) + ".");
  EXPECT_EQ(project.blockCount(), 5);
}

TEST(TapeFile, KeepsWhatFitsOfATapeLongerThanTheProject) {
  std::vector<Bytes> blocks(5000, TzxRom(kData));
  Bytes tzx = Tzx({});
  for (const Bytes& b : blocks) tzx.insert(tzx.end(), b.begin(), b.end());
  TempDir dir;
  WriteFileBytes(dir / "long.tzx", tzx);
  TapeProject project;
  project.blocks.assign(10, kHeader);
  RecordingProgress progress;
  TapeLoadCounts counts;
  const OpResult result = LoadTapeFile(project, (dir / "long.tzx").string(), progress, &counts);
  EXPECT_EQ(result.kind, OpResult::Kind::Warning);
  EXPECT_EQ(project.blockCount(), 1000);
  EXPECT_EQ(project.blocks.back(), kData);
  EXPECT_EQ(counts.taken, 990);
  EXPECT_EQ(counts.recordsLeftOut, 4010);
  EXPECT_NE(result.message.find("не загружено записей из файла: 4010."), std::string::npos) << result.message;
  const auto barMaximum = static_cast<long long>(tzx.size()) + 1;
  EXPECT_EQ(progress.maximums, std::vector<long long>{barMaximum});
  EXPECT_EQ(progress.values.size(), 5000u);
  // A tape of other kinds too (a text first) fills the same room, not a block more.
  Bytes kinds = Tzx({TzxText(0x30, "A")});
  for (int i = 0; i < 20; ++i) kinds.insert(kinds.end(), blocks[0].begin(), blocks[0].end());
  WriteFileBytes(dir / "kinds.tzx", kinds);
  project.blocks.assign(990, kHeader);
  NullProgress quiet;
  EXPECT_EQ(LoadTapeFile(project, (dir / "kinds.tzx").string(), quiet).kind, OpResult::Kind::Warning);
  ASSERT_EQ(project.blockCount(), 1000);
  EXPECT_EQ(project.blocks[990].kind(), 0x30);
  EXPECT_EQ(project.blocks.back(), kData);
  EXPECT_EQ(progress.values.back(), barMaximum);
}

TEST(TapeFile, RefusesBrokenFilesAndLeavesTheProjectAsItWas) {
  const Bytes pulses = [] {
    Bytes p;
    for (std::uint32_t n : PulsesInSamples(RomPulses(kData), 44100)) p.push_back(static_cast<std::uint8_t>(n));
    return p;
  }();
  struct BadCase {
    const char* name;
    Bytes file;
    const char* reason;
  };
  const std::vector<BadCase> cases = {
      {"TZX header only", {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A}, "файл обрывается посреди блока"},
      {"a sound file",
       [] {
         Bytes b{'R', 'I', 'F', 'F', 36, 0, 0, 0, 'W', 'A', 'V', 'E'};
         b.resize(44, 0);
         return b;
       }(),
       "это звуковой файл WAV, а не образ ленты; запись ленты расшифровывает окно «Загрузить из WAV-файла»"},
      {"CSW of version 3",
       [&] {
         Bytes b = CswV2(44100, 1, pulses);
         b[23] = 3;
         return b;
       }(),
       "неизвестная версия формата CSW"},
      {"CSW at 0 Hz", CswV2(0, 1, pulses), "неверная частота выборки"},
      {"CSW above 3.5 MHz", CswV2(3500001, 1, pulses), "неверная частота выборки"},
      {"CSW at the largest rate a header holds", CswV2(0xFFFFFFFF, 2, Deflated(pulses)), "неверная частота выборки"},
      {"CSW of version 1 at 0 Hz",
       [&] {
         Bytes b = CswV1(RomPulses(kData));
         b[25] = b[26] = 0;
         return b;
       }(),
       "неверная частота выборки"},
      {"CSW of version 1, packed (only version 2 packs)",
       [&] {
         Bytes b = CswV1(RomPulses(kData));
         b[27] = 2;
         return b;
       }(),
       "неизвестный способ сжатия"},
      {"CSW of unknown compression", CswV2(44100, 7, pulses), "неизвестный способ сжатия"},
      {"CSW with damaged packed data", CswV2(44100, 2, {0x78, 0x9C, 1, 2, 3, 4, 5}), "сжатые данные повреждены"},
      {"CSW cut in its header",
       [&] {
         Bytes b = CswV2(44100, 1, pulses);
         b.resize(40);
         return b;
       }(),
       "файл обрывается в заголовке"},
      {"CSW unpacking beyond the limit", CswV2(44100, 2, Deflated(Bytes((std::size_t{128} << 20) + 1, 7))),
       "запись после распаковки больше 128 МБ"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteFileBytes(dir / "bad.csw", c.file);
    TapeProject project;
    project.blocks.push_back(kHeader);
    NullProgress progress;
    const OpResult result = LoadTapeFile(project, (dir / "bad.csw").string(), progress);
    EXPECT_EQ(result.kind, OpResult::Kind::Error);
    EXPECT_EQ(result.message, "Файл ленты не удалось прочитать: " + (dir / "bad.csw").string());
    EXPECT_EQ(result.detail, c.reason);
    EXPECT_EQ(project.blocks, std::vector<TapeBlock>{kHeader});
  }
}

TEST(TapeFile, ReadsACswWithAHeaderExtensionAndPackedPulses) {
  Bytes pulses;
  for (std::uint32_t n : PulsesInSamples(Joined({Silence(50), RomPulses(kData), Silence(200)}), 44100)) {
    if (n < 256) {
      pulses.push_back(static_cast<std::uint8_t>(n));
    } else {
      pulses.push_back(0);
      PutWord(pulses, n, 4);
    }
  }
  for (const Bytes& file : {CswV2(44100, 2, Deflated(pulses), 5), CswV2(44100, 1, pulses, 9)}) {
    TempDir dir;
    WriteFileBytes(dir / "x.csw", file);
    TapeProject project;
    NullProgress progress;
    const OpResult result = LoadTapeFile(project, (dir / "x.csw").string(), progress);
    EXPECT_TRUE(result.ok()) << result.detail;
    ASSERT_EQ(project.blockCount(), 1);
    EXPECT_EQ(project.blocks[0].kind(), 0x18);
    // Its record comes out of a TAP save.
    project.fileName = (dir / "x.tap").string();
    EXPECT_TRUE(SaveTapeFile(project, progress).ok());
    EXPECT_EQ(ReadFileBytes(dir / "x.tap"), Concat({kData}));
  }
}

TEST(TapeFile, RefusesA2GbRecordingBeforeReadingIt) {
  TempDir dir;
  const fs::path path = dir / "huge.csw";
  WriteFileBytes(path, CswV2(44100, 1, {}));
  fs::resize_file(path, std::uintmax_t{2} << 30);  // sparse: no disk space used
  TapeProject project;
  NullProgress progress;
  const OpResult result = LoadTapeFile(project, path.string(), progress);
  EXPECT_EQ(result.kind, OpResult::Kind::Error);
  EXPECT_EQ(result.message, "Файл слишком велик для ленты: " + path.string());
  EXPECT_EQ(result.detail, "загружаются файлы до 128 МБ, а в этом 2048 МБ");
  EXPECT_EQ(project.blockCount(), 0);
}

TEST(TapeFile, SavesTzxOrTapByTheNameAndReadsItBack) {
  struct SaveCase {
    const char* name;
    bool tzx;
  };
  for (const SaveCase& c : {SaveCase{"a.tzx", true}, SaveCase{"b.TzX", true}, SaveCase{"c.tap", false},
                            SaveCase{"d.tzx.tap", false}, SaveCase{"tzx", false}}) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    TapeProject project;
    project.blocks = {kHeader, kData, MakeRawRecord({}), MakeRawRecord({0xAA}), kLong};
    project.fileName = (dir / c.name).string();
    project.modified = true;
    RecordingProgress progress;
    ASSERT_TRUE(SaveTapeFile(project, progress).ok());
    EXPECT_FALSE(project.modified);
    const Bytes written = ReadFileBytes(project.fileName);
    EXPECT_EQ(written.size() >= 7 && std::string(written.begin(), written.begin() + 7) == "ZXTape!", c.tzx);
    EXPECT_EQ(progress.labels.front(),
              c.tzx ? "Сохранение TZX-файла, подождите..." : "Сохранение TAP-файла, подождите...");
    TapeProject back;
    ASSERT_TRUE(LoadTapeFile(back, project.fileName, progress).ok());
    EXPECT_EQ(back.blocks, project.blocks);
  }
}

TEST(TapeFile, WritesEachRecordAsAStandardBlockWithASecondsPause) {
  struct Row {
    const char* name;
    TapeBlock record;
    Bytes block;  // what follows the file's header
  } rows[] = {
      {"whole record", MakeRawRecord({0xFF, 0x01, 0xFE}), {0x10, 0xE8, 0x03, 0x03, 0x00, 0xFF, 0x01, 0xFE}},
      // As many bytes as the length field promises: zeros for the missing ones,
      // and bytes past the field's length left out.
      {"record a byte shorter than its length field", {4, 0, 0xFF, 0x01, 0xFE},
       {0x10, 0xE8, 0x03, 0x04, 0x00, 0xFF, 0x01, 0xFE, 0x00}},
      {"record two bytes shorter than its length field", {5, 0, 0xFF, 0x01, 0xFE},
       {0x10, 0xE8, 0x03, 0x05, 0x00, 0xFF, 0x01, 0xFE, 0x00, 0x00}},
      {"record longer than its length field", {2, 0, 0xFF, 0x01, 0xFE}, {0x10, 0xE8, 0x03, 0x02, 0x00, 0xFF, 0x01}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    TapeProject project;
    project.blocks = {row.record};
    project.fileName = (dir / "one.tzx").string();
    NullProgress progress;
    ASSERT_TRUE(SaveTapeFile(project, progress).ok());
    Bytes expected{'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
    expected.insert(expected.end(), row.block.begin(), row.block.end());
    EXPECT_EQ(ReadFileBytes(project.fileName), expected);
  }
}

// The program reads PZX and CSW but does not write them: a save under such a
// name writes nothing, whatever the tape holds.
TEST(TapeFile, RefusesToSaveUnderAPzxOrCswName) {
  for (const char* name : {"x.csw", "y.PZX", "z.Csw"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    TapeProject project;
    project.blocks = {kHeader};
    project.modified = true;
    project.fileName = (dir / name).string();
    NullProgress progress;
    const OpResult result = SaveTapeFile(project, progress);
    EXPECT_EQ(result.kind, OpResult::Kind::Error);
    EXPECT_EQ(result.message, "Проблемы с сохранением файла. Файл не сохранён.");
    EXPECT_EQ(result.detail, "форматы PZX и CSW программа только читает: выберите имя .tap или .tzx");
    EXPECT_FALSE(fs::exists(project.fileName));
    EXPECT_TRUE(project.modified);
  }
}

TEST(TapeFile, AFailedTzxSaveKeepsTheOldFileAndTheModifiedFlag) {
  TempDir dir;
  TapeProject project;
  project.blocks = {kHeader};
  project.modified = true;
  project.fileName = (dir / "missing" / "x.tzx").string();
  NullProgress progress;
  const OpResult result = SaveTapeFile(project, progress);
  EXPECT_EQ(result.kind, OpResult::Kind::Error);
  EXPECT_EQ(result.message, "Проблемы с сохранением файла. Файл не сохранён.");
  EXPECT_TRUE(project.modified);
}

}  // namespace
}  // namespace reelo

namespace reelo {
namespace {

// Damaged copies of good tapes of every format: a byte changed, a run cut
// out, the end cut off. Each either loads (keeping the project's blocks
// before the new ones) or is refused with the project as it was.
TEST(TapeFile, DamagedTapesLoadOrAreRefusedWithoutHarm) {
  using namespace reelo::testing;
  const std::vector<int> signal = Joined({Silence(20), RomPulses(kData), Silence(50)});
  const std::vector<Bytes> good = {
      Tzx({TzxText(0x30, "x"), TzxRom(kHeader), TzxTurbo(Body(kData)), TzxPureTone(2168, 100), TzxPulses({667, 735}),
           TzxPureData(Body(kData)), TzxDirectRecording(signal), TzxPause(10), TzxSkippable(0x4B, {1})}),
      CswV1(signal),
      Pzx({kHeader, kData}),
  };
  std::mt19937 gen(11);
  for (const Bytes& tape : good) {
    for (int round = 0; round < 150; ++round) {
      Bytes file = tape;
      switch (round % 3) {
        case 0:
          for (int i = 0; i < 3; ++i) file[10 + gen() % (file.size() - 10)] = static_cast<std::uint8_t>(gen());
          break;
        case 1: {
          const std::size_t at = 10 + gen() % (file.size() - 10);
          file.erase(file.begin() + static_cast<std::ptrdiff_t>(at),
                     file.begin() + static_cast<std::ptrdiff_t>(std::min(file.size(), at + 1 + gen() % 40)));
          break;
        }
        default: file.resize(gen() % file.size());
      }
      TempDir dir;
      WriteFileBytes(dir / "damaged", file);
      TapeProject project;
      project.blocks.push_back(kLong);
      NullProgress progress;
      const OpResult result = LoadTapeFile(project, (dir / "damaged").string(), progress);
      ASSERT_FALSE(project.blocks.empty());
      EXPECT_EQ(project.blocks.front(), kLong);
      if (!result.ok()) {
        EXPECT_EQ(project.blockCount(), 1);
      }
      EXPECT_LE(project.blockCount(), kMaxBlocks);
    }
  }
}

}  // namespace
}  // namespace reelo

namespace reelo {
namespace {

// A recording of more than three hours (pulses of a second each; a longer
// pulse would count as a second too) is decoded for a TAP save for its first
// three hours only, and the message says so.
TEST(TapeFile, DecodesAnOverlongRecordingOnlyUpToItsLimit) {
  using namespace reelo::testing;
  const std::vector<int> longPulses(11000, 3500000);
  TempDir dir;
  WriteFileBytes(dir / "long.csw", CswV1(Joined({Silence(10), RomPulses(kData), Silence(100), longPulses})));
  TapeProject project;
  NullProgress progress;
  TapeLoadCounts counts;
  ASSERT_EQ(LoadTapeFile(project, (dir / "long.csw").string(), progress, &counts).kind, OpResult::Kind::Ok);
  project.fileName = (dir / "long.tap").string();
  const OpResult result = SaveTapeFile(project, progress);
  EXPECT_EQ(result.kind, OpResult::Kind::Warning);
  EXPECT_EQ(ReadFileBytes(dir / "long.tap"), Concat({kData}));
  EXPECT_EQ(result.message,
            "Сигнальных блоков расшифровано: 1; найдено записей: 1.\n"
            "Сигнал длиннее 3 часов: расшифрованы только первые 3 часа.");
}

}  // namespace
}  // namespace reelo

namespace reelo {
namespace {

// A TZX of standard blocks beyond the size limit is still read (in constant
// memory): the first thousand records fit, the rest are counted. The file is
// sparse: its blocks' data are holes that read as zeros.
TEST(TapeFile, ReadsAStandardTzxLargerThanTheLimitKeepingWhatFits) {
  using namespace reelo::testing;
  constexpr int kBlocks = 2100;
  constexpr std::size_t kBlockSize = 5 + 65535;
  TempDir dir;
  const std::string path = (dir / "big.tzx").string();
  {
    std::ofstream out(path, std::ios::binary);
    out.write("ZXTape!\x1A\x01\x14", 10);
    for (int i = 0; i < kBlocks; ++i) {
      out.seekp(static_cast<std::streamoff>(10 + i * kBlockSize));
      out.write("\x10\xE8\x03\xFF\xFF", 5);
    }
  }
  fs::resize_file(path, 10 + kBlocks * kBlockSize);
  ASSERT_GT(fs::file_size(path), kMaxTapeFileSize);
  TapeProject project;
  NullProgress progress;
  TapeLoadCounts counts;
  const OpResult result = LoadTapeFile(project, path, progress, &counts);
  EXPECT_EQ(result.kind, OpResult::Kind::Warning) << result.detail;
  EXPECT_EQ(project.blockCount(), 1000);
  EXPECT_EQ(project.blocks.back(), MakeRawRecord(Bytes(65535, 0)));
  EXPECT_EQ(counts.recordsLeftOut, kBlocks - 1000);
}

}  // namespace
}  // namespace reelo
