// The help page: which file is found for each place the page may be, and the
// program's own help window that shows it.
#include <QDesktopServices>
#include <QDir>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolButton>

#include "ui/frame/help_page.h"
#include "ui/frame/help_window.h"
#include "ui_test_support.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

void PutPage(const QString& folder) {
  QDir(folder).mkpath(QStringLiteral("Help"));
  WriteFileBytes(QDir(folder).filePath(QString::fromLatin1(kHelpPagePath)).toStdString(), {'<', 'p', '>'});
}

void WriteText(const QString& path, const char* text) {
  const std::string bytes(text);
  WriteFileBytes(path.toStdString(), Bytes(bytes.begin(), bytes.end()));
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

  // F1 shows the page in the program's own window, whatever the desktop has
  // for HTML files: nothing is handed to the desktop, nothing is said.
  void testHelpCommandOpensThePageOfTheCurrentFolder() {
    QTemporaryDir work;
    PutPage(work.path());
    InFolder in(work.path());
    MainWindow w;
    w.Run("helpme");
    auto* help = w.form->findChild<HelpWindow*>("HelpWindow");
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->browser()->source(), QUrl::fromLocalFile(work.path() + "/Help/index.htm"));
    QVERIFY(opened.isEmpty());
    QVERIFY(w.prompts.shown.empty());
  }

  // No page anywhere: F1 still answers, with a box that says where the page
  // was looked for, and no empty window.
  void testHelpCommandWithoutAPageSaysNothing() {
    QTemporaryDir work;
    InFolder in(work.path());
    MainWindow w;
    w.prompts.PlanAnswer(Answer::Ok);
    w.Run("helpme");
    QVERIFY(opened.isEmpty());
    QCOMPARE(w.prompts.Summaries(), QStringList{U("box Справка")});
    QCOMPARE(w.prompts.shown[0].text, U("Страница справки не найдена."));
    QCOMPARE(w.prompts.shown[0].icon, BoxIcon::Warning);
    for (const QString& folder : HelpFolders()) {
      QVERIFY2(w.prompts.shown[0].detail.contains(QDir::cleanPath(folder + "/Help/index.htm")), qPrintable(folder));
    }
    QVERIFY(!w.form->findChild<HelpWindow*>("HelpWindow"));
  }

  // The help window as a person uses it: links reached with Tab and followed
  // with Enter, back and forward, the page's own pictures.
  void testHelpWindowLinks_data() {
    QTest::addColumn<int>("tabs");  // Tab presses before Enter: the n-th link
    QTest::addColumn<QString>("reached");
    QTest::newRow("another page") << 1 << "Help/other.htm";
    QTest::newRow("a part of another page") << 2 << "Help/other.htm#part";
    QTest::newRow("a page in a folder below") << 3 << "Help/more/deep.htm";
  }
  void testHelpWindowLinks() {
    QFETCH(int, tabs);
    QFETCH(QString, reached);
    QTemporaryDir work;
    const QString help = work.filePath("Help");
    QDir().mkpath(help + "/more");
    WriteText(help + "/index.htm",
              "<html><body><h1>Reelo</h1><img src=\"pic.png\" width=\"40\" height=\"40\">"
              "<p><a href=\"other.htm\">one</a> <a href=\"other.htm#part\">two</a> "
              "<a href=\"more/deep.htm\">three</a></p></body></html>");
    WriteText(help + "/other.htm", "<html><body><p>other</p><h2 id=\"part\">part</h2></body></html>");
    WriteText(help + "/more/deep.htm", "<html><body><p>deep</p></body></html>");
    QImage red(40, 40, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(help + "/pic.png"));
    InFolder in(work.path());
    MainWindow w;
    w.Run("helpme");
    auto* window = w.form->findChild<HelpWindow*>("HelpWindow");
    QVERIFY(window);
    QTextBrowser* browser = window->browser();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    // The picture beside the page is on the screen.
    const QImage shown = browser->viewport()->grab().toImage();
    bool sawRed = false;
    for (int y = 0; y < shown.height() && !sawRed; ++y) {
      for (int x = 0; x < shown.width() && !sawRed; ++x) sawRed = shown.pixelColor(x, y) == QColor(Qt::red);
    }
    QVERIFY2(sawRed, "the page's picture is not shown");

    auto* back = window->findChild<QToolButton*>("HelpBack");
    auto* forward = window->findChild<QToolButton*>("HelpForward");
    QVERIFY(!back->isEnabled() && !forward->isEnabled());
    browser->setFocus();
    for (int i = 0; i < tabs; ++i) QTest::keyClick(browser, Qt::Key_Tab);
    QTest::keyClick(browser, Qt::Key_Return);
    QUrl expected = QUrl::fromLocalFile(work.path() + "/" + reached.section(u'#', 0, 0));
    if (reached.contains(u'#')) expected.setFragment(reached.section(u'#', 1));
    QCOMPARE(browser->source(), expected);
    QVERIFY(back->isEnabled());
    QTest::mouseClick(back, Qt::LeftButton);
    QCOMPARE(browser->source(), QUrl::fromLocalFile(help + "/index.htm"));
    QVERIFY(forward->isEnabled());
    QTest::mouseClick(forward, Qt::LeftButton);
    QCOMPARE(browser->source(), expected);

    // F1 again brings back the same window with the start page.
    w.Run("helpme");
    QCOMPARE(w.form->findChildren<HelpWindow*>().size(), 1);
    QCOMPARE(browser->source(), QUrl::fromLocalFile(help + "/index.htm"));
    QVERIFY(opened.isEmpty());
  }

  // Every link within the program's own page leads to a place the help
  // window can scroll to, and every picture it names is there.
  void testProgramsPageHoldsItsLinks() {
    HelpWindow window(nullptr);
    QVERIFY(window.ShowPage(QUrl::fromLocalFile(QStringLiteral(REELO_SOURCE_DIR "/Help/index.htm"))));
    QTextDocument* document = window.browser()->document();
    QSet<QString> anchors;
    QStringList links;
    QStringList pictures;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat format = it.fragment().charFormat();
        for (const QString& name : format.anchorNames()) anchors << name;
        if (format.isAnchor() && format.anchorHref().startsWith(u'#')) links << format.anchorHref().mid(1);
        if (format.isImageFormat()) pictures << format.toImageFormat().name();
      }
    }
    QVERIFY(links.size() >= 10);
    for (const QString& link : links) QVERIFY2(anchors.contains(link), qPrintable("no place named " + link));
    for (const QString& picture : pictures) {
      QVERIFY2(!document->resource(QTextDocument::ImageResource, QUrl(picture)).value<QImage>().isNull(),
               qPrintable("no picture " + picture));
    }
  }
};

REELO_UI_TEST_MAIN(TestHelp)
#include "help_test.moc"
