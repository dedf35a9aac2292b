// "Создать из файла..." and "Сохранить данные...": blocks made from a binary,
// a screen and a BASIC text, put after the selection or at the end, every
// refusal said with nothing inserted; the selected blocks' data written as
// the kind of file the dialog's type names.
#include <QDir>

#include "blocks/basic_tokeniser.h"
#include "blocks/block_export.h"
#include "editor_test_support.h"
#include "project/block_access.h"
#include "project/header_info.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

// A source file's contents: "random:N", "zeros:N" or "text:..." (UTF-8).
Bytes Content(const QString& recipe) {
  if (recipe.startsWith("random:")) return RandomBytes(recipe.mid(7).toULongLong(), 5);
  if (recipe.startsWith("zeros:")) return Bytes(recipe.mid(6).toULongLong(), 0);
  const QByteArray text = recipe.mid(5).toUtf8();
  return Bytes(text.begin(), text.end());
}

QString Hex(const Bytes& bytes) {
  return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toHex());
}

QString OrNothing(const std::optional<int>& value) { return value ? QString::number(*value) : QString(); }

}  // namespace

class TestBlockFiles : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> w;
  std::unique_ptr<TempDir> dir;

  QString PathOf(const QString& name) const { return QString::fromStdString((dir->path() / name.toStdString()).string()); }

 private slots:
  void init() {
    w = std::make_unique<MainWindow>();
    dir = std::make_unique<TempDir>();
    w->SetBlocks(SampleTape());
  }
  void cleanup() {
    QVERIFY2(w->prompts.Unused().isEmpty(), qPrintable("planned but not shown: " + w->prompts.Unused()));
    w.reset();
    dir.reset();
  }

  void testMakeBlocks_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("typed");    // answers to the text requests; "-" cancels
    QTest::addColumn<QString>("offered");      // what the requests showed first
    QTest::addColumn<QString>("order");        // the tape afterwards, "?" for a new block
    QTest::addColumn<QString>("header");       // type|name|start|size|autostart; or the refusal's start
    const QString basic = "text:10 PRINT \"A\"\n20 GO TO 10\n";
    QTest::newRow("binary after the last selected line")
        << "Long name here.BIN" << "random:100" << "click:1 ctrl:3" << QStringList{"Long name ", "40000"}
        << "Long name |32768" << "abcd??ef" << "Bytes|Long name |40000|100|";
    QTest::newRow("a screen by its size, at the end") << "pic" << "random:6912" << "" << QStringList{"pic"} << "pic"
                                                      << "abcdef??" << "Bytes|pic       |16384|6912|";
    QTest::newRow("BASIC with an autostart line") << "prog.bas" << basic << "click:0" << QStringList{"prog", " 10 "}
                                                  << "prog|" << "a??bcdef" << "Program|prog      ||?|10";
    QTest::newRow("BASIC with none") << "prog.bas" << basic << "" << QStringList{"prog", ""} << "prog|" << "abcdef??"
                                     << "Program|prog      ||?|";
    QTest::newRow("BASIC with a syntax error") << "bad.bas" << "text:10 PRINT\nGO TO 10\n" << ""
                                               << QStringList{"bad", ""} << "bad|" << "abcdef" << U("Ошибка в строке 2");
    QTest::newRow("empty file") << "empty.bin" << "zeros:0" << "" << QStringList{"empty", "32768"} << "empty|32768"
                                << "abcdef" << U("Файл пуст");
    QTest::newRow("too big for one block") << "big.bin" << "zeros:65534" << "" << QStringList{"big", "32768"}
                                           << "big|32768" << "abcdef" << U("Файл длиной 65534 байт");
    QTest::newRow("a name the Spectrum lacks") << "game.bin" << "random:10" << "" << QStringList{U("Игра"), "32768"}
                                               << "game|32768" << "abcdef" << "?";
    QTest::newRow("a start that is no number") << "game.bin" << "random:10" << "" << QStringList{"game", "8000h"}
                                               << "game|32768" << "abcdef" << U("Нужно целое число: 8000h");
    QTest::newRow("the start cancelled") << "game.bin" << "random:10" << "" << QStringList{"game", "-"}
                                         << "game|32768" << "abcdef" << "";
  }
  void testMakeBlocks() {
    QFETCH(QString, file);
    QFETCH(QString, content);
    QFETCH(QString, steps);
    QFETCH(QStringList, typed);
    QFETCH(QString, offered);
    QFETCH(QString, order);
    QFETCH(QString, header);
    WriteFileBytes(PathOf(file).toStdString(), Content(content));
    RunSteps(*w, steps);
    w->prompts.PlanFile(PathOf(file));
    for (const QString& text : typed) w->prompts.PlanText(text == "-" ? std::nullopt : std::optional(text));
    const bool made = order.contains(u'?');
    if (!made && !header.isEmpty()) w->prompts.PlanAnswer(Answer::Ok);
    w->Run("editmake");

    QCOMPARE(w->prompts.shown.front().title, U("Создать блоки из файла"));
    QStringList initial;
    for (const ShownPrompt& prompt : w->prompts.shown) {
      if (prompt.isText) initial << prompt.detail;
    }
    QCOMPARE(initial.join(u'|'), offered);
    QCOMPARE(Letters(w->state.project), order);
    if (!made) {
      if (!header.isEmpty()) {
        QVERIFY2(header == "?" || w->prompts.shown.back().text.startsWith(header), qPrintable(w->prompts.shown.back().text));
        QCOMPARE(w->prompts.shown.back().icon, BoxIcon::Critical);
      }
      QVERIFY(!w->state.project.modified);
      return;
    }
    const int at = int(order.indexOf(u'?'));
    const TapeBlock& data = w->state.project.blocks[std::size_t(at + 1)];
    const std::optional<HeaderInfo> info = ReadHeader(w->state.project.blocks[std::size_t(at)]);
    QVERIFY(info && ChecksumMatches(w->state.project.blocks[std::size_t(at)]) && ChecksumMatches(data));
    const Bytes source = Content(content);
    header.replace("|?|", "|" + QString::number(TokeniseBasic(std::string(source.begin(), source.end())).bytes.size()) + "|");
    QCOMPARE((QStringList{QString::fromStdString(info->typeName), QString::fromStdString(info->name),
                          OrNothing(info->start), QString::number(info->dataLength), OrNothing(info->autostart)})
                 .join(u'|'),
             header);
    QCOMPARE(DataLength(data), info->dataLength);
    if (content.startsWith("random:")) QCOMPARE(Hex(DataBytes(data)), Hex(source));
    // The new pair is selected; one undo takes it away.
    QCOMPARE(Selection(*w), (QList<int>{at, at + 1}));
    w->Run("editundo");
    QVERIFY(Letters(w->state.project) == "abcdef" && !w->state.project.modified);
  }

  // Data that would run past address 65535: the warning names the numbers,
  // Да makes the blocks, Нет makes nothing; data that fits asks nothing.
  void testMakePastTheLastAddress_data() {
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("answer");  // -1: no question expected
    QTest::addColumn<QString>("order");
    QTest::newRow("49000 bytes at 32768, Да") << "random:49000" << "32768" << int(Answer::Yes) << "abcdef??";
    QTest::newRow("49000 bytes at 32768, Нет") << "random:49000" << "32768" << int(Answer::No) << "abcdef";
    QTest::newRow("ends on 65535: no question") << "random:32768" << "32768" << -1 << "abcdef??";
  }
  void testMakePastTheLastAddress() {
    QFETCH(QString, content);
    QFETCH(QString, start);
    QFETCH(int, answer);
    QFETCH(QString, order);
    WriteFileBytes(PathOf("big.bin").toStdString(), Content(content));
    w->prompts.PlanFile(PathOf("big.bin")).PlanText(QString("big")).PlanText(start);
    if (answer >= 0) w->prompts.PlanAnswer(Answer(answer));
    w->Run("editmake");
    QCOMPARE(Letters(w->state.project), order);
    if (answer < 0) {
      QCOMPARE(w->prompts.shown.size(), qsizetype(3));  // the file and the two texts
      return;
    }
    const ShownPrompt& box = w->prompts.shown.back();
    QCOMPARE(box.title, U("Создание блоков"));
    QCOMPARE(box.text, U("Данные не помещаются в память: 49000 байт с адреса 32768 доходят до адреса 81767, а "
                         "последний адрес памяти 65535\n\nВсё равно создать блоки?"));
    QCOMPARE(box.icon, BoxIcon::Warning);
    QCOMPARE(box.buttons, Buttons::YesNo);
  }

  void testMakeBlocksIntoAFullProject() {
    w->SetBlocks(std::vector<TapeBlock>(999, MakeDataBlock({1})));
    WriteFileBytes(PathOf("game.bin").toStdString(), RandomBytes(10));
    w->prompts.PlanFile(PathOf("game.bin")).PlanText(QString("game")).PlanText(QString("32768")).PlanAnswer(Answer::Ok);
    w->Run("editmake");
    QCOMPARE(w->prompts.shown.back().text, U("В проекте может быть не больше 1000 блоков"));
    QVERIFY(w->state.project.blockCount() == 999 && !w->state.project.modified);
  }

  void testSaveData_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("type");       // the dialog's filter pair chosen
    QTest::addColumn<QString>("typed");  // the name typed, then the file written
    QTest::addColumn<int>("kind");       // what the file holds
    QTest::addColumn<int>("pairs");      // the types the dialog offered
    QTest::newRow("raw data of two blocks apart, in tape order") << "click:3 ctrl:1" << 0 << "both|both.bin"
                                                                 << int(DataFileKind::Raw) << 4;
    QTest::newRow("the listing as the Spectrum shows it") << "click:1" << 1 << "prog|prog.txt"
                                                          << int(DataFileKind::Listing) << 4;
    QTest::newRow("the dump, a name with its own extension") << "click:3" << 3 << "dump.dat|dump.dat"
                                                             << int(DataFileKind::Dump) << 4;
    QTest::newRow("a folder's dot is no extension") << "click:3" << 0 << "my.files/out|my.files/out.bin"
                                                    << int(DataFileKind::Raw) << 4;
    QTest::newRow("a screen as .scr") << "click:6" << 1 << "pic|pic.scr" << int(DataFileKind::Screen) << 7;
    QTest::newRow("a screen as a picture twice the size") << "click:6" << 3 << "pic|pic.png"
                                                          << int(DataFileKind::PictureDouble) << 7;
  }
  void testSaveData() {
    QFETCH(QString, steps);
    QFETCH(int, type);
    QFETCH(QString, typed);
    QFETCH(int, kind);
    QFETCH(int, pairs);
    std::vector<TapeBlock> blocks = SampleTape();
    blocks.push_back(MakeDataBlock(RandomBytes(6912, 9)));
    w->SetBlocks(blocks);
    QDir(PathOf("")).mkpath("my.files");
    RunSteps(*w, steps);
    w->prompts.PlanFile(PathOf(typed.section(u'|', 0, 0)), type);
    w->Run("editsavedata");

    const ShownPrompt& dialog = w->prompts.shown.front();
    QCOMPARE(dialog.title, U("Сохранить данные блока"));
    QCOMPARE(dialog.filter.split(u'|').size(), pairs * 2);
    QCOMPARE(w->prompts.shown.size(), std::size_t(1));
    std::vector<TapeBlock> chosen;
    for (int row : w->form->SelectedBlocks()) chosen.push_back(blocks[std::size_t(row)]);
    const DataFile expected = BuildDataFile(chosen, DataFileKind(kind), ScreenMode::Colour);
    QVERIFY(expected.status.ok());
    QCOMPARE(Hex(ReadFileBytes(PathOf(typed.section(u'|', 1)).toStdString())), Hex(expected.bytes));
    QVERIFY2(!w->state.project.modified, "saving data changes nothing in the project");
  }

  void testSaveDataProblems_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("exists");  // x.bin is there already, holding AA
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("after");  // x.bin afterwards, "" for none
    const QString dialog = U("dialog Сохранить данные блока");
    QTest::newRow("no line selected") << "ok" << false << U("box Reelo") << "";
    QTest::newRow("dialog cancelled") << "click:3 file:" << false << dialog << "";
    QTest::newRow("replace: Нет keeps the old file") << "click:3 file:@x.bin no" << true
                                                     << dialog + U("|box Сохранение файла") << "aa";
    QTest::newRow("replace: Да writes") << "click:3 file:@x.bin yes" << true << dialog + U("|box Сохранение файла")
                                        << "01020304";
    QTest::newRow("a folder that is not there") << "click:3 file:@missing/x.bin ok" << false
                                                << dialog + U("|box Ошибка при сохранении файла") << "";
  }
  void testSaveDataProblems() {
    QFETCH(QString, steps);
    QFETCH(bool, exists);
    QFETCH(QString, shown);
    QFETCH(QString, after);
    if (exists) WriteFileBytes(PathOf("x.bin").toStdString(), {0xAA});
    RunSteps(*w, steps.replace("@", PathOf("")));
    w->Run("editsavedata");
    QCOMPARE(w->prompts.Summaries().join(u'|'), shown);
    if (shown.contains(U("Ошибка"))) QCOMPARE(w->prompts.shown.back().icon, BoxIcon::Critical);
    const bool there = QFileInfo::exists(PathOf("x.bin"));
    QCOMPARE(there ? Hex(ReadFileBytes(PathOf("x.bin").toStdString())) : QString(), after);
  }
};

REELO_UI_TEST_MAIN(TestBlockFiles)
#include "block_files_test.moc"
