// A TZX of mixed block kinds, made by hand and opened through the window:
// what the list, the status bar and the block frame show of every kind; the
// four views on every kind (the bytes of the kinds that carry them, a box
// that says why not for the others); moving, deleting, undoing and redoing
// every kind; the turbo timings changed from the frame, by its button or
// typed in place; and the title, the counts and the edit actions following
// the document whoever changes it.
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "editor_test_support.h"
#include "modal_visit.h"
#include "project/block_kinds.h"
#include "ui/editor/form13_turbo_timings.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

void Word(Bytes& out, int value, int bytes = 2) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
// A block ID, the fields before the data, then a record's flag, data and
// checksum with its length in `lengthBytes` bytes.
Bytes WithRecord(Bytes head, const TapeBlock& record, int lengthBytes) {
  Word(head, static_cast<int>(record.size()) - 2, lengthBytes);
  head.insert(head.end(), record.begin() + 2, record.end());
  return head;
}
Bytes Standard(const TapeBlock& record) { return WithRecord({0x10, 0xE8, 0x03}, record, 2); }
// Pilot 1500 x 3000 pulses, syncs 400/450, bits 500/1000, `usedBits`, pause 500 ms.
Bytes Turbo(const TapeBlock& record, std::uint8_t usedBits) {
  return WithRecord({0x11, 0xDC, 0x05, 0x90, 0x01, 0xC2, 0x01, 0xF4, 0x01, 0xE8, 0x03, 0xB8, 0x0B, usedBits, 0xF4, 0x01},
                    record, 3);
}
Bytes PureData(const TapeBlock& record) { return WithRecord({0x14, 0x2C, 0x01, 0x58, 0x02, 8, 0x64, 0x00}, record, 3); }
Bytes Text(std::uint8_t id, const std::string& text, Bytes before = {}) {
  Bytes out{id};
  out.insert(out.end(), before.begin(), before.end());
  out.push_back(static_cast<std::uint8_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
  return out;
}
Bytes Archive() {
  Bytes entries{2};  // two entries: the title and the author
  for (const auto& [id, text] : {std::pair<std::uint8_t, std::string>{0x00, "Reelo test"}, {0x02, "v19"}}) {
    entries.push_back(id);
    entries.push_back(static_cast<std::uint8_t>(text.size()));
    entries.insert(entries.end(), text.begin(), text.end());
  }
  Bytes out{0x32};
  Word(out, static_cast<int>(entries.size()));
  out.insert(out.end(), entries.begin(), entries.end());
  return out;
}

// 10 PRINT "A"
const Bytes kProgram{0x00, 0x0A, 0x05, 0x00, 0xF5, 0x22, 0x41, 0x22, 0x0D};

// A game tape's kinds: a loader at normal speed, a text, a tone, a turbo
// screen (its header turbo too, the last byte of its data 6 bits), a pause, a
// pure data block, a group, a message, archive information and a loop.
Bytes MixedTzx() {
  Bytes out{'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
  const Bytes blocks[] = {
      Standard(MakeHeader(0, "loader", 9, 10, 9)),
      Standard(MakeDataBlock(kProgram)),
      Text(0x30, "Loading..."),
      {0x12, 0x78, 0x08, 0xD0, 0x07},  // tone: 2000 pulses of 2168
      Turbo(MakeHeader(3, "screen", 6912, 16384), 8),
      Turbo(MakeDataBlock(RandomBytes(6912, 3)), 6),
      {0x20, 0xDC, 0x05},  // pause 1.5 s
      PureData(MakeDataBlock({1, 2, 3, 4})),
      Text(0x21, "Level 1"),
      {0x22},
      Text(0x31, "Press play", {5}),
      Archive(),
      {0x24, 0x03, 0x00},
      {0x25},
  };
  for (const Bytes& block : blocks) out.insert(out.end(), block.begin(), block.end());
  return out;
}
constexpr int kMixedBlocks = 14;

// What the frame shows: its title, then key=value per row, a value the user
// may type in brackets; "-" while hidden.
QString FrameText(const MainWindow& w) {
  auto* frame = w.Find<QGroupBox>("Frame1");
  if (!frame->isVisible()) return "-";
  QStringList parts{frame->title()};
  for (QWidget* field : frame->findChildren<QWidget*>()) {
    if (!field->isVisible() || !field->objectName().startsWith("Frame1_")) continue;
    const QString key = field->objectName().mid(7) + "=";
    if (auto* label = qobject_cast<QLabel*>(field)) {
      parts << key + (label->toolTip().isEmpty() ? label->text() : label->toolTip());
    } else if (auto* edit = qobject_cast<QLineEdit*>(field)) {
      parts << key + "[" + edit->text() + "]" + (edit->isReadOnly() ? "ro" : "");
    }
  }
  if (w.Find<QPushButton>("Frame1_Timings")->isVisible()) parts << "[Скорость блока...]";
  return parts.join(u'|');
}

QString EnabledActions(const MainWindow& w) {
  QStringList on;
  for (const char* name : {"editundo", "editredo", "editup", "editdel", "editprops"}) {
    if (w.Action(name)->isEnabled()) on << name;
  }
  return on.join(u' ');
}

}  // namespace

class TestTapeKinds : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> w;
  std::unique_ptr<TempDir> dir;
  std::vector<TapeBlock> opened;  // the tape as read

  void OpenMixed() {
    const std::string path = (dir->path() / "game.tzx").string();
    WriteFileBytes(path, MixedTzx());
    w->prompts.PlanFile(QString::fromStdString(path));
    w->Run("fileopen");
    QCOMPARE(w->state.project.blockCount(), kMixedBlocks);
    opened = w->state.project.blocks;
    w->prompts.shown.clear();
  }

 private slots:
  void init() {
    w = std::make_unique<MainWindow>();
    dir = std::make_unique<TempDir>();
    OpenMixed();
  }
  void cleanup() {
    QVERIFY2(w->prompts.Unused().isEmpty(), qPrintable("planned but not shown: " + w->prompts.Unused()));
    w.reset();
    dir.reset();
  }

  // Every kind counts as a block; headers (turbo ones too) as files; the
  // records of the data blocks as data, flag and checksum included: 11 + 6914
  // + 6.
  void testSummary() {
    QCOMPARE(w->Panels(), (QStringList{U("Блоков: 14"), U("Файлов: 2"), U("Всего данных: 6931 байт")}));
    QVERIFY(w->form->windowTitle().endsWith(U("game.tzx - Reelo")));
    QVERIFY(!w->state.project.modified);
  }

  // One line per kind; the frame shows each kind's fields (a turbo block's
  // timings with the button that changes them); the views show the bytes of
  // the kinds that carry them and say why not for the others.
  void testEveryKind_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<bool>("views");  // false: a box instead of each view
    const QString timings = U("Pilot=[3000 x 1500]|Sync=[400 / 450]|Zero=[500 тактов]|One=[1000 тактов]|");
    QTest::newRow("standard header") << 0 << U("Program: loader    ") << U("Информация о заголовке|Type=Program|Start=|Size=9|Autostart=10") << true;
    QTest::newRow("standard data") << 1 << U("      9 байт данных") << U("-") << true;
    QTest::newRow("text") << 2 << U("Текст: Loading...") << U("Информация о блоке|Kind=Текст|Text=Loading...") << false;
    QTest::newRow("pure tone") << 3 << U("Тон: 2000 импульсов по 2168")
                               << U("Информация о блоке|Kind=Тон|Pulse=[2168 тактов]|Count=[2000 импульсов]") << false;
    QTest::newRow("turbo header")
        << 4 << U("Bytes: screen      [турбо x1,71]")
        << U("Информация о заголовке|Type=Bytes|Start=16384|Size=6912|Autostart=|") + timings +
               U("UsedBits=[8 в посл. байте]|Pause=[500 мс]|[Скорость блока...]")
        << true;
    QTest::newRow("turbo data, 6 bits in the last byte")
        << 5 << U("   6912 байт данных  [турбо x1,71]")
        << U("Информация о блоке|Kind=Турбо|Size=6912 байт|") + timings + U("UsedBits=[6 в посл. байте]|Pause=[500 мс]|[Скорость блока...]")
        << true;
    QTest::newRow("pause") << 6 << U("Пауза 1,5 с") << U("Информация о блоке|Kind=Пауза|Pause=1500 мс") << false;
    QTest::newRow("pure data")
        << 7 << U("      4 байт данных  [чистые данные]")
        << U("Информация о блоке|Kind=Чистые данные|Size=4 байт|Zero=[300 тактов]|One=[600 тактов]|UsedBits=[8 в посл. байте]|Pause=[100 мс]")
        << true;
    QTest::newRow("group start") << 8 << U("Группа: Level 1") << U("Информация о блоке|Kind=Группа|Name=Level 1") << false;
    QTest::newRow("group end") << 9 << U("Конец группы") << U("Информация о блоке|Kind=Конец группы") << false;
    QTest::newRow("message") << 10 << U("Сообщение: Press play")
                             << U("Информация о блоке|Kind=Сообщение|Text=Press play|Time=5 с") << false;
    QTest::newRow("archive information")
        << 11 << U("Об архиве: Reelo test") << U("Информация о блоке|Kind=Об архиве|Title=Reelo test|Author=v19") << false;
    QTest::newRow("loop start") << 12 << U("Цикл: 3 раз") << U("Информация о блоке|Kind=Цикл|Count=3") << false;
    QTest::newRow("loop end") << 13 << U("Конец цикла") << U("Информация о блоке|Kind=Конец цикла") << false;
  }
  void testEveryKind() {
    QFETCH(int, row);
    QFETCH(QString, line);
    QFETCH(QString, frame);
    QFETCH(bool, views);
    QCOMPARE(w->Lines().at(row).trimmed(), line.trimmed());
    w->ClickLine(row);
    QCOMPARE(FrameText(*w), frame);

    // The text views show the block's bytes: the dump its first data byte.
    const QString firstByte = QString::number(ByteAt(opened[static_cast<std::size_t>(row)], 3));
    for (const char* command : {"viewcode", "viewtext", "viewbasic"}) {
      QString seen;
      ModalVisit visit([&](QWidget* window) {
        const auto* text = window->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
        seen = window->objectName() + ":" + (text ? text->toPlainText() : QString());
      });
      if (!views) w->prompts.PlanAnswer(Answer::Ok);
      w->Run(command);
      QVERIFY(!visit.forced());
      QCOMPARE(visit.visited(), views);
      if (!views) continue;
      // (A listing of bytes that are no program may be empty.)
      QVERIFY2(!seen.endsWith(":") || QString(command) == "viewbasic", qPrintable(QString(command) + " showed nothing"));
      if (QString(command) == "viewcode") {
        QVERIFY2(seen.section(u'\n', 2, 2).section(u'|', 1).trimmed().startsWith(firstByte), qPrintable(seen.left(300)));
      }
      if (row == 1 && QString(command) == "viewbasic") QCOMPARE(seen, U("Form2:   10 PRINT \"A\"\r\n").remove(u'\r'));
    }
    if (!views) w->prompts.PlanAnswer(Answer::Ok);
    w->Run("viewscreen");
    auto* screen = w->form->findChild<QWidget*>("Form3");
    QCOMPARE(screen != nullptr && screen->isVisible(), views);
    if (screen) screen->close();
    if (views) {
      QVERIFY(w->prompts.shown.empty());
      return;
    }
    // Saving the data of such a block says so instead of writing an empty file.
    w->prompts.PlanAnswer(Answer::Ok);
    w->Run("editsavedata");
    QCOMPARE(w->prompts.shown.size(), std::size_t(5));
    QCOMPARE(w->prompts.shown.back().title, U("Сохранить данные блока"));
    QCOMPARE(w->prompts.shown.back().text, U("В блоке %1 «%2» нет данных для сохранения.\n"
                                             "Сохранить можно данные стандартных и турбо блоков и чистые данные.")
                                               .arg(row + 1)
                                               .arg(line));
    w->prompts.shown.pop_back();
    for (const ShownPrompt& box : w->prompts.shown) {
      QCOMPARE(box.title, U("Просмотр блока"));
      QCOMPARE(box.text, U("В блоке %1 «%2» нет данных для просмотра.\n"
                           "Просмотреть можно блоки с данными: стандартные, турбо и чистые данные.")
                             .arg(row + 1)
                             .arg(line));
    }
  }

  // Down, Up and Delete on every kind, each undone and redone: the blocks,
  // the list, the counts and the actions follow every step.
  void testEditEveryKind_data() {
    QTest::addColumn<int>("row");
    for (int row = 0; row < kMixedBlocks; ++row) {
      QTest::newRow(qPrintable(QString::fromStdString(BlockListLine(opened[static_cast<std::size_t>(row)])).trimmed())) << row;
    }
  }
  void testEditEveryKind() {
    QFETCH(int, row);
    const std::vector<TapeBlock>& start = opened;
    const QStringList startLines = w->Lines();
    const QStringList startPanels = w->Panels();
    struct Step {
      const char* steps;
      int movedTo;  // where the block is afterwards, -1: deleted
    };
    const bool last = row == kMixedBlocks - 1;
    const Step steps[] = {{"run:editdowd", last ? row : row + 1}, {"run:editup", row == 0 ? 0 : row - 1},
                          {"yes run:editdel", -1}};
    for (const Step& step : steps) {
      w->ClickLine(row);
      RunSteps(*w, step.steps);
      const bool changed = step.movedTo != row;
      QCOMPARE(w->state.project.modified, changed);
      if (step.movedTo >= 0) {
        QVERIFY(w->state.project.blocks[static_cast<std::size_t>(step.movedTo)] == start[static_cast<std::size_t>(row)]);
        QCOMPARE(w->Lines().at(step.movedTo), startLines.at(row));
        QCOMPARE(Selection(*w), QList<int>{step.movedTo});
      } else {
        QCOMPARE(w->state.project.blockCount(), kMixedBlocks - 1);
        QCOMPARE(w->Panels().at(0), U("Блоков: 13"));
      }
      if (!changed) continue;
      QCOMPARE(EnabledActions(*w), U("editundo editup editdel editprops"));  // Open is a step too
      const std::vector<TapeBlock> after = w->state.project.blocks;
      const QStringList afterPanels = w->Panels();
      w->Run("editundo");
      QVERIFY(w->state.project.blocks == start);
      QCOMPARE(w->Lines(), startLines);
      QCOMPARE(w->Panels(), startPanels);
      QVERIFY(!w->state.project.modified);
      QCOMPARE(EnabledActions(*w), U("editundo editredo editup editdel editprops"));
      w->Run("editredo");
      QVERIFY(w->state.project.blocks == after);
      QCOMPARE(w->Panels(), afterPanels);
      w->Run("editundo");
    }
    QVERIFY(w->state.project.blocks == start);
  }

  // The frame's button changes a turbo block's timings as one step; so does
  // the properties dialog of a turbo header, its header fields and timings
  // together.
  void testTimingsFromTheFrame_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("row");
    QTest::newRow("frame button, turbo data") << "frame" << 5;
    QTest::newRow("frame button, turbo header") << "frame" << 4;
    QTest::newRow("properties of a turbo header: name and timings") << "props" << 4;
    QTest::newRow("properties of turbo data") << "props" << 5;
  }
  void testTimingsFromTheFrame() {
    QFETCH(QString, how);
    QFETCH(int, row);
    const bool header = how == "props" && row == 4;
    w->ClickLine(row);
    // Each dialog as it comes: the header's (a new name), then the timings'.
    QStringList dialogs;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (!dialog || !dialog->isVisible() || (!dialogs.isEmpty() && dialogs.back() == dialog->objectName())) return;
      dialogs << dialog->objectName();
      if (dialog->objectName() == "Form12") {
        dialog->findChild<QLineEdit*>("NameEdit")->setText("picture");
      } else {
        dialog->findChild<QLineEdit*>("OneEdit")->setText("900");
        dialog->findChild<QLineEdit*>("UsedBitsEdit")->setText("7");
      }
      QTest::mouseClick(dialog->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
    });
    poll.start(5);
    ModalVisit watchdog(nullptr);  // closes what is left after a few seconds
    if (how == "frame") {
      QTest::mouseClick(w->Find<QPushButton>("Frame1_Timings"), Qt::LeftButton);
    } else {
      w->Run("editprops");
    }
    poll.stop();
    QCOMPARE(dialogs.join(u' '), header ? U("Form12 Form13") : U("Form13"));
    const TapeBlock& block = w->state.project.blocks[static_cast<std::size_t>(row)];
    const TurboTimings timings = *TurboTimingsOf(block);
    QCOMPARE(timings.one, 900);
    QCOMPARE(timings.usedBits, 7);
    QCOMPARE(timings.pilot, 1500);
    QCOMPARE(ReadHeader(block).has_value() ? QString::fromStdString(ReadHeader(block)->name).trimmed() : QString(),
             header ? U("picture") : row == 4 ? U("screen") : QString());
    QCOMPARE(FrameText(*w).contains(U("One=[900 тактов]|UsedBits=[7 в посл. байте]")), true);
    QCOMPARE(w->state.document.history().undoCount(), std::size_t(2));  // the Open, this change
    w->Run("editundo");
    QVERIFY(w->state.project.blocks == opened);
  }

  // A timing typed in the frame: Enter or leaving the field makes it one
  // step (the field, the list line and the block follow; Ctrl+Z in the field
  // brings the old value back, Ctrl+Y the new); a value out of range or no
  // number is refused with its reason and the field shows the block's value
  // again; Esc takes back what was typed.
  void testTypedTimings_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("how");    // enter, leave (the list takes the focus), escape
    QTest::addColumn<QString>("shown");  // the field afterwards
    QTest::addColumn<QString>("line");   // the block's list line afterwards
    QTest::addColumn<QString>("box");    // the reason, when refused
    const QString turboData = U("   6912 байт данных  [турбо x1,71]");
    QTest::newRow("turbo data: bit 1, Enter")
        << 5 << "One" << "900" << "enter" << U("900 тактов") << U("   6912 байт данных  [турбо x1,83]") << "";
    QTest::newRow("turbo data: used bits, field left")
        << 5 << "UsedBits" << "7" << "leave" << U("7 в посл. байте") << turboData << "";
    QTest::newRow("turbo header: pilot with a Cyrillic х")
        << 4 << "Pilot" << U("2000 х 1800") << "enter" << U("2000 x 1800") << U("Bytes: screen      [турбо x1,71]") << "";
    QTest::newRow("turbo header: syncs") << 4 << "Sync" << "600/700" << "enter" << U("600 / 700")
                                         << U("Bytes: screen      [турбо x1,71]") << "";
    QTest::newRow("pure data: bit 0 with its unit")
        << 7 << "Zero" << U("250 тактов") << "enter" << U("250 тактов") << U("      4 байт данных  [чистые данные]") << "";
    QTest::newRow("tone: pulse") << 3 << "Pulse" << "2000" << "enter" << U("2000 тактов")
                                 << U("Тон: 2000 импульсов по 2000") << "";
    QTest::newRow("tone: count, field left") << 3 << "Count" << "100" << "leave" << U("100 импульсов")
                                             << U("Тон: 100 импульсов по 2168") << "";
    const QString pulseRange = U("Длительность импульса должна быть от 1 до 65535 тактов");
    QTest::newRow("turbo data: bit 0 of 0 T-states refused")
        << 5 << "Zero" << "0" << "enter" << U("500 тактов") << turboData << pulseRange;
    QTest::newRow("turbo header: bit 1 above 65535 refused")
        << 4 << "One" << "65536" << "enter" << U("1000 тактов") << U("Bytes: screen      [турбо x1,71]") << pulseRange;
    QTest::newRow("turbo data: 9 used bits refused, field left")
        << 5 << "UsedBits" << "9" << "leave" << U("6 в посл. байте") << turboData << U("В последнем байте может быть от 1 до 8 бит");
    QTest::newRow("turbo data: 0 used bits refused")
        << 5 << "UsedBits" << "0" << "enter" << U("6 в посл. байте") << turboData << U("В последнем байте может быть от 1 до 8 бит");
    QTest::newRow("turbo data: pilot of one number refused")
        << 5 << "Pilot" << "3000" << "enter" << U("3000 x 1500") << turboData
        << U("В поле «Пилот» должны быть два целых числа через «x»");
    QTest::newRow("pure data: a word refused") << 7 << "One" << U("быстро") << "enter" << U("600 тактов")
                                               << U("      4 байт данных  [чистые данные]")
                                               << U("В поле «Бит 1» должно быть целое число");
    QTest::newRow("tone: no pulses refused") << 3 << "Count" << "0" << "enter" << U("2000 импульсов")
                                             << U("Тон: 2000 импульсов по 2168") << U("Число импульсов должно быть от 1 до 65535");
    QTest::newRow("turbo data: Esc takes the typing back")
        << 5 << "One" << "900" << "escape" << U("1000 тактов") << turboData << "";
  }
  void testTypedTimings() {
    QFETCH(int, row);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, how);
    QFETCH(QString, shown);
    QFETCH(QString, line);
    QFETCH(QString, box);
    QApplication::setActiveWindow(w->form.get());
    QVERIFY(QTest::qWaitForWindowActive(w->form.get()));
    const QStringList openedLines = w->Lines();
    w->ClickLine(row);
    const QByteArray name = "Frame1_" + field.toLatin1();
    auto* edit = w->Find<QLineEdit>(name.constData());
    QVERIFY(edit->isVisible() && !edit->isReadOnly());
    const QString before = edit->text();
    edit->setFocus();
    edit->selectAll();
    // Keys for Latin text; Cyrillic comes as an input method gives it.
    bool latin = true;
    for (QChar c : typed) latin = latin && c.unicode() < 0x80;
    if (latin) {
      QTest::keyClicks(edit, typed);
    } else {
      edit->insert(typed);
    }
    if (!box.isEmpty()) w->prompts.PlanAnswer(Answer::Ok);
    if (how == "leave") {
      w->List()->setFocus();
    } else {
      QTest::keyClick(edit, how == "escape" ? Qt::Key_Escape : Qt::Key_Return);
    }
    auto* after = w->Find<QLineEdit>(name.constData());
    QCOMPARE(after->text(), shown);
    QCOMPARE(w->Lines().at(row).trimmed(), line.trimmed());
    const bool changed = box.isEmpty() && how != "escape";
    QCOMPARE(w->state.document.history().undoCount(), std::size_t(changed ? 2 : 1));  // the Open, this change
    QCOMPARE(w->state.project.modified, changed);
    if (!box.isEmpty()) {
      QCOMPARE(w->prompts.shown.size(), std::size_t(1));
      QCOMPARE(w->prompts.shown.back().title, U("Скорость блока"));
      QCOMPARE(w->prompts.shown.back().text, box);
    } else {
      QVERIFY(w->prompts.shown.empty());
    }
    if (!changed) {
      QVERIFY(w->state.project.blocks == opened);
      return;
    }
    // Only this block changed, and only its timing: its data and the other blocks are as read.
    for (int i = 0; i < kMixedBlocks; ++i) {
      const TapeBlock& now = w->state.project.blocks[static_cast<std::size_t>(i)];
      const TapeBlock& was = opened[static_cast<std::size_t>(i)];
      QCOMPARE(now == was, i != row);
      QVERIFY(now.bytes() == was.bytes());
    }
    QCOMPARE(Selection(*w), QList<int>{row});
    const std::vector<TapeBlock> typedTape = w->state.project.blocks;
    // After Enter the field keeps the focus; a field left keeps it where it went.
    QCOMPARE(QApplication::focusWidget(), how == "enter" ? static_cast<QWidget*>(after) : static_cast<QWidget*>(w->List()));
    // Ctrl+Z and Ctrl+Y where the focus is (the field after Enter).
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus != nullptr);
    QTest::keyClick(focus, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(w->state.project.blocks == opened);
    QCOMPARE(w->Find<QLineEdit>(name.constData())->text(), before);
    QCOMPARE(w->Lines(), openedLines);
    QVERIFY(!w->state.project.modified);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Y, Qt::ControlModifier);
    QVERIFY(w->state.project.blocks == typedTape);
    QCOMPARE(w->Find<QLineEdit>(name.constData())->text(), shown);
    QCOMPARE(w->Lines().at(row).trimmed(), line.trimmed());
  }

  // The timings dialog reads and checks its fields as the frame does: the
  // same reasons for the same values.
  void testTimingsDialogFields_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("box");  // "" when the block is made
    QTest::addColumn<int>("one");      // bit 1 of the block made
    QTest::newRow("bit 1") << "OneEdit" << " 900 " << "" << 900;
    QTest::newRow("pilot not a number") << "PilotEdit" << "abc" << U("В поле «Импульс пилота (такты)» должно быть целое число") << 0;
    QTest::newRow("bit 0 past an int") << "ZeroEdit" << "99999999999" << U("Длительность импульса должна быть от 1 до 65535 тактов") << 0;
    QTest::newRow("bit 0 of 0") << "ZeroEdit" << "0" << U("Длительность импульса должна быть от 1 до 65535 тактов") << 0;
    QTest::newRow("no used bits") << "UsedBitsEdit" << "0" << U("В последнем байте может быть от 1 до 8 бит") << 0;
    QTest::newRow("pause of 65536") << "PauseEdit" << "65536" << U("Пауза должна быть от 0 до 65535 мс") << 0;
  }
  void testTimingsDialogFields() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, box);
    QFETCH(int, one);
    Form13 dialog(w->prompts, opened[5], w->form.get());
    dialog.findChild<QLineEdit*>(field)->setText(typed);
    const Form13::Entry entry = dialog.CurrentBlock();
    QCOMPARE(QString::fromStdString(entry.status.message), box);
    if (box.isEmpty()) {
      QCOMPARE(TurboTimingsOf(entry.block)->one, one);
      QVERIFY(entry.block.bytes() == opened[5].bytes());
    }
  }

  // Whoever changes the document (the deck, the import, a test), the window
  // follows: the list, the title and counts, and the actions.
  void testWindowFollowsTheDocument() {
    TapeDocument& document = w->state.document;
    QCOMPARE(EnabledActions(*w), U("editundo editup editdel editprops"));
    document.Delete({2, 3, 6});
    QCOMPARE(w->List()->count(), 11);
    QCOMPARE(w->Panels().at(0), U("Блоков: 11"));
    QCOMPARE(EnabledActions(*w), U("editundo editup editdel editprops"));
    document.SetFileName("/tmp/other.tzx");
    QCOMPARE(w->form->windowTitle(), U("/tmp/other.tzx - Reelo"));
    document.SetLocked(true);
    QCOMPARE(EnabledActions(*w), U(""));
    w->ClickLine(4);
    QVERIFY(!w->Find<QPushButton>("Frame1_Timings")->isEnabled());
    QVERIFY(FrameText(*w).contains(U("Zero=[300 тактов]ro|")));  // nothing to type while the deck plays
    document.SetLocked(false);
    QVERIFY(w->Find<QPushButton>("Frame1_Timings")->isEnabled());
    QVERIFY(FrameText(*w).contains(U("Zero=[300 тактов]|")));
    document.Undo();
    QCOMPARE(w->Lines().size(), kMixedBlocks);
    QCOMPARE(EnabledActions(*w), U("editundo editredo editup editdel editprops"));
    document.New();
    QCOMPARE(w->form->windowTitle(), U("Reelo"));
    QCOMPARE(w->Panels(), (QStringList{U("Блоков: 0"), U("Файлов: 0"), U("Всего данных: 0 байт")}));
  }
};

REELO_UI_TEST_MAIN(TestTapeKinds)
#include "tape_kinds_test.moc"
