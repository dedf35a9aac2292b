// Renders the main window, its menus, the progress window, the file dialogs and
// every message box of the main window's commands to PNG files, so a person
// can look at them.
//
//   reelo_screenshots <folder>                 everything, offscreen is fine
//   reelo_screenshots --screen <file> [ms]     the whole screen after a wait
//                                              (for a real or virtual X display)
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "blocks/block_export.h"
#include "project/checksum.h"
#include "project/tap_file.h"
#include "tape_builders.h"
#include "project/header_info.h"
#include "scripted_prompts.h"
#include "ui/editor/form12_block_properties.h"
#include "ui/editor/form13_turbo_timings.h"
#include "ui/form1.h"
#include "ui/form9_progress.h"
#include "ui/qt_prompts.h"
#include "ui/desktop_memory.h"
#include "ui/startup.h"
#include "ui/tape_filters.h"
#include "ui/wav_options_window.h"

namespace {

using reelo::BoxIcon;
using reelo::Buttons;
using reelo::MessageSpec;

constexpr int kSettleMs = 50;

// Lets the window system lay out and paint what was just shown.
void Settle() {
  QApplication::processEvents();
  QThread::msleep(kSettleMs);
  QApplication::processEvents();
}

class Shooter {
 public:
  explicit Shooter(QString folder) : folder_(std::move(folder)) {}

  void Save(QWidget& widget, const QString& name) {
    Settle();
    const QString path = QDir(folder_).filePath(QStringLiteral("%1_%2.png").arg(++count_, 2, 10, QChar(u'0')).arg(name));
    if (!widget.grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    std::printf("%s\n", qPrintable(path));
  }

  void SaveBox(const MessageSpec& request, const QString& name, QWidget* parent) {
    auto box = reelo::BuildMessageBox(request, parent);
    box->show();
    Save(*box, name);
  }

 private:
  QString folder_;
  int count_ = 0;
};

// "Игра 1" in Windows-1251, as a name on a real tape is stored.
constexpr const char* kGameName = "\xC8\xE3\xF0\xE0 1";

// A tape of a program, a screen and some code, as a person would load it.
reelo::TapeProject SampleTape() {
  using namespace reelo::testing;
  reelo::TapeProject project;
  project.blocks = {MakeHeader(0, "loader", 120, 10, 120), MakeDataBlock(RandomBytes(120, 1)),
                    MakeHeader(3, "screen", 6912, 16384), MakeDataBlock(RandomBytes(6912, 2)),
                    MakeHeader(3, kGameName, 30000, 32768), MakeDataBlock(RandomBytes(30000, 3)),
                    MakeRawRecord({0xFF, 0x01, 0x02, 0x07})};
  project.fileName = "/home/user/tapes/game.tap";
  return project;
}

void ShootMainWindow(Shooter& shooter, reelo::QtPrompts& prompts) {
  reelo::AppState state;
  reelo::Form1 form(state, prompts);
  prompts.setParentWidget(&form);
  form.show();
  shooter.Save(form, QStringLiteral("form1_empty"));
  const QFontInfo listFont(form.findChild<QListWidget*>(QStringLiteral("List1"))->font());
  std::printf("List1 asks for \"%s\" %.2f pt and gets \"%s\" %.2f pt\n", reelo::kListFontFamily,
              reelo::kListFontPoints, qPrintable(listFont.family()), listFont.pointSizeF());

  state.document.Reset(SampleTape());
  form.findChild<QListWidget*>(QStringLiteral("List1"))->setCurrentRow(3);
  shooter.Save(form, QStringLiteral("form1_tape"));

  form.resize(560, 420);
  shooter.Save(form, QStringLiteral("form1_resized"));

  // The widest texts the panels can get: 1000 blocks of the largest record.
  const reelo::TapeBlock largest = reelo::testing::MakeDataBlock(reelo::testing::RandomBytes(65533, 4));
  state.document.Reset(reelo::TapeProject{std::vector<reelo::TapeBlock>(reelo::kMaxBlocks, largest)});
  shooter.Save(form, QStringLiteral("form1_full"));

  for (QMenu* menu : form.menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) {
    if (menu->objectName().isEmpty()) continue;  // the menu bar's own overflow menu
    menu->popup(form.mapToGlobal(QPoint(0, 0)));
    shooter.Save(*menu, QStringLiteral("menu_") + menu->objectName());
    menu->hide();
  }

  reelo::Form9& progress = form.progressWindow();
  progress.Begin(reelo::kLoadTapLabel, 100);
  progress.Step(40);
  shooter.Save(progress, QStringLiteral("form9_progress"));
  progress.End();
  prompts.setParentWidget(nullptr);
}

// The editing: the header frame beside the list, the properties dialog (with
// and without the mark of a length that differs), and a CODE block made from
// a binary file, the way the commands show them.
void ShootEditing(Shooter& shooter) {
  reelo::testing::ScriptedPrompts prompts;
  reelo::AppState state;
  reelo::Form1 form(state, prompts);
  form.show();
  state.document.Reset(SampleTape());
  auto* list = form.findChild<QListWidget*>(QStringLiteral("List1"));
  list->setCurrentRow(2);
  shooter.Save(form, QStringLiteral("form1_header_frame"));

  for (int index : {0, 4}) {
    // The second: a header that promises more than its data block holds.
    if (index == 4) {
      state.document.Replace({{5, reelo::testing::MakeDataBlock(reelo::testing::RandomBytes(2000, 3))}});
    }
    reelo::Form12 dialog(prompts, state.project.blocks[std::size_t(index)],
                         reelo::DataLengthAfter(state.project, index), &form);
    dialog.show();
    shooter.Save(dialog, index == 0 ? QStringLiteral("form12_properties") : QStringLiteral("form12_length_differs"));
  }

  const QString binary = QDir::temp().filePath(QStringLiteral("reelo_screenshot_game.bin"));
  QFile file(binary);
  if (file.open(QIODevice::WriteOnly)) file.write(QByteArray(1234, '\x55'));
  file.close();
  prompts.PlanFile(binary).PlanText(QStringLiteral("game")).PlanText(QStringLiteral("40000"));
  list->setCurrentRow(1);
  form.editmake_Click();
  QFile::remove(binary);
  shooter.Save(form, QStringLiteral("form1_created_block"));
  reelo::TapeProject shown = state.project;
  shown.modified = false;
  state.document.Reset(std::move(shown));
}

// A tape of other kinds than TAP records: the frame of a turbo header (its
// timings, typed in place or changed by the button), of turbo data, a tone, a
// text, archive information, pure data and a pulse sequence; the timings
// dialog.
void ShootKinds(Shooter& shooter) {
  using reelo::KeptFields;
  using reelo::TapeBlock;
  const auto kept = [](TapeBlock record, std::uint8_t id, reelo::testing::Bytes head) {
    return TapeBlock(record.bytes(), std::make_shared<const KeptFields>(KeptFields{id, std::move(head)}));
  };
  const reelo::testing::Bytes timings{0xDC, 0x05, 0x90, 0x01, 0xC2, 0x01, 0xF4, 0x01, 0xE8, 0x03, 0xB8, 0x0B, 8, 0xF4, 0x01};
  reelo::testing::Bytes lastSix = timings;
  lastSix[12] = 6;
  // Archive information with an entry of every kind.
  const std::pair<std::uint8_t, std::string> entries[] = {
      {0x00, "Reelo: the turbo tape of a test"}, {0x01, "Reelo"}, {0x02, "v19"}, {0x03, "1987"}, {0x04, "English"},
      {0x05, "Arcade"}, {0x06, "1.99"}, {0x07, "Speedlock 1"}, {0x08, "Original"}, {0xFF, "Made in a test"}};
  reelo::testing::Bytes archive{0, 0, static_cast<std::uint8_t>(std::size(entries))};
  for (const auto& [id, value] : entries) {
    archive.push_back(id);
    archive.push_back(static_cast<std::uint8_t>(value.size()));
    archive.insert(archive.end(), value.begin(), value.end());
  }
  archive[0] = static_cast<std::uint8_t>(archive.size() - 2);
  reelo::testing::Bytes text{10, 'L', 'o', 'a', 'd', 'i', 'n', 'g', '.', '.', '.'};
  reelo::testing::ScriptedPrompts prompts;
  reelo::AppState state;
  reelo::Form1 form(state, prompts);
  form.show();
  state.document.Reset(reelo::TapeProject{{
      kept({}, 0x32, archive), kept({}, 0x30, text), kept({}, 0x12, {0x78, 0x08, 0xD0, 0x07}),
      kept(reelo::testing::MakeHeader(3, "screen", 6912, 16384), 0x11, timings),
      kept(reelo::testing::MakeDataBlock(reelo::testing::RandomBytes(6912, 2)), 0x11, lastSix),
      kept({}, 0x20, {0xDC, 0x05}),
      kept(reelo::testing::MakeDataBlock({1, 2, 3, 4}), 0x14, {0x2C, 0x01, 0x58, 0x02, 8, 0x64, 0x00}),
      kept({}, 0x13, {2, 0x9B, 0x02, 0xDF, 0x02})}});
  auto* list = form.findChild<QListWidget*>(QStringLiteral("List1"));
  const std::pair<int, const char*> shots[] = {{3, "form1_turbo_header_frame"}, {4, "form1_turbo_data_frame"},
                                               {2, "form1_tone_frame"},         {1, "form1_text_frame"},
                                               {0, "form1_archive_frame"},      {6, "form1_pure_data_frame"},
                                               {7, "form1_pulses_frame"}};
  for (const auto& [row, name] : shots) {
    list->setCurrentRow(row);
    shooter.Save(form, QString::fromLatin1(name));
  }
  // A timing being typed in place (the cursor in the field), then let go.
  list->setCurrentRow(4);
  QApplication::setActiveWindow(&form);
  if (auto* one = form.findChild<QLineEdit*>(QStringLiteral("Frame1_One"))) {
    one->setFocus();
    one->selectAll();
    one->insert(QStringLiteral("900"));
    shooter.Save(form, QStringLiteral("form1_turbo_typed_timing"));
    QTest::keyClick(one, Qt::Key_Escape);
  }
  reelo::Form13 dialog(prompts, state.project.blocks[4], &form);
  dialog.show();
  shooter.Save(dialog, QStringLiteral("form13_turbo_timings"));
}

void ShootBoxes(Shooter& shooter) {
  const auto u = [](const char* text) { return QString::fromUtf8(text); };
  const MessageSpec boxes[] = {
      {u("Сохранить изменения?"), u("Создание нового образа"), Buttons::YesNoCancel, BoxIcon::None, {}},
      {u("Сохранить изменения?"), u("Открытие нового файла"), Buttons::YesNoCancel, BoxIcon::None, {}},
      {u("Сохранить изменения?"), u("Выход"), Buttons::YesNoCancel, BoxIcon::None, {}},
      {u("Файл с таким именем уже существует, заменить?"), u("Сохранение файла"), Buttons::YesNo, BoxIcon::None, {}},
      {u(reelo::kSaveFailedText), u(reelo::kSaveFailedTitle), Buttons::Ok, BoxIcon::Critical,
       u("нет такого файла или каталога")},
      {u(reelo::kOpenFailedText) + u(" /home/user/tapes/missing.tap"), {}, Buttons::Ok, BoxIcon::Critical,
       u("файл не найден")},
      {u("Последний блок файла обрезан: не загружено 100 байт со смещения 6935."), {}, Buttons::Ok,
       BoxIcon::Warning, {}},
      {u("Блок не выбран"), {}, Buttons::Ok, BoxIcon::None, {}},
      {u("Удалить выбранный блок?"), u("Удаление блокa"), Buttons::YesNo, BoxIcon::None, {}},
      {QString::fromStdString(reelo::ChecksumQuestionText({5, 7, 0})), u(reelo::kChecksumQuestionTitle),
       Buttons::YesNo, BoxIcon::None, {}},
      {QString::fromStdString(reelo::ChecksumClosingText(reelo::ChecksumOutcome::AllMatched)),
       u(reelo::kChecksumClosingTitle), Buttons::Ok, BoxIcon::Information, {}},
      {QString::fromStdString(reelo::ChecksumClosingText(reelo::ChecksumOutcome::AllRepaired)),
       u(reelo::kChecksumClosingTitle), Buttons::Ok, BoxIcon::Information, {}},
      {QString::fromStdString(reelo::ChecksumClosingText(reelo::ChecksumOutcome::SomeLeft)),
       u(reelo::kChecksumClosingTitle), Buttons::Ok, BoxIcon::Critical, {}},
      {u("В блоке 2 «Текст: Loading...» нет данных для просмотра.\n"
         "Просмотреть можно блоки с данными: стандартные, турбо и чистые данные."),
       u("Просмотр блока"), Buttons::Ok, BoxIcon::Information, {}},
  };
  int i = 0;
  for (const MessageSpec& box : boxes) shooter.SaveBox(box, QStringLiteral("box%1").arg(++i), nullptr);
}

void ShootDialogs(Shooter& shooter) {
  const auto u = [](const char* text) { return QString::fromUtf8(text); };
  auto open = reelo::BuildFileDialog({reelo::FileDialogKind::Open, u("Открыть образ ленты TAP"),
                                      u(reelo::kTapeOpenFilter)},
                                     nullptr);
  open->show();
  shooter.Save(*open, QStringLiteral("dialog_open"));
  auto save = reelo::BuildFileDialog({reelo::FileDialogKind::Save, u("Сохранить проект в WAV-файл"),
                                      u("Звуковой файл (*.wav)|*.wav|Все файлы|*.*")},
                                     nullptr);
  save->show();
  shooter.Save(*save, QStringLiteral("dialog_save_wav"));

  // Saving a screen block's data: every kind it offers, the longest chosen.
  QStringList pairs;
  QString longest;
  for (reelo::DataFileKind kind : reelo::DataFileKinds(reelo::testing::MakeDataBlock(reelo::testing::Bytes(6912, 0)))) {
    const QString pattern = QStringLiteral("*.") + QString::fromLatin1(reelo::DataFileExtension(kind));
    const QString name = QString::fromUtf8(reelo::DataFileKindName(kind)) + QStringLiteral(" (") + pattern + u')';
    pairs << name << pattern;
    if (name.size() > longest.size()) longest = name;
  }
  auto data = reelo::BuildFileDialog({reelo::FileDialogKind::Save, u("Сохранить данные блока"), pairs.join(u'|')},
                                     nullptr);
  data->selectNameFilter(longest);
  data->show();
  shooter.Save(*data, QStringLiteral("dialog_save_data"));
}

// The desktop's additions: the recent files in the "Файл" menu (from a
// settings folder of its own), the WAV export's options window, and the boxes
// of a missing recent file and of the export's check.
void ShootDesktop(Shooter& shooter, reelo::QtPrompts& prompts) {
  const auto u = [](const char* text) { return QString::fromUtf8(text); };
  QTemporaryDir settings;
  reelo::NameTheProgram();
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  reelo::DesktopMemory memory;
  for (const char* file : {"/home/user/tapes/manic.tap", "/home/user/tapes/elite.tzx", "/home/user/old/jetpac.csw",
                           "/home/user/tapes/game.tap"}) {
    memory.NoteRecentFile(QString::fromUtf8(file));
  }
  reelo::AppState state;
  reelo::Form1 form(state, prompts);
  form.UseDesktopMemory(&memory);
  form.show();
  auto* fileMenu = form.findChild<QMenu*>(QStringLiteral("filemenu"));
  fileMenu->popup(form.mapToGlobal(QPoint(0, 0)));
  auto* recent = form.findChild<QMenu*>(QStringLiteral("recentmenu"));
  recent->popup(form.mapToGlobal(QPoint(fileMenu->width(), 20)));
  shooter.Save(*recent, QStringLiteral("menu_recentmenu"));
  recent->hide();
  fileMenu->hide();

  reelo::WavOptionsWindow options({}, nullptr);
  options.show();
  shooter.Save(options, QStringLiteral("wav_options"));
  options.Show({{44100, 16, true, reelo::SignalTimings::Rom}, true});
  shooter.Save(options, QStringLiteral("wav_options_chosen"));

  const MessageSpec boxes[] = {
      {u("Файл не найден:\n/home/user/old/jetpac.csw\n\nОн убран из списка последних файлов."),
       u("Последние файлы"), Buttons::Ok, BoxIcon::Warning, {}},
      {u("Проверка пройдена: все блоки (7) прочитаны из файла байт в байт."), u("Проверка WAV-файла"), Buttons::Ok,
       BoxIcon::Information, {}},
      {u("Проверка не пройдена: совпало блоков 5 из 7. Первый несовпавший блок: 6."), u("Проверка WAV-файла"),
       Buttons::Ok, BoxIcon::Warning, {}},
      {u("Стандартных блоков данных взято: 12.\nТурбо-блоков и блоков чистых данных взято как обычные записи: 2; "
         "их скорость и паузы не сохранены.\nПропущены блоки без данных: паузы и остановки 3, тексты и описания 1."),
       {}, Buttons::Ok, BoxIcon::Warning, {}},
  };
  for (const MessageSpec& box : boxes) shooter.SaveBox(box, QStringLiteral("desktop_box"), nullptr);
}

// The offscreen platform says for every window what it cannot do (raise,
// grab the keyboard); those notices say nothing about the pictures.
void QuietOffscreenNotices(QtMsgType, const QMessageLogContext&, const QString& message) {
  if (message.startsWith(QLatin1String("This plugin does not support"))) return;
  std::fprintf(stderr, "%s\n", qPrintable(message));
}

int GrabScreen(const QString& file, int waitMs) {
  QThread::msleep(static_cast<unsigned long>(waitMs));
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen || !screen->grabWindow(0).save(file)) {
    std::fprintf(stderr, "cannot grab the screen into %s\n", qPrintable(file));
    return 1;
  }
  std::printf("%s\n", qPrintable(file));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  qInstallMessageHandler(QuietOffscreenNotices);
  QApplication app(argc, argv);
  reelo::InstallRussianTranslation(app);
  const QStringList args = QApplication::arguments();
  if (args.size() >= 3 && args[1] == QLatin1String("--screen")) {
    return GrabScreen(args[2], args.size() >= 4 ? args[3].toInt() : 0);
  }
  const QString folder = args.size() >= 2 ? args[1] : QStringLiteral("screenshots");
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
    return 1;
  }
  Shooter shooter(folder);
  reelo::QtPrompts prompts;
  ShootMainWindow(shooter, prompts);
  ShootEditing(shooter);
  ShootKinds(shooter);
  ShootBoxes(shooter);
  ShootDialogs(shooter);
  ShootDesktop(shooter, prompts);
  return 0;
}
