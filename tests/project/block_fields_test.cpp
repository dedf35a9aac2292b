// The frame's fields of a block and the timings typed into them: what each
// kind lets the user type, how a typed text is read (with or without its
// unit, the pilot's "x" as either letter), the range of every value, and the
// block's data kept through every change.
#include "project/block_fields.h"

#include <gtest/gtest.h>

#include <climits>

#include "project/block_kinds.h"
#include "tape_builders.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::MakeDataBlock;
using testing::MakeHeader;

TapeBlock Kept(TapeBlock record, std::uint8_t id, Bytes head) {
  return TapeBlock(record.bytes(), std::make_shared<const KeptFields>(KeptFields{id, std::move(head)}));
}
// Pilot 1500 x 3000 pulses, syncs 400/450, bits 500/1000, 8 bits, pause 500 ms.
const Bytes kTurboHead{0xDC, 0x05, 0x90, 0x01, 0xC2, 0x01, 0xF4, 0x01, 0xE8, 0x03, 0xB8, 0x0B, 8, 0xF4, 0x01};
TapeBlock Turbo() { return Kept(MakeDataBlock({1, 2, 3, 4}), tzx::kTurbo, kTurboHead); }
// A turbo block of no data: its head holds the data length (0) too.
TapeBlock EmptyTurbo() {
  Bytes head = kTurboHead;
  head.insert(head.end(), {0, 0, 0});
  return Kept({}, tzx::kTurbo, head);
}
// Bits 300/600, 8 bits, pause 100 ms.
TapeBlock PureData() { return Kept(MakeDataBlock({9, 8, 7}), tzx::kPureData, {0x2C, 0x01, 0x58, 0x02, 8, 0x64, 0x00}); }
// 2000 pulses of 2168.
TapeBlock Tone() { return Kept({}, tzx::kPureTone, {0x78, 0x08, 0xD0, 0x07}); }
// Pulses of 667 and 735.
TapeBlock Sequence() { return Kept({}, tzx::kPulseSequence, {2, 0x9B, 0x02, 0xDF, 0x02}); }
TapeBlock TapHeader() { return MakeHeader(3, "screen", 6912, 16384); }
// A standard block with a pause of 2000 ms.
TapeBlock StandardHeader() { return Kept(MakeHeader(0, "loader", 9, 10, 9), tzx::kStandard, {0xD0, 0x07}); }

// Every row as key=value, the editable ones marked with a star.
std::string RowsText(const TapeBlock& block) {
  std::string text;
  for (const BlockField& row : BlockFieldsOf(block).rows) {
    text += (text.empty() ? "" : "|") + std::string(row.editable ? "*" : "") + row.key + "=" + row.value;
  }
  return text;
}

std::string EditableKeys(const TapeBlock& block) {
  std::string keys;
  for (const BlockField& row : BlockFieldsOf(block).rows) {
    if (row.editable) keys += (keys.empty() ? "" : " ") + row.key;
  }
  return keys;
}

TEST(BlockFields, TheTimingsOfTheSoundingKindsAreEditableAndNothingElse) {
  struct Row {
    const char* name;
    TapeBlock block;
    const char* keys;
  };
  const Row rows[] = {
      {"TAP header", TapHeader(), ""},
      {"standard header with a pause", StandardHeader(), ""},
      {"turbo data", Turbo(), "Pilot Sync Zero One UsedBits Pause"},
      {"turbo without data", EmptyTurbo(), "Pilot Sync Zero One UsedBits Pause"},
      {"pure data", PureData(), "Zero One UsedBits Pause"},
      {"pure tone", Tone(), "Pulse Count"},
      {"pulse sequence", Sequence(), "Pulses"},
      {"pause", Kept({}, tzx::kPause, {0xDC, 0x05}), ""},
      {"text", Kept({}, tzx::kText, {2, 'h', 'i'}), ""},
  };
  for (const Row& row : rows) EXPECT_EQ(EditableKeys(row.block), row.keys) << row.name;
  EXPECT_EQ(RowsText(Sequence()), "Kind=Импульсы|Count=2 импульсов|*Pulses=667, 735 тактов");
  // A sequence of no pulses (as a file may have one), and one cut short: the pulses there are.
  EXPECT_EQ(RowsText(Kept({}, tzx::kPulseSequence, {0})), "Kind=Импульсы|Count=0 импульсов|*Pulses=");
  EXPECT_EQ(RowsText(Kept({}, tzx::kPulseSequence, {3, 0x9B, 0x02, 0xDF})), "Kind=Импульсы|Count=3 импульсов|*Pulses=667 тактов");
}

std::string Pulses(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += (i ? ", " : "") + std::to_string(600 + i);
  return text;
}

TEST(BlockFields, TypedTimings) {
  struct Row {
    const char* name;
    TapeBlock block;
    const char* key;
    std::string typed;
    std::string rows;   // the block's rows afterwards, when the value is taken
    std::string error;  // the reason, when it is refused
  };
  const std::string turbo = "Kind=Турбо|Size=4 байт|";
  const std::string pulseRange = "Длительность импульса должна быть от 1 до 65535 тактов";
  const Row rows[] = {
      {"turbo bit 1, a bare number", Turbo(), "One", "900",
       turbo + "*Pilot=3000 x 1500|*Sync=400 / 450|*Zero=500 тактов|*One=900 тактов|*UsedBits=8 в посл. байте|*Pause=500 мс", ""},
      {"turbo bit 1, its unit and spaces", Turbo(), "One", "  900 тактов ",
       turbo + "*Pilot=3000 x 1500|*Sync=400 / 450|*Zero=500 тактов|*One=900 тактов|*UsedBits=8 в посл. байте|*Pause=500 мс", ""},
      {"turbo pilot with a Cyrillic х", Turbo(), "Pilot", "2000 х 1800",
       turbo + "*Pilot=2000 x 1800|*Sync=400 / 450|*Zero=500 тактов|*One=1000 тактов|*UsedBits=8 в посл. байте|*Pause=500 мс", ""},
      {"turbo pilot without pulses", Turbo(), "Pilot", "0x2168",
       turbo + "*Pilot=0 x 2168|*Sync=400 / 450|*Zero=500 тактов|*One=1000 тактов|*UsedBits=8 в посл. байте|*Pause=500 мс", ""},
      {"turbo syncs without spaces", Turbo(), "Sync", "500/65535",
       turbo + "*Pilot=3000 x 1500|*Sync=500 / 65535|*Zero=500 тактов|*One=1000 тактов|*UsedBits=8 в посл. байте|*Pause=500 мс", ""},
      {"turbo used bits 6", Turbo(), "UsedBits", "6 в посл. байте",
       turbo + "*Pilot=3000 x 1500|*Sync=400 / 450|*Zero=500 тактов|*One=1000 тактов|*UsedBits=6 в посл. байте|*Pause=500 мс", ""},
      {"turbo pause 0", Turbo(), "Pause", "0",
       turbo + "*Pilot=3000 x 1500|*Sync=400 / 450|*Zero=500 тактов|*One=1000 тактов|*UsedBits=8 в посл. байте|*Pause=0 мс", ""},
      {"turbo without data, bit 0", EmptyTurbo(), "Zero", "1",
       "Kind=Турбо|*Pilot=3000 x 1500|*Sync=400 / 450|*Zero=1 тактов|*One=1000 тактов|*UsedBits=8 в посл. байте|*Pause=500 мс", ""},
      {"turbo bit 0 of 0 T-states", Turbo(), "Zero", "0", "", pulseRange},
      {"turbo bit 0 of 65536 T-states", Turbo(), "Zero", "65536", "", pulseRange},
      {"turbo bit 1 negative", Turbo(), "One", "-1", "", pulseRange},
      {"turbo bit 1 past an int", Turbo(), "One", "99999999999", "", pulseRange},
      {"turbo sync of 0", Turbo(), "Sync", "0 / 450", "", pulseRange},
      {"turbo pilot of 65536 pulses", Turbo(), "Pilot", "65536 x 2168", "", "Число импульсов пилота должно быть от 0 до 65535"},
      {"turbo used bits 0", Turbo(), "UsedBits", "0", "", "В последнем байте может быть от 1 до 8 бит"},
      {"turbo used bits 9", Turbo(), "UsedBits", "9", "", "В последнем байте может быть от 1 до 8 бит"},
      {"turbo pause 65536", Turbo(), "Pause", "65536 мс", "", "Пауза должна быть от 0 до 65535 мс"},
      {"turbo bit 1 not a number", Turbo(), "One", "abc", "", "В поле «Бит 1» должно быть целое число"},
      {"turbo bit 1 empty", Turbo(), "One", " ", "", "В поле «Бит 1» должно быть целое число"},
      {"turbo bit 1 with another unit", Turbo(), "One", "900 мс", "", "В поле «Бит 1» должно быть целое число"},
      {"turbo bit 1 a fraction", Turbo(), "One", "900,5", "", "В поле «Бит 1» должно быть целое число"},
      {"turbo pilot of one number", Turbo(), "Pilot", "3000", "", "В поле «Пилот» должны быть два целых числа через «x»"},
      {"turbo pilot of a missing length", Turbo(), "Pilot", "3000 x", "", "В поле «Пилот» должны быть два целых числа через «x»"},
      {"turbo syncs of three numbers", Turbo(), "Sync", "1/2/3", "", "В поле «Синхро» должны быть два целых числа через «/»"},
      {"turbo size", Turbo(), "Size", "5", "", "Это поле блока нельзя изменить"},
      {"pure data bit 0", PureData(), "Zero", "250",
       "Kind=Чистые данные|Size=3 байт|*Zero=250 тактов|*One=600 тактов|*UsedBits=8 в посл. байте|*Pause=100 мс", ""},
      {"pure data used bits 1", PureData(), "UsedBits", "1",
       "Kind=Чистые данные|Size=3 байт|*Zero=300 тактов|*One=600 тактов|*UsedBits=1 в посл. байте|*Pause=100 мс", ""},
      {"pure data pause 65535", PureData(), "Pause", "65535",
       "Kind=Чистые данные|Size=3 байт|*Zero=300 тактов|*One=600 тактов|*UsedBits=8 в посл. байте|*Pause=65535 мс", ""},
      {"pure data bit 1 of 0", PureData(), "One", "0", "", pulseRange},
      {"pure data used bits 9", PureData(), "UsedBits", "9", "", "В последнем байте может быть от 1 до 8 бит"},
      {"tone pulse", Tone(), "Pulse", "2000 тактов", "Kind=Тон|*Pulse=2000 тактов|*Count=2000 импульсов", ""},
      {"tone of one pulse", Tone(), "Count", "1", "Kind=Тон|*Pulse=2168 тактов|*Count=1 импульсов", ""},
      {"tone of no pulses", Tone(), "Count", "0", "", "Число импульсов должно быть от 1 до 65535"},
      {"tone pulse of 65536", Tone(), "Pulse", "65536", "", pulseRange},
      {"sequence of three pulses", Sequence(), "Pulses", "600, 700, 800 тактов",
       "Kind=Импульсы|Count=3 импульсов|*Pulses=600, 700, 800 тактов", ""},
      {"sequence parted by spaces and a semicolon", Sequence(), "Pulses", "600 700;800",
       "Kind=Импульсы|Count=3 импульсов|*Pulses=600, 700, 800 тактов", ""},
      {"sequence of 255 pulses", Sequence(), "Pulses", Pulses(255),
       "Kind=Импульсы|Count=255 импульсов|*Pulses=" + Pulses(255) + " тактов", ""},
      {"sequence of 256 pulses", Sequence(), "Pulses", Pulses(256), "", "В последовательности может быть от 1 до 255 импульсов"},
      {"sequence of none", Sequence(), "Pulses", "", "", "В поле «Длины» должны быть длительности импульсов через запятую"},
      {"sequence with a word", Sequence(), "Pulses", "600, abc", "",
       "В поле «Длины» должны быть длительности импульсов через запятую"},
      {"sequence with a pulse of 0", Sequence(), "Pulses", "600, 0", "", pulseRange},
      {"sequence count", Sequence(), "Count", "3", "", "Это поле блока нельзя изменить"},
      {"TAP header start", TapHeader(), "Start", "100", "", "Это поле блока нельзя изменить"},
      {"TAP header pause", TapHeader(), "Pause", "100", "", "Это поле блока нельзя изменить"},
      {"standard header pause", StandardHeader(), "Pause", "100", "", "Это поле блока нельзя изменить"},
  };
  for (const Row& row : rows) {
    const FieldEdit edit = WithFieldText(row.block, row.key, row.typed);
    EXPECT_EQ(edit.status.ok(), row.error.empty()) << row.name;
    EXPECT_EQ(edit.status.message, row.error) << row.name;
    // The data is never touched; a refused text leaves the block as it was.
    EXPECT_EQ(edit.block.bytes(), row.block.bytes()) << row.name;
    EXPECT_EQ(RowsText(edit.block), row.error.empty() ? row.rows : RowsText(row.block)) << row.name;
    if (row.error.empty()) {
      EXPECT_FALSE(edit.block == row.block) << row.name;
    }
  }
}

// The turbo timings typed in place are the ones the dialog and the sound read.
TEST(BlockFields, TypedTurboTimingsAreTheBlocksTimings) {
  FieldEdit edit = WithFieldText(Turbo(), "Pilot", "2000 x 1800");
  edit = WithFieldText(edit.block, "Sync", "600 / 700");
  edit = WithFieldText(edit.block, "UsedBits", "3");
  ASSERT_TRUE(edit.status.ok());
  const TurboTimings t = *TurboTimingsOf(edit.block);
  EXPECT_EQ(t, (TurboTimings{1800, 600, 700, 500, 1000, 2000, 3, 500}));
  EXPECT_EQ(edit.block.kept->head.size(), 15u);
}

TEST(BlockFields, WholeNumbers) {
  struct Row {
    const char* typed;
    bool ok;
    int value;
  };
  const Row rows[] = {
      {"12", true, 12},          {" 12\t", true, 12},          {"+7", true, 7},  {"-3", true, -3},
      {"0", true, 0},            {"99999999999", true, INT_MAX}, {"-99999999999", true, INT_MIN},
      {"", false, 0},            {"+", false, 0},              {"+-1", false, 0}, {"1e3", false, 0},
      {"0x10", false, 0},        {"12 34", false, 0},          {"1.5", false, 0},
  };
  for (const Row& row : rows) {
    int value = 0;
    const OpResult read = ReadWholeNumber(row.typed, "Бит 0", value);
    EXPECT_EQ(read.ok(), row.ok) << row.typed;
    EXPECT_EQ(read.message, row.ok ? "" : "В поле «Бит 0» должно быть целое число") << row.typed;
    if (row.ok) {
      EXPECT_EQ(value, row.value) << row.typed;
    }
  }
}

}  // namespace
}  // namespace reelo
