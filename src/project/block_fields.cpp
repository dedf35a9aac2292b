#include "project/block_fields.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include "project/block_access.h"
#include "project/block_kinds.h"
#include "project/block_list.h"
#include "project/header_info.h"

namespace reelo {
namespace {

constexpr const char* kHeaderTitle = "Информация о заголовке";
constexpr const char* kBlockTitle = "Информация о блоке";
// The frame has room for this many characters of a text; the rest is cut.
constexpr std::size_t kMaxShownText = 120;

// The archive information's entry IDs and their captions (0xFF: comment).
struct ArchiveEntry {
  std::uint8_t id;
  const char* key;
  const char* caption;
};
constexpr ArchiveEntry kArchiveEntries[] = {
    {0x00, "Title", "Имя:"},  {0x01, "Publisher", "Фирма:"}, {0x02, "Author", "Автор:"},
    {0x03, "Year", "Год:"},        {0x04, "Language", "Язык:"},      {0x05, "Genre", "Жанр:"},
    {0x06, "Price", "Цена:"},      {0x07, "Loader", "Загр.:"},   {0x08, "Origin", "Откуда:"},
    {0xFF, "Comment", "Заметка:"},
};

// Offsets in the heads of the kinds whose timings can be typed.
constexpr std::size_t kPureDataZero = 0, kPureDataOne = 2, kPureDataUsedBits = 4, kPureDataPause = 5;
constexpr std::size_t kTonePulse = 0, kToneCount = 2;
// The ranges of typed values: a pulse or a pause fits 16 bits, the used bits
// of the last byte 1..8, a sequence's count one byte.
constexpr int kMaxWord = 65535;
constexpr int kMinUsedBits = 1, kMaxUsedBits = 8;
constexpr int kMaxSequencePulses = 255;

constexpr const char* kPulseRangeText = "Длительность импульса должна быть от 1 до 65535 тактов";
constexpr const char* kToneCountRangeText = "Число импульсов должно быть от 1 до 65535";
constexpr const char* kUsedBitsRangeText = "В последнем байте может быть от 1 до 8 бит";
constexpr const char* kPauseRangeText = "Пауза должна быть от 0 до 65535 мс";
constexpr const char* kSequenceRangeText = "В последовательности может быть от 1 до 255 импульсов";
constexpr const char* kNotEditableText = "Это поле блока нельзя изменить";

using Head = std::vector<std::uint8_t>;

// The little-endian number of `bytes` bytes at `at`; bytes past the end count as 0.
std::uint32_t Number(const Head& head, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) {
    const std::size_t k = at + static_cast<std::size_t>(i);
    value = value * 256 + (k < head.size() ? head[k] : 0);
  }
  return value;
}

// The text bytes of a TZX field (Windows-1251) as UTF-8; control bytes as spaces.
std::string Text(const Head& head, std::size_t at, std::size_t length) {
  std::string text;
  const std::size_t end = std::min({head.size(), at + length, at + kMaxShownText});
  for (std::size_t i = at; i < end; ++i) text += head[i] < 0x20 ? std::string(" ") : Cp1251ToUtf8(head[i]);
  if (length > kMaxShownText) text += "...";
  return text;
}

std::string Plain(long long value) { return std::to_string(value); }
std::string Ms(long long value) { return Plain(value) + " мс"; }
std::string Bytes(long long value) { return Plain(value) + " байт"; }
std::string Tstates(long long value) { return Plain(value) + " тактов"; }

// The fields a user can type: how each shows its numbers (the mark between
// them, the unit after them), and so how a typed text is read back. `split`
// is the character the numbers are parted by ('\0': one number).
struct TimingFormat {
  const char* key;
  const char* caption;
  const char* mark;
  char split;
  const char* unit;
};
constexpr TimingFormat kTimingFormats[] = {
    {"Pilot", "Пилот:", " x ", 'x', ""},      {"Sync", "Синхро:", " / ", '/', ""},
    {"Zero", "Бит 0:", "", '\0', "тактов"},    {"One", "Бит 1:", "", '\0', "тактов"},
    {"UsedBits", "Биты:", "", '\0', "в посл. байте"}, {"Pause", "Пауза:", "", '\0', "мс"},
    {"Pulse", "Импульс:", "", '\0', "тактов"}, {"Count", "Число:", "", '\0', "импульсов"},
    {"Pulses", "Длины:", ", ", ',', "тактов"},
};

const TimingFormat* FormatOf(const std::string& key) {
  for (const TimingFormat& format : kTimingFormats) {
    if (key == format.key) return &format;
  }
  return nullptr;
}

std::string TimingText(const TimingFormat& format, const std::vector<long long>& values) {
  if (values.empty()) return {};  // a sequence of no pulses: no unit alone
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) text += (i ? format.mark : "") + Plain(values[i]);
  if (*format.unit) text += std::string(" ") + format.unit;
  return text;
}

class Rows {
 public:
  explicit Rows(BlockFields& fields) : fields_(fields) {}
  Rows& Add(const char* key, const char* caption, std::string value) {
    fields_.rows.push_back({key, caption, std::move(value)});
    return *this;
  }
  Rows& Kind(std::string name) { return Add("Kind", "Вид:", std::move(name)); }
  // A timing the user may type anew.
  Rows& Timing(const char* key, const std::vector<long long>& values) {
    const TimingFormat& format = *FormatOf(key);
    fields_.rows.push_back({key, format.caption, TimingText(format, values), true});
    return *this;
  }

 private:
  BlockFields& fields_;
};

void HeaderRows(const HeaderInfo& info, Rows& rows) {
  auto optional = [](const std::optional<int>& v) { return v ? Plain(*v) : std::string(); };
  rows.Add("Type", "Тип:", info.typeName)
      .Add("Start", "Старт:", optional(info.start))
      .Add("Size", "Размер:", Plain(info.dataLength))
      .Add("Autostart", "Запуск:", optional(info.autostart));
}

void TurboRows(const TurboTimings& t, Rows& rows) {
  rows.Timing("Pilot", {t.pilotPulses, t.pilot})
      .Timing("Sync", {t.sync1, t.sync2})
      .Timing("Zero", {t.zero})
      .Timing("One", {t.one})
      .Timing("UsedBits", {t.usedBits})
      .Timing("Pause", {t.pause});
}

void PureDataRows(const Head& head, Rows& rows) {
  rows.Timing("Zero", {Number(head, kPureDataZero, 2)})
      .Timing("One", {Number(head, kPureDataOne, 2)})
      .Timing("UsedBits", {Number(head, kPureDataUsedBits, 1)})
      .Timing("Pause", {Number(head, kPureDataPause, 2)});
}

// The pulses of a pulse sequence, as many as its head holds.
std::vector<long long> SequencePulses(const Head& head) {
  std::vector<long long> pulses;
  const std::size_t count = Number(head, 0, 1);
  for (std::size_t i = 0; i < count && 1 + 2 * i + 2 <= head.size(); ++i) pulses.push_back(Number(head, 1 + 2 * i, 2));
  return pulses;
}

// A block whose bytes are a record: a header's fields, or the data's size;
// then the timings of its kind.
void RecordRows(const TapeBlock& block, Rows& rows, BlockFields& fields) {
  const std::optional<HeaderInfo> info = ReadHeader(block);
  const Head& head = block.kept ? block.kept->head : Head{};
  const std::uint8_t id = block.kind();
  if (!info) {
    rows.Kind(id == tzx::kTurbo ? "Турбо" : id == tzx::kPureData ? "Чистые данные" : "Стандартный");
    rows.Add("Size", "Размер:", Bytes(std::max(0, DataLength(block))));
  } else {
    HeaderRows(*info, rows);
  }
  if (const std::optional<TurboTimings> t = TurboTimingsOf(block)) {
    fields.turbo = true;
    TurboRows(*t, rows);
  } else if (id == tzx::kPureData) {
    PureDataRows(head, rows);
    return;
  }
  if (!fields.turbo && block.kept) rows.Add("Pause", "Пауза:", Ms(PauseOf(block).value_or(0)));
}

void ArchiveRows(const Head& head, Rows& rows) {
  // Length (2), count (1), then entries of ID (1), length (1), text.
  const std::size_t count = Number(head, 2, 1);
  std::size_t at = 3;
  for (std::size_t i = 0; i < count && at + 2 <= head.size(); ++i) {
    const std::uint8_t id = head[at];
    const std::size_t length = head[at + 1];
    const auto* entry = std::find_if(std::begin(kArchiveEntries), std::end(kArchiveEntries),
                                     [id](const ArchiveEntry& e) { return e.id == id; });
    if (entry != std::end(kArchiveEntries)) rows.Add(entry->key, entry->caption, Text(head, at + 2, length));
    at += 2 + length;
  }
}

// Every kind that holds no record: its fields, from the block as the TZX file has it.
void OtherRows(std::uint8_t id, const Head& head, Rows& rows) {
  switch (id) {
    case tzx::kPureTone:
      rows.Kind("Тон").Timing("Pulse", {Number(head, kTonePulse, 2)}).Timing("Count", {Number(head, kToneCount, 2)});
      return;
    case tzx::kPulseSequence:
      rows.Kind("Импульсы").Add("Count", "Число:", Plain(Number(head, 0, 1)) + " импульсов").Timing("Pulses", SequencePulses(head));
      return;
    case tzx::kPause: {
      const std::uint32_t ms = Number(head, 0, 2);
      rows.Kind(ms == 0 ? "Стоп ленты" : "Пауза").Add("Pause", "Пауза:", Ms(ms));
      return;
    }
    case tzx::kStopIn48k: rows.Kind("Стоп в режиме 48K"); return;
    case tzx::kGroupStart: rows.Kind("Группа").Add("Name", "Имя:", Text(head, 1, Number(head, 0, 1))); return;
    case tzx::kGroupEnd: rows.Kind("Конец группы"); return;
    case tzx::kJump: rows.Kind("Переход").Add("Offset", "Блоков:", Plain(static_cast<std::int16_t>(Number(head, 0, 2)))); return;
    case tzx::kLoopStart: rows.Kind("Цикл").Add("Count", "Повторы:", Plain(Number(head, 0, 2))); return;
    case tzx::kLoopEnd: rows.Kind("Конец цикла"); return;
    case tzx::kText: rows.Kind("Текст").Add("Text", "Текст:", Text(head, 1, Number(head, 0, 1))); return;
    case tzx::kMessage:
      rows.Kind("Сообщение").Add("Text", "Текст:", Text(head, 2, Number(head, 1, 1))).Add("Time", "Показ:", Plain(Number(head, 0, 1)) + " с");
      return;
    case tzx::kArchiveInfo: rows.Kind("Об архиве"); ArchiveRows(head, rows); return;
    case tzx::kHardware: rows.Kind("Оборудование").Add("Count", "Записей:", Plain(Number(head, 0, 1))); return;
    case tzx::kCustomInfo: rows.Kind("Доп. информация").Add("Name", "Имя:", Text(head, 0, 16)).Add("Size", "Размер:", Bytes(Number(head, 16, 4))); return;
    case tzx::kDirectRecording:
      rows.Kind("Прямая запись").Add("Sample", "Отсчёт:", Tstates(Number(head, 0, 2))).Add("Size", "Размер:", Bytes(Number(head, 5, 3))).Add("Pause", "Пауза:", Ms(Number(head, 2, 2)));
      return;
    case tzx::kCswRecording:
      rows.Kind("Запись CSW").Add("Rate", "Частота:", Plain(Number(head, 6, 3)) + " Гц").Add("Pause", "Пауза:", Ms(Number(head, 4, 2)));
      return;
    case tzx::kGeneralisedData: rows.Kind("Обобщённые данные").Add("Pause", "Пауза:", Ms(Number(head, 4, 2))); return;
    default: break;
  }
  char name[32];
  std::snprintf(name, sizeof name, "Блок TZX %02X", id);
  rows.Kind(name);
  rows.Add("Size", "Размер:", Bytes(static_cast<long long>(head.size())));
}

// Spaces and tabs cut off both ends.
std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// The ways the pilot's "x" is typed: Cyrillic and Latin letters of either
// case, the multiplication sign, a star.
constexpr const char* kTimesMarks[] = {"х", "Х", "×", "X", "*"};

// The field's name in messages: its caption without the colon.
std::string NameOf(const TimingFormat& format) {
  std::string name = format.caption;
  name.pop_back();
  return name;
}

// The text cut into the numbers it holds, parted by the format's mark; a
// list (a pulse sequence) may be parted by commas, semicolons or spaces.
std::vector<std::string> Parts(std::string text, char split) {
  if (split == 'x') {
    for (const char* mark : kTimesMarks) ReplaceAll(text, mark, "x");
  }
  const bool list = split == ',';
  if (list) std::replace_if(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == ';'; }, ',');
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (std::size_t at = text.find(split); ; at = text.find(split, from)) {
    std::string part = text.substr(from, at == std::string::npos ? std::string::npos : at - from);
    if (!list || !part.empty()) parts.push_back(std::move(part));
    if (at == std::string::npos) break;
    from = at + 1;
  }
  return parts;
}

// The numbers of a typed field, in the order the field shows them; its unit
// may follow them or not.
OpResult ReadNumbers(const TimingFormat& format, const std::string& typed, std::vector<int>& values) {
  std::string text = Trim(typed);
  const std::size_t unit = std::strlen(format.unit);
  if (unit > 0 && text.size() >= unit && text.compare(text.size() - unit, unit, format.unit) == 0) {
    text = Trim(text.substr(0, text.size() - unit));
  }
  const std::string name = NameOf(format);
  values.clear();
  if (format.split == '\0') {
    int value = 0;
    const OpResult read = ReadWholeNumber(text, name, value);
    values.push_back(value);
    return read;
  }
  const bool list = format.split == ',';
  const OpResult wrong = OpResult::Fail(
      list ? "В поле «" + name + "» должны быть длительности импульсов через запятую"
           : "В поле «" + name + "» должны быть два целых числа через «" + std::string(1, format.split) + "»");
  const std::vector<std::string> parts = Parts(text, format.split);
  if (list ? parts.empty() : parts.size() != 2) return wrong;
  for (const std::string& part : parts) {
    int value = 0;
    if (!ReadWholeNumber(part, name, value).ok()) return wrong;
    values.push_back(value);
  }
  return OpResult::Success();
}

OpResult InRange(int value, int low, int high, const char* text) {
  return value >= low && value <= high ? OpResult::Success() : OpResult::Fail(text);
}

TapeBlock WithHead(const TapeBlock& block, Head head) {
  return TapeBlock(block.bytes(), std::make_shared<const KeptFields>(KeptFields{block.kind(), std::move(head)}));
}

// The fields of one number at a place in the head, and their ranges.
struct PlacedField {
  std::uint8_t kind;
  const char* key;
  std::size_t at;
  int bytes;
  int low;
  int high;
  const char* rangeText;
};
constexpr PlacedField kPlacedFields[] = {
    {tzx::kPureData, "Zero", kPureDataZero, 2, 1, kMaxWord, kPulseRangeText},
    {tzx::kPureData, "One", kPureDataOne, 2, 1, kMaxWord, kPulseRangeText},
    {tzx::kPureData, "UsedBits", kPureDataUsedBits, 1, kMinUsedBits, kMaxUsedBits, kUsedBitsRangeText},
    {tzx::kPureData, "Pause", kPureDataPause, 2, 0, kMaxWord, kPauseRangeText},
    {tzx::kPureTone, "Pulse", kTonePulse, 2, 1, kMaxWord, kPulseRangeText},
    {tzx::kPureTone, "Count", kToneCount, 2, 1, kMaxWord, kToneCountRangeText},
};

// The room a kind's head takes before what follows it: a pure data block's
// fields (and its data length when the block holds no record), a tone's.
std::size_t HeadRoom(const TapeBlock& block) {
  if (block.kind() == tzx::kPureTone) return kToneCount + 2;
  return block.holdsRecord() ? kPureDataHeadSize : kPureDataHeadSize + 3;
}

OpResult SetPlaced(const TapeBlock& block, const std::string& key, int value, TapeBlock& result) {
  for (const PlacedField& field : kPlacedFields) {
    if (field.kind != block.kind() || key != field.key) continue;
    const OpResult range = InRange(value, field.low, field.high, field.rangeText);
    if (!range.ok()) return range;
    Head head = block.kept->head;
    head.resize(std::max(head.size(), HeadRoom(block)), 0);
    for (int i = 0; i < field.bytes; ++i) head[field.at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    result = WithHead(block, std::move(head));
    return OpResult::Success();
  }
  return OpResult::Fail(kNotEditableText);
}

OpResult SetTurbo(const TapeBlock& block, const std::string& key, const std::vector<int>& v, TapeBlock& result) {
  TurboTimings t = *TurboTimingsOf(block);
  if (key == "Pilot") {
    t.pilotPulses = v[0];
    t.pilot = v[1];
  } else if (key == "Sync") {
    t.sync1 = v[0];
    t.sync2 = v[1];
  } else if (key == "Zero") {
    t.zero = v[0];
  } else if (key == "One") {
    t.one = v[0];
  } else if (key == "UsedBits") {
    t.usedBits = v[0];
  } else if (key == "Pause") {
    t.pause = v[0];
  }
  // The same checks as the timings dialog's.
  return WithTurboTimings(block, t, result);
}

// A pulse sequence is its count and its pulses: the head is made anew.
OpResult SetSequence(const TapeBlock& block, const std::vector<int>& pulses, TapeBlock& result) {
  const OpResult count = InRange(static_cast<int>(pulses.size()), 1, kMaxSequencePulses, kSequenceRangeText);
  if (!count.ok()) return count;
  Head head{static_cast<std::uint8_t>(pulses.size())};
  for (int pulse : pulses) {
    const OpResult range = InRange(pulse, 1, kMaxWord, kPulseRangeText);
    if (!range.ok()) return range;
    head.push_back(static_cast<std::uint8_t>(pulse & 0xFF));
    head.push_back(static_cast<std::uint8_t>(pulse >> 8));
  }
  result = WithHead(block, std::move(head));
  return OpResult::Success();
}

}  // namespace

BlockFields BlockFieldsOf(const TapeBlock& block) {
  BlockFields fields;
  Rows rows(fields);
  if (block.holdsRecord()) {
    if (block.isPlainRecord() && !IsHeader(block)) return fields;  // a data record: its line says it all
    RecordRows(block, rows, fields);
  } else if (const std::optional<TurboTimings> t = TurboTimingsOf(block)) {
    fields.turbo = true;  // a turbo block without data
    rows.Kind("Турбо");
    TurboRows(*t, rows);
  } else {
    OtherRows(block.kind(), block.kept ? block.kept->head : Head{}, rows);
  }
  fields.title = IsHeader(block) && block.holdsRecord() ? kHeaderTitle : kBlockTitle;
  return fields;
}


FieldEdit WithFieldText(const TapeBlock& block, const std::string& key, const std::string& text) {
  FieldEdit edit{OpResult::Success(), block};
  const BlockFields fields = BlockFieldsOf(block);
  const bool editable = std::any_of(fields.rows.begin(), fields.rows.end(),
                                    [&key](const BlockField& row) { return row.key == key && row.editable; });
  if (!editable) {
    edit.status = OpResult::Fail(kNotEditableText);
    return edit;
  }
  std::vector<int> values;
  edit.status = ReadNumbers(*FormatOf(key), text, values);
  if (!edit.status.ok()) return edit;
  TapeBlock changed;
  switch (block.kind()) {
    case tzx::kTurbo: edit.status = SetTurbo(block, key, values, changed); break;
    case tzx::kPulseSequence: edit.status = SetSequence(block, values, changed); break;
    default: edit.status = SetPlaced(block, key, values.front(), changed); break;
  }
  if (edit.status.ok()) edit.block = std::move(changed);
  return edit;
}

OpResult ReadWholeNumber(const std::string& typed, const std::string& name, int& value) {
  const std::string text = Trim(typed);
  const char* first = text.data();
  const char* last = first + text.size();
  // A plus sign may stand before the digits (never before a minus).
  if (first != last && *first == '+' && last - first > 1 && first[1] != '-') ++first;
  long long number = 0;
  const auto [end, error] = std::from_chars(first, last, number);
  if (first == last || end != last || (error != std::errc() && error != std::errc::result_out_of_range)) {
    return OpResult::Fail("В поле «" + name + "» должно быть целое число");
  }
  if (error == std::errc::result_out_of_range) number = *first == '-' ? LLONG_MIN : LLONG_MAX;
  value = static_cast<int>(std::clamp<long long>(number, INT_MIN, INT_MAX));
  return OpResult::Success();
}

}  // namespace reelo
