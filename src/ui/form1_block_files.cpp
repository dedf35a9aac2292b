// "Создать из файла..." and "Сохранить данные..." of the "Блок" menu: blocks
// made from a binary, a screen or a BASIC text, and the selected blocks' data
// written to a file.
#include <QFileInfo>

#include "blocks/block_export.h"
#include "blocks/block_makers.h"
#include "project/block_access.h"
#include "project/block_list.h"
#include "project/header_info.h"
#include "project/tap_file.h"
#include "ui/block_list_widget.h"
#include "ui/file_names.h"
#include "ui/form1.h"
#include "ui/viewers/form3_screen.h"

namespace reelo {
namespace {

constexpr const char* kMakeDialogTitle = "Создать блоки из файла";
constexpr const char* kMakeFilter =
    "Все файлы|*.*|Текст BASIC-программы (*.bas)|*.bas|Экран (*.scr)|*.scr|Двоичный файл (*.bin)|*.bin";
constexpr const char* kMakeTitle = "Создание блоков";
constexpr const char* kNameLabel = "Имя блока (до 10 знаков):";
constexpr const char* kStartLabel = "Адрес загрузки (0-65535):";
constexpr const char* kAutostartLabel = "Строка автозапуска (0-9999; пусто: без автозапуска):";
constexpr const char* kNotANumberText = "Нужно целое число: ";
constexpr const char* kMakeAnywayQuestion = "Всё равно создать блоки?";

constexpr const char* kSaveDataDialogTitle = "Сохранить данные блока";
constexpr const char* kReplaceText = "Файл с таким именем уже существует, заменить?";
constexpr const char* kReplaceTitle = "Сохранение файла";
constexpr const char* kNoDataText =
    "В блоке %1 «%2» нет данных для сохранения.\n"
    "Сохранить можно данные стандартных и турбо блоков и чистые данные.";
constexpr const char* kNoDataInSelectionText =
    "В выбранных блоках нет данных для сохранения.\n"
    "Сохранить можно данные стандартных и турбо блоков и чистые данные.";

// "Name (*.ext)|*.ext" for every kind offered, in the core's order.
QString FilterOf(const std::vector<DataFileKind>& kinds) {
  QStringList pairs;
  for (DataFileKind kind : kinds) {
    const QString pattern = QStringLiteral("*.") + QString::fromLatin1(DataFileExtension(kind));
    pairs << QString::fromUtf8(DataFileKindName(kind)) + QStringLiteral(" (") + pattern + QStringLiteral(")") << pattern;
  }
  return pairs.join(QChar(u'|'));
}

// The chosen name with the kind's extension when the file's own name (not
// its folders) has none.
std::string WithExtension(const QString& chosen, DataFileKind kind) {
  const std::string path = ToLocalPath(chosen);
  return QFileInfo(chosen).fileName().contains(QChar(u'.')) ? path : path + "." + DataFileExtension(kind);
}

}  // namespace

void Form1::editmake_Click() {
  const QString chosen = ChooseFile(FileDialogKind::Open, kMakeDialogTitle, kMakeFilter);
  if (chosen.isEmpty()) return;
  const std::string path = ToLocalPath(chosen);
  const SourceKind kind = GuessSourceKind(path, static_cast<std::uintmax_t>(QFileInfo(chosen).size()));
  const auto ask = [this](const char* label, const QString& initial) {
    return prompts_.AskText({QString::fromUtf8(kMakeTitle), QString::fromUtf8(label), initial});
  };
  const std::optional<QString> name = ask(kNameLabel, QString::fromStdString(DefaultBlockName(path)));
  if (!name) return;
  int start = kDefaultCodeStart;
  std::optional<int> autostart;
  if (kind != SourceKind::Screen) {
    const bool binary = kind == SourceKind::Binary;
    const std::optional<QString> typed =
        binary ? ask(kStartLabel, QString::number(kDefaultCodeStart)) : ask(kAutostartLabel, QString());
    if (!typed) return;
    bool ok = true;
    const QString text = typed->trimmed();
    if (binary || !text.isEmpty()) {
      const int value = text.toInt(&ok, 10);
      (binary ? start : autostart.emplace()) = value;
    }
    if (!ok) {
      ShowResult(OpResult::Fail(kNotANumberText + typed->toStdString()), kMakeTitle);
      return;
    }
  }
  MadeBlocks made = MakeBlocksFromFile(path, kind, name->toStdString(), start, autostart);
  if (!made.status.ok()) {
    ShowResult(made.status, kMakeTitle);
    return;
  }
  // Data that would run past address 65535 is made only on the user's Yes.
  const std::optional<HeaderInfo> header = ReadHeader(made.blocks.front());
  const std::string pastEnd = header ? PastMemoryEndWarning(FieldsOfHeader(*header)) : std::string();
  if (!pastEnd.empty() && ShowBox(pastEnd + "\n\n" + kMakeAnywayQuestion, kMakeTitle, Buttons::YesNo,
                                  BoxIcon::Warning) != Answer::Yes) {
    return;
  }
  // After the last selected block, or at the end of the tape.
  const std::vector<int> rows = SelectedBlocks();
  const int at = state_.project.blockSelected && !rows.empty() ? rows.back() + 1 : state_.project.blockCount();
  ShowEdit(state_.document.Insert(at, std::move(made.blocks)));
}

void Form1::editsavedata_Click() {
  const std::vector<int> rows = SelectedBlocksOrSay();
  if (rows.empty()) return;
  // Blocks that carry no bytes (pauses, texts, tones...) add nothing to the
  // file; a selection of nothing but those is said, not saved as an empty file.
  std::vector<TapeBlock> blocks;
  for (int row : rows) {
    if (BlockAt(state_.project, row).holdsRecord()) blocks.push_back(BlockAt(state_.project, row));
  }
  if (blocks.empty()) {
    const QString text =
        rows.size() == 1 ? QString::fromUtf8(kNoDataText)
                               .arg(rows.front() + 1)
                               .arg(QString::fromStdString(BlockListLine(BlockAt(state_.project, rows.front()))).trimmed())
                         : QString::fromUtf8(kNoDataInSelectionText);
    ShowBox(text.toStdString(), kSaveDataDialogTitle, Buttons::Ok, BoxIcon::Information);
    return;
  }
  // The kinds the first block allows; a screen kind saves that block.
  const std::vector<DataFileKind> kinds = DataFileKinds(blocks.front());
  int type = 0;
  const QString chosen = prompts_.ChooseFileAndType(
      {FileDialogKind::Save, QString::fromUtf8(kSaveDataDialogTitle), FilterOf(kinds)}, type);
  if (chosen.isEmpty()) return;
  const DataFileKind kind = kinds[static_cast<std::size_t>(std::clamp<int>(type, 0, int(kinds.size()) - 1))];
  const std::string path = WithExtension(chosen, kind);
  if (IsExistingFile(path) && ShowBox(kReplaceText, kReplaceTitle, Buttons::YesNo, BoxIcon::None) != Answer::Yes) {
    return;
  }
  // A picture takes the colouring the screen window shows now.
  const auto* screen = findChild<Form3*>(QStringLiteral("Form3"), Qt::FindDirectChildrenOnly);
  const ScreenMode mode = screen ? screen->DisplayMode() : ScreenMode::Colour;
  ShowResult(SaveDataFile(blocks, kind, mode, path), kSaveFailedTitle);
}

}  // namespace reelo
