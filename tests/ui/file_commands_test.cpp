// The "Файл" menu: the save question of New, Open and Exit, Open, Save, Save as
// with its extension and replace rules, Save as WAV, failing saves, and New
// and Open as steps that Undo takes back.
#include <QDir>

#include "project/tap_file.h"
#include "ui_test_support.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

const QString kSaveAsDialog = U("dialog Сохранить образ ленты TAP");
const QString kOpenDialog = U("dialog Открыть образ ленты TAP");
const QString kWavDialog = U("dialog Сохранить проект в WAV-файл");
const QString kFailedBox = U("box Ошибка при сохранении файла");
const QString kReplaceBox = U("box Сохранение файла");

std::vector<TapeBlock> SampleBlocks() {
  return {MakeHeader(0, "loader", 3, 10), MakeDataBlock({0x00, 0x0A, 0x0D}), MakeHeader(3, "screen", 6912, 16384),
          MakeDataBlock(RandomBytes(6912))};
}

Bytes FileOf(const std::vector<TapeBlock>& blocks) {
  Bytes out;
  for (const TapeBlock& b : blocks) out.insert(out.end(), b.begin(), b.end());
  return out;
}

std::string Path(const TempDir& dir, const QString& name) { return (dir.path() / name.toStdString()).string(); }

QString TitleOf(const std::string& path) { return QString::fromStdString(path) + U(" - Reelo"); }

}  // namespace

class TestFileCommands : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> w;
  std::unique_ptr<TempDir> dir;

 private slots:
  void init() {
    w = std::make_unique<MainWindow>();
    dir = std::make_unique<TempDir>();
    QVERIFY2(dir->path().string().find('.') == std::string::npos, "the extension tests need a folder without a dot");
  }
  void cleanup() {
    QVERIFY2(w->prompts.Unused().isEmpty(), qPrintable("planned but not shown: " + w->prompts.Unused()));
    w.reset();
    dir.reset();
  }

  void testSaveQuestion_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<QString>("file");     // the project's file: "", "own" or "missing/own"
    QTest::addColumn<QStringList>("plan");  // answers: Yes, No, Cancel, Ok, or file:<name>
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<bool>("carriesOn");
    QTest::addColumn<QString>("written");  // the file the save wrote, "" for none
    const struct {
      const char* name;
      const char* title;
    } commands[] = {{"new", "Создание нового образа"},
                    {"open", "Открытие нового файла"},
                    {"exit", "Выход"},
                    {"close box", "Выход"}};
    for (const auto& c : commands) {
      const QString question = U("box ") + U(c.title);
      const bool open = QLatin1String(c.name) == QLatin1String("open");
      // Open's dialog comes first (the test chooses a file in it), then the
      // question.
      const QStringList openShown = open ? QStringList{kOpenDialog} : QStringList{};
      const auto row = [&](const char* what) -> QTestData& { return QTest::addRow("%s, %s", c.name, what); };
      row("not modified") << c.name << false << "" << QStringList{} << openShown << true << "";
      row("Нет") << c.name << true << "" << QStringList{"No"} << openShown + QStringList{question} << true << "";
      row("Отмена") << c.name << true << "own" << QStringList{"Cancel"} << openShown + QStringList{question} << false
                    << "";
      row("Да, saved to its file") << c.name << true << "own" << QStringList{"Yes"}
                                   << openShown + QStringList{question} << true << "own";
      row("Да, never saved, saved as") << c.name << true << "" << QStringList{"Yes", "file:chosen"}
                                       << openShown + QStringList{question, kSaveAsDialog} << true << "chosen.tap";
      // The changes are not on disk: the command stops and nothing is lost.
      row("Да, never saved, dialog cancelled") << c.name << true << "" << QStringList{"Yes", "file:"}
                                               << openShown + QStringList{question, kSaveAsDialog} << false << "";
      row("Да, the write fails") << c.name << true << "missing/own" << QStringList{"Yes", "Ok"}
                                 << openShown + QStringList{question, kFailedBox} << false << "";
    }
    // A cancelled Open dialog asks nothing and leaves the tape as it was.
    QTest::newRow("open, dialog cancelled") << "open" << true << "own" << QStringList{"open:"}
                                            << QStringList{kOpenDialog} << false << "";
  }

  void testSaveQuestion() {
    QFETCH(QString, command);
    QFETCH(bool, modified);
    QFETCH(QString, file);
    QFETCH(QStringList, plan);
    QFETCH(QStringList, shown);
    QFETCH(bool, carriesOn);
    QFETCH(QString, written);
    const auto blocks = SampleBlocks();
    w->SetBlocks(blocks, modified);
    if (!file.isEmpty()) w->SetFileName(Path(*dir, file));
    // The file Open chooses, kept apart from the files the saves write.
    TempDir elsewhere;
    const std::string other = (elsewhere.path() / "other.tap").string();
    WriteFileBytes(other, FileOf({MakeDataBlock({1, 2, 3})}));
    if (command == "open" && plan.value(0) != "open:") w->prompts.PlanFile(QString::fromStdString(other));
    Plan(plan);

    bool closed = false;
    if (command == "new") w->Run("filenew");
    if (command == "open") w->Run("fileopen");
    if (command == "exit") w->Run("fileexit");
    if (command == "close box") closed = w->form->close();
    if (command == "exit") closed = !w->form->isVisible();

    QCOMPARE(w->prompts.Summaries(), shown);
    const bool exits = command == "exit" || command == "close box";
    if (exits) {
      QCOMPARE(closed, carriesOn);
    } else if (carriesOn && command == "open") {
      QCOMPARE(w->Lines(), QStringList{U("      3 байт данных")});
      QCOMPARE(w->form->windowTitle(), TitleOf(other));
      QVERIFY(!w->state.project.modified);
    } else if (carriesOn) {
      QCOMPARE(w->state.project.blockCount(), 0);
      QCOMPARE(w->Lines(), QStringList{});
      QCOMPARE(w->form->windowTitle(), U("Reelo"));
      QVERIFY(!w->state.project.modified);
    }
    if (!carriesOn) {
      QCOMPARE(w->state.project.blockCount(), 4);
      QCOMPARE(w->List()->count(), 4);
      QVERIFY(w->state.project.modified);
    }
    const QStringList files = QDir(QString::fromStdString(dir->path().string())).entryList(QDir::Files);
    QCOMPARE(files, written.isEmpty() ? QStringList{} : QStringList{written});
    if (!written.isEmpty()) QCOMPARE(ReadFileBytes(Path(*dir, written)), FileOf(blocks));
  }

  void testOpenShowsTheTape() {
    const auto blocks = SampleBlocks();
    const std::string path = Path(*dir, "game.tap");
    WriteFileBytes(path, FileOf(blocks));
    BarSteps steps(w->Find<QProgressBar>("ProgressBar1"));
    w->prompts.PlanFile(QString::fromStdString(path));
    w->Run("fileopen");

    QCOMPARE(w->Lines(), (QStringList{U("Program: loader    "), U("      3 байт данных"), U("Bytes: screen    "),
                                      U("      6912 байт данных")}));
    QCOMPARE(w->form->windowTitle(), TitleOf(path));
    QCOMPARE(w->Panels(), (QStringList{U("Блоков: 4"), U("Файлов: 2"), U("Всего данных: 6919 байт")}));
    QCOMPARE(w->state.project.fileName, path);
    QVERIFY(!w->state.project.modified);
    QVERIFY(!w->state.project.blockSelected);
    // The bar: maximum S + 1, the next read position after every record.
    const int size = static_cast<int>(FileOf(blocks).size());
    QCOMPARE(steps.values, (QList<int>{21 + 1, 21 + 7 + 1, 21 + 7 + 21 + 1, size + 1}));
    QCOMPARE(steps.maximums, QList<int>(4, size + 1));
    QVERIFY(!w->Find<QWidget>("Form9")->isVisible());
  }

  void testOpenProblems_data() {
    QTest::addColumn<QString>("content");  // "missing" or "truncated"
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("linesAtTheBox");
    QTest::addColumn<bool>("named");
    // An unreadable file leaves the tape that was there (four blocks, modified).
    QTest::newRow("missing file") << "missing" << int(BoxIcon::Critical) << 4 << false;
    QTest::newRow("last record cut short") << "truncated" << int(BoxIcon::Warning) << 3 << true;
  }
  void testOpenProblems() {
    QFETCH(QString, content);
    QFETCH(int, icon);
    QFETCH(int, linesAtTheBox);
    QFETCH(bool, named);
    const std::string path = Path(*dir, "game.tap");
    if (content == "truncated") {
      Bytes bytes = FileOf(SampleBlocks());
      bytes.resize(bytes.size() - 100);
      WriteFileBytes(path, bytes);
    }
    w->SetBlocks(SampleBlocks(), true);
    int linesShown = -1;
    w->prompts.onBox = [&](const ShownPrompt& shown) {
      if (shown.title == U("Reelo")) linesShown = w->List()->count();
    };
    w->prompts.PlanFile(QString::fromStdString(path)).PlanAnswer(Answer::No).PlanAnswer(Answer::Ok);
    w->Run("fileopen");

    QCOMPARE(w->prompts.shown.size(), std::size_t(3));
    const ShownPrompt& box = w->prompts.shown.back();
    QCOMPARE(int(box.icon), icon);
    QCOMPARE(box.title, U("Reelo"));
    QVERIFY(!box.text.isEmpty());
    QCOMPARE(linesShown, linesAtTheBox);
    // An unreadable file does not become the project's file.
    QCOMPARE(w->state.project.fileName, named ? path : std::string("*"));
    QCOMPARE(w->form->windowTitle(), named ? TitleOf(path) : U("Reelo"));
    QCOMPARE(w->state.project.modified, !named);
  }

  // New and Open are steps of the history: Undo brings the earlier tape back
  // with its name and its unsaved changes, Redo the new one.
  void testUndoBringsBackTheTape_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("New") << "filenew";
    QTest::newRow("Open") << "fileopen";
  }
  void testUndoBringsBackTheTape() {
    QFETCH(QString, command);
    const std::string own = Path(*dir, "own.tap");
    const std::string other = Path(*dir, "other.tap");
    WriteFileBytes(other, FileOf({MakeDataBlock({1, 2, 3})}));
    w->SetBlocks(SampleBlocks(), true);
    w->SetFileName(own);
    const QStringList before = w->Lines();
    if (command == "fileopen") w->prompts.PlanFile(QString::fromStdString(other));
    w->prompts.PlanAnswer(Answer::No);
    w->Run(qPrintable(command));
    const QStringList after = w->Lines();
    const QString title = w->form->windowTitle();
    QCOMPARE(after.size(), command == "fileopen" ? 1 : 0);
    QVERIFY(!w->state.project.modified);
    QVERIFY(w->Action("editundo")->isEnabled());

    w->Run("editundo");
    QCOMPARE(w->Lines(), before);
    QCOMPARE(w->form->windowTitle(), TitleOf(own));
    QVERIFY2(w->state.project.modified, "the changes that were not saved are still not saved");
    QVERIFY(!w->Action("editundo")->isEnabled() && w->Action("editredo")->isEnabled());

    w->Run("editredo");
    QCOMPARE(w->Lines(), after);
    QCOMPARE(w->form->windowTitle(), title);
    QVERIFY(!w->state.project.modified);
  }

  void testSaveWritesToTheProjectsFile() {
    const auto blocks = SampleBlocks();
    w->SetBlocks(blocks, true);
    const std::string path = Path(*dir, "own.tap");
    w->SetFileName(path);
    BarSteps steps(w->Find<QProgressBar>("ProgressBar1"));
    w->Run("filesave");
    QVERIFY(w->prompts.shown.empty());
    QCOMPARE(ReadFileBytes(path), FileOf(blocks));
    QVERIFY(!w->state.project.modified);
    QCOMPARE(steps.values, (QList<int>{0, 1, 2, 3}));
    QCOMPARE(steps.maximums, QList<int>(4, 5));
  }

  // The progress window lets the window system in while it repaints; a close
  // request then must neither start a second save nor end the program.
  void testCloseWhileSavingWaits() {
    w->SetBlocks(SampleBlocks(), true);
    w->SetFileName(Path(*dir, "own.tap"));
    QList<bool> closed;
    connect(w->Find<QProgressBar>("ProgressBar1"), &QProgressBar::valueChanged, this,
            [&] { closed << w->form->close(); });
    w->Run("filesave");
    QCOMPARE(closed, QList<bool>(4, false));
    QVERIFY(w->prompts.shown.empty());
    QVERIFY(!w->state.project.modified);
    QVERIFY(w->form->isVisible());
  }

  void testSaveAsExtension_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::newRow("no dot: .tap added") << "" << "game" << "game.tap";
    QTest::newRow("own extension kept") << "" << "game.tap" << "game.tap";
    QTest::newRow("other extension kept") << "" << "game.BIN" << "game.BIN";
    QTest::newRow("trailing dot counts") << "" << "game." << "game.";
    QTest::newRow("dot in a folder counts") << "my.files" << "game" << "my.files/game";
  }
  void testSaveAsExtension() {
    QFETCH(QString, folder);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    if (!folder.isEmpty()) QVERIFY(QDir().mkpath(QString::fromStdString(Path(*dir, folder))));
    const auto blocks = SampleBlocks();
    w->SetBlocks(blocks, true);
    const QString chosen = QString::fromStdString(Path(*dir, folder.isEmpty() ? typed : folder + "/" + typed));
    w->prompts.PlanFile(chosen);
    w->Run("filesaveas");

    QCOMPARE(w->prompts.Summaries(), QStringList{kSaveAsDialog});
    const std::string path = Path(*dir, written);
    QCOMPARE(ReadFileBytes(path), FileOf(blocks));
    QCOMPARE(w->state.project.fileName, path);
    QCOMPARE(w->form->windowTitle(), TitleOf(path));
    QVERIFY(!w->state.project.modified);
  }

  void testSaveAsReplace_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("Да replaces") << int(Answer::Yes);
    QTest::newRow("Нет keeps the file and the project's name") << int(Answer::No);
  }
  void testSaveAsReplace() {
    QFETCH(int, answer);
    const auto blocks = SampleBlocks();
    w->SetBlocks(blocks, true);
    const std::string own = Path(*dir, "own.tap");
    const std::string taken = Path(*dir, "taken.tap");
    w->SetFileName(own);
    WriteFileBytes(taken, {'k', 'e', 'e', 'p'});
    w->prompts.PlanFile(QString::fromStdString(Path(*dir, "taken"))).PlanAnswer(Answer(answer));
    w->Run("filesaveas");

    QCOMPARE(w->prompts.Summaries(), (QStringList{kSaveAsDialog, kReplaceBox}));
    const ShownPrompt& box = w->prompts.shown.back();
    QCOMPARE(box.text, U("Файл с таким именем уже существует, заменить?"));
    QCOMPARE(box.buttons, Buttons::YesNo);
    QCOMPARE(box.icon, BoxIcon::None);
    const bool replaced = Answer(answer) == Answer::Yes;
    QCOMPARE(ReadFileBytes(taken), (replaced ? FileOf(blocks) : Bytes{'k', 'e', 'e', 'p'}));
    QCOMPARE(w->state.project.fileName, replaced ? taken : own);
    QCOMPARE(w->form->windowTitle(), TitleOf(replaced ? taken : own));
    QCOMPARE(w->state.project.modified, !replaced);
  }

  void testSaveAsOverAFolderAsksNothingAndFails() {
    w->SetBlocks(SampleBlocks(), true);
    QVERIFY(QDir().mkpath(QString::fromStdString(Path(*dir, "game.tap"))));
    w->prompts.PlanFile(QString::fromStdString(Path(*dir, "game"))).PlanAnswer(Answer::Ok);
    w->Run("filesaveas");
    QCOMPARE(w->prompts.Summaries(), (QStringList{kSaveAsDialog, kFailedBox}));
    QVERIFY(w->state.project.modified);
  }

  void testSaveFailure_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<long>("sizeLimit");  // 0: none
    QTest::newRow("folder missing") << "missing/own.tap" << 0L;
    QTest::newRow("file-size limit reached mid-write") << "own.tap" << 64L * 1024;
  }
  void testSaveFailure() {
    QFETCH(QString, file);
    QFETCH(long, sizeLimit);
    const std::string path = Path(*dir, file);
    if (sizeLimit) WriteFileBytes(path, {'o', 'l', 'd'});
    w->SetBlocks({MakeDataBlock(RandomBytes(60000, 1)), MakeDataBlock(RandomBytes(60000, 2))}, true);
    w->SetFileName(path);
    w->prompts.PlanAnswer(Answer::Ok);
    {
      std::unique_ptr<FileSizeLimit> limit;
      if (sizeLimit) limit = std::make_unique<FileSizeLimit>(static_cast<rlim_t>(sizeLimit));
      w->Run("filesave");
    }
    QCOMPARE(w->prompts.Summaries(), QStringList{kFailedBox});
    const ShownPrompt& box = w->prompts.shown.back();
    QCOMPARE(box.text, U("Проблемы с сохранением файла. Файл не сохранён."));
    QCOMPARE(box.icon, BoxIcon::Critical);
    QCOMPARE(box.buttons, Buttons::Ok);
    QVERIFY2(!box.detail.isEmpty(), "the box says why");
    QVERIFY(w->state.project.modified);
    if (sizeLimit) {
      QCOMPARE(ReadFileBytes(path), (Bytes{'o', 'l', 'd'}));
      QCOMPARE(QDir(QString::fromStdString(dir->path().string())).entryList(QDir::Files), QStringList{"own.tap"});
    }
  }

  void testSaveAsWav_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QStringList>("plan");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<long>("sizeLimit");
    QTest::addColumn<bool>("written");
    QTest::newRow("no dot: .wav added") << "tape" << "tape.wav" << false << QStringList{} << QStringList{} << 0L
                                        << true;
    QTest::newRow("replace, Да") << "tape.wav" << "tape.wav" << true << QStringList{"Yes"}
                                 << QStringList{kReplaceBox} << 0L << true;
    QTest::newRow("replace, Нет") << "tape.wav" << "tape.wav" << true << QStringList{"No"}
                                  << QStringList{kReplaceBox} << 0L << false;
    QTest::newRow("folder missing") << "missing/tape" << "missing/tape.wav" << false << QStringList{"Ok"}
                                    << QStringList{kFailedBox} << 0L << false;
    QTest::newRow("file-size limit") << "tape" << "tape.wav" << true << QStringList{"Yes", "Ok"}
                                     << QStringList{kReplaceBox, kFailedBox} << 64L * 1024 << false;
  }
  void testSaveAsWav() {
    QFETCH(QString, typed);
    QFETCH(QString, target);
    QFETCH(bool, exists);
    QFETCH(QStringList, plan);
    QFETCH(QStringList, shown);
    QFETCH(long, sizeLimit);
    QFETCH(bool, written);
    const std::string path = Path(*dir, target);
    if (exists) WriteFileBytes(path, {'o', 'l', 'd'});
    w->SetBlocks(SampleBlocks(), true);
    const std::string own = Path(*dir, "own.tap");
    w->SetFileName(own);
    w->form->UpdateSummary();
    BarSteps steps(w->Find<QProgressBar>("ProgressBar1"));
    w->prompts.PlanFile(QString::fromStdString(Path(*dir, typed)));
    Plan(plan);
    {
      std::unique_ptr<FileSizeLimit> limit;
      if (sizeLimit) limit = std::make_unique<FileSizeLimit>(static_cast<rlim_t>(sizeLimit));
      w->Run("filesavewav");
    }
    QCOMPARE(w->prompts.Summaries(), QStringList{kWavDialog} + shown);
    QCOMPARE(w->state.WavFileName, path);
    const Bytes bytes = ReadFileBytes(path);
    if (written) {
      QVERIFY(bytes.size() > 44);
      QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytes.data()), 4), QByteArray("RIFF"));
      QCOMPARE(steps.values, (QList<int>{0, 1, 2, 3}));
      QCOMPARE(steps.maximums, QList<int>(4, 4));
    } else if (exists) {
      QCOMPARE(bytes, (Bytes{'o', 'l', 'd'}));
    }
    // The export leaves the project as it was.
    QCOMPARE(w->state.project.fileName, own);
    QCOMPARE(w->form->windowTitle(), TitleOf(own));
    QVERIFY(w->state.project.modified);
  }

 private:
  void Plan(const QStringList& plan) {
    for (const QString& step : plan) {
      if (step == "open:") {
        w->prompts.PlanFile(QString());  // Open's dialog cancelled
      } else if (step.startsWith("file:")) {
        const QString name = step.mid(5);
        w->prompts.PlanFile(name.isEmpty() ? QString() : QString::fromStdString(Path(*dir, name)));
      } else if (step == "Yes") {
        w->prompts.PlanAnswer(Answer::Yes);
      } else if (step == "No") {
        w->prompts.PlanAnswer(Answer::No);
      } else if (step == "Cancel") {
        w->prompts.PlanAnswer(Answer::Cancel);
      } else {
        w->prompts.PlanAnswer(Answer::Ok);
      }
    }
  }
};

REELO_UI_TEST_MAIN(TestFileCommands)
#include "file_commands_test.moc"
