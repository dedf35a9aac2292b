// "Загрузить из WAV-файла" from the main window: the window opens modally with
// the last WAV file chosen, and "Добавить загруженное в проект и выйти" appends
// the decoded records and refreshes the main window's list and summary.
#include "import_window_support.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

// Runs `steps` on the load-from-WAV window once the command has opened it.
void WithImportWindow(MainWindow& w, std::function<void(Form11&)> steps) {
  AtNextTurn([steps] {
    auto* form = qobject_cast<Form11*>(QApplication::activeModalWidget());
    if (!form) {
      QFAIL("the load-from-WAV window is not open");
    }
    steps(*form);
  });
  w.Run("loadwav");
}

void Press(Form11& form, const char* button) { form.findChild<QPushButton*>(QString::fromLatin1(button))->click(); }

std::vector<TapeBlock> Records(int count) {
  std::vector<TapeBlock> records;
  for (int i = 0; i < count; ++i) records.push_back(MakeDataBlock({static_cast<std::uint8_t>(i)}));
  return records;
}

}  // namespace

class TestLoadWav : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> w;
  std::unique_ptr<ModalGuard> guard;

 private slots:
  void init() {
    w = std::make_unique<MainWindow>();
    guard = std::make_unique<ModalGuard>();
  }
  void cleanup() {
    QVERIFY2(!guard->tripped, "a modal window had to be closed by the guard");
    QVERIFY2(w->prompts.Unused().isEmpty(), qPrintable("planned but not shown: " + w->prompts.Unused()));
    w.reset();
  }

  // Export through the main window, then decode that file in the load-from-WAV
  // window and add what it found: the project holds its blocks twice.
  void testExportDecodeAndAdd() {
    TempDir dir;
    const std::vector<TapeBlock> blocks = {MakeHeader(0, "prog", 3, 10), MakeDataBlock({0x00, 0x0A, 0x0D})};
    w->SetBlocks(blocks);
    const std::string wav = (dir / "tape.wav").string();
    w->prompts.PlanFile(QString::fromStdString(wav));
    w->Run("filesavewav");

    QString caption;
    WithImportWindow(*w, [&](Form11& form) {
      caption = form.findChild<QPushButton*>(QStringLiteral("Command5"))->text();
      Press(form, "Command1");
      Press(form, "Command3");
    });
    QCOMPARE(caption, QString::fromStdString(wav));
    std::vector<TapeBlock> twice = blocks;
    twice.insert(twice.end(), blocks.begin(), blocks.end());
    QVERIFY(w->state.project.blocks == twice);
    QCOMPARE(w->List()->count(), 4);
    QCOMPARE(w->Panels()[0], U("Блоков: 4"));
    QVERIFY(w->state.project.modified);
  }

  void testAdd_data() {
    QTest::addColumn<int>("before");  // blocks in the project
    QTest::addColumn<int>("loaded");
    QTest::addColumn<int>("after");
    QTest::addColumn<QString>("box");  // "" for none
    QTest::newRow("nothing loaded") << 3 << 0 << 3 << "";
    QTest::newRow("appended after the project's blocks") << 3 << 2 << 5 << "";
    QTest::newRow("more than the free slots")
        << 999 << 3 << 1000 << U("В проекте может быть не больше 1000 блоков: не добавлено загруженных блоков: 2.");
  }
  void testAdd() {
    QFETCH(int, before);
    QFETCH(int, loaded);
    QFETCH(int, after);
    QFETCH(QString, box);
    w->SetBlocks(std::vector<TapeBlock>(static_cast<std::size_t>(before), MakeHeader(3, "old", 5)));
    w->state.importState.loadedBlocks = Records(loaded);
    if (!box.isEmpty()) w->prompts.PlanAnswer(Answer::Ok);
    WithImportWindow(*w, [](Form11& form) { Press(form, "Command3"); });
    QCOMPARE(w->state.project.blockCount(), after);
    QCOMPARE(w->List()->count(), after);
    QCOMPARE(w->Panels()[0], U("Блоков: ") + QString::number(after));
    if (after > before) QVERIFY(w->state.project.blocks[static_cast<std::size_t>(before)] == Records(1)[0]);
    QCOMPARE(w->prompts.shown.empty(), box.isEmpty());
    if (!box.isEmpty()) QCOMPARE(w->prompts.shown[0].text, box);
    // The store is kept: the same records can be added again.
    QCOMPARE(w->state.importState.loadedBlockCount(), loaded);
  }

  void testCloseAddsNothing() {
    w->state.importState.loadedBlocks = Records(2);
    WithImportWindow(*w, [](Form11& form) { Press(form, "Command4"); });
    QCOMPARE(w->state.project.blockCount(), 0);
    QCOMPARE(w->List()->count(), 0);
  }
};

REELO_UI_TEST_MAIN(TestLoadWav)
#include "loadwav_test.moc"
