// A CSW file opens as one CSW recording block that holds its pulses exactly
// (rate, compression, packed data as the file has it, the count of its
// pulses); what a file gets wrong is said and what can be read is kept. A TAP
// save puts in the records decoded from every signal block, in their place.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/csw_file.h"
#include "formats/tape_file.h"
#include "project/block_kinds.h"
#include "recording_progress.h"
#include "tape_images.h"

namespace reelo {
namespace {

using namespace reelo::testing;

const TapeBlock kHeader = MakeHeader(0, "csw", 10);
const TapeBlock kData = MakeDataBlock(RandomBytes(10, 7));
const TapeBlock kLong = MakeDataBlock(RandomBytes(300, 8));

// The body of a CSW recording block: length, pause, rate, compression, pulse count, data.
Bytes RecordingBody(std::uint32_t rate, std::uint8_t compression, std::uint32_t pulses, const Bytes& data) {
  Bytes body;
  PutWord(body, static_cast<std::uint32_t>(10 + data.size()), 4);
  PutWord(body, 0, 2);
  PutWord(body, rate, 3);
  body.push_back(compression);
  PutWord(body, pulses, 4);
  body.insert(body.end(), data.begin(), data.end());
  return body;
}

Bytes Cut(Bytes bytes, std::size_t drop) {
  bytes.resize(bytes.size() - drop);
  return bytes;
}

Bytes Plus(Bytes bytes, const Bytes& more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
  return bytes;
}

TEST(CswKinds, OpensAsOneRecordingBlockThatKeepsTheFilesPulses) {
  // 5 pulses in 9 bytes: one of them long.
  const Bytes runs = {20, 20, 0, 0x2C, 0x01, 0, 0, 30, 30};
  const Bytes packed = Deflated(runs);
  const Bytes v1 = CswV1({2000, 2000});  // two pulses of 25 samples at 44100 Hz
  struct Row {
    const char* name;
    Bytes file;
    Bytes body;  // the block's body; empty: no block
    const char* note;
  };
  const std::vector<Row> rows = {
      {"version 1, plain", v1, RecordingBody(44100, 1, 2, {25, 25}), ""},
      {"version 2, plain, a header extension", CswV2(22050, 1, runs, 9, 5), RecordingBody(22050, 1, 5, runs), ""},
      {"version 2, packed data kept packed", CswV2(44100, 2, packed, 0, 5), RecordingBody(44100, 2, 5, packed), ""},
      {"packed data, bytes after its end left out", CswV2(44100, 2, Plus(packed, {1, 2, 3}), 0, 5),
       RecordingBody(44100, 2, 5, packed), ""},
      {"a count of the bytes, as some writers fill it", CswV2(3500000, 1, runs, 0, 9),
       RecordingBody(3500000, 1, 5, runs), ""},
      {"a count of 0: not filled in", CswV2(44100, 1, runs, 0, 0), RecordingBody(44100, 1, 5, runs), ""},
      {"a count that lies", CswV2(44100, 2, packed, 0, 1000), RecordingBody(44100, 2, 5, packed),
       "В заголовке CSW-файла указано импульсов: 1000, а в записи их 5; взяты импульсы записи."},
      {"plain data cut inside a long pulse", CswV2(44100, 1, Cut(runs, 3), 0, 5), RecordingBody(44100, 1, 2, {20, 20}),
       "Запись CSW обрывается посреди импульса: не загружено 4 байт со смещения 54."},
      // Without its closing check sum: the pulses unpacked, kept as plain run lengths.
      {"packed data cut short", CswV2(44100, 2, Cut(packed, 4), 0, 5), RecordingBody(44100, 1, 5, runs),
       "Сжатые данные CSW-файла обрываются: взяты импульсы, распакованные до обрыва: 5."},
      {"no pulses", CswV2(44100, 1, {}), {}, "В CSW-файле нет ни одного импульса."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const CswKinds read = ReadCswKinds(row.file.data(), row.file.size());
    EXPECT_EQ(read.failure, "");
    EXPECT_EQ(read.note, row.note);
    if (row.body.empty()) {
      EXPECT_TRUE(read.blocks.empty());
      continue;
    }
    ASSERT_EQ(read.blocks.size(), 1u);
    EXPECT_EQ(read.blocks[0].kind(), 0x18);
    EXPECT_TRUE(read.blocks[0].bytes().empty());
    EXPECT_EQ(read.blocks[0].kept->head, row.body);
  }
}

std::uint32_t PulseCount(const TapeBlock& block) {
  const auto& head = block.kept->head;
  return head[10] | (head[11] << 8) | (head[12] << 16) | (static_cast<std::uint32_t>(head[13]) << 24);
}

// Cut at every byte, a CSW file of either compression is refused for a cut
// header or opens with no more pulses than the whole file, and a version 2
// file (it states its count) says so: never a crash, never a pulse invented.
TEST(CswKinds, AFileCutAnywhereIsRefusedOrKeepsThePulsesBeforeTheCut) {
  const std::vector<int> signal = Joined({Silence(5), RomPulses(kData), Silence(20)});
  const Bytes runs = CswRunLengths(signal, 44100);
  const auto pulses = static_cast<std::uint32_t>(PulsesInSamples(signal, 44100).size());
  struct File {
    Bytes bytes;
    std::size_t dataStart;
    bool statesCount;
  };
  for (const File& file : {File{CswV2(44100, 1, runs, 3, pulses), 55, true},
                           File{CswV2(44100, 2, Deflated(runs), 0, pulses), 52, true}, File{CswV1(signal), 32, false}}) {
    const CswKinds full = ReadCswKinds(file.bytes.data(), file.bytes.size());
    ASSERT_EQ(full.note, "");
    ASSERT_EQ(full.blocks.size(), 1u);
    EXPECT_EQ(PulseCount(full.blocks[0]), pulses);
    for (std::size_t size = 0; size < file.bytes.size(); ++size) {
      SCOPED_TRACE(size);
      const CswKinds read = ReadCswKinds(file.bytes.data(), size);
      if (size < file.dataStart) {
        EXPECT_EQ(read.failure, "файл обрывается в заголовке");
        EXPECT_TRUE(read.blocks.empty());
        continue;
      }
      EXPECT_EQ(read.failure, "");
      if (file.statesCount) {
        EXPECT_NE(read.note, "");
      }
      ASSERT_LE(read.blocks.size(), 1u);
      if (!read.blocks.empty()) {
        EXPECT_LE(PulseCount(read.blocks[0]), pulses);
      }
    }
  }
}

// A TAP save of a tape of signal blocks: the records decoded from each run of
// them, in their place among the records of the other blocks.
TEST(CswKinds, ATapSaveHoldsTheRecordsDecodedFromSignalBlocks) {
  const std::vector<int> twoRecords =
      Joined({Silence(100), RomPulses(kHeader), Silence(300), RomPulses(kLong), Silence(300)});
  const std::vector<int> oneRecord = Joined({Silence(50), RomPulses(kData), Silence(200)});
  const std::vector<int> dataPulses = RomPulses(kData);
  const std::vector<int> dataBits(dataPulses.begin() + 3225, dataPulses.end());
  struct Row {
    const char* name;
    Bytes file;
    Bytes tap;
    const char* message;
  };
  const std::vector<Row> rows = {
      {"CSW of two records", CswV1(twoRecords), Concat({kHeader, kLong}),
       "Сигнальных блоков расшифровано: 1; найдено записей: 2."},
      {"CSW at 3.5 MHz, packed", CswV2(3500000, 2, Deflated(CswRunLengths(oneRecord, 3500000))), Concat({kData}),
       "Сигнальных блоков расшифровано: 1; найдено записей: 1."},
      {"CSW at 22050 Hz", CswV2(22050, 1, CswRunLengths(oneRecord, 22050)), Concat({kData}),
       "Сигнальных блоков расшифровано: 1; найдено записей: 1."},
      {"CSW of noise", CswV1(std::vector<int>(400, 300)), {},
       "Сигнальных блоков расшифровано: 1; найдено записей: 0. Без записей: 1."},
      {"TZX: a direct recording between records keeps its place",
       Tzx({TzxRom(kHeader), TzxDirectRecording(oneRecord), TzxTurbo(Body(kLong)), TzxText(0x30, "end")}),
       Concat({kHeader, kData, kLong}), "Сигнальных блоков расшифровано: 1; найдено записей: 1."},
      {"TZX: a tone and sync pulses decoded with the recording after them",
       Tzx({TzxPureTone(2168, 3223), TzxPulses({667, 735}), TzxDirectRecording(Joined({dataBits, Silence(100)}))}),
       Concat({kData}), "Сигнальных блоков расшифровано: 3; найдено записей: 1."},
      {"TZX: two recordings apart, each its own run",
       Tzx({TzxDirectRecording(oneRecord), TzxPause(500), TzxDirectRecording(std::vector<int>(50, 300))}),
       Concat({kData}), "Сигнальных блоков расшифровано: 2; найдено записей: 1. Без записей: 1."},
      {"TZX: tones alone are no signal run", Tzx({TzxPureTone(2168, 100), TzxRom(kData)}), Concat({kData}), ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    WriteFileBytes(dir / "tape", row.file);
    TapeProject project;
    NullProgress progress;
    ASSERT_TRUE(LoadTapeFile(project, (dir / "tape").string(), progress).ok());
    project.fileName = (dir / "out.tap").string();
    project.modified = true;
    RecordingProgress shown;
    const OpResult saved = SaveTapeFile(project, shown);
    // The decoding shows its own progress first, over the blocks of the runs.
    std::vector<std::string> labels{"Сохранение TAP-файла, подождите..."};
    if (*row.message) labels.insert(labels.begin(), "Расшифровка записей сигнала, подождите...");
    EXPECT_EQ(shown.labels, labels);
    EXPECT_EQ(shown.begun, shown.ended);
    ASSERT_TRUE(saved.ok()) << saved.message;
    EXPECT_EQ(saved.kind, *row.message ? OpResult::Kind::Warning : OpResult::Kind::Ok);
    EXPECT_EQ(saved.message, row.message);
    EXPECT_EQ(ReadFileBytes(dir / "out.tap"), row.tap);
    EXPECT_FALSE(project.modified);
  }
}

TEST(CswKinds, TheTapSaveQuestionSaysWhichBlocksAreDecoded) {
  TempDir dir;
  WriteFileBytes(dir / "t.tzx", Tzx({TzxText(0x30, "A"), TzxDirectRecording(RomPulses(kData)), TzxTurbo(Body(kData)),
                                     TzxPureTone(2168, 10), {0x19, 4, 0, 0, 0, 0, 0, 0, 0}}));
  TapeProject project;
  NullProgress progress;
  ASSERT_TRUE(LoadTapeFile(project, (dir / "t.tzx").string(), progress).ok());
  const TapLosses losses = TapLossesOf(project);
  EXPECT_EQ(losses.decoded, (std::vector<int>{2, 5}));
  EXPECT_EQ(TapLossesText(losses),
            "Формат TAP хранит только записи стандартной скорости.\n"
            "Блоки 3 будут сохранены как обычные записи: их скорость, паузы и неполный последний байт не сохранятся.\n"
            "Блоки 2, 5 (записи сигнала) будут расшифрованы: в файл попадут найденные в них записи.\n"
            "Блоки 1, 4 (тоны, импульсы, паузы, группы, циклы, тексты) в файл не попадут.");
}

}  // namespace
}  // namespace reelo
