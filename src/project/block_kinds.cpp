#include "project/block_kinds.h"

#include <algorithm>
#include <cstdio>

#include "project/block_list.h"

namespace reelo {
namespace {

// ROM bit lengths: a turbo block's speed is shown against their mean.
constexpr double kRomBitPair = 855.0 + 1710.0;
constexpr std::size_t kMaxShownPulses = 6;
constexpr std::size_t kMaxShownText = 60;
constexpr std::size_t kMaxListedBlocks = 10;
constexpr int kMsPerSecond = 1000;

// Offsets in a turbo block's head.
constexpr std::size_t kTurboPilot = 0, kTurboSync1 = 2, kTurboSync2 = 4, kTurboZero = 6, kTurboOne = 8,
                      kTurboPilotPulses = 10, kTurboUsedBits = 12, kTurboPause = 13;
constexpr std::size_t kPureDataPause = 5;
// Offsets of the pause in the whole body of the signal kinds.
constexpr std::size_t kDirectPause = 2, kCswPause = 4, kGeneralisedPause = 4;

const std::vector<std::uint8_t>& Head(const TapeBlock& block) {
  static const std::vector<std::uint8_t> kNone;
  return block.kept ? block.kept->head : kNone;
}

std::uint32_t Field(const std::vector<std::uint8_t>& head, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) {
    const std::size_t k = at + static_cast<std::size_t>(i);
    value = value * 256 + (k < head.size() ? head[k] : 0);
  }
  return value;
}

void PutField(std::vector<std::uint8_t>& head, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) head[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// "1,5" for 1500 ms: whole seconds, then tenths, hundredths and thousandths as needed.
std::string SecondsText(int ms) {
  std::string text = std::to_string(ms / kMsPerSecond);
  int rest = ms % kMsPerSecond;
  if (rest == 0) return text;
  std::string fraction = std::to_string(kMsPerSecond + rest).substr(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  return text + "," + fraction;
}

// Text bytes of a TZX text field as UTF-8 (Windows-1251), control bytes as spaces.
std::string TextOf(const std::vector<std::uint8_t>& head, std::size_t at, std::size_t length) {
  std::string text;
  const std::size_t end = std::min(head.size(), at + std::min(length, kMaxShownText));
  for (std::size_t i = at; i < end; ++i) text += head[i] < 0x20 ? std::string(" ") : Cp1251ToUtf8(head[i]);
  if (length > kMaxShownText) text += "...";
  return text;
}

std::string PulsesLine(const std::vector<std::uint8_t>& head) {
  const std::size_t count = Field(head, 0, 1);
  std::string line = "Импульсы:" + NumberText(static_cast<long long>(count)) + " (";
  for (std::size_t i = 0; i < std::min(count, kMaxShownPulses); ++i) {
    if (i > 0) line += ", ";
    line += std::to_string(Field(head, 1 + 2 * i, 2));
  }
  return line + (count > kMaxShownPulses ? ", ...)" : ")");
}

std::string ArchiveLine(const std::vector<std::uint8_t>& head) {
  // Length (2), count (1), then entries of ID (1), length (1), text.
  const std::size_t count = Field(head, 2, 1);
  std::size_t at = 3;
  for (std::size_t i = 0; i < count && at + 2 <= head.size(); ++i) {
    const std::size_t length = head[at + 1];
    if (head[at] == 0x00) return "Об архиве: " + TextOf(head, at + 2, length);
    at += 2 + length;
  }
  return "Об архиве:" + NumberText(static_cast<long long>(count)) + " записей";
}

std::string SpeedMark(const TurboTimings& t) {
  const int sum = t.zero + t.one;
  char mark[32];
  std::snprintf(mark, sizeof mark, "%.2f", sum > 0 ? kRomBitPair / sum : 0.0);
  std::string text = mark;
  std::replace(text.begin(), text.end(), '.', ',');
  return "  [турбо x" + text + "]";
}

std::string BytesCount(std::uint32_t bytes) { return NumberText(static_cast<long long>(bytes)) + " байт"; }

std::string SignalKindLine(std::uint8_t id, const std::vector<std::uint8_t>& head) {
  switch (id) {
    case tzx::kTurbo: return "Турбо:" + BytesCount(Field(head, 15, 3));
    case tzx::kPureData: return "Чистые данные:" + BytesCount(Field(head, 7, 3));
    case tzx::kDirectRecording:
      return "Прямая запись:" + BytesCount(Field(head, 5, 3)) + "," +
             NumberText(Field(head, 0, 2)) + " тактов на отсчёт";
    case tzx::kCswRecording:
      return "Запись CSW:" + BytesCount(Field(head, 0, 4) > 10 ? Field(head, 0, 4) - 10 : 0) + "," +
             NumberText(Field(head, 6, 3)) + " Гц";
    case tzx::kGeneralisedData: return "Обобщённые данные:" + BytesCount(Field(head, 0, 4));
    default: break;
  }
  return {};
}

std::string OtherKindLine(std::uint8_t id, const std::vector<std::uint8_t>& head) {
  switch (id) {
    case tzx::kPureTone:
      return "Тон:" + NumberText(Field(head, 2, 2)) + " импульсов по" + NumberText(Field(head, 0, 2));
    case tzx::kPulseSequence: return PulsesLine(head);
    case tzx::kPause: {
      const int ms = static_cast<int>(Field(head, 0, 2));
      return ms == 0 ? "Стоп ленты" : "Пауза " + SecondsText(ms) + " с";
    }
    case tzx::kStopIn48k: return "Стоп ленты в режиме 48K";
    case tzx::kGroupStart: return "Группа: " + TextOf(head, 1, Field(head, 0, 1));
    case tzx::kGroupEnd: return "Конец группы";
    case tzx::kJump: {
      const auto offset = static_cast<std::int16_t>(Field(head, 0, 2));
      return "Переход на" + NumberText(offset) + " блоков";
    }
    case tzx::kLoopStart: return "Цикл:" + NumberText(Field(head, 0, 2)) + " раз";
    case tzx::kLoopEnd: return "Конец цикла";
    case tzx::kCallSequence: return "Вызов последовательности:" + NumberText(Field(head, 0, 2)) + " блоков";
    case tzx::kReturn: return "Возврат из последовательности";
    case tzx::kSelect: return "Выбор:" + NumberText(Field(head, 2, 1)) + " вариантов";
    case tzx::kSignalLevel: return std::string("Уровень сигнала: ") + (Field(head, 4, 1) ? "высокий" : "низкий");
    case tzx::kText: return "Текст: " + TextOf(head, 1, Field(head, 0, 1));
    case tzx::kMessage: return "Сообщение: " + TextOf(head, 2, Field(head, 1, 1));
    case tzx::kArchiveInfo: return ArchiveLine(head);
    case tzx::kHardware: return "Оборудование:" + NumberText(Field(head, 0, 1)) + " записей";
    case tzx::kCustomInfo: return "Доп. информация: " + TextOf(head, 0, 16);
    case tzx::kGlue: return "Склейка файлов";
    default: break;
  }
  char text[48];
  std::snprintf(text, sizeof text, "Блок TZX %02X:", id);
  return text + BytesCount(static_cast<std::uint32_t>(head.size()));
}

bool Within(int value, int low, int high) { return value >= low && value <= high; }

}  // namespace

std::optional<TurboTimings> TurboTimingsOf(const TapeBlock& block) {
  if (block.kind() != tzx::kTurbo) return std::nullopt;
  const auto& head = Head(block);
  TurboTimings t;
  t.pilot = static_cast<int>(Field(head, kTurboPilot, 2));
  t.sync1 = static_cast<int>(Field(head, kTurboSync1, 2));
  t.sync2 = static_cast<int>(Field(head, kTurboSync2, 2));
  t.zero = static_cast<int>(Field(head, kTurboZero, 2));
  t.one = static_cast<int>(Field(head, kTurboOne, 2));
  t.pilotPulses = static_cast<int>(Field(head, kTurboPilotPulses, 2));
  t.usedBits = static_cast<int>(Field(head, kTurboUsedBits, 1));
  t.pause = static_cast<int>(Field(head, kTurboPause, 2));
  return t;
}

OpResult WithTurboTimings(const TapeBlock& block, const TurboTimings& t, TapeBlock& result) {
  if (block.kind() != tzx::kTurbo) return OpResult::Fail("Блок не турбо");
  for (int v : {t.pilot, t.sync1, t.sync2, t.zero, t.one}) {
    if (!Within(v, 1, 65535)) return OpResult::Fail("Длительность импульса должна быть от 1 до 65535 тактов");
  }
  if (!Within(t.pilotPulses, 0, 65535)) return OpResult::Fail("Число импульсов пилота должно быть от 0 до 65535");
  if (!Within(t.usedBits, 1, 8)) return OpResult::Fail("В последнем байте может быть от 1 до 8 бит");
  if (!Within(t.pause, 0, 65535)) return OpResult::Fail("Пауза должна быть от 0 до 65535 мс");
  KeptFields fields = *block.kept;
  if (block.holdsRecord()) {
    fields.head.resize(std::max(fields.head.size(), kTurboHeadSize), 0);
  } else {
    fields.head.resize(std::max(fields.head.size(), kTurboHeadSize + 3), 0);
  }
  auto& head = fields.head;
  PutField(head, kTurboPilot, static_cast<std::uint32_t>(t.pilot), 2);
  PutField(head, kTurboSync1, static_cast<std::uint32_t>(t.sync1), 2);
  PutField(head, kTurboSync2, static_cast<std::uint32_t>(t.sync2), 2);
  PutField(head, kTurboZero, static_cast<std::uint32_t>(t.zero), 2);
  PutField(head, kTurboOne, static_cast<std::uint32_t>(t.one), 2);
  PutField(head, kTurboPilotPulses, static_cast<std::uint32_t>(t.pilotPulses), 2);
  PutField(head, kTurboUsedBits, static_cast<std::uint32_t>(t.usedBits), 1);
  PutField(head, kTurboPause, static_cast<std::uint32_t>(t.pause), 2);
  result = TapeBlock(block.bytes(), std::make_shared<const KeptFields>(std::move(fields)));
  return OpResult::Success();
}

std::string TurboTimingsText(const TapeBlock& block) {
  const std::optional<TurboTimings> t = TurboTimingsOf(block);
  if (!t) return {};
  return "Турбо: пилот" + NumberText(t->pilotPulses) + " x" + NumberText(t->pilot) + ", синхро" +
         NumberText(t->sync1) + "/" + std::to_string(t->sync2) + ", бит 0 -" + NumberText(t->zero) + ", бит 1 -" +
         NumberText(t->one) + " тактов, бит в последнем байте" + NumberText(t->usedBits) + ", пауза" +
         NumberText(t->pause) + " мс";
}

std::optional<int> PauseOf(const TapeBlock& block) {
  const auto& head = Head(block);
  switch (block.kind()) {
    case tzx::kStandard: return block.kept ? static_cast<int>(Field(head, 0, 2)) : kStandardPauseMs;
    case tzx::kTurbo: return static_cast<int>(Field(head, kTurboPause, 2));
    case tzx::kPureData: return static_cast<int>(Field(head, kPureDataPause, 2));
    case tzx::kDirectRecording: return static_cast<int>(Field(head, kDirectPause, 2));
    case tzx::kCswRecording: return static_cast<int>(Field(head, kCswPause, 2));
    case tzx::kGeneralisedData: return static_cast<int>(Field(head, kGeneralisedPause, 2));
    case tzx::kPause: return static_cast<int>(Field(head, 0, 2));
    default: break;
  }
  return std::nullopt;
}

TapeBlock StandardBlock(TapeBlock record, int pauseMs) {
  if (pauseMs == kStandardPauseMs) {
    record.kept.reset();
    return record;
  }
  KeptFields fields{tzx::kStandard, {static_cast<std::uint8_t>(pauseMs & 0xFF), static_cast<std::uint8_t>(pauseMs >> 8)}};
  record.kept = std::make_shared<const KeptFields>(std::move(fields));
  return record;
}

std::string KindListLine(const TapeBlock& block, const std::string& recordLine) {
  if (!block.kept) return recordLine;
  const auto& head = Head(block);
  const std::uint8_t id = block.kept->id;
  if (block.holdsRecord()) {
    switch (id) {
      case tzx::kTurbo: return recordLine + SpeedMark(*TurboTimingsOf(block));
      case tzx::kPureData: return recordLine + "  [чистые данные]";
      default: return recordLine + "  [пауза " + SecondsText(static_cast<int>(Field(head, 0, 2))) + " с]";
    }
  }
  const std::string signal = SignalKindLine(id, head);
  return signal.empty() ? OtherKindLine(id, head) : signal;
}

bool IsSignalRecording(const TapeBlock& block) {
  const std::uint8_t kind = block.kind();
  return kind == tzx::kDirectRecording || kind == tzx::kCswRecording || kind == tzx::kGeneralisedData;
}

TapLosses TapLossesOf(const TapeProject& project) {
  TapLosses losses;
  for (int i = 0; i < project.blockCount(); ++i) {
    const TapeBlock& block = project.blocks[static_cast<std::size_t>(i)];
    if (block.isPlainRecord()) continue;
    if (IsSignalRecording(block)) {
      losses.decoded.push_back(i + 1);
    } else {
      (block.holdsRecord() ? losses.converted : losses.leftOut).push_back(i + 1);
    }
  }
  return losses;
}

namespace {

std::string NumbersText(const std::vector<int>& numbers) {
  std::string text;
  for (std::size_t i = 0; i < numbers.size() && i < kMaxListedBlocks; ++i) text += (i > 0 ? "," : "") + NumberText(numbers[i]);
  if (numbers.size() > kMaxListedBlocks) text += " и ещё" + NumberText(static_cast<long long>(numbers.size() - kMaxListedBlocks));
  return text;
}

}  // namespace

std::string TapLossesText(const TapLosses& losses) {
  std::string text = "Формат TAP хранит только записи стандартной скорости.";
  if (!losses.converted.empty()) {
    text += "\nБлоки" + NumbersText(losses.converted) +
            " будут сохранены как обычные записи: их скорость, паузы и неполный последний байт не сохранятся.";
  }
  if (!losses.decoded.empty()) {
    text += "\nБлоки" + NumbersText(losses.decoded) +
            " (записи сигнала) будут расшифрованы: в файл попадут найденные в них записи.";
  }
  if (!losses.leftOut.empty()) {
    text += "\nБлоки" + NumbersText(losses.leftOut) + " (тоны, импульсы, паузы, группы, циклы, тексты) "
            "в файл не попадут.";
  }
  return text;
}

bool StopsTape(const TapeBlock& block) {
  if (block.kind() == tzx::kStopIn48k) return true;
  return block.kind() == tzx::kPause && Field(Head(block), 0, 2) == 0;
}

}  // namespace reelo
