// The main window as a desktop program: files named on the command line and
// dropped on the window, the recent files, the folders the file dialogs
// remember, the windows' remembered places, and the start's private runtime
// folder. QSettings lives in a fresh folder for each test.
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>

#include "settings_sandbox.h"
#include "ui/desktop_memory.h"
#include "ui/frame/frame_assets.h"
#include "ui/qt_prompts.h"
#include "ui/wav_options_window.h"
#include "ui_test_support.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

const QString kOpenQuestion = U("box Открытие нового файла");

// Drags local files (or any links) over the block list and drops them there,
// as a file manager does. True when the window took them; the queued open has
// run when this returns.
bool DropOnList(const MainWindow& w, const QList<QUrl>& urls, Qt::KeyboardModifiers modifiers) {
  QMimeData data;
  data.setUrls(urls);
  QWidget* target = w.List()->viewport();
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, modifiers);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, modifiers);
  QApplication::sendEvent(target, &drop);
  QApplication::processEvents();
  return drop.isAccepted();
}

// Waits (inside a dialog's own event loop) for the visible file dialog, then
// hands it to `act`; gives up after two seconds so a test cannot hang.
void WhenFileDialogShown(std::function<void(QFileDialog*)> act, int attempt = 0) {
  QTimer::singleShot(10, [act, attempt] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible()) {
        act(dialog);
        return;
      }
    }
    if (attempt < 200) WhenFileDialogShown(act, attempt + 1);
  });
}

// The WAV options window as it opens: what it proposes; then it is accepted
// with `choose` set in it, or cancelled when `choose` is empty.
void WhenWavOptionsShown(WavExportChoice& proposed, std::optional<WavExportChoice> choose, int attempt = 0) {
  QTimer::singleShot(10, [&proposed, choose, attempt] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* window = qobject_cast<WavOptionsWindow*>(widget); window && window->isVisible()) {
        proposed = window->choice();
        if (choose) window->Show(*choose);
        choose ? window->accept() : window->reject();
        return;
      }
    }
    if (attempt < 200) WhenWavOptionsShown(proposed, choose, attempt + 1);
  });
}

QStringList MenuTexts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* action : menu->actions()) texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
  return texts;
}

}  // namespace

class TestDesktop : public QObject {
  Q_OBJECT

  std::unique_ptr<SettingsSandbox> settings;
  std::unique_ptr<TempDir> dir;
  std::unique_ptr<DesktopMemory> memory;
  std::unique_ptr<MainWindow> w;

  // A tape of `blocks` one-byte data blocks, named in the test's folder.
  QString Tape(const char* name, int blocks) {
    Bytes bytes;
    for (int i = 0; i < blocks; ++i) {
      const TapeBlock block = MakeDataBlock({static_cast<std::uint8_t>(i)});
      bytes.insert(bytes.end(), block.begin(), block.end());
    }
    WriteFileBytes(dir->path() / name, bytes);
    return File(name);
  }
  QString File(const QString& name) const { return QString::fromStdString((dir->path() / name.toStdString()).string()); }

  // The program's main window as the program makes it, after a start.
  void Restart() {
    if (w) QVERIFY2(w->prompts.Unused().isEmpty(), qPrintable("planned but not shown: " + w->prompts.Unused()));
    w = std::make_unique<MainWindow>();
    w->form->UseDesktopMemory(memory.get());
  }
  QMenu* RecentMenu() const { return w->Find<QMenu>("recentmenu"); }

 private slots:
  void init() {
    settings = std::make_unique<SettingsSandbox>();
    dir = std::make_unique<TempDir>();
    memory = std::make_unique<DesktopMemory>();
    Restart();
  }
  void cleanup() {
    QVERIFY2(w->prompts.Unused().isEmpty(), qPrintable("planned but not shown: " + w->prompts.Unused()));
    w.reset();
    memory.reset();
    dir.reset();
    settings.reset();
  }

  void testCommandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("files");  // relative to /start
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("textStart");
    QTest::newRow("nothing: an empty tape") << QStringList{} << QStringList{} << -1 << "";
    QTest::newRow("files in their order, made absolute")
        << QStringList{"b.tzx", "/tapes/a.tap", "../up.csw", "./x/../y.pzx"}
        << QStringList{"/start/b.tzx", "/tapes/a.tap", "/up.csw", "/start/y.pzx"} << -1 << "";
    QTest::newRow("a lone dash is a file name") << QStringList{"-"} << QStringList{"/start/-"} << -1 << "";
    QTest::newRow("after -- a dash starts a file name")
        << QStringList{"a.tap", "--", "-b.tap", "--help"} << QStringList{"/start/a.tap", "/start/-b.tap", "/start/--help"}
        << -1 << "";
    QTest::newRow("--help wherever it stands") << QStringList{"a.tap", "--help"} << QStringList{} << 0
                                               << U("Использование: reelo [ФАЙЛ...]");
    QTest::newRow("-h") << QStringList{"-h"} << QStringList{} << 0 << U("Использование:");
    QTest::newRow("--version") << QStringList{"--version"} << QStringList{} << 0 << "Reelo " + VersionText() + "\n";
    QTest::newRow("an unknown option is refused, not opened")
        << QStringList{"a.tap", "--tzx"} << QStringList{} << 2 << U("reelo: неизвестный ключ «--tzx»");
  }
  void testCommandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, files);
    QFETCH(int, exitCode);
    QFETCH(QString, textStart);
    const CommandLine line = ParseCommandLine(arguments, "/start");
    QCOMPARE(line.files, files);
    QCOMPARE(line.exitCode, exitCode);
    QVERIFY2(QString::fromStdString(line.text).startsWith(textStart), line.text.c_str());
    QCOMPARE(line.text.empty(), textStart.isEmpty());
  }

  // The command line, drops and drops with Ctrl: what opens, what is added,
  // what is asked, and which files the recent list takes.
  void testOpenFiles_data() {
    QTest::addColumn<QString>("how");            // "command line", "drop", "drop with Ctrl"
    QTest::addColumn<int>("blocksBefore");       // a project of that many blocks...
    QTest::addColumn<bool>("modifiedBefore");    // ...modified or not
    QTest::addColumn<QStringList>("files");      // a.tap (2 blocks), b.tap (3), missing.tap, web
    QTest::addColumn<QStringList>("answers");    // Yes, No, Cancel, Ok
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<QString>("title");          // the file the title names, "" for "Reelo", "keep"
    QTest::addColumn<bool>("modified");
    QTest::addColumn<QStringList>("recent");
    const QStringList none;
    QTest::newRow("command line: one file") << "command line" << 0 << false << QStringList{"a.tap"} << none << none
                                            << 2 << "a.tap" << false << QStringList{"a.tap"};
    QTest::newRow("command line: the first opens, the rest are added")
        << "command line" << 0 << false << QStringList{"a.tap", "b.tap", "a.tap"} << none << none << 7 << "a.tap"
        << true << QStringList{"a.tap"};
    QTest::newRow("command line: a missing first file, the rest still added")
        << "command line" << 0 << false << QStringList{"missing.tap", "b.tap"} << QStringList{"Ok"}
        << QStringList{"box Reelo"} << 3 << "" << true << none;
    QTest::newRow("drop on an unmodified tape") << "drop" << 4 << false << QStringList{"b.tap"} << none << none << 3
                                                << "b.tap" << false << QStringList{"b.tap"};
    QTest::newRow("drop on changes, Отмена keeps them")
        << "drop" << 4 << true << QStringList{"a.tap"} << QStringList{"Cancel"} << QStringList{kOpenQuestion} << 4
        << "keep" << true << none;
    QTest::newRow("drop on changes, Нет opens") << "drop" << 4 << true << QStringList{"a.tap", "b.tap"}
                                                << QStringList{"No"} << QStringList{kOpenQuestion} << 5 << "a.tap"
                                                << true << QStringList{"a.tap"};
    QTest::newRow("drop with Ctrl adds, asks nothing")
        << "drop with Ctrl" << 4 << true << QStringList{"a.tap", "b.tap"} << none << none << 9 << "keep" << true
        << none;
    QTest::newRow("drop of a web link is refused") << "drop" << 4 << false << QStringList{"web"} << none << none << 4
                                                   << "keep" << false << none;
    // Nothing could be read, so nothing replaces the tape.
    QTest::newRow("drop of a missing file: its reason, the tape kept")
        << "drop" << 4 << false << QStringList{"missing.tap"} << QStringList{"Ok"} << QStringList{"box Reelo"} << 4
        << "keep" << false << none;
  }
  void testOpenFiles() {
    QFETCH(QString, how);
    QFETCH(int, blocksBefore);
    QFETCH(bool, modifiedBefore);
    QFETCH(QStringList, files);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, shown);
    QFETCH(int, blocks);
    QFETCH(QString, title);
    QFETCH(bool, modified);
    QFETCH(QStringList, recent);
    Tape("a.tap", 2);
    Tape("b.tap", 3);
    w->SetBlocks(std::vector<TapeBlock>(static_cast<std::size_t>(blocksBefore), MakeDataBlock({7})), modifiedBefore);
    const QString titleBefore = w->form->windowTitle();
    const std::map<QString, Answer> answerOf{
        {"Yes", Answer::Yes}, {"No", Answer::No}, {"Cancel", Answer::Cancel}, {"Ok", Answer::Ok}};
    for (const QString& answer : answers) w->prompts.PlanAnswer(answerOf.at(answer));

    if (how == "command line") {
      QStringList paths;
      for (const QString& f : files) paths << File(f);
      w->form->OpenFiles(paths, false);
    } else {
      QList<QUrl> urls;
      for (const QString& f : files) {
        urls << (f == "web" ? QUrl("https://example.org/game.tap") : QUrl::fromLocalFile(File(f)));
      }
      const bool taken = DropOnList(*w, urls, how == "drop with Ctrl" ? Qt::ControlModifier : Qt::NoModifier);
      QCOMPARE(taken, !files.contains("web"));
    }

    QCOMPARE(w->prompts.Summaries(), shown);
    QCOMPARE(w->state.project.blockCount(), blocks);
    QCOMPARE(w->List()->count(), blocks);
    if (title == "keep") {
      QCOMPARE(w->form->windowTitle(), titleBefore);
    } else {
      QCOMPARE(w->form->windowTitle(), title.isEmpty() ? U("Reelo") : File(title) + U(" - Reelo"));
    }
    QCOMPARE(w->state.project.modified, modified);
    QStringList expectedRecent;
    for (const QString& f : recent) expectedRecent << File(f);
    QCOMPARE(memory->RecentFiles(), expectedRecent);
  }

  // The recent list: newest first, at most eight, no repeats, kept across a
  // restart; opened and saved-as files count, added files do not.
  void testRecentFiles() {
    for (int i = 1; i <= 10; ++i) {
      w->form->OpenFiles({Tape(qPrintable(QString("t%1.tap").arg(i)), 1)}, false);
    }
    w->form->OpenFiles({File("t4.tap")}, false);       // again: to the top, not twice
    w->form->OpenFiles({File("t1.tap")}, true);        // added: not a recent file
    w->prompts.PlanFile(File("saved.tap"));
    w->Run("filesaveas");                              // saved under a new name: the newest
    const QStringList expected{File("saved.tap"), File("t4.tap"), File("t10.tap"), File("t9.tap"),
                               File("t8.tap"),    File("t7.tap"), File("t6.tap"),  File("t5.tap")};
    QCOMPARE(memory->RecentFiles(), expected);

    Restart();
    w->prompts.Clear();
    QMenu* menu = RecentMenu();
    QVERIFY(menu->isEnabled());
    QStringList texts = MenuTexts(menu);
    QCOMPARE(texts.size(), 10);
    QCOMPARE(texts.first(), "&1 " + File("saved.tap"));
    QCOMPARE(texts[7], "&8 " + File("t5.tap"));
    QCOMPARE(texts.mid(8), (QStringList{"-", U("Очистить список")}));

    // Choosing one opens it as Open does.
    w->Action("recentfile3")->trigger();
    QCOMPARE(w->form->windowTitle(), File("t10.tap") + U(" - Reelo"));
    QCOMPARE(memory->RecentFiles().first(), File("t10.tap"));

    // One that has gone: said so, taken off the list, the project untouched.
    QVERIFY(std::filesystem::remove(dir->path() / "t9.tap"));
    w->prompts.PlanAnswer(Answer::Ok);
    w->Action("recentfile4")->trigger();
    QCOMPARE(w->prompts.Summaries(), QStringList{U("box Последние файлы")});
    QCOMPARE(w->prompts.shown[0].text,
             U("Файл не найден:\n") + File("t9.tap") + U("\n\nОн убран из списка последних файлов."));
    QCOMPARE(w->prompts.shown[0].icon, BoxIcon::Warning);
    QCOMPARE(w->form->windowTitle(), File("t10.tap") + U(" - Reelo"));
    QVERIFY(!memory->RecentFiles().contains(File("t9.tap")));
    QCOMPARE(MenuTexts(RecentMenu()).size(), 9);

    w->Action("recentclear")->trigger();
    QVERIFY(memory->RecentFiles().isEmpty());
    Restart();
    QVERIFY(!RecentMenu()->isEnabled());
  }

  // The submenu sits under "Открыть..." and an "&" of a path shows as itself.
  void testRecentMenuPlace() {
    w->form->OpenFiles({Tape("R&D.tap", 1)}, false);
    w->form->OpenFiles({Tape("a.tap", 1)}, false);
    const QList<QAction*> items = w->Find<QMenu>("filemenu")->actions();
    QCOMPARE(items[1]->objectName(), QStringLiteral("fileopen"));
    QCOMPARE(items[2]->menu(), RecentMenu());
    QCOMPARE(items[2]->text(), U("Последние файлы"));
    QVERIFY(items[3]->isSeparator());
    QCOMPARE(MenuTexts(RecentMenu())[1], "&2 " + QString(File("R&D.tap")).replace("&", "&&"));
  }

  // Each kind of file dialog starts where one of its kind last went: tapes in
  // one folder, sound files in another; a folder gone since is forgotten.
  void testRememberedFolders_data() {
    QTest::addColumn<QString>("firstFilter");
    QTest::addColumn<QString>("secondFilter");
    QTest::addColumn<bool>("removeFolder");
    QTest::addColumn<bool>("startsThere");
    const QString tapes = U("Образ ленты (*.tap)|*.tap|Все файлы|*.*");
    const QString tapesOpen = U("Файлы лент|*.tap;*.tzx|Все файлы|*.*");
    const QString sound = U("Звуковой файл (*.wav)|*.wav|Все файлы|*.*");
    QTest::newRow("tapes, then tapes") << tapes << tapes << false << true;
    QTest::newRow("opening tapes, then saving one") << tapesOpen << tapes << false << true;
    QTest::newRow("sound, then sound") << sound << sound << false << true;
    QTest::newRow("tapes, then sound: not there") << tapes << sound << false << false;
    QTest::newRow("the folder has gone since") << tapes << tapes << true << false;
  }
  void testRememberedFolders() {
    QFETCH(QString, firstFilter);
    QFETCH(QString, secondFilter);
    QFETCH(bool, removeFolder);
    QFETCH(bool, startsThere);
    const QString folder = File("deep");
    QDir().mkpath(folder);
    QtPrompts prompts;
    prompts.setMemory(memory.get());

    WhenFileDialogShown([&](QFileDialog* dialog) {
      dialog->setDirectory(folder);
      dialog->findChild<QLineEdit*>("fileNameEdit")->setText("game.tap");
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(prompts.ChooseFile({FileDialogKind::Save, "first", firstFilter}), folder + "/game.tap");
    if (removeFolder) QVERIFY(QDir(folder).removeRecursively());

    QString startedIn;
    WhenFileDialogShown([&](QFileDialog* dialog) {
      startedIn = dialog->directory().absolutePath();
      dialog->reject();
    });
    QCOMPARE(prompts.ChooseFile({FileDialogKind::Open, "second", secondFilter}), QString());
    QCOMPARE(startedIn == folder, startsThere);
    if (!startsThere) QCOMPARE(startedIn, QDir::currentPath());
  }

  // The windows named for it open where they were last closed, in a later
  // run too; others keep their own placing.
  void testWindowPlaces_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("remembered");
    QTest::newRow("main window") << "Form1" << true;
    QTest::newRow("screen picture") << "Form3" << true;
    QTest::newRow("decimal dump") << "Form7" << true;
    QTest::newRow("help window") << "HelpWindow" << true;
    QTest::newRow("load from WAV: not named") << "Form11" << false;
  }
  void testWindowPlaces() {
    QFETCH(QString, name);
    QFETCH(bool, remembered);
    const QRect place(123, 87, 431, 301);
    {
      WindowPlaces places(*memory, RememberedWindows());
      qApp->installEventFilter(&places);
      QWidget window;
      window.setObjectName(name);
      window.show();
      window.setGeometry(place);
      window.close();
    }
    DesktopMemory later;  // a later run
    WindowPlaces places(later, RememberedWindows());
    qApp->installEventFilter(&places);
    QWidget window;
    window.setObjectName(name);
    window.setGeometry(10, 10, 200, 100);
    window.show();
    QCOMPARE(window.geometry() == place, remembered);
    qApp->removeEventFilter(&places);
  }

  // The WAV export's options are proposed as they were last written, in a
  // later run too; a cancelled window changes nothing.
  void testWavOptionsRemembered() {
    const WavExportChoice chosen{{44100, 16, true, SignalTimings::Rom}, true};
    WavExportChoice proposed;
    {
      QtPrompts prompts;
      prompts.setMemory(memory.get());
      WhenWavOptionsShown(proposed, chosen);
      QVERIFY(prompts.ChooseWavExport({}) == chosen);
      QCOMPARE(proposed, WavExportChoice{});
    }
    DesktopMemory later;  // a later run
    QtPrompts prompts;
    prompts.setMemory(&later);
    WhenWavOptionsShown(proposed, std::nullopt);
    QVERIFY(!prompts.ChooseWavExport({}));
    QCOMPARE(proposed, chosen);
    QVERIFY(later.WavChoice() == chosen);
  }

  // A settings file damaged or edited by hand: the program starts with what
  // it can use, proposes the usual WAV options, and remembers again.
  void testDamagedSettingsFile_data() {
    QTest::addColumn<QByteArray>("contents");
    QByteArray noise;
    for (int i = 0; i < 8192; ++i) noise += static_cast<char>((i * 7919 + i / 13) & 0xFF);
    QTest::newRow("random bytes") << noise;
    QTest::newRow("zero bytes") << QByteArray(4096, '\0');
    QTest::newRow("values of the wrong kind")
        << QByteArray("[General]\nrecentFiles=@ByteArray(\\xff\\xfe)\n[wavExport]\nsampleRate=abc\n"
                      "bitsPerSample=16\ninverted=maybe\nromTimings=true\nverify=false\n"
                      "[windows]\nForm1=@Rect(1 2)\n[folders]\ntap=/no/such/folder\n");
    QTest::newRow("WAV options the export cannot write")
        << QByteArray("[wavExport]\nsampleRate=12345\nbitsPerSample=24\ninverted=true\nromTimings=true\nverify=true\n");
    QTest::newRow("stored values that do not decode")
        << QByteArray("[General]\nrecentFiles=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x10garbage)\n"
                      "[windows]\nForm1=@Variant(\\0\\0\\0\\f\\xff\\xff\\xff\\xff)\n"
                      "[wavExport]\nsampleRate=@Variant(\\0\\0\\0\\x2)\n");
    QTest::newRow("unclosed group and quote") << QByteArray("[wavExport\nsampleRate=\"44100\n[\n=\n\"");
    QTest::newRow("ten thousand recent files and a long line")
        << QByteArray("[General]\nrecentFiles=") + QByteArray(",/x", 3).repeated(10000) + "\n[folders]\ntap=" +
               QByteArray(1 << 20, 'a') + "\n";
  }
  void testDamagedSettingsFile() {
    QFETCH(QByteArray, contents);
    w.reset();
    const QString file = QSettings().fileName();
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(contents);
    out.close();

    DesktopMemory damaged;
    const QStringList recent = damaged.RecentFiles();
    QVERIFY(recent.size() <= 8);
    QVERIFY(!recent.contains(QString()));
    QVERIFY(damaged.Folder("tap").isEmpty() || QFileInfo(damaged.Folder("tap")).isDir());
    const std::optional<WavExportChoice> wav = damaged.WavChoice();
    QVERIFY(!wav || IsValid(wav->signal));

    // The program's start with it: the main window with its recent files and
    // its remembered place, and the WAV options proposing a set it can write.
    WindowPlaces places(damaged, RememberedWindows());
    qApp->installEventFilter(&places);
    Restart();
    w->form->UseDesktopMemory(&damaged);
    QVERIFY(w->form->isVisible());
    QtPrompts prompts;
    prompts.setMemory(&damaged);
    WavExportChoice proposed{{1, 2, false, SignalTimings::Exact}, false};
    const WavExportChoice chosen{{48000, 8, false, SignalTimings::Exact}, true};
    WhenWavOptionsShown(proposed, chosen);
    QVERIFY(prompts.ChooseWavExport({}) == chosen);
    QVERIFY(IsValid(proposed.signal));
    w->form->close();
    qApp->removeEventFilter(&places);

    // Remembering works again.
    damaged.NoteRecentFile(File("game.tap"));
    QCOMPARE(DesktopMemory().RecentFiles().value(0), File("game.tap"));
    QVERIFY(DesktopMemory().WavChoice() == chosen);
  }

  // With no XDG_RUNTIME_DIR the start makes a folder only its user can
  // enter, or puts right the one an earlier run made.
  void testRuntimeFolder_data() {
    QTest::addColumn<QString>("set");       // XDG_RUNTIME_DIR as the start finds it
    QTest::addColumn<QString>("existing");  // what is at the usual place: "", "open folder", "link", "file"
    QTest::addColumn<QString>("made");      // "", "usual", "other"
    QTest::newRow("set: left alone") << "/run/user/1000" << "" << "";
    QTest::newRow("unset: made") << "" << "" << "usual";
    QTest::newRow("an earlier run's folder, opened up since: closed again") << "" << "open folder" << "usual";
    QTest::newRow("a symbolic link there: a folder of its own") << "" << "link" << "other";
    QTest::newRow("a file there: a folder of its own") << "" << "file" << "other";
  }
  void testRuntimeFolder() {
    QFETCH(QString, set);
    QFETCH(QString, existing);
    QFETCH(QString, made);
    const std::string tmp = dir->path().string();
    const std::string usual = tmp + "/reelo-runtime-" + std::to_string(geteuid());
    if (existing == "open folder") {
      std::filesystem::create_directory(usual);
      chmod(usual.c_str(), 0755);
    } else if (existing == "link") {
      std::filesystem::create_directory(dir->path() / "elsewhere");
      std::filesystem::create_directory_symlink(dir->path() / "elsewhere", usual);
    } else if (existing == "file") {
      WriteFileBytes(usual, {1});
    }
    const QByteArray before = qgetenv("XDG_RUNTIME_DIR");
    const std::string setValue = set.toStdString();
    const std::string folder = ProvideRuntimeFolder([&](const char* name) -> const char* {
      if (std::string(name) == "XDG_RUNTIME_DIR") return setValue.c_str();
      if (std::string(name) == "TMPDIR") return tmp.c_str();
      return nullptr;
    });
    const QByteArray after = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", before);
    if (made.isEmpty()) {
      QVERIFY(folder.empty());
      QCOMPARE(after, before);
      return;
    }
    QCOMPARE(after.toStdString(), folder);
    if (made == "usual") QCOMPARE(folder, usual);
    if (made == "other") QVERIFY(folder != usual && folder.rfind(tmp + "/reelo-runtime-", 0) == 0);
    struct stat info {};
    QCOMPARE(lstat(folder.c_str(), &info), 0);
    QVERIFY(S_ISDIR(info.st_mode));
    QCOMPARE(info.st_mode & 07777, mode_t{0700});
    QCOMPARE(info.st_uid, geteuid());
  }
};

REELO_UI_TEST_MAIN(TestDesktop)
#include "desktop_test.moc"
