// Editing in the main window: every edit undone and redone by the menu, the
// keys and the toolbar; the saved point; several lines at once and dragged;
// the header frame; the properties of a header; the checksum tool's pairs.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "editor_test_support.h"
#include "modal_visit.h"
#include "project/block_kinds.h"
#include "project/block_list.h"
#include "project/header_info.h"
#include "project/pair_check.h"

Q_DECLARE_METATYPE(std::vector<reelo::TapeBlock>)

using namespace reelo;
using namespace reelo::testing;

namespace {

std::vector<TapeBlock> Pair(const TapeBlock& header, int dataLength) {
  return {header, MakeDataBlock(Bytes(static_cast<std::size_t>(dataLength), 7))};
}

QString OrNothing(const std::optional<int>& value) { return value ? QString::number(*value) : QString(); }

// "type|start|size|autostart" of a header.
QString Fields(const TapeBlock& block) {
  const std::optional<HeaderInfo> info = ReadHeader(block);
  if (!info) return "not a header";
  return QStringList{QString::fromStdString(info->typeName), OrNothing(info->start),
                     QString::number(info->dataLength), OrNothing(info->autostart)}
      .join(u'|');
}

}  // namespace

class TestEditCommands : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> w;
  std::unique_ptr<TempDir> dir;

  // Opens the properties of line `row` by `how` (menu, enter, dblclick);
  // inside, sets "type|name|parameter|length" ("-" keeps a field, "button"
  // takes the data block's length) and ends with OK, or with OK then Cancel
  // (`refused`), or with Cancel. Returns "type|name|parameter|length|mark"
  // as the dialog first showed them.
  QString Properties(int row, const QString& how, const QString& plan, const QString& end) {
    const QStringList set = plan.split(u'|');
    QString seen;
    ModalVisit visit([&](QWidget* dialog) {
      auto* type = dialog->findChild<QComboBox*>("TypeBox");
      QLineEdit* edits[] = {dialog->findChild<QLineEdit*>("NameEdit"), dialog->findChild<QLineEdit*>("ParameterEdit"),
                            dialog->findChild<QLineEdit*>("LengthEdit")};
      auto* mark = dialog->findChild<QLabel*>("LengthMark");
      seen = QStringList{dialog->windowTitle(), type->currentText(), edits[0]->text(), edits[1]->text(),
                         edits[2]->text(), mark->isVisibleTo(dialog) ? mark->text() : QString()}
                 .join(u'|');
      if (set[0] != "-") type->setCurrentIndex(type->findText(set[0]));
      for (int i = 0; i < 3; ++i) {
        if (set[i + 1] == "button") QTest::mouseClick(dialog->findChild<QPushButton*>("DataLengthButton"), Qt::LeftButton);
        else if (set[i + 1] != "-") edits[i]->setText(set[i + 1]);
      }
      if (end != "cancel") QTest::mouseClick(dialog->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
      if (end != "ok") QTest::mouseClick(dialog->findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
    });
    QListWidget* list = w->List();
    w->ClickLine(row);  // also the first click of a double click
    if (how == "menu") w->Run("editprops");
    if (how == "enter") {
      list->setFocus();
      QTest::keyClick(list, Qt::Key_Return);
    }
    if (how == "dblclick") QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    if (visit.forced()) QTest::qFail("the dialog did not close", __FILE__, __LINE__);
    return seen;
  }

 private slots:
  void init() {
    w = std::make_unique<MainWindow>();
    dir = std::make_unique<TempDir>();
    WriteFileBytes(*dir / "more.tap", Concat({MakeDataBlock({1}), MakeDataBlock({2}), MakeDataBlock({3})}));
    w->SetBlocks(SampleTape());
    w->SetFileName((*dir / "own.tap").string());
    QApplication::setActiveWindow(w->form.get());
    QVERIFY(QTest::qWaitForWindowActive(w->form.get()));
  }
  void cleanup() {
    QVERIFY2(w->prompts.Unused().isEmpty(), qPrintable("planned but not shown: " + w->prompts.Unused()));
    w.reset();
    dir.reset();
  }

  void testUndoRedo_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("edited");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("via");  // menu, toolbar, Ctrl+Z with Ctrl+Y or with Ctrl+Shift+Z
    QTest::newRow("up") << "click:2 run:editup" << "acbdef" << QList<int>{1} << "menu";
    QTest::newRow("a run of two down") << "click:0 shift:1 run:editdowd" << "cabdef" << QList<int>{1, 2} << "Ctrl+Y";
    QTest::newRow("Shift+Down, then up") << "click:2 key:shift+Down run:editup" << "acdbef" << QList<int>{1, 2}
                                         << "Ctrl+Shift+Z";
    QTest::newRow("two lines apart deleted") << "click:1 ctrl:4 yes run:editdel" << "acdf" << QList<int>{}
                                             << "toolbar";
    QTest::newRow("lines apart dragged below the last") << "click:0 ctrl:2 drop:6" << "bdefac" << QList<int>{4, 5}
                                                        << "menu";
    QTest::newRow("a file's three blocks added") << "file:@more.tap run:editadd" << "abcdef???" << QList<int>{}
                                                 << "toolbar";
  }
  void testUndoRedo() {
    QFETCH(QString, steps);
    QFETCH(QString, edited);
    QFETCH(QList<int>, selected);
    QFETCH(QString, via);
    const auto undoOrRedo = [&](bool undo) {
      if (via == "menu") w->Run(undo ? "editundo" : "editredo");
      if (via == "toolbar") QTest::mouseClick(w->Find<QToolButton>(undo ? "Toolbar1_undo" : "Toolbar1_redo"), Qt::LeftButton);
      if (via.startsWith("Ctrl")) QTest::keySequence(w->form.get(), QKeySequence(undo ? QString("Ctrl+Z") : via));
    };
    QVERIFY(!w->Action("editundo")->isEnabled());
    RunSteps(*w, steps.replace("@", QString::fromStdString(dir->path().string()) + "/"));
    QCOMPARE(Letters(w->state.project), edited);
    QCOMPARE(Selection(*w), selected);
    QVERIFY(w->state.project.modified);

    undoOrRedo(true);
    QCOMPARE(Letters(w->state.project), QString("abcdef"));
    QVERIFY2(!w->state.project.modified, "back at the state of the last Open");
    QVERIFY(!w->Action("editundo")->isEnabled() && w->Action("editredo")->isEnabled());
    QCOMPARE(w->Panels()[0], U("Блоков: 6"));

    undoOrRedo(false);
    QCOMPARE(Letters(w->state.project), edited);
    QVERIFY(w->state.project.modified && !w->Action("editredo")->isEnabled());
    QStringList lines;
    for (const std::string& line : BlockListLines(w->state.project)) lines << QString::fromStdString(line);
    QCOMPARE(w->Lines(), lines);
  }

  // Undoing back to the state of the last save clears `modified`; New is a
  // step like any other, and Undo brings back the tape it replaced.
  void testSavedPoint_data() {
    QTest::addColumn<QStringList>("parts");  // the project is saved between parts
    QTest::addColumn<QList<bool>>("modifiedAfterUndos");
    QTest::newRow("edit, save, edit: one undo reaches the save")
        << QStringList{"click:2 run:editup", "click:4 run:editdowd"} << QList<bool>{false, true};
    QTest::newRow("edit, save: undo leaves the saved state") << QStringList{"click:2 run:editup", ""}
                                                             << QList<bool>{true};
    QTest::newRow("New, undone: the edited tape, then the opened one")
        << QStringList{"click:2 run:editup no run:filenew"} << QList<bool>{true, false};
  }
  void testSavedPoint() {
    QFETCH(QStringList, parts);
    QFETCH(QList<bool>, modifiedAfterUndos);
    for (int i = 0; i < parts.size(); ++i) {
      if (i > 0) w->Run("filesave");
      RunSteps(*w, parts[i]);
    }
    for (bool modified : modifiedAfterUndos) {
      w->Run("editundo");
      QCOMPARE(w->state.project.modified, modified);
    }
    QVERIFY(!w->Action("editundo")->isEnabled());
  }

  void testSelection_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("order");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("box");
    const QString apart = U("Вверх и вниз передвигаются только блоки, выбранные подряд");
    QTest::newRow("lines apart are not moved") << "click:1 ctrl:3 ok run:editup" << "abcdef" << QList<int>{1, 3}
                                               << apart;
    QTest::newRow("Ctrl-click takes a line out of a run") << "click:0 shift:2 ctrl:1 ok run:editdowd" << "abcdef"
                                                          << QList<int>{0, 2} << apart;
    QTest::newRow("a run at the top stays") << "click:0 shift:2 run:editup" << "abcdef" << QList<int>{0, 1, 2} << "";
    QTest::newRow("a run at the bottom stays") << "click:4 key:shift+Down run:editdowd" << "abcdef"
                                               << QList<int>{4, 5} << "";
    QTest::newRow("a run down twice") << "click:0 shift:1 run:editdowd run:editdowd" << "cdabef" << QList<int>{2, 3}
                                      << "";
    QTest::newRow("Shift+Up, then up") << "click:3 key:shift+Up run:editup" << "acdbef" << QList<int>{1, 2} << "";
    QTest::newRow("one line deleted: the question as before") << "click:2 yes run:editdel" << "abdef" << QList<int>{}
                                                              << U("Удалить выбранный блок?");
    QTest::newRow("Нет keeps three lines") << "click:0 shift:2 no run:editdel" << "abcdef" << QList<int>{0, 1, 2}
                                           << U("Удалить выбранные блоки (3)?");
    QTest::newRow("a line dragged onto the top") << "click:3 drop:0" << "dabcef" << QList<int>{0} << "";
    QTest::newRow("the lower half of a line puts it after") << "click:0 dropbelow:2" << "bcadef" << QList<int>{2}
                                                            << "";
    QTest::newRow("a run dragged inside itself stays") << "click:1 shift:3 drop:2" << "abcdef" << QList<int>{1, 2, 3}
                                                       << "";
    QTest::newRow("the properties of a data block") << "click:1 ok run:editprops" << "abcdef" << QList<int>{1}
                                                    << U("Свойства можно изменить только у заголовка блока");
  }
  void testSelection() {
    QFETCH(QString, steps);
    QFETCH(QString, order);
    QFETCH(QList<int>, selected);
    QFETCH(QString, box);
    ModalVisit visit(nullptr);
    RunSteps(*w, steps);
    QVERIFY2(!visit.visited(), "no window opened");
    QCOMPARE(Letters(w->state.project), order);
    QCOMPARE(Selection(*w), selected);
    QCOMPARE(w->state.project.blockSelected, !selected.isEmpty());
    // The views and the properties take the first selected line.
    QCOMPARE(w->form->SelectedBlock(), selected.isEmpty() ? -1 : selected.front());
    QCOMPARE(w->prompts.shown.empty() ? QString() : w->prompts.shown.back().text, box);
    QCOMPARE(w->state.project.modified, order != "abcdef");
  }

  void testHeaderFrame_data() {
    QTest::addColumn<std::vector<TapeBlock>>("blocks");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("shown");  // "" while the frame is hidden
    QTest::newRow("program") << Pair(MakeHeader(0, "prog", 120, 10, 120), 120) << 0 << "Program||120|10";
    QTest::newRow("program with no autostart") << Pair(MakeHeader(0, "prog", 5, 32768, 5), 5) << 0 << "Program||5|";
    QTest::newRow("CODE") << Pair(MakeHeader(3, "screen", 6912, 16384), 6912) << 0 << "Bytes|16384|6912|";
    QTest::newRow("number array") << Pair(MakeHeader(1, "table", 50, 0x8100), 50) << 0 << "Number array||50|";
    QTest::newRow("data block") << Pair(MakeHeader(3, "code", 4, 32768), 4) << 1 << "";
  }
  void testHeaderFrame() {
    QFETCH(std::vector<TapeBlock>, blocks);
    QFETCH(int, row);
    QFETCH(QString, shown);
    w->SetBlocks(blocks);
    auto* frame = w->Find<QGroupBox>("Frame1");
    const QWidget* client = w->form->centralWidget();
    // A window narrowed to the design width (a new one is wider, with room
    // for the frame), so that showing the frame has to widen it.
    w->form->resize(w->form->size() - client->size() + QSize(369, 329));
    QTRY_COMPARE(client->width(), 369);
    w->ClickLine(row);
    QCOMPARE(frame->isVisible(), !shown.isEmpty());
    QTRY_COMPARE(client->width(), shown.isEmpty() ? 369 : 369 + 180);
    if (shown.isEmpty()) return;
    QCOMPARE(frame->title(), U("Информация о заголовке"));
    QStringList values;
    for (const char* name : {"Frame1_Type", "Frame1_Start", "Frame1_Size", "Frame1_Autostart"}) {
      values << w->Find<QLabel>(name)->text();
    }
    QCOMPARE(values.join(u'|'), shown);
    // A TAP header's fields are read here, never typed: no field takes typing.
    for (const QLineEdit* edit : frame->findChildren<QLineEdit*>()) QVERIFY(!edit->isVisible());
    // The window grew so that the list kept the width of a new window.
    QCOMPARE(w->List()->geometry(), QRect(0, 24, 369, 329 - 41));
    QCOMPARE(frame->x(), 369);
    // A data line hides it; the list takes the whole width and the window keeps its size.
    w->ClickLine(1);
    QVERIFY(!frame->isVisible());
    QCOMPARE(w->List()->width(), client->width());
    QCOMPARE(client->width(), 369 + 180);
    w->ClickLine(row);
    w->form->RefreshBlockList();
    QVERIFY2(!frame->isVisible(), "a rebuilt list has no selected header");
  }

  void testProperties_data() {
    QTest::addColumn<std::vector<TapeBlock>>("blocks");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("plan");    // type|name|parameter|length
    // ok, refused (a box, then Cancel), cancel; warned yes / warned no: the
    // question about data past 65535, answered Да (the edit is made) or Нет
    // (the dialog stays, then Cancel)
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("opened");  // title|type|name|parameter|length|mark
    QTest::addColumn<QString>("after");   // the list line, then Fields()
    const auto program = Pair(MakeHeader(0, "prog", 3, 10, 3), 3);
    const auto code = Pair(MakeHeader(3, "code", 4, 32768), 4);
    const QString programOpened = U("Свойства блока|Program|prog|10|3|");
    const QString codeOpened = U("Свойства блока|Bytes|code|32768|4|");
    QTest::newRow("rename by Enter") << program << "enter" << "-|hello|-|-" << "ok" << programOpened
                                     << "Program: hello     |Program||3|10";
    QTest::newRow("autostart taken away") << program << "menu" << "-|-||-" << "ok" << programOpened
                                          << "Program: prog      |Program||3|";
    QTest::newRow("new start by a double click") << code << "dblclick" << "-|-|40000|-" << "ok" << codeOpened
                                                 << "Bytes: code      |Bytes|40000|4|";
    QTest::newRow("CODE made a program") << code << "menu" << "Program|-|1|-" << "ok" << codeOpened
                                         << "Program: code      |Program||4|1";
    QTest::newRow("the data block's length offered and taken")
        << Pair(MakeHeader(3, "code", 10, 32768), 4) << "menu" << "-|-|-|button" << "ok"
        << U("Свойства блока|Bytes|code|32768|10|Длина не совпадает с блоком данных после заголовка (4 байт)")
        << "Bytes: code      |Bytes|32768|4|";
    QTest::newRow("no data block after it: marked")
        << std::vector<TapeBlock>{MakeHeader(3, "lone", 2, 16384), MakeHeader(3, "next", 2, 0)} << "menu"
        << "-|-|-|-" << "cancel" << U("Свойства блока|Bytes|lone|16384|2|После заголовка нет блока данных")
        << "Bytes: lone      |Bytes|16384|2|";
    QTest::newRow("graphics in an untouched name are kept")
        << Pair(MakeHeader(3, "\x90\x91 ab", 4, 32768), 4) << "menu" << "-|-|1000|-" << "ok"
        << U("Свойства блока|Bytes|?? ab|32768|4|") << U("Bytes: \u0452\u2018 ab     |Bytes|1000|4|");
    QTest::newRow("a name the Spectrum lacks: refused") << program << "menu" << U("-|Игра|-|-") << "refused"
                                                        << programOpened << "Program: prog      |Program||3|10";
    QTest::newRow("a start past the end of memory, Да") << code << "menu" << "-|-|65534|-" << "warned yes" << codeOpened
                                                        << "Bytes: code      |Bytes|65534|4|";
    QTest::newRow("a length past the end of memory, Нет") << code << "menu" << "-|-|-|40000" << "warned no"
                                                          << codeOpened << "Bytes: code      |Bytes|32768|4|";
    QTest::newRow("already past the end and renamed: no question")
        << Pair(MakeHeader(3, "code", 4, 65534), 4) << "menu" << "-|new|-|-" << "ok"
        << U("Свойства блока|Bytes|code|65534|4|") << "Bytes: new       |Bytes|65534|4|";
    QTest::newRow("a start that is no number: refused") << code << "menu" << "-|-|4O000|-" << "refused" << codeOpened
                                                        << "Bytes: code      |Bytes|32768|4|";
  }
  void testProperties() {
    QFETCH(std::vector<TapeBlock>, blocks);
    QFETCH(QString, how);
    QFETCH(QString, plan);
    QFETCH(QString, end);
    QFETCH(QString, opened);
    QFETCH(QString, after);
    w->SetBlocks(blocks);
    if (end == "refused") w->prompts.PlanAnswer(Answer::Ok);
    if (end == "warned yes") w->prompts.PlanAnswer(Answer::Yes);
    if (end == "warned no") w->prompts.PlanAnswer(Answer::No);
    const bool warned = end.startsWith("warned");
    if (warned) end = end == "warned yes" ? "ok" : "refused";
    QCOMPARE(Properties(0, how, plan, end), opened);
    if (end == "refused") {
      QCOMPARE(w->prompts.shown.at(0).title, U("Свойства блока"));
      QCOMPARE(w->prompts.shown.at(0).icon, warned ? BoxIcon::Warning : BoxIcon::Critical);
    }
    if (warned) {
      QCOMPARE(w->prompts.shown.at(0).buttons, Buttons::YesNo);
      QVERIFY2(w->prompts.shown.at(0).text.startsWith(U("Данные не помещаются в память: ")) &&
                   w->prompts.shown.at(0).text.endsWith(U("\n\nВсё равно изменить заголовок?")),
               qPrintable(w->prompts.shown.at(0).text));
    }
    QCOMPARE(w->Lines()[0] + "|" + Fields(w->state.project.blocks[0]), after);
    QVERIFY(ChecksumMatches(w->state.project.blocks[0]));
    const bool changed = w->state.project.blocks != blocks;
    QCOMPARE(changed, end == "ok");
    QCOMPARE(w->state.project.modified, changed);
    if (!changed) return;
    QCOMPARE(Selection(*w), QList<int>{0});
    w->Run("editundo");
    QVERIFY2(w->state.project.blocks == blocks && !w->state.project.modified, "one edit, one undo");
  }

  // A damaged block's line is drawn apart with a tooltip saying what is
  // wrong; the marks follow a load, an edit, a repair and its undo.
  void testDamageMarks_data() {
    QTest::addColumn<QString>("steps");  // "@" stands for the damaged tape's path
    QTest::addColumn<QStringList>("marks");  // per line: "-" or the tooltip
    const QString sum = U("Контрольная сумма не совпадает: записано 0, должно быть 252");
    const QString flagOnly = U("Блок повреждён: в записи только флаг, нет контрольной суммы");
    QTest::newRow("a damaged tape opened") << "file:@ run:fileopen" << QStringList{"-", sum, flagOnly};
    QTest::newRow("a damaged block moved up") << "file:@ run:fileopen click:1 run:editup"
                                              << QStringList{sum, "-", flagOnly};
    // Да to the repair of block 2, Нет to the tool's question about the
    // flag-only record (its flag read as its checksum), then the closing box
    // and the pair box (that record is a data block without a header).
    QTest::newRow("repaired by the checksum tool") << "file:@ run:fileopen yes no ok ok run:toolsksum"
                                                   << QStringList{"-", "-", flagOnly};
    QTest::newRow("the repair undone") << "file:@ run:fileopen yes no ok ok run:toolsksum run:editundo"
                                       << QStringList{"-", sum, flagOnly};
  }
  void testDamageMarks() {
    QFETCH(QString, steps);
    QFETCH(QStringList, marks);
    TapeBlock damaged = MakeDataBlock({1, 2});
    damaged.mutableBytes().back() = 0;
    const std::string path = (*dir / "damaged.tap").string();
    WriteFileBytes(path, Concat({MakeHeader(3, "code", 2, 32768), damaged, MakeRawRecord({0xFF})}));
    RunSteps(*w, steps.replace("@", QString::fromStdString(path)));
    QListWidget* list = w->List();
    QStringList seen;
    for (int row = 0; row < list->count(); ++row) {
      const QListWidgetItem* line = list->item(row);
      const bool drawnApart = line->foreground().style() != Qt::NoBrush;
      seen << (line->toolTip().isEmpty() ? QString("-") : line->toolTip());
      QCOMPARE(drawnApart, !line->toolTip().isEmpty());
    }
    QCOMPARE(seen, marks);
  }

  // A turbo block's timings in their own dialog ("Скорость блока"): what it
  // shows, a change as one undoable edit that keeps the bytes, a wrong field
  // refused with the core's words.
  void testTurboTimings_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("end");  // ok, refused (a box, then Cancel), cancel
    QTest::addColumn<QString>("line");
    QTest::newRow("faster ones") << "OneEdit" << "900" << "ok" << U("      1 байт данных  [турбо x1,83]");
    QTest::newRow("6 bits in the last byte") << "UsedBitsEdit" << "6" << "ok" << U("      1 байт данных  [турбо x1,71]");
    QTest::newRow("no bits: refused") << "UsedBitsEdit" << "0" << "refused" << U("      1 байт данных  [турбо x1,71]");
    QTest::newRow("cancelled") << "PilotEdit" << "100" << "cancel" << U("      1 байт данных  [турбо x1,71]");
  }
  void testTurboTimings() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, end);
    QFETCH(QString, line);
    const Bytes head = {0xDC, 0x05, 0x90, 0x01, 0xC2, 0x01, 0xF4, 0x01, 0xE8, 0x03, 0xB8, 0x0B, 8, 0xF4, 0x01};
    const TapeBlock turbo(MakeDataBlock({7}).bytes(), std::make_shared<const KeptFields>(KeptFields{0x11, head}));
    w->SetBlocks({turbo, MakeDataBlock({1})});
    if (end == "refused") w->prompts.PlanAnswer(Answer::Ok);
    QString seen;
    ModalVisit visit([&](QWidget* dialog) {
      QStringList shown{dialog->windowTitle()};
      for (const char* name : {"PilotEdit", "PilotPulsesEdit", "Sync1Edit", "Sync2Edit", "ZeroEdit", "OneEdit",
                               "UsedBitsEdit", "PauseEdit"}) {
        shown << dialog->findChild<QLineEdit*>(name)->text();
      }
      seen = shown.join(u'|');
      dialog->findChild<QLineEdit*>(field)->setText(value);
      if (end != "cancel") QTest::mouseClick(dialog->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
      if (end != "ok") QTest::mouseClick(dialog->findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
    });
    w->ClickLine(0);
    w->Run("editprops");
    QVERIFY(!visit.forced());
    QCOMPARE(seen, U("Скорость блока|1500|3000|400|450|500|1000|8|500"));
    if (end == "refused") QCOMPARE(w->prompts.shown.at(0).text, U("В последнем байте может быть от 1 до 8 бит"));
    QCOMPARE(w->Lines()[0], line);
    QCOMPARE(w->state.project.blocks[0].bytes(), turbo.bytes());
    const bool changed = !(w->state.project.blocks[0] == turbo);
    QCOMPARE(changed, end == "ok");
    if (!changed) return;
    const TurboTimings timings = *TurboTimingsOf(w->state.project.blocks[0]);
    QCOMPARE(QString::number(field == "OneEdit" ? timings.one : timings.usedBits), value);
    w->Run("editundo");
    QVERIFY(w->state.project.blocks[0] == turbo);
  }

  // After the checksum walk the tool lists the pairs that do not match in one
  // box; it offers to fix the lengths only where one differs, and changes
  // nothing without Да.
  void testChecksumToolPairs_data() {
    QTest::addColumn<std::vector<TapeBlock>>("blocks");
    QTest::addColumn<QString>("answer");  // to the pair box; "" when none shows
    QTest::addColumn<QString>("lengthsAfter");
    const auto differs = Pair(MakeHeader(3, "code", 10, 32768), 4);
    QTest::newRow("a length differs, Да fixes it") << differs << "yes" << "Bytes|32768|4||4";
    QTest::newRow("a length differs, Нет keeps it") << differs << "no" << "Bytes|32768|10||4";
    QTest::newRow("no header, no data: listed only")
        << std::vector<TapeBlock>{MakeDataBlock({1}), MakeHeader(3, "lone", 2, 16384)} << "ok"
        << "1|Bytes|16384|2|";
    QTest::newRow("every pair right: no second box") << Pair(MakeHeader(0, "prog", 3, 10, 3), 3) << ""
                                                     << "Program||3|10|3";
  }
  void testChecksumToolPairs() {
    QFETCH(std::vector<TapeBlock>, blocks);
    QFETCH(QString, answer);
    QFETCH(QString, lengthsAfter);
    w->SetBlocks(blocks);
    RunSteps(*w, "ok " + answer + " run:toolsksum");
    QCOMPARE(w->prompts.shown.size(), std::size_t(answer.isEmpty() ? 1 : 2));
    if (!answer.isEmpty()) {
      const ShownPrompt& box = w->prompts.shown.back();
      QCOMPARE(box.title, U("Проверка пар заголовок - данные"));
      QCOMPARE(box.buttons, answer == "ok" ? Buttons::Ok : Buttons::YesNo);
      QVERIFY(box.text.startsWith(QString::fromStdString(PairProblemsText(CheckPairs(TapeProject{blocks})))));
      QCOMPARE(box.text.endsWith(U(kFixLengthsQuestion)), box.buttons == Buttons::YesNo);
    }
    QStringList lengths;
    for (const TapeBlock& block : w->state.project.blocks) {
      lengths << (IsHeader(block) ? Fields(block) : QString::number(RecordLength(block) - 2));
    }
    QCOMPARE(lengths.join(u'|'), lengthsAfter);
    QCOMPARE(w->state.project.modified, answer == "yes");
  }
};

REELO_UI_TEST_MAIN(TestEditCommands)
#include "edit_commands_test.moc"
