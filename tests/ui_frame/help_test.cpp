// The help page: which file is handed to the desktop, from the menu command
// and for each place the page may be.
#include <QDesktopServices>
#include <QDir>
#include <QTemporaryDir>

#include "ui/frame/help_page.h"
#include "ui_test_support.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

void PutPage(const QString& folder) {
  QDir(folder).mkpath(QStringLiteral("Help"));
  WriteFileBytes(QDir(folder).filePath(QString::fromLatin1(kHelpPagePath)).toStdString(), {'<', 'p', '>'});
}

// Runs in a folder for its life, then goes back.
class InFolder {
 public:
  explicit InFolder(const QString& folder) : old_(QDir::currentPath()) { QDir::setCurrent(folder); }
  ~InFolder() { QDir::setCurrent(old_); }

 private:
  QString old_;
};

}  // namespace

class TestHelp : public QObject {
  Q_OBJECT

 public slots:
  // Takes the place of the desktop's viewer for local files.
  void openFile(const QUrl& url) { opened << url; }

 private:
  QList<QUrl> opened;

 private slots:
  void init() {
    opened.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openFile");
  }
  void cleanup() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

  // Three folders searched in order: current, program, installed data.
  void testPageFound_data() {
    QTest::addColumn<QList<int>>("holding");
    QTest::addColumn<int>("chosen");
    QTest::newRow("current folder") << QList<int>{0} << 0;
    QTest::newRow("program folder only") << QList<int>{1} << 1;
    QTest::newRow("installed data folder only") << QList<int>{2} << 2;
    QTest::newRow("current folder before the program's") << QList<int>{0, 1, 2} << 0;
    QTest::newRow("program folder before the installed one") << QList<int>{1, 2} << 1;
    QTest::newRow("nowhere: the current folder's path") << QList<int>{} << 0;
  }
  void testPageFound() {
    QFETCH(QList<int>, holding);
    QFETCH(int, chosen);
    QTemporaryDir root;
    QStringList folders;
    for (const char* name : {"work", "bin", "share/reelo"}) {
      folders << QDir(root.path()).filePath(QString::fromLatin1(name));
      QDir().mkpath(folders.back());
    }
    for (int i : holding) PutPage(folders[i]);
    QCOMPARE(HelpPageUrl(folders), QUrl::fromLocalFile(folders[chosen] + "/Help/index.htm"));
  }

  void testDirectoryNamedLikeThePageIsSkipped() {
    QTemporaryDir root;
    const QStringList folders{root.filePath("a"), root.filePath("b")};
    QDir().mkpath(folders[0] + "/Help/index.htm");
    PutPage(folders[1]);
    QCOMPARE(HelpPageUrl(folders), QUrl::fromLocalFile(folders[1] + "/Help/index.htm"));
  }

  // Where installing puts the page (checked by the install test) is where
  // the installed program looks: <prefix>/share/reelo beside <prefix>/bin.
  void testInstalledProgramLooksBesideItsFolder() {
    const QStringList folders = HelpFolders();
    QCOMPARE(folders.size(), 3);
    QCOMPARE(folders[0], QDir::currentPath());
    QCOMPARE(folders[1], QCoreApplication::applicationDirPath());
    QCOMPARE(QDir(folders[1]).relativeFilePath(folders[2]), QStringLiteral("../share/reelo"));
  }

  void testHelpCommandOpensThePageOfTheCurrentFolder() {
    QTemporaryDir work;
    PutPage(work.path());
    InFolder in(work.path());
    MainWindow w;
    w.Run("helpme");
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(work.path() + "/Help/index.htm")});
    QVERIFY(w.prompts.shown.empty());
  }

  // No page anywhere: the request still goes out, and nothing is said.
  void testHelpCommandWithoutAPageSaysNothing() {
    QTemporaryDir work;
    InFolder in(work.path());
    MainWindow w;
    w.Run("helpme");
    QCOMPARE(opened.size(), 1);
    QVERIFY(w.prompts.shown.empty());
  }
};

REELO_UI_TEST_MAIN(TestHelp)
#include "help_test.moc"
