// "Создать из файла..." and "Сохранить данные...": blocks made from a binary,
// a screen and a BASIC text, put after the selection or at the end, with every
// refusal said and nothing inserted; the selected blocks' data written as the
// kind of file the dialog's type names.
#include <QDir>

#include "blocks/basic_tokeniser.h"
#include "blocks/block_export.h"
#include "editor_test_support.h"
#include "project/block_access.h"
#include "project/header_info.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

constexpr const char* kCancelled = "<cancel>";

// The contents of a source file: "random:N", "zeros:N", or "text:..." (UTF-8).
Bytes Content(const QString& spec) {
  if (spec.startsWith("random:")) return RandomBytes(spec.mid(7).toULongLong(), 5);
  if (spec.startsWith("zeros:")) return Bytes(spec.mid(6).toULongLong(), 0);
  const QByteArray text = spec.mid(5).toUtf8();
  return Bytes(text.begin(), text.end());
}

QString Hex(const Bytes& bytes) {
  return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toHex());
}

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
  }
  void cleanup() {
    QVERIFY2(w->prompts.Unused().isEmpty(), qPrintable("planned but not shown: " + w->prompts.Unused()));
    w.reset();
    dir.reset();
  }

  void testMakeBlocks_data() {
    QTest::addColumn<QString>("file");     // "" cancels the dialog
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("typed");    // the answers to the text requests
    QTest::addColumn<QStringList>("offered");  // what the requests showed first
    QTest::addColumn<QString>("order");        // the tape afterwards, "?" for a new block
    QTest::addColumn<QStringList>("header");   // type, name, start, size, autostart of the new header
    QTest::addColumn<QString>("refusal");      // the start of the refusal's text
    const QString basic = "text:10 PRINT \"A\"\n20 GO TO 10\n";
    QTest::newRow("binary after the selected line")
        << "game.bin" << "random:100" << "click:1" << QStringList{"game", "40000"} << QStringList{"game", "32768"}
        << "ab??cdef" << QStringList{"Bytes", "game      ", "40000", "100", ""} << "";
    QTest::newRow("binary at the end, after the last of several selected")
        << "Long name here.BIN" << "random:10" << "click:4 ctrl:5" << QStringList{"Long name ", "0"}
        << QStringList{"Long name ", "32768"} << "abcdef??" << QStringList{"Bytes", "Long name ", "0", "10", ""}
        << "";
    QTest::newRow("a screen by its size: no start asked")
        << "pic" << "random:6912" << "" << QStringList{"pic"} << QStringList{"pic"} << "abcdef??"
        << QStringList{"Bytes", "pic       ", "16384", "6912", ""} << "";
    QTest::newRow("BASIC with an autostart line") << "prog.bas" << basic << "click:0" << QStringList{"prog", " 10 "}
                                                  << QStringList{"prog", ""} << "a??bcdef"
                                                  << QStringList{"Program", "prog      ", "", "?", "10"} << "";
    QTest::newRow("BASIC with no autostart") << "prog.bas" << basic << "" << QStringList{"prog", ""}
                                             << QStringList{"prog", ""} << "abcdef??"
                                             << QStringList{"Program", "prog      ", "", "?", ""} << "";
    QTest::newRow("BASIC with a syntax error: its line, nothing inserted")
        << "bad.bas" << "text:10 PRINT\nGO TO 10\n" << "" << QStringList{"bad", ""} << QStringList{"bad", ""}
        << "abcdef" << QStringList{} << U("Ошибка в строке 2");
    QTest::newRow("empty file") << "empty.bin" << "zeros:0" << "" << QStringList{"empty", "32768"}
                                << QStringList{"empty", "32768"} << "abcdef" << QStringList{} << U("Файл пуст");
    QTest::newRow("a binary too big for one block") << "big.bin" << "zeros:65534" << "" << QStringList{"big", "32768"}
                                                    << QStringList{"big", "32768"} << "abcdef" << QStringList{}
                                                    << U("Файл длиной 65534 байт");
    QTest::newRow("a .scr that is not 6912 bytes") << "odd.scr" << "zeros:100" << "" << QStringList{"odd"}
                                                   << QStringList{"odd"} << "abcdef" << QStringList{}
                                                   << U("Экран ZX Spectrum");
    QTest::newRow("a name the Spectrum lacks") << "game.bin" << "random:10" << "" << QStringList{U("Игра"), "32768"}
                                               << QStringList{"game", "32768"} << "abcdef" << QStringList{} << "?";
    QTest::newRow("a start that is no number") << "game.bin" << "random:10" << "" << QStringList{"game", "8000h"}
                                               << QStringList{"game", "32768"} << "abcdef" << QStringList{}
                                               << U("Нужно целое число: 8000h");
    QTest::newRow("a start past 65535") << "game.bin" << "random:10" << "" << QStringList{"game", "65536"}
                                        << QStringList{"game", "32768"} << "abcdef" << QStringList{} << "?";
    QTest::newRow("the name cancelled") << "game.bin" << "random:10" << "" << QStringList{kCancelled}
                                        << QStringList{"game"} << "abcdef" << QStringList{} << "";
    QTest::newRow("the start cancelled") << "game.bin" << "random:10" << "" << QStringList{"game", kCancelled}
                                         << QStringList{"game", "32768"} << "abcdef" << QStringList{} << "";
    QTest::newRow("the dialog cancelled") << "" << "" << "" << QStringList{} << QStringList{} << "abcdef"
                                          << QStringList{} << "";
  }
  void testMakeBlocks() {
    QFETCH(QString, file);
    QFETCH(QString, content);
    QFETCH(QString, steps);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, offered);
    QFETCH(QString, order);
    QFETCH(QStringList, header);
    QFETCH(QString, refusal);
    if (!file.isEmpty()) WriteFileBytes(PathOf(file).toStdString(), Content(content));
    w->SetBlocks(SampleTape());
    RunSteps(*w, steps);
    w->prompts.PlanFile(file.isEmpty() ? QString() : PathOf(file));
    for (const QString& text : typed) w->prompts.PlanText(text == kCancelled ? std::nullopt : std::optional(text));
    if (!refusal.isEmpty()) w->prompts.PlanAnswer(Answer::Ok);
    w->Run("editmake");

    QCOMPARE(w->prompts.shown.front().title, U("Создать блоки из файла"));
    QStringList shownInitially;
    for (const ShownPrompt& prompt : w->prompts.shown) {
      if (prompt.isText) shownInitially << prompt.detail;
    }
    QCOMPARE(shownInitially, offered);
    QCOMPARE(Letters(w->state.project), order);
    if (!refusal.isEmpty()) {
      const ShownPrompt& box = w->prompts.shown.back();
      QVERIFY2(refusal == "?" || box.text.startsWith(refusal), qPrintable(box.text));
      QCOMPARE(box.icon, BoxIcon::Critical);
    }
    if (header.isEmpty()) {
      QVERIFY(!w->state.project.modified);
      return;
    }
    const int at = int(order.indexOf(u'?'));
    const TapeBlock& made = w->state.project.blocks[std::size_t(at)];
    const TapeBlock& data = w->state.project.blocks[std::size_t(at + 1)];
    const std::optional<HeaderInfo> info = ReadHeader(made);
    QVERIFY(info);
    const auto text = [](const std::optional<int>& v) { return v ? QString::number(*v) : QString(); };
    if (header[3] == "?") {
      const Bytes source = Content(content);
      header[3] = QString::number(TokeniseBasic(std::string(source.begin(), source.end())).bytes.size());
    }
    QCOMPARE((QStringList{QString::fromStdString(info->typeName), QString::fromStdString(info->name),
                          text(info->start), QString::number(info->dataLength), text(info->autostart)}),
             header);
    QVERIFY(ChecksumMatches(made) && ChecksumMatches(data));
    QCOMPARE(RecordLength(data) - 2, info->dataLength);
    if (content.startsWith("random:")) QCOMPARE(Hex(DataBytes(data)), Hex(Content(content)));
    // The new pair is selected; one undo takes it away.
    QCOMPARE(Selection(*w), (QList<int>{at, at + 1}));
    QCOMPARE(w->Panels()[0], U("Блоков: 8"));
    w->Run("editundo");
    QCOMPARE(Letters(w->state.project), QString("abcdef"));
    QVERIFY(!w->state.project.modified);
  }

  void testMakeBlocksIntoAFullProject() {
    w->SetBlocks(std::vector<TapeBlock>(999, MakeDataBlock({1})));
    WriteFileBytes(PathOf("game.bin").toStdString(), RandomBytes(10));
    w->prompts.PlanFile(PathOf("game.bin")).PlanText(QString("game")).PlanText(QString("32768")).PlanAnswer(Answer::Ok);
    w->Run("editmake");
    QCOMPARE(w->prompts.shown.back().text, U("В проекте может быть не больше 1000 блоков"));
    QCOMPARE(w->state.project.blockCount(), 999);
    QVERIFY(!w->state.project.modified);
  }

  void testSaveData_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("screen");   // the tape holds a 6912-byte block at line 6
    QTest::addColumn<int>("type");      // the filter pair chosen
    QTest::addColumn<QString>("typed");  // the name typed into the dialog
    QTest::addColumn<QString>("written");
    QTest::addColumn<int>("kind");  // what the file holds, as DataFileKind
    QTest::addColumn<int>("pairs");  // the number of types the dialog offered
    QTest::newRow("raw data of one block") << "click:3" << false << 0 << "out" << "out.bin" << int(DataFileKind::Raw)
                                           << 4;
    QTest::newRow("raw data of two blocks apart, in tape order")
        << "click:3 ctrl:1" << false << 0 << "both" << "both.bin" << int(DataFileKind::Raw) << 4;
    QTest::newRow("the listing as the Spectrum shows it") << "click:1" << false << 1 << "prog" << "prog.txt"
                                                          << int(DataFileKind::Listing) << 4;
    QTest::newRow("the listing byte by byte") << "click:1" << false << 2 << "prog" << "prog.txt"
                                              << int(DataFileKind::ExactListing) << 4;
    QTest::newRow("the dump, a name with its own extension")
        << "click:3" << false << 3 << "dump.dat" << "dump.dat" << int(DataFileKind::Dump) << 4;
    QTest::newRow("a folder with a dot does not stand for an extension")
        << "click:3" << false << 0 << "my.files/out" << "my.files/out.bin" << int(DataFileKind::Raw) << 4;
    QTest::newRow("a screen as .scr") << "click:6" << true << 1 << "pic" << "pic.scr" << int(DataFileKind::Screen)
                                      << 7;
    QTest::newRow("a screen as a picture") << "click:6" << true << 2 << "pic" << "pic.png" << int(DataFileKind::Picture)
                                           << 7;
    QTest::newRow("a screen as a picture twice the size") << "click:6" << true << 3 << "pic2" << "pic2.png"
                                                          << int(DataFileKind::PictureDouble) << 7;
  }
  void testSaveData() {
    QFETCH(QString, steps);
    QFETCH(bool, screen);
    QFETCH(int, type);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(int, kind);
    QFETCH(int, pairs);
    std::vector<TapeBlock> blocks = SampleTape();
    if (screen) blocks.push_back(MakeDataBlock(RandomBytes(6912, 9)));
    w->SetBlocks(blocks);
    QDir(PathOf("")).mkpath("my.files");
    RunSteps(*w, steps);
    w->prompts.PlanFile(PathOf(typed), type);
    w->Run("editsavedata");

    const ShownPrompt& dialog = w->prompts.shown.front();
    QCOMPARE(dialog.title, U("Сохранить данные блока"));
    QCOMPARE(dialog.dialogKind, FileDialogKind::Save);
    QCOMPARE(dialog.filter.split(u'|').size(), pairs * 2);
    QCOMPARE(w->prompts.shown.size(), std::size_t(1));
    std::vector<TapeBlock> chosen;
    for (int row : w->form->SelectedBlocks()) chosen.push_back(blocks[std::size_t(row)]);
    const DataFile expected = BuildDataFile(chosen, DataFileKind(kind), ScreenMode::Colour);
    QVERIFY(expected.status.ok());
    QCOMPARE(Hex(ReadFileBytes(PathOf(written).toStdString())), Hex(expected.bytes));
    // Saving data changes nothing in the project.
    QVERIFY(!w->state.project.modified);
  }

  void testSaveDataProblems_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("target");   // "" cancels the dialog
    QTest::addColumn<bool>("exists");      // a file is there already
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<bool>("written");
    const QString dialog = U("dialog Сохранить данные блока");
    QTest::newRow("no line selected") << "" << "x.bin" << false << QStringList{"ok"} << QStringList{U("box Reelo")}
                                      << false;
    QTest::newRow("dialog cancelled") << "click:3" << "" << false << QStringList{} << QStringList{dialog} << false;
    QTest::newRow("replace: Нет keeps the old file") << "click:3" << "x.bin" << true << QStringList{"no"}
                                                     << QStringList{dialog, U("box Сохранение файла")} << false;
    QTest::newRow("replace: Да writes") << "click:3" << "x.bin" << true << QStringList{"yes"}
                                        << QStringList{dialog, U("box Сохранение файла")} << true;
    QTest::newRow("a folder that is not there") << "click:3" << "missing/x.bin" << false << QStringList{"ok"}
                                                << QStringList{dialog, U("box Ошибка при сохранении файла")} << false;
  }
  void testSaveDataProblems() {
    QFETCH(QString, steps);
    QFETCH(QString, target);
    QFETCH(bool, exists);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, shown);
    QFETCH(bool, written);
    w->SetBlocks(SampleTape());
    const std::string path = PathOf(target).toStdString();
    if (exists) WriteFileBytes(path, {0xAA});
    RunSteps(*w, steps);
    if (!steps.isEmpty()) w->prompts.PlanFile(target.isEmpty() ? QString() : PathOf(target));
    RunSteps(*w, answers.join(u' '));
    w->Run("editsavedata");
    QCOMPARE(w->prompts.Summaries(), shown);
    if (shown.last().contains(U("Ошибка"))) QCOMPARE(w->prompts.shown.back().icon, BoxIcon::Critical);
    if (!exists) {
      QVERIFY(!written);
      QVERIFY(target.isEmpty() || !QFileInfo::exists(PathOf(target)));
      return;
    }
    QCOMPARE(Hex(ReadFileBytes(path)), written ? QString("01020304") : QString("aa"));
  }
};

REELO_UI_TEST_MAIN(TestBlockFiles)
#include "block_files_test.moc"
