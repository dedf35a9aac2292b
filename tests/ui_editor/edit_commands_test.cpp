// Editing in the main window: every edit undone and redone through the menu,
// the keys and the toolbar; the saved point; several lines at once; dragging
// lines; the header frame; the properties dialog of a header.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "editor_test_support.h"
#include "modal_visit.h"
#include "project/block_list.h"
#include "project/header_info.h"
#include "project/pair_check.h"
#include "project/tap_file.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

// A header and the data block after it, for the frame and the dialog.
std::vector<TapeBlock> Pair(const TapeBlock& header, int dataLength) {
  return {header, MakeDataBlock(Bytes(static_cast<std::size_t>(dataLength), 7))};
}

// What the dialog shows when it opens, and what the user then does in it.
struct DialogPlan {
  QString type;       // "" keeps the type shown
  QString name;       // "-" keeps the name shown
  QString parameter;  // "-" keeps it
  QString length;     // "-" keeps it; "button" takes the data block's length
  bool refused = false;  // OK shows a box; the user then cancels
  bool cancel = false;
};

struct DialogSeen {
  QString title, type, name, parameter, length, mark;
  bool visited = false;
};

}  // namespace

Q_DECLARE_METATYPE(std::vector<reelo::TapeBlock>)

class TestEditCommands : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> w;

  void Undo(const QString& via) {
    if (via == "menu") w->Run("editundo");
    if (via == "keys") QTest::keySequence(w->form.get(), QKeySequence("Ctrl+Z"));
    if (via == "toolbar") QTest::mouseClick(w->Find<QToolButton>("Toolbar1_undo"), Qt::LeftButton);
  }
  void Redo(const QString& via, bool shiftZ) {
    if (via == "menu") w->Run("editredo");
    if (via == "keys") QTest::keySequence(w->form.get(), QKeySequence(shiftZ ? "Ctrl+Shift+Z" : "Ctrl+Y"));
    if (via == "toolbar") QTest::mouseClick(w->Find<QToolButton>("Toolbar1_redo"), Qt::LeftButton);
  }

  // Opens the properties of line `row` (by the menu, Enter or a double
  // click), follows the plan inside the dialog and records what it showed.
  DialogSeen Properties(int row, const QString& how, const DialogPlan& plan) {
    DialogSeen seen;
    ModalVisit visit([&](QWidget* dialog) {
      seen.visited = true;
      seen.title = dialog->windowTitle();
      auto* type = dialog->findChild<QComboBox*>("TypeBox");
      auto* name = dialog->findChild<QLineEdit*>("NameEdit");
      auto* parameter = dialog->findChild<QLineEdit*>("ParameterEdit");
      auto* length = dialog->findChild<QLineEdit*>("LengthEdit");
      auto* mark = dialog->findChild<QLabel*>("LengthMark");
      seen.type = type->currentText();
      seen.name = name->text();
      seen.parameter = parameter->text();
      seen.length = length->text();
      seen.mark = mark->isVisibleTo(dialog) ? mark->text() : QString();
      if (!plan.type.isEmpty()) type->setCurrentIndex(type->findText(plan.type));
      if (plan.name != "-") name->setText(plan.name);
      if (plan.parameter != "-") parameter->setText(plan.parameter);
      if (plan.length == "button") {
        QTest::mouseClick(dialog->findChild<QPushButton*>("DataLengthButton"), Qt::LeftButton);
      } else if (plan.length != "-") {
        length->setText(plan.length);
      }
      if (!plan.cancel) QTest::mouseClick(dialog->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
      if (plan.cancel || plan.refused) QTest::mouseClick(dialog->findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
    });
    QListWidget* list = w->List();
    if (how == "menu") {
      w->ClickLine(row);
      w->Run("editprops");
    } else if (how == "enter") {
      w->ClickLine(row);
      QApplication::setActiveWindow(w->form.get());
      list->setFocus();
      QTest::keyClick(list, Qt::Key_Return);
    } else {
      // The first click of a double click selects the line.
      w->ClickLine(row);
      QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
    if (visit.forced()) QTest::qFail("the dialog did not close", __FILE__, __LINE__);
    return seen;
  }

 private slots:
  void init() { w = std::make_unique<MainWindow>(); }
  void cleanup() {
    QVERIFY2(w->prompts.Unused().isEmpty(), qPrintable("planned but not shown: " + w->prompts.Unused()));
    w.reset();
  }

  void testUndoRedo_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("edited");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("via");
    QTest::addColumn<bool>("shiftZ");
    QTest::newRow("up, by the menu") << "click:2 run:editup" << "acbdef" << QList<int>{1} << "menu" << false;
    QTest::newRow("a run of two down, by Ctrl+Z and Ctrl+Y")
        << "click:0 shift:1 run:editdowd" << "cabdef" << QList<int>{1, 2} << "keys" << false;
    QTest::newRow("Shift+Down then up, by Ctrl+Z and Ctrl+Shift+Z")
        << "click:2 key:shift+Down run:editup" << "acdbef" << QList<int>{1, 2} << "keys" << true;
    QTest::newRow("two lines apart deleted, by the toolbar")
        << "click:1 ctrl:4 yes run:editdel" << "acdf" << QList<int>{} << "toolbar" << false;
    QTest::newRow("everything deleted") << "click:0 shift:5 yes run:editdel" << "" << QList<int>{} << "menu" << false;
  }
  void testUndoRedo() {
    QFETCH(QString, steps);
    QFETCH(QString, edited);
    QFETCH(QList<int>, selected);
    QFETCH(QString, via);
    QFETCH(bool, shiftZ);
    w->SetBlocks(SampleTape());
    QApplication::setActiveWindow(w->form.get());
    QVERIFY(QTest::qWaitForWindowActive(w->form.get()));
    QVERIFY(!w->Action("editundo")->isEnabled());
    RunSteps(*w, steps);
    QCOMPARE(Letters(w->state.project), edited);
    QCOMPARE(Selection(*w), selected);
    QVERIFY(w->state.project.modified);
    QCOMPARE(w->Panels()[0], U("Блоков: ") + QString::number(edited.size()));

    Undo(via);
    QCOMPARE(Letters(w->state.project), QString("abcdef"));
    QVERIFY2(!w->state.project.modified, "back at the state of the last Open");
    QCOMPARE(w->Lines().size(), 6);
    QVERIFY(!w->Action("editundo")->isEnabled());
    QVERIFY(w->Action("editredo")->isEnabled());
    QCOMPARE(w->Panels()[0], U("Блоков: 6"));

    Redo(via, shiftZ);
    QCOMPARE(Letters(w->state.project), edited);
    QVERIFY(w->state.project.modified);
    QVERIFY(!w->Action("editredo")->isEnabled());
    // The list always shows the project.
    QStringList lines;
    for (const std::string& line : BlockListLines(w->state.project)) lines << QString::fromStdString(line);
    QCOMPARE(w->Lines(), lines);
  }

  // The blocks of an added file come in as one step, whatever their number.
  void testAddedFileIsOneStep() {
    TempDir dir;
    const std::string added = (dir / "more.tap").string();
    WriteFileBytes(added, Concat({MakeDataBlock({1}), MakeDataBlock({2}), MakeDataBlock({3})}));
    w->SetBlocks(SampleTape());
    w->prompts.PlanFile(QString::fromStdString(added));
    w->Run("editadd");
    QCOMPARE(Letters(w->state.project), QString("abcdef???"));
    QVERIFY(w->state.project.modified);
    w->Run("editundo");
    QCOMPARE(Letters(w->state.project), QString("abcdef"));
    QVERIFY(!w->state.project.modified);
    QCOMPARE(w->Panels()[0], U("Блоков: 6"));
    w->Run("editredo");
    QCOMPARE(w->state.project.blockCount(), 9);
  }

  // Undoing back to the state of the last save clears `modified`; New and
  // Open leave nothing to undo.
  void testSavedPoint_data() {
    QTest::addColumn<QString>("steps");  // "save" saves the project to its file
    QTest::addColumn<QList<bool>>("modifiedAfterUndos");
    QTest::addColumn<bool>("undoLeft");
    QTest::newRow("edit, save, edit: one undo reaches the save")
        << "click:2 run:editup save click:4 run:editdowd" << QList<bool>{false, true} << false;
    QTest::newRow("edit then save: undo leaves the saved state")
        << "click:2 run:editup save" << QList<bool>{true} << false;
    QTest::newRow("New empties the history") << "click:2 run:editup no run:filenew" << QList<bool>{} << false;
  }
  void testSavedPoint() {
    QFETCH(QString, steps);
    QFETCH(QList<bool>, modifiedAfterUndos);
    QFETCH(bool, undoLeft);
    TempDir dir;
    w->SetBlocks(SampleTape());
    w->state.project.fileName = (dir / "own.tap").string();
    for (const QString& part : steps.split(" save")) {
      RunSteps(*w, part);
      if (part != steps.split(" save").last()) {
        w->Run("filesave");
        QVERIFY(!w->state.project.modified);
      }
    }
    for (bool modified : modifiedAfterUndos) {
      w->Run("editundo");
      QCOMPARE(w->state.project.modified, modified);
    }
    QCOMPARE(w->Action("editundo")->isEnabled(), undoLeft);
  }

  void testSelection_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("order");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QStringList>("boxes");
    const QString notTogether = U("Вверх и вниз передвигаются только блоки, выбранные подряд");
    QTest::newRow("lines apart are not moved") << "click:1 ctrl:3 ok run:editup" << "abcdef" << QList<int>{1, 3}
                                               << QStringList{notTogether};
    QTest::newRow("Ctrl-click takes a line out of a run") << "click:0 shift:2 ctrl:1 ok run:editdowd" << "abcdef"
                                                          << QList<int>{0, 2} << QStringList{notTogether};
    QTest::newRow("a run at the top stays") << "click:0 shift:2 run:editup" << "abcdef" << QList<int>{0, 1, 2}
                                            << QStringList{};
    QTest::newRow("a run at the bottom stays") << "click:4 key:shift+Down run:editdowd" << "abcdef"
                                               << QList<int>{4, 5} << QStringList{};
    QTest::newRow("a run down twice") << "click:0 shift:1 run:editdowd run:editdowd" << "cdabef"
                                      << QList<int>{2, 3} << QStringList{};
    QTest::newRow("Shift+Up extends upwards, then up") << "click:3 key:shift+Up run:editup" << "acdbef"
                                                       << QList<int>{1, 2} << QStringList{};
    QTest::newRow("one line: the question as before") << "click:2 yes run:editdel" << "abdef" << QList<int>{}
                                                      << QStringList{U("Удалить выбранный блок?")};
    QTest::newRow("three lines: the question counts them") << "click:0 shift:2 yes run:editdel" << "def"
                                                           << QList<int>{}
                                                           << QStringList{U("Удалить выбранные блоки (3)?")};
    QTest::newRow("Нет keeps them") << "click:0 ctrl:5 no run:editdel" << "abcdef" << QList<int>{0, 5}
                                    << QStringList{U("Удалить выбранные блоки (2)?")};
  }
  void testSelection() {
    QFETCH(QString, steps);
    QFETCH(QString, order);
    QFETCH(QList<int>, selected);
    QFETCH(QStringList, boxes);
    w->SetBlocks(SampleTape());
    RunSteps(*w, steps);
    QCOMPARE(Letters(w->state.project), order);
    QCOMPARE(Selection(*w), selected);
    QCOMPARE(w->state.project.blockSelected, !selected.isEmpty());
    // The views and the properties take the first selected line.
    QCOMPARE(w->form->SelectedBlock(), selected.isEmpty() ? -1 : selected.front());
    QStringList shown;
    for (const ShownPrompt& box : w->prompts.shown) shown << box.text;
    QCOMPARE(shown, boxes);
    QCOMPARE(w->state.project.modified, order != "abcdef");
  }

  void testDragAndDrop_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("lowerHalf");
    QTest::addColumn<QString>("order");
    QTest::addColumn<QList<int>>("selected");
    QTest::newRow("one line onto the top") << "click:3" << 0 << false << "dabcef" << QList<int>{0};
    QTest::newRow("the lower half of a line puts it after") << "click:0" << 2 << true << "bcadef" << QList<int>{2};
    QTest::newRow("lines apart gather below the last") << "click:0 ctrl:2" << 6 << false << "bdefac"
                                                       << QList<int>{4, 5};
    QTest::newRow("a run dropped inside itself stays") << "click:1 shift:3" << 2 << false << "abcdef"
                                                       << QList<int>{1, 2, 3};
  }
  void testDragAndDrop() {
    QFETCH(QString, steps);
    QFETCH(int, row);
    QFETCH(bool, lowerHalf);
    QFETCH(QString, order);
    QFETCH(QList<int>, selected);
    w->SetBlocks(SampleTape());
    RunSteps(*w, steps);
    QVERIFY(w->List()->dragEnabled() && w->List()->acceptDrops());
    DropSelectedAt(*w, row, lowerHalf);
    QTRY_COMPARE(Letters(w->state.project), order);
    QCOMPARE(w->state.project.modified, order != "abcdef");
    if (order == "abcdef") return;
    QCOMPARE(Selection(*w), selected);
    w->Run("editundo");
    QCOMPARE(Letters(w->state.project), QString("abcdef"));
  }

  void testHeaderFrame_data() {
    QTest::addColumn<std::vector<TapeBlock>>("blocks");
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("values");  // empty: the frame is hidden
    QTest::newRow("program with autostart") << Pair(MakeHeader(0, "prog", 120, 10, 120), 120) << 0
                                            << QStringList{"Program", "", "120", "10"};
    QTest::newRow("program with no autostart") << Pair(MakeHeader(0, "prog", 5, 32768, 5), 5) << 0
                                               << QStringList{"Program", "", "5", ""};
    QTest::newRow("the last line before no autostart") << Pair(MakeHeader(0, "prog", 5, 32767, 5), 5) << 0
                                                       << QStringList{"Program", "", "5", "32767"};
    QTest::newRow("CODE") << Pair(MakeHeader(3, "screen", 6912, 16384), 6912) << 0
                          << QStringList{"Bytes", "16384", "6912", ""};
    QTest::newRow("number array") << Pair(MakeHeader(1, "table", 50, 0x8100), 50) << 0
                                  << QStringList{"Number array", "", "50", ""};
    QTest::newRow("data block") << Pair(MakeHeader(3, "code", 4, 32768), 4) << 1 << QStringList{};
  }
  void testHeaderFrame() {
    QFETCH(std::vector<TapeBlock>, blocks);
    QFETCH(int, row);
    QFETCH(QStringList, values);
    w->SetBlocks(blocks);
    auto* frame = w->Find<QGroupBox>("Frame1");
    QVERIFY(!frame->isVisible());
    w->ClickLine(row);
    QCOMPARE(frame->isVisible(), !values.isEmpty());
    const QWidget* client = w->form->centralWidget();
    if (values.isEmpty()) {
      QCOMPARE(client->width(), 369);
      QCOMPARE(w->List()->width(), 369);
      return;
    }
    QCOMPARE(frame->title(), U("Информация о заголовке"));
    QCOMPARE((QStringList{w->Find<QLabel>("Frame1_Type")->text(), w->Find<QLabel>("Frame1_Start")->text(),
                          w->Find<QLabel>("Frame1_Size")->text(), w->Find<QLabel>("Frame1_Autostart")->text()}),
             values);
    // The window grew so that the list kept the width of a new window.
    QTRY_COMPARE(client->width(), 369 + 180);
    QCOMPARE(w->List()->geometry(), QRect(0, 24, 369, 329 - 41));
    QCOMPARE(frame->x(), 369);
    // A data line hides the frame; the list takes the whole width again and
    // the window keeps its size.
    w->ClickLine(1 - row);
    QVERIFY(!frame->isVisible());
    QCOMPARE(w->List()->width(), 369 + 180);
    QCOMPARE(client->width(), 369 + 180);
    // A rebuilt list has no selection, so no header to show.
    w->ClickLine(row);
    w->form->RefreshBlockList();
    QVERIFY(!frame->isVisible());
  }

  void testProperties_data() {
    QTest::addColumn<std::vector<TapeBlock>>("blocks");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("plan");  // type, name, parameter, length, then "refused" or "cancel" or ""
    QTest::addColumn<QStringList>("opened");  // type, name, parameter, length, mark
    QTest::addColumn<QString>("box");         // the box OK showed, "" for none
    QTest::addColumn<QString>("line");        // the list line afterwards
    QTest::addColumn<QStringList>("after");   // the header afterwards: type, start, size, autostart
    const auto program = Pair(MakeHeader(0, "prog", 3, 10, 3), 3);
    const auto code = Pair(MakeHeader(3, "code", 4, 32768), 4);
    const auto mismatch = Pair(MakeHeader(3, "code", 10, 32768), 4);
    const std::vector<TapeBlock> lone{MakeHeader(3, "lone", 2, 16384)};
    const QString noData = U("После заголовка нет блока данных");
    const QString differs = U("Длина не совпадает с блоком данных после заголовка (4 байт)");
    QTest::newRow("rename by Enter") << program << 0 << "enter" << QStringList{"", "hello", "-", "-", ""}
                                     << QStringList{"Program", "prog      ", "10", "3", ""} << ""
                                     << "Program: hello     " << QStringList{"Program", "", "3", "10"};
    QTest::newRow("autostart taken away") << program << 0 << "menu" << QStringList{"", "-", "", "-", ""}
                                          << QStringList{"Program", "prog      ", "10", "3", ""} << ""
                                          << "Program: prog      " << QStringList{"Program", "", "3", ""};
    QTest::newRow("new start by a double click") << code << 0 << "dblclick" << QStringList{"", "-", "40000", "-", ""}
                                                 << QStringList{"Bytes", "code      ", "32768", "4", ""} << ""
                                                 << "Bytes: code      " << QStringList{"Bytes", "40000", "4", ""};
    QTest::newRow("the data block's length offered and taken")
        << mismatch << 0 << "menu" << QStringList{"", "-", "-", "button", ""}
        << QStringList{"Bytes", "code      ", "32768", "10", differs} << "" << "Bytes: code      "
        << QStringList{"Bytes", "32768", "4", ""};
    QTest::newRow("a header with no data block is marked")
        << lone << 0 << "menu" << QStringList{"", "-", "-", "-", "cancel"}
        << QStringList{"Bytes", "lone      ", "16384", "2", noData} << "" << "Bytes: lone      "
        << QStringList{"Bytes", "16384", "2", ""};
    QTest::newRow("CODE made a program") << code << 0 << "menu" << QStringList{"Program", "-", "1", "-", ""}
                                         << QStringList{"Bytes", "code      ", "32768", "4", ""} << ""
                                         << "Program: code      " << QStringList{"Program", "", "4", "1"};
    QTest::newRow("a name the Spectrum lacks is refused")
        << program << 0 << "menu" << QStringList{"", U("Игра"), "-", "-", "refused"}
        << QStringList{"Program", "prog      ", "10", "3", ""} << "?" << "Program: prog      "
        << QStringList{"Program", "", "3", "10"};
    QTest::newRow("autostart past 9999 is refused") << program << 0 << "menu" << QStringList{"", "-", "10000", "-", "refused"}
                                                    << QStringList{"Program", "prog      ", "10", "3", ""} << "?"
                                                    << "Program: prog      " << QStringList{"Program", "", "3", "10"};
    QTest::newRow("a start that is no number is refused")
        << code << 0 << "menu" << QStringList{"", "-", "4O000", "-", "refused"}
        << QStringList{"Bytes", "code      ", "32768", "4", ""}
        << U("В поле «Адрес загрузки» должно быть целое число") << "Bytes: code      "
        << QStringList{"Bytes", "32768", "4", ""};
  }
  void testProperties() {
    QFETCH(std::vector<TapeBlock>, blocks);
    QFETCH(int, row);
    QFETCH(QString, how);
    QFETCH(QStringList, plan);
    QFETCH(QStringList, opened);
    QFETCH(QString, box);
    QFETCH(QString, line);
    QFETCH(QStringList, after);
    w->SetBlocks(blocks);
    const DialogPlan dialogPlan{plan[0], plan[1], plan[2], plan[3], plan[4] == "refused", plan[4] == "cancel"};
    if (!box.isEmpty()) w->prompts.PlanAnswer(Answer::Ok);
    const DialogSeen seen = Properties(row, how, dialogPlan);

    QVERIFY2(seen.visited, "the dialog opened");
    QCOMPARE(seen.title, U("Свойства блока"));
    QCOMPARE((QStringList{seen.type, seen.name, seen.parameter, seen.length, seen.mark}), opened);
    if (box == "?") {
      QCOMPARE(w->prompts.shown.size(), std::size_t(1));
      QCOMPARE(w->prompts.shown[0].title, U("Свойства блока"));
    } else if (!box.isEmpty()) {
      QCOMPARE(w->prompts.shown[0].text, box);
    }
    QCOMPARE(w->Lines()[row], line);
    const std::optional<HeaderInfo> info = ReadHeader(w->state.project.blocks[std::size_t(row)]);
    QVERIFY(info);
    const auto text = [](const std::optional<int>& v) { return v ? QString::number(*v) : QString(); };
    QCOMPARE((QStringList{QString::fromStdString(info->typeName), text(info->start), QString::number(info->dataLength),
                          text(info->autostart)}),
             after);
    QVERIFY(ChecksumMatches(w->state.project.blocks[std::size_t(row)]));
    const bool changed = w->state.project.blocks != blocks;
    QCOMPARE(w->state.project.modified, changed);
    if (!changed) return;
    // One edit: the header selected, one undo takes it back.
    QCOMPARE(Selection(*w), QList<int>{row});
    w->Run("editundo");
    QVERIFY(w->state.project.blocks == blocks);
    QVERIFY(!w->state.project.modified);
  }

  // After the checksum walk the tool lists the headers and data blocks that
  // do not pair up, in one box; it offers to fix the lengths only when a
  // header's length differs, and changes nothing without Да.
  void testChecksumToolPairs_data() {
    QTest::addColumn<std::vector<TapeBlock>>("blocks");
    QTest::addColumn<QString>("answer");  // to the pair box; "" when none is shown
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QList<int>>("lengthsAfter");  // data length of every block afterwards (headers: their field)
    const auto mismatch = Pair(MakeHeader(3, "code", 10, 32768), 4);
    QTest::newRow("a length that differs, Да fixes it") << mismatch << "yes" << int(Buttons::YesNo)
                                                        << QList<int>{4, 4};
    QTest::newRow("a length that differs, Нет keeps it") << mismatch << "no" << int(Buttons::YesNo)
                                                         << QList<int>{10, 4};
    QTest::newRow("no header, no data: listed only")
        << std::vector<TapeBlock>{MakeDataBlock({1}), MakeHeader(3, "lone", 2, 16384)} << "ok" << int(Buttons::Ok)
        << QList<int>{1, 2};
    QTest::newRow("every pair right: no second box") << Pair(MakeHeader(0, "prog", 3, 10, 3), 3) << ""
                                                     << int(Buttons::Ok) << QList<int>{3, 3};
  }
  void testChecksumToolPairs() {
    QFETCH(std::vector<TapeBlock>, blocks);
    QFETCH(QString, answer);
    QFETCH(int, buttons);
    QFETCH(QList<int>, lengthsAfter);
    w->SetBlocks(blocks);
    w->prompts.PlanAnswer(Answer::Ok);  // the checksum walk's closing box
    RunSteps(*w, answer);
    w->Run("toolsksum");

    QCOMPARE(w->prompts.shown.front().title, U("Исправление контрольных сумм"));
    QCOMPARE(w->prompts.shown.size(), std::size_t(answer.isEmpty() ? 1 : 2));
    if (!answer.isEmpty()) {
      const ShownPrompt& box = w->prompts.shown.back();
      QCOMPARE(box.title, U("Проверка пар заголовок - данные"));
      QCOMPARE(int(box.buttons), buttons);
      QVERIFY(box.text.startsWith(QString::fromStdString(PairProblemsText(CheckPairs(TapeProject{blocks})))));
      QCOMPARE(box.text.endsWith(U(kFixLengthsQuestion)), box.buttons == Buttons::YesNo);
    }
    QList<int> lengths;
    for (const TapeBlock& block : w->state.project.blocks) {
      const std::optional<HeaderInfo> info = ReadHeader(block);
      lengths << (info ? info->dataLength : RecordLength(block) - 2);
      QVERIFY(ChecksumMatches(block));
    }
    QCOMPARE(lengths, lengthsAfter);
    QCOMPARE(w->state.project.modified, answer == "yes");
    if (answer != "yes") return;
    w->Run("editundo");
    QVERIFY(w->state.project.blocks == blocks);
  }

  void testPropertiesOfADataBlock() {
    w->SetBlocks(SampleTape());
    w->ClickLine(1);
    w->prompts.PlanAnswer(Answer::Ok);
    ModalVisit visit(nullptr);
    w->Run("editprops");
    QVERIFY2(!visit.visited(), "no dialog for a data block");
    QCOMPARE(w->prompts.shown.at(0).text, U("Свойства можно изменить только у заголовка блока"));
    // A double click on a data line does nothing at all.
    QListWidget* list = w->List();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    QCOMPARE(w->prompts.shown.size(), std::size_t(1));
  }
};

REELO_UI_TEST_MAIN(TestEditCommands)
#include "edit_commands_test.moc"
