#include "project/block_fields.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
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

class Rows {
 public:
  explicit Rows(BlockFields& fields) : fields_(fields) {}
  Rows& Add(const char* key, const char* caption, std::string value) {
    fields_.rows.push_back({key, caption, std::move(value)});
    return *this;
  }
  Rows& Kind(std::string name) { return Add("Kind", "Вид:", std::move(name)); }

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
  rows.Add("Pilot", "Пилот:", Plain(t.pilotPulses) + " x " + Plain(t.pilot))
      .Add("Sync", "Синхро:", Plain(t.sync1) + " / " + Plain(t.sync2))
      .Add("Zero", "Бит 0:", Tstates(t.zero))
      .Add("One", "Бит 1:", Tstates(t.one))
      .Add("UsedBits", "Биты:", Plain(t.usedBits) + " в посл. байте")
      .Add("Pause", "Пауза:", Ms(t.pause));
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
    rows.Add("Zero", "Бит 0:", Tstates(Number(head, 0, 2)))
        .Add("One", "Бит 1:", Tstates(Number(head, 2, 2)))
        .Add("UsedBits", "Биты:", Plain(Number(head, 4, 1)) + " в посл. байте");
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
      rows.Kind("Тон").Add("Pulse", "Импульс:", Tstates(Number(head, 0, 2))).Add("Count", "Число:", Plain(Number(head, 2, 2)) + " импульсов");
      return;
    case tzx::kPulseSequence: rows.Kind("Импульсы").Add("Count", "Число:", Plain(Number(head, 0, 1)) + " импульсов"); return;
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

}  // namespace reelo
