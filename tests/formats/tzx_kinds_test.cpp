// Blocks of every TZX kind: kept with all their fields (saved back byte for
// byte), listed one line each, sounded with their own timings, and a TAP save
// that says what it cannot hold. Damaged tapes of every kind load without harm.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "formats/tape_file.h"
#include "formats/tzx_blocks.h"
#include "formats/tzx_file.h"
#include "project/block_kinds.h"
#include "project/block_list.h"
#include "project/edits.h"
#include "project/tap_file.h"
#include "recording_progress.h"
#include "sound/export/signal_stream.h"
#include "tape_images.h"

namespace reelo {
namespace {

using namespace reelo::testing;

const TapeBlock kHeader = MakeHeader(3, "screen", 6912);
const TapeBlock kData = MakeDataBlock(RandomBytes(20, 7));

Bytes Block(std::uint8_t id, std::initializer_list<int> bytes) {
  Bytes out{id};
  for (int b : bytes) out.push_back(static_cast<std::uint8_t>(b));
  return out;
}

// A turbo block with the given used bits of the last byte and pause.
Bytes Turbo(const Bytes& body, int usedBits, int pauseMs = 0) {
  Bytes out = TzxTurbo(body);
  out[13] = static_cast<std::uint8_t>(usedBits);
  out[14] = static_cast<std::uint8_t>(pauseMs & 0xFF);
  out[15] = static_cast<std::uint8_t>(pauseMs >> 8);
  return out;
}

// One block of each kind, with the list line each gives.
struct KindRow {
  const char* name;
  Bytes block;
  std::string line;
};

std::vector<KindRow> KindRows() {
  const Bytes archive = {0x32, 10, 0, 2, 0x00, 4, 'G', 'a', 'm', 'e', 0x01, 1, 'X'};
  Bytes custom = {0x35};
  const std::string id = "POKEs           ";
  custom.insert(custom.end(), id.begin(), id.end());
  PutWord(custom, 3, 4);
  custom.insert(custom.end(), {1, 2, 3});
  Bytes csw = {0x18};
  PutWord(csw, 10 + 4, 4);
  PutWord(csw, 100, 2);
  PutWord(csw, 44100, 3);
  csw.push_back(1);
  PutWord(csw, 4, 4);
  csw.insert(csw.end(), {20, 20, 30, 30});
  Bytes gdb = {0x19};
  // Pause, no pilot symbols, 8 bits of 2 symbols of 2 pulses each, one byte.
  const Bytes gdbBody = {0xE8, 0x03, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 2, 2,
                         0,    0x57, 0x03, 0x57, 0x03, 0, 0xAE, 0x06, 0xAE, 0x06, 0xA5};
  PutWord(gdb, static_cast<std::uint32_t>(gdbBody.size()), 4);
  gdb.insert(gdb.end(), gdbBody.begin(), gdbBody.end());
  return {
      {"standard with a pause of its own", TzxRom(kHeader, 500), "Bytes: screen      [пауза 0,5 с]"},
      {"standard with a pause longer than the ROM's", TzxRom(kData, 2000), "      20 байт данных  [пауза 2 с]"},
      {"turbo header", TzxTurbo(Body(kHeader)), "Bytes: screen      [турбо x1,71]"},
      {"turbo data of 6 bits", Turbo(Body(kData), 6, 1000), "      20 байт данных  [турбо x1,71]"},
      {"pure tone", TzxPureTone(2168, 2000), "Тон: 2000 импульсов по 2168"},
      {"pulse sequence", TzxPulses({667, 735}), "Импульсы: 2 (667, 735)"},
      {"pure data", TzxPureData(Body(kData), 3), "      20 байт данных  [чистые данные]"},
      {"direct recording", TzxDirectRecording({700, 700, 1400}), "Прямая запись: 5 байт, 79 тактов на отсчёт"},
      {"CSW recording", csw, "Запись CSW: 4 байт, 44100 Гц"},
      {"generalised data", gdb, "Обобщённые данные: 25 байт"},
      {"pause", TzxPause(1500), "Пауза 1,5 с"},
      {"longest pause", TzxPause(65535), "Пауза 65,535 с"},
      {"stop the tape", TzxPause(0), "Стоп ленты"},
      {"stop in 48K mode", Block(0x2A, {0, 0, 0, 0}), "Стоп ленты в режиме 48K"},
      {"group start", TzxText(0x21, "Level 1"), "Группа: Level 1"},
      {"group end", Block(0x22, {}), "Конец группы"},
      {"jump", Block(0x23, {2, 0}), "Переход на 2 блоков"},
      {"loop start", Block(0x24, {3, 0}), "Цикл: 3 раз"},
      {"loop end", Block(0x25, {}), "Конец цикла"},
      {"text", TzxText(0x30, "Loading..."), "Текст: Loading..."},
      {"message", Block(0x31, {5, 2, 'H', 'i'}), "Сообщение: Hi"},
      {"archive information", archive, "Об архиве: Game"},
      {"hardware type", Block(0x33, {1, 0, 0, 1}), "Оборудование: 1 записей"},
      {"custom information", custom, "Доп. информация: POKEs           "},
      {"unknown kind", TzxSkippable(0x4B, {1, 2}), "Блок TZX 4B: 6 байт"},
  };
}

TapeProject Loaded(const Bytes& file) {
  TempDir dir;
  WriteFileBytes(dir / "t.tzx", file);
  TapeProject project;
  NullProgress progress;
  const OpResult result = LoadTapeFile(project, (dir / "t.tzx").string(), progress);
  EXPECT_TRUE(result.ok()) << result.message;
  return project;
}

TEST(TzxKinds, EveryKindIsListedAndSavedBackByteForByte) {
  std::vector<Bytes> blocks;
  for (const KindRow& row : KindRows()) {
    SCOPED_TRACE(row.name);
    const TapeProject project = Loaded(Tzx({row.block}));
    ASSERT_EQ(project.blockCount(), 1);
    EXPECT_EQ(BlockListLine(project.blocks[0]), row.line);
    Bytes saved;
    AppendTzxBlock(saved, project.blocks[0]);
    EXPECT_EQ(saved, row.block);
    blocks.push_back(row.block);
  }
  // The whole tape through a save to a file.
  Bytes tape = Tzx({});
  for (const Bytes& b : blocks) tape.insert(tape.end(), b.begin(), b.end());
  TempDir dir;
  TapeProject project = Loaded(tape);
  project.fileName = (dir / "again.tzx").string();
  NullProgress progress;
  ASSERT_TRUE(SaveTapeFile(project, progress).ok());
  EXPECT_EQ(ReadFileBytes(dir / "again.tzx"), tape);
}

// Half-wave lengths in samples of the stream's signal, the rest level ending a run.
std::vector<std::size_t> HalfWaves(const TapeProject& project, int rate) {
  SignalOptions options;
  options.sampleRate = rate;
  options.timings = SignalTimings::Rom;
  TapeSignalStream stream(project, options);
  std::vector<std::uint8_t> samples(stream.totalSamples());
  std::size_t done = 0;
  while (std::size_t n = stream.Read(samples.data() + done, samples.size() - done)) done += n;
  EXPECT_EQ(done, samples.size());
  std::vector<std::size_t> runs;
  for (std::size_t i = 0; i < samples.size();) {
    std::size_t j = i;
    while (j < samples.size() && samples[j] == samples[i]) ++j;
    if (samples[i] != 127) runs.push_back(j - i);
    i = j;
  }
  return runs;
}

TEST(TzxKinds, SoundsWithItsOwnTimingsLoopsAndJumps) {
  struct SignalRow {
    const char* name;
    Bytes tape;
    std::vector<std::vector<int>> pulses;  // T-states, block by block
  };
  Bytes turbo = Turbo({0xFF, 0x80}, 6);
  turbo[11] = 4;  // 4 pilot pulses
  turbo[12] = 0;
  Bytes noBits = Turbo({0x80}, 0);
  noBits[11] = 4;
  noBits[12] = 0;
  const std::vector<int> noBitsPulses = {1500, 1500, 1500, 1500, 400, 450};
  std::vector<int> turboPulses = {1500, 1500, 1500, 1500, 400, 450};
  turboPulses.insert(turboPulses.end(), 18, 1000);  // 0xFF, then the 1 of 0x80
  turboPulses.insert(turboPulses.end(), 10, 500);   // the five 0 bits of its first 6
  // CSW recording blocks of 20, 20, 30 and 30 samples: at 44100 Hz they come back exact.
  const auto csw = [](std::uint32_t rate) {
    Bytes block = {0x18};
    PutWord(block, 10 + 8, 4);
    PutWord(block, 0, 2);
    PutWord(block, rate, 3);
    block.push_back(1);
    PutWord(block, 4, 4);
    block.insert(block.end(), {20, 20, 30, 0, 30, 0, 0, 0});
    return block;
  };
  // A pulse too long for one byte (0, then four bytes), and one after it.
  Bytes cswLong = {0x18};
  PutWord(cswLong, 10 + 6, 4);
  PutWord(cswLong, 0, 2);
  PutWord(cswLong, 44100, 3);
  cswLong.push_back(1);
  PutWord(cswLong, 2, 4);
  cswLong.insert(cswLong.end(), {0, 30, 0, 0, 0, 20});
  const std::vector<SignalRow> rows = {
      {"turbo with 6 bits in its last byte", Tzx({turbo}), {turboPulses}},
      // As libspectrum (and so tape2wav) sends it: a last byte of 0 used bits is not sent.
      {"turbo of one byte with 0 used bits", Tzx({noBits}), {noBitsPulses}},
      {"CSW recording at the export's rate", Tzx({csw(44100)}), {{1588, 1587, 2381, 2381}}},
      {"CSW recording with a pulse in four bytes", Tzx({cswLong}), {{2381, 1588}}},
      {"CSW recording of rate 0 is silent", Tzx({csw(0), TzxPureTone(1000, 1)}), {{1000}}},
      {"CSW recording above the clock is silent", Tzx({csw(9000000), TzxPureTone(1000, 1)}), {{1000}}},
      {"a loop of three tones",
       Tzx({Block(0x24, {3, 0}), TzxPureTone(1000, 2), Block(0x25, {})}),
       {{1000, 1000}, {1000, 1000, 1000, 1000}}},
      {"a jump over a tone", Tzx({Block(0x23, {2, 0}), TzxPureTone(1000, 2), TzxPureTone(2000, 1)}), {{2000}}},
      {"a jump out of the tape is not followed", Tzx({Block(0x23, {9, 0}), TzxPureTone(1000, 1)}), {{1000}}},
      // As libspectrum plays it: the inner start replaces the outer one, the outer end finds no loop.
      {"loops nested",
       Tzx({Block(0x24, {2, 0}), Block(0x24, {3, 0}), TzxPureTone(1000, 1), Block(0x25, {}), Block(0x25, {})}),
       {{1000}, {1000, 1000}}},
      {"a loop never closed plays once", Tzx({Block(0x24, {5, 0}), TzxPureTone(1000, 1)}), {{1000}}},
      {"a loop end without a start", Tzx({TzxPureTone(1000, 1), Block(0x25, {})}), {{1000}}},
      {"a loop of 0 repeats leaves the loop around it",
       Tzx({Block(0x24, {2, 0}), Block(0x24, {0, 0}), TzxPureTone(1000, 1), Block(0x25, {})}), {{1000}, {1000}}},
      {"a tone of 256 pulses", Tzx({TzxPureTone(1000, 256)}), {std::vector<int>(256, 1000)}},
      {"a tone of pulses of no length", Tzx({TzxPureTone(0, 3), TzxPureTone(1000, 1)}), {{1000}}},
      {"pulses across blocks keep alternating", Tzx({TzxPulses({1000}), TzxPulses({2000, 3000})}), {{1000}, {2000, 3000}}},
  };
  for (const SignalRow& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::size_t> expected;
    for (const auto& block : row.pulses) {
      for (std::uint32_t n : PulsesInSamples(block, 44100)) expected.push_back(n);
    }
    EXPECT_EQ(HalfWaves(Loaded(row.tape), 44100), expected);
  }
  // A record of the ROM's own pause inside a loop: each copy's pause is at rest, not held at
  // a level (no half-wave anywhere near the pause's 44100 samples).
  const std::vector<std::size_t> looped =
      HalfWaves(Loaded(Tzx({Block(0x24, {2, 0}), TzxRom(kData), Block(0x25, {})})), 44100);
  ASSERT_GT(looped.size(), 2 * 3223u);
  EXPECT_LT(*std::max_element(looped.begin(), looped.end()), 100u);
  // The deck stops after a pause of 0 and after a stop in 48K mode, not after a pause of some length.
  const TapeProject stops = Loaded(Tzx({TzxPureTone(1000, 1), TzxPause(100), TzxPureTone(1000, 1), TzxPause(0),
                                        TzxPureTone(1000, 1), Block(0x2A, {0, 0, 0, 0}), TzxPureTone(1000, 1)}));
  const TapeSignalStream stream(stops, SignalOptions{});
  EXPECT_EQ(stream.nextStop(0), 3);
  EXPECT_EQ(stream.nextStop(4), 5);
  EXPECT_EQ(stream.nextStop(6), 6);
}

TEST(TzxKinds, ATapSaveKeepsTheRecordsAndSaysWhatItCannotHold) {
  TapeProject project =
      Loaded(Tzx({TzxText(0x30, "hi"), TzxRom(kHeader), TzxTurbo(Body(kData)), TzxPureTone(2168, 10), TzxPause(100)}));
  const TapLosses losses = TapLossesOf(project);
  EXPECT_EQ(losses.converted, std::vector<int>{3});
  EXPECT_EQ(losses.leftOut, (std::vector<int>{1, 4, 5}));
  EXPECT_EQ(TapLossesText(losses),
            "Формат TAP хранит только записи стандартной скорости.\n"
            "Блоки 3 будут сохранены как обычные записи: их скорость, паузы и неполный последний байт не сохранятся.\n"
            "Блоки 1, 4, 5 (тоны, импульсы, паузы, группы, циклы, тексты) в файл не попадут.");
  TempDir dir;
  project.fileName = (dir / "out.tap").string();
  project.modified = true;
  NullProgress progress;
  ASSERT_TRUE(SaveTapeFile(project, progress).ok());
  EXPECT_FALSE(project.modified);
  EXPECT_EQ(ReadFileBytes(dir / "out.tap"), Concat({kHeader, kData}));
  EXPECT_EQ(project.blockCount(), 5);
}

TEST(TzxKinds, TurboTimingsAreEditedAndCheckedField) {
  const TapeProject project = Loaded(Tzx({TzxTurbo(Body(kData))}));
  const TapeBlock& turbo = project.blocks[0];
  TurboTimings t = *TurboTimingsOf(turbo);
  EXPECT_EQ(t, (TurboTimings{1500, 400, 450, 500, 1000, 3000, 8, 500}));
  EXPECT_EQ(TurboTimingsText(turbo),
            "Турбо: пилот 3000 x 1500, синхро 400/450, бит 0 - 500, бит 1 - 1000 тактов, бит в последнем байте 8, "
            "пауза 500 мс");
  EXPECT_EQ(TurboTimingsText(kData), "");
  t.one = 1200;
  t.usedBits = 6;
  TapeBlock edited;
  ASSERT_TRUE(WithTurboTimings(turbo, t, edited).ok());
  EXPECT_EQ(*TurboTimingsOf(edited), t);
  EXPECT_EQ(edited.bytes(), turbo.bytes());
  EXPECT_EQ(*TurboTimingsOf(turbo), (TurboTimings{1500, 400, 450, 500, 1000, 3000, 8, 500}));  // the old block unchanged
  t.usedBits = 0;
  EXPECT_EQ(WithTurboTimings(turbo, t, edited).message, "В последнем байте может быть от 1 до 8 бит");
  t.usedBits = 8;
  t.zero = 0;
  EXPECT_EQ(WithTurboTimings(turbo, t, edited).message, "Длительность импульса должна быть от 1 до 65535 тактов");
}

// Edits copy whole blocks: a kind keeps its fields through moves, deletes,
// undo and redo, and the tape saves back as it was.
TEST(TzxKinds, EditsUndoAndRedoCarryTheKeptFields) {
  const Bytes tape = Tzx({TzxText(0x30, "A"), TzxTurbo(Body(kHeader)), TzxPureTone(2168, 10), TzxPause(700),
                          Block(0x24, {2, 0}), TzxRom(kData), Block(0x25, {})});
  TapeProject project = Loaded(tape);
  const std::vector<TapeBlock> original = project.blocks;
  EditHistory history;
  ASSERT_TRUE(MoveBlocks(project, history, 1, 2, +1).changed);
  EXPECT_EQ(project.blocks[3], original[2]);
  EXPECT_EQ(project.blocks[2], original[1]);
  ASSERT_TRUE(DeleteBlocks(project, history, {0, 4}).changed);
  EXPECT_EQ(project.blockCount(), 5);
  EXPECT_EQ(BlockListLine(project.blocks[0]), "Пауза 0,7 с");
  history.Undo(project);
  history.Undo(project);
  EXPECT_EQ(project.blocks, original);
  history.Redo(project);
  history.Redo(project);
  history.Undo(project);
  history.Undo(project);
  TempDir dir;
  project.fileName = (dir / "edited.tzx").string();
  NullProgress progress;
  ASSERT_TRUE(SaveTapeFile(project, progress).ok());
  EXPECT_EQ(ReadFileBytes(dir / "edited.tzx"), tape);
}

// Every kind cut at every byte: the blocks before the cut are kept, the cut
// one is reported, and the tape's signal has an end.
TEST(TzxKinds, EveryKindCutAtEveryByteLoadsWhatCanBeRead) {
  for (const KindRow& row : KindRows()) {
    SCOPED_TRACE(row.name);
    const Bytes whole = Tzx({TzxRom(kData), row.block});
    for (std::size_t cut = whole.size() - row.block.size() + 1; cut < whole.size(); ++cut) {
      const Bytes file(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
      TempDir dir;
      WriteFileBytes(dir / "cut.tzx", file);
      TapeProject project;
      NullProgress progress;
      const OpResult result = LoadTapeFile(project, (dir / "cut.tzx").string(), progress);
      ASSERT_EQ(result.kind, OpResult::Kind::Warning) << cut;
      EXPECT_NE(result.message.find("Последний блок файла обрезан"), std::string::npos);
      ASSERT_EQ(project.blockCount(), 1);
      EXPECT_EQ(project.blocks[0], kData);
    }
  }
}

// Tapes of every kind, each kind met again after others (equal kept fields
// are shared between blocks): read whole, every block saves back as it was;
// read through a size taken before the file was cut short, the read fails
// with EIO, with room for all, for one block, and for standard blocks only.
TEST(TzxKinds, SharedFieldsSaveBackAndAFileCutUnderTheReaderFails) {
  struct Setting {
    std::size_t room;
    bool standardOnly;
  };
  const Setting settings[] = {{1000, false}, {1, false}, {1000, true}};
  for (const KindRow& row : KindRows()) {
    SCOPED_TRACE(row.name);
    const std::vector<Bytes> sources = {TzxRom(kData), row.block, Turbo(Body(kData), 6, 1000), row.block,
                                        TzxTurbo(Body(kHeader)), row.block};
    Bytes whole = Tzx({});
    for (const Bytes& source : sources) whole.insert(whole.end(), source.begin(), source.end());
    TempDir dir;
    WriteFileBytes(dir / "t.tzx", whole);
    const int fd = ::open((dir / "t.tzx").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    for (const std::uint64_t size : {whole.size() + 1, whole.size() + 3 * 4096}) {
      for (const Setting& setting : settings) {
        const TzxKinds read = ReadTzxKinds(fd, size, setting.room, setting.standardOnly, {});
        EXPECT_EQ(read.error, EIO) << "size " << size << ", room " << setting.room
                                   << (setting.standardOnly ? ", standard only" : "");
      }
    }
    const TzxKinds all = ReadTzxKinds(fd, whole.size(), 1000, false, {});
    ASSERT_EQ(all.blocks.size(), sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
      Bytes saved;
      AppendTzxBlock(saved, all.blocks[i]);
      EXPECT_EQ(saved, sources[i]) << "block " << i;
    }
    ::close(fd);
  }
}

// Mapped or read, a load gives the same blocks, counts and errors: on whole
// tapes, on a tape cut at every byte, when told a size the file no longer has
// (the rest of its last page reads as zeros, pages past it fault), and on a
// tape longer than one mapped stretch (records across the stretch's end),
// whole, cut, and cut short while the load runs; each with room for all
// blocks, for one, and for standard blocks only. Read whole into one buffer,
// a load gives the same as a read of a file nobody changes meanwhile, its
// records views of the buffer up to the file's last byte unless they would
// hold a large buffer for a small share of it; a failed read gives no blocks.
TEST(TzxKinds, MappedAndReadLoadsAgreeOnWholeCutAndChangedFiles) {
  Bytes kinds = Tzx({TzxRom(kData)});
  for (const KindRow& row : KindRows()) kinds.insert(kinds.end(), row.block.begin(), row.block.end());
  // Records of 65533 bytes beyond the first stretch mapped (8 MiB), after
  // two whose ends fall on page boundaries (8192 and 73728).
  Bytes records = Tzx({});
  Bytes data = RandomBytes(65533, 5);
  for (int i = 0; i < 132; ++i) {
    data[0] = static_cast<std::uint8_t>(i);  // no two records alike
    const std::size_t size = i == 0 ? 8175 : i == 1 ? 65529 : data.size();
    const Bytes block = TzxRom(MakeDataBlock(Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size))));
    records.insert(records.end(), block.begin(), block.end());
  }
  struct Row {
    const char* name;
    const Bytes* file;
    std::size_t cut;      // the file's bytes written (0: all of them)
    std::uint64_t told;   // the size the load is told, beyond the bytes written
    std::uint64_t cutAt;  // cut the file to this size after its first block (0: never)
    bool restored;        // written whole again after the next block
    int error;            // what both give with room for all (-1: not checked)
    std::size_t blocks;   // how many blocks both give then
  };
  // A file cut while it is read keeps the blocks before the first chunk that
  // could not be read whole, wherever the chunks fall.
  constexpr std::size_t kUnchecked = SIZE_MAX;
  std::vector<Row> rows = {
      {"every kind, whole", &kinds, 0, 0, 0, false, 0, 26},
      {"every kind, told one byte more", &kinds, 0, 1, 0, false, EIO, 0},
      {"every kind, told three pages more", &kinds, 0, 3 * 4096, 0, false, EIO, 0},
      {"records beyond one stretch", &records, 0, 0, 0, false, 0, 132},
      {"records beyond one stretch, cut inside the last", &records, records.size() - 1000, 0, 0, false, 0, 131},
      {"records beyond one stretch, cut short while loading", &records, 0, 0, 4 << 20, false, EIO, kUnchecked},
      // The second record's pages after its first are read while the file is
      // short (lost); the file is whole again before the next header is read,
      // and the pass goes on into the next stretch.
      {"records, cut short and written again while loading", &records, 0, 0, 12288, true, 0, 132},
      {"records within one stretch, cut short and written again", &records, 1 << 20, 0, 12288, true, 0, 16},
  };
  for (std::size_t cut = kTzxHeaderSize; cut < kinds.size(); ++cut) {
    rows.push_back({"every kind, cut", &kinds, cut, 0, 0, false, -1, 0});
  }
  struct Setting {
    std::size_t room;
    bool standardOnly;
  };
  TempDir dir;
  const std::string path = (dir / "t.tzx").string();
  for (const Row& row : rows) {
    const Bytes file =
        row.cut == 0 ? *row.file : Bytes(row.file->begin(), row.file->begin() + static_cast<std::ptrdiff_t>(row.cut));
    bool written = false;
    for (const Setting setting : {Setting{1000, false}, Setting{1, false}, Setting{1000, true}}) {
      // A mapped pass of standard blocks only stops at the first block it
      // finds zeroed, before the step that writes the file again.
      if (row.restored && setting.standardOnly) continue;
      TzxKinds loads[3];
      for (const FileAccess access : {FileAccess::WholeWherePossible, FileAccess::MapWherePossible, FileAccess::Read}) {
        if (!written) WriteFileBytes(path, file);
        written = row.cutAt == 0;  // a file cut by the load is written again
        const int fd = ::open(path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        int steps = 0;
        const auto step = [&](std::uint64_t) {
          if (row.cutAt != 0 && steps == 0) {
            ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(row.cutAt)), 0);
          }
          if (row.restored && steps == 1) WriteFileBytes(path, file);
          ++steps;
        };
        loads[static_cast<int>(access)] =
            ReadTzxKinds(fd, file.size() + row.told, setting.room, setting.standardOnly, step, access);
        ::close(fd);
      }
      const TzxKinds& whole = loads[0];
      const TzxKinds& mapped = loads[1];
      const TzxKinds& read = loads[2];
      const std::string where = std::string(row.name) + " at " + std::to_string(file.size()) + ", room " +
                                std::to_string(setting.room) + (setting.standardOnly ? ", standard only" : "");
      EXPECT_EQ(mapped.blocks, read.blocks) << where;
      EXPECT_EQ(mapped.leftOut, read.leftOut) << where;
      EXPECT_EQ(mapped.truncatedOffset, read.truncatedOffset) << where;
      EXPECT_EQ(mapped.truncatedBytes, read.truncatedBytes) << where;
      EXPECT_EQ(mapped.error, read.error) << where;
      EXPECT_EQ(mapped.kindsRefused, read.kindsRefused) << where;
      if (row.cutAt == 0) {
        EXPECT_EQ(whole.error, read.error) << where;
        if (read.error == 0) {
          EXPECT_EQ(whole.blocks, read.blocks) << where;
          EXPECT_EQ(whole.leftOut, read.leftOut) << where;
          EXPECT_EQ(whole.truncatedOffset, read.truncatedOffset) << where;
          EXPECT_EQ(whole.truncatedBytes, read.truncatedBytes) << where;
          EXPECT_EQ(whole.kindsRefused, read.kindsRefused) << where;
        } else {
          EXPECT_TRUE(whole.blocks.empty()) << where;
        }
        // The records of a tape of records view the buffer; one taken from
        // it for want of room has bytes of its own.
        if (row.file == &records) {
          for (const TapeBlock& block : whole.blocks) EXPECT_EQ(block.isView(), setting.room > 1) << where;
        }
      }
      if (row.error >= 0 && setting.room == 1000 && !setting.standardOnly) {
        EXPECT_EQ(mapped.error, row.error) << where;
        if (row.blocks != kUnchecked) {
          EXPECT_EQ(mapped.blocks.size(), row.blocks) << where;
        }
      }
    }
  }
}

}  // namespace
}  // namespace reelo
