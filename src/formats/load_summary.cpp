#include "formats/load_summary.h"

#include <vector>

#include "sound/import/import_state.h"

namespace reelo {
namespace {

// Adds "<label> N" to the parts for a count above 0.
void AddPart(std::vector<std::string>& parts, const char* label, int count) {
  if (count > 0) parts.push_back(label + NumberText(count));
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += separator;
    text += part;
  }
  return text;
}

}  // namespace

std::string LoadSummaryText(const TapeLoadCounts& c, const LoadNotes& notes) {
  std::vector<std::string> lines;
  const bool onlyTaken = c.converted == 0 && c.signalBlocks == 0 && c.signalNotDecoded == 0 && c.pauses == 0 &&
                         c.groups == 0 && c.texts == 0 && c.unknown == 0 && c.recordsLeftOut == 0 &&
                         notes.truncatedBytes == 0 && notes.recording.empty();
  if (onlyTaken) return {};
  lines.push_back("Стандартных блоков данных взято:" + NumberText(c.taken) + ".");
  if (c.keptKinds > 0) lines.push_back("Блоков других видов взято:" + NumberText(c.keptKinds) + ".");
  if (c.converted > 0) {
    std::string line = "Турбо-блоков и блоков чистых данных взято как обычные записи:" + NumberText(c.converted) +
                       "; их скорость и паузы не сохранены.";
    if (c.badChecksums > 0) line += " Контрольная сумма не сходится в" + NumberText(c.badChecksums) + " из них.";
    lines.push_back(line);
  }
  if (c.signalBlocks > 0) {
    std::string line = "Сигнальных блоков расшифровано:" + NumberText(c.signalBlocks) +
                       "; найдено записей:" + NumberText(c.decodedRecords) + ".";
    if (c.signalWithoutData > 0) line += " Без записей:" + NumberText(c.signalWithoutData) + ".";
    lines.push_back(line);
  }
  std::vector<std::string> skipped;
  AddPart(skipped, "паузы и остановки", c.pauses);
  AddPart(skipped, "группы, циклы и переходы", c.groups);
  AddPart(skipped, "тексты и описания", c.texts);
  if (!skipped.empty()) lines.push_back("Пропущены блоки без данных: " + Joined(skipped, ", ") + ".");
  if (c.unknown > 0) lines.push_back("Пропущены блоки неизвестного типа:" + NumberText(c.unknown) + ".");
  if (notes.truncatedBytes > 0) {
    lines.push_back("Последний блок файла обрезан: не загружено" +
                    NumberText(static_cast<long long>(notes.truncatedBytes)) + " байт со смещения" +
                    NumberText(static_cast<long long>(notes.truncatedOffset)) + ".");
  }
  if (!notes.recording.empty()) lines.push_back(notes.recording);
  if (c.recordsLeftOut > 0 || c.signalNotDecoded > 0) {
    std::string line = "В проекте может быть не больше" + NumberText(kMaxBlocks) + " блоков:";
    std::vector<std::string> lost;
    AddPart(lost, " не загружено записей из файла:", c.recordsLeftOut);
    AddPart(lost, " не расшифровано сигнальных блоков:", c.signalNotDecoded);
    lines.push_back(line + Joined(lost, ";") + ".");
  }
  if (notes.decoderStoreFull) {
    lines.push_back("Расшифровка сигнала остановлена после" + NumberText(kMaxLoadedBlocks) + " записей.");
  }
  if (notes.signalCut) lines.push_back("Сигнал длиннее 3 часов: расшифрованы только первые 3 часа.");
  return Joined(lines, "\n");
}

}  // namespace reelo
