// The "Блок" menu with its selection rule, and the checksum tool.
#include "ui_test_support.h"

Q_DECLARE_METATYPE(std::vector<reelo::TapeBlock>)

using namespace reelo;
using namespace reelo::testing;

namespace {

// Five data blocks that tell themselves apart by their sizes 1..5.
std::vector<TapeBlock> FiveBlocks() {
  std::vector<TapeBlock> blocks;
  for (std::uint8_t n = 1; n <= 5; ++n) blocks.push_back(MakeDataBlock(Bytes(n, n)));
  return blocks;
}

// The data sizes of the blocks in project order: "12345" for FiveBlocks().
QString Order(const TapeProject& project) {
  QString out;
  for (const TapeBlock& b : project.blocks) out += QString::number(RecordLength(b) - 2);
  return out;
}

TapeBlock WithChecksum(TapeBlock block, std::uint8_t checksum) {
  block.mutableBytes().back() = checksum;
  return block;
}

}  // namespace

class TestBlockCommands : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> w;

 private slots:
  void init() { w = std::make_unique<MainWindow>(); }
  void cleanup() {
    QVERIFY2(w->prompts.Unused().isEmpty(), qPrintable("planned but not shown: " + w->prompts.Unused()));
    w.reset();
  }

  void testMoves_data() {
    QTest::addColumn<int>("click");  // line clicked first, -1 for none
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("order");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<int>("noBlockBoxes");
    QTest::newRow("block 3 up twice reaches the top") << 2 << QStringList{"editup", "editup"} << "31245" << 0 << true
                                                      << 0;
    QTest::newRow("a third up does nothing") << 2 << QStringList{"editup", "editup", "editup"} << "31245" << 0 << true
                                             << 0;
    QTest::newRow("up on the first block does nothing") << 0 << QStringList{"editup"} << "12345" << 0 << false << 0;
    QTest::newRow("down follows the block") << 1 << QStringList{"editdowd", "editdowd"} << "13425" << 3 << true << 0;
    QTest::newRow("down on the last block does nothing") << 4 << QStringList{"editdowd"} << "12345" << 4 << false
                                                         << 0;
    QTest::newRow("down then up restores") << 2 << QStringList{"editdowd", "editup"} << "12345" << 2 << true << 0;
    QTest::newRow("nothing selected") << -1 << QStringList{"editup", "editdowd", "editdel"} << "12345" << -1 << false
                                      << 3;
  }
  void testMoves() {
    QFETCH(int, click);
    QFETCH(QStringList, commands);
    QFETCH(QString, order);
    QFETCH(int, selected);
    QFETCH(bool, modified);
    QFETCH(int, noBlockBoxes);
    w->SetBlocks(FiveBlocks());
    if (click >= 0) w->ClickLine(click);
    for (int i = 0; i < noBlockBoxes; ++i) w->prompts.PlanAnswer(Answer::Ok);
    for (const QString& command : commands) w->Run(qPrintable(command));

    QCOMPARE(Order(w->state.project), order);
    QCOMPARE(w->form->SelectedBlock(), selected);
    QCOMPARE(w->state.project.blockSelected, selected >= 0);
    QCOMPARE(w->state.project.modified, modified);
    for (const ShownPrompt& box : w->prompts.shown) {
      QCOMPARE(box.text, U("Блок не выбран"));
      QCOMPARE(box.title, U("Reelo"));
      QCOMPARE(box.buttons, Buttons::Ok);
      QCOMPARE(box.icon, BoxIcon::None);
    }
    // The list always shows the blocks in project order.
    QCOMPARE(w->Lines().size(), 5);
    for (int i = 0; i < 5; ++i) QVERIFY(w->Lines()[i].contains(QString(order[i]) + U(" байт")));
  }

  void testDelete_data() {
    QTest::addColumn<int>("click");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("order");
    QTest::newRow("Да deletes the middle block") << 2 << int(Answer::Yes) << "1245";
    QTest::newRow("Да deletes the last block") << 4 << int(Answer::Yes) << "1234";
    QTest::newRow("Нет keeps it") << 2 << int(Answer::No) << "12345";
  }
  void testDelete() {
    QFETCH(int, click);
    QFETCH(int, answer);
    QFETCH(QString, order);
    w->SetBlocks(FiveBlocks());
    w->ClickLine(click);
    w->prompts.PlanAnswer(Answer(answer));
    w->Run("editdel");

    QCOMPARE(w->prompts.shown.size(), std::size_t(1));
    const ShownPrompt& box = w->prompts.shown.front();
    QCOMPARE(box.text, U("Удалить выбранный блок?"));
    QCOMPARE(box.title, U("Удаление блок") + QChar(u'a'));  // a Latin "a" at the end
    QCOMPARE(box.buttons, Buttons::YesNo);
    QCOMPARE(box.icon, BoxIcon::None);
    QCOMPARE(Order(w->state.project), order);
    QCOMPARE(w->List()->count(), order.size());
    const bool deleted = Answer(answer) == Answer::Yes;
    QCOMPARE(w->state.project.modified, deleted);
    QCOMPARE(w->Panels()[0], deleted ? U("Блоков: 4") : U("Блоков: 5"));
    if (!deleted) return;
    // Nothing is selected afterwards: the next block command asks for a block.
    QCOMPARE(w->form->SelectedBlock(), -1);
    w->prompts.PlanAnswer(Answer::Ok);
    w->Run("editup");
    QCOMPARE(w->prompts.shown.back().text, U("Блок не выбран"));
  }

  void testAddFile_data() {
    QTest::addColumn<QString>("content");  // "whole", "truncated" or "missing"
    QTest::addColumn<int>("icon");         // the box after the list, -1 for none
    QTest::addColumn<QString>("order");
    QTest::addColumn<bool>("modified");
    QTest::newRow("whole file appended") << "whole" << -1 << "1234556" << true;
    QTest::newRow("damaged file: whole records kept, warning") << "truncated" << int(BoxIcon::Warning) << "123455"
                                                               << true;
    QTest::newRow("missing file: nothing changes") << "missing" << int(BoxIcon::Critical) << "12345" << false;
  }
  void testAddFile() {
    QFETCH(QString, content);
    QFETCH(int, icon);
    QFETCH(QString, order);
    QFETCH(bool, modified);
    TempDir dir;
    const std::string added = (dir / "more.tap").string();
    Bytes file = Concat({MakeDataBlock(Bytes(5, 0)), MakeDataBlock(Bytes(6, 0))});
    if (content == "truncated") file.resize(file.size() - 3);
    if (content != "missing") WriteFileBytes(added, file);
    w->SetBlocks(FiveBlocks());
    w->SetFileName((dir / "own.tap").string());
    w->form->UpdateSummary();
    w->ClickLine(1);
    int linesAtTheBox = -1;
    w->prompts.onBox = [&](const ShownPrompt&) { linesAtTheBox = w->List()->count(); };
    w->prompts.PlanFile(QString::fromStdString(added));
    if (icon >= 0) w->prompts.PlanAnswer(Answer::Ok);
    w->Run("editadd");

    QCOMPARE(w->prompts.shown.front().title, U("Добавить в проект образ ленты TAP"));
    QCOMPARE(w->prompts.shown.front().dialogKind, FileDialogKind::Open);
    QCOMPARE(Order(w->state.project), order);
    if (icon >= 0) {
      QCOMPARE(int(w->prompts.shown.back().icon), icon);
      QCOMPARE(linesAtTheBox, order.size());
    }
    QCOMPARE(w->state.project.modified, modified);
    // The project keeps its own file: a later Save must not write over the added one.
    QCOMPARE(w->state.project.fileName, (dir / "own.tap").string());
    QCOMPARE(w->form->windowTitle(), QString::fromStdString((dir / "own.tap").string()) + U(" - Reelo"));
    QCOMPARE(w->Panels()[0], U("Блоков:") + U(" ") + QString::number(order.size()));
    // The list was rebuilt: no stale selection is left for the block commands.
    QCOMPARE(w->form->SelectedBlock(), -1);
    QVERIFY(!w->state.project.blockSelected);
  }

  void testChecksums_data() {
    QTest::addColumn<std::vector<TapeBlock>>("blocks");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QStringList>("questions");
    QTest::addColumn<QString>("closing");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QList<int>>("checksumsAfter");
    const TapeBlock good = MakeDataBlock({1, 2, 3});  // checksum 0xFF ^ 1 ^ 2 ^ 3 = 0xFF
    const TapeBlock bad = WithChecksum(good, 7);
    const QString allMatch = U("В проекте все контрольные суммы совпадают");
    const QString allRepaired = U("Все несовпадающие контрольные суммы исправлены");
    const QString someLeft = U("В проекте остаются несовпадающие контрольные суммы");
    const auto question = [](int block, int stored, int computed) {
      return U("Исправить несовпадение контрольной суммы в блоке № %1? Записано %2, должно быть %3")
          .arg(block)
          .arg(stored)
          .arg(computed);
    };
    const int yes = int(Answer::Yes);
    const int no = int(Answer::No);
    QTest::newRow("empty project") << std::vector<TapeBlock>{} << QList<int>{} << QStringList{} << allMatch
                                   << int(BoxIcon::Information) << QList<int>{};
    QTest::newRow("all match") << std::vector<TapeBlock>{good, good} << QList<int>{} << QStringList{} << allMatch
                               << int(BoxIcon::Information) << QList<int>{255, 255};
    QTest::newRow("both repaired") << std::vector<TapeBlock>{bad, good, bad} << QList<int>{yes, yes}
                                   << QStringList{question(1, 7, 255), question(3, 7, 255)} << allRepaired
                                   << int(BoxIcon::Information) << QList<int>{255, 255, 255};
    QTest::newRow("first repaired, second left") << std::vector<TapeBlock>{good, bad, bad} << QList<int>{yes, no}
                                                 << QStringList{question(2, 7, 255), question(3, 7, 255)} << someLeft
                                                 << int(BoxIcon::Critical) << QList<int>{255, 255, 7};
    QTest::newRow("fifth block, record of length 2") << std::vector<TapeBlock>{good, good, good, good,
                                                                                MakeRawRecord({0xFF, 0x00})}
                                                     << QList<int>{no} << QStringList{question(5, 0, 255)} << someLeft
                                                     << int(BoxIcon::Critical) << QList<int>{255, 255, 255, 255, 0};
  }
  void testChecksums() {
    QFETCH(std::vector<TapeBlock>, blocks);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, questions);
    QFETCH(QString, closing);
    QFETCH(int, icon);
    QFETCH(QList<int>, checksumsAfter);
    w->SetBlocks(blocks);
    for (int answer : answers) w->prompts.PlanAnswer(Answer(answer));
    w->prompts.PlanAnswer(Answer::Ok);
    // Data blocks with no header before them: the pair check lists them after
    // the closing message.
    if (!blocks.empty()) w->prompts.PlanAnswer(Answer::Ok);
    w->Run("toolsksum");

    QStringList asked;
    std::vector<ShownPrompt> boxes = w->prompts.shown;
    if (!blocks.empty()) {
      QCOMPARE(boxes.back().title, U("Проверка пар заголовок - данные"));
      boxes.pop_back();
    }
    for (std::size_t i = 0; i + 1 < boxes.size(); ++i) {
      const ShownPrompt& box = boxes[i];
      QCOMPARE(box.title, U("Исправление контрольной суммы"));
      QCOMPARE(box.buttons, Buttons::YesNo);
      QCOMPARE(box.icon, BoxIcon::None);
      asked << box.text;
    }
    QCOMPARE(asked, questions);
    const ShownPrompt& last = boxes.back();
    QCOMPARE(last.text, closing);
    QCOMPARE(last.title, U("Исправление контрольных сумм"));
    QCOMPARE(int(last.icon), icon);
    QList<int> checksums;
    for (const TapeBlock& b : w->state.project.blocks) checksums << b.back();
    QCOMPARE(checksums, checksumsAfter);
    // A repair is a change: the save question must protect it.
    QCOMPARE(w->state.project.modified, answers.contains(int(Answer::Yes)));
  }
};

REELO_UI_TEST_MAIN(TestBlockCommands)
#include "block_commands_test.moc"
