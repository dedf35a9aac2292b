// The BASIC listing, text and dump windows as their commands open them: the
// selection rule, what each shows and where, closing by "Закрыть", the
// progress window during the build, and the resize and activation rules.
#include <QPlainTextEdit>
#include <QScreen>

#include "modal_visit.h"
#include "ui/form9_progress.h"
#include "ui/viewers/form3_screen.h"
#include "ui/viewers/text_view_window.h"
#include "ui_test_support.h"

Q_DECLARE_METATYPE(reelo::TapeBlock)

using namespace reelo;
using namespace reelo::testing;

namespace {

// What a viewer window shows while it is open, in comparable words.
struct Seen {
  QString name;
  QString title;
  QString text;
  QString layout;  // client size | button | text area
  QString traits;
  QPoint centre;
  bool progressVisible = true;
};

QString Rect(const QRect& r) { return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()); }

Seen Look(QWidget* window, const Form9& progress) {
  const auto* text = window->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
  const auto* button = window->findChild<QPushButton*>(QStringLiteral("Command1"));
  if (!text || !button) return {};
  // A proportional face would break the dump's columns.
  const QFontMetrics metrics(text->font());
  const bool fixedPitch = metrics.horizontalAdvance(u'i') == metrics.horizontalAdvance(u'W');
  const bool wraps = text->lineWrapMode() != QPlainTextEdit::NoWrap;
  const bool scrollsAcross = text->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
  QStringList traits{window->windowModality() == Qt::ApplicationModal ? "modal" : "modeless",
                     window->parentWidget() ? "owned" : "unowned", text->isReadOnly() ? "read-only" : "editable",
                     fixedPitch ? "fixed-pitch" : "proportional", wraps ? "wraps" : "no wrap",
                     scrollsAcross ? "scrolls across" : "no horizontal bar"};
  return {window->objectName(),
          window->windowTitle(),
          text->toPlainText(),
          Rect(window->rect()) + " | " + Rect(button->geometry()) + " | " + Rect(text->geometry()),
          traits.join(u' '),
          window->frameGeometry().center(),
          progress.isVisible()};
}

QString DumpText(const char* rows) {
  return U(" Адрес |   1   2   3   4   5   6   7   8   9  10  11  12  13  14  15  16  17  18  19  20\n"
           "-------+--------------------------------------------------------------------------------\n") +
         U(rows);
}

const char* const kViewCommands[] = {"viewcode", "viewtext", "viewbasic", "viewscreen"};

}  // namespace

class TestTextWindows : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> w;

  // Opens the view `command` on the only block and records the window.
  Seen Open(const char* command, const TapeBlock& block, bool* forced = nullptr) {
    w->SetBlocks({block});
    w->ClickLine(0);
    Seen seen;
    ModalVisit visit([&](QWidget* window) { seen = Look(window, w->form->progressWindow()); });
    w->Run(command);
    if (forced) *forced = visit.forced() || !visit.visited();
    return seen;
  }

 private slots:
  void init() { w = std::make_unique<MainWindow>(); }
  void cleanup() {
    QVERIFY2(w->prompts.Unused().isEmpty(), qPrintable("planned but not shown: " + w->prompts.Unused()));
    w.reset();
  }

  void testNoBlockSelected_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("clickedBeforeRebuild");
    for (const char* command : kViewCommands) {
      QTest::addRow("%s, nothing selected", command) << QString::fromLatin1(command) << false;
      QTest::addRow("%s, list rebuilt since the click", command) << QString::fromLatin1(command) << true;
    }
  }
  void testNoBlockSelected() {
    QFETCH(QString, command);
    QFETCH(bool, clickedBeforeRebuild);
    w->SetBlocks({MakeDataBlock({1, 2, 3}), MakeDataBlock({4, 5})});
    if (clickedBeforeRebuild) {
      w->ClickLine(1);
      w->form->RefreshBlockList();
    }
    w->prompts.PlanAnswer(Answer::Ok);
    ModalVisit visit(nullptr);
    w->Run(qPrintable(command));

    QCOMPARE(w->prompts.Summaries(), QStringList{U("box Reelo")});
    QCOMPARE(w->prompts.shown.front().text, U("Блок не выбран"));
    QCOMPARE(w->prompts.shown.front().buttons, Buttons::Ok);
    QCOMPARE(w->prompts.shown.front().icon, BoxIcon::None);
    QVERIFY2(!visit.visited(), "no viewer window opens");
    QVERIFY(!w->form->findChild<Form3*>());
  }

  void testWindowShowsTheBlock_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<TapeBlock>("block");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("wrapping");
    QTest::addColumn<bool>("centredOnScreen");  // else over the main window
    const QString wraps = "wraps no horizontal bar", noWrap = "no wrap scrolls across";
    // 10 PRINT "A", then a line cut off after its number.
    const TapeBlock program = MakeDataBlock({0x00, 0x0A, 0x06, 0x00, 0xF5, 0x22, 0x41, 0x22, 0x0D, 0x00, 0x14});
    QTest::newRow("listing: CR LF and the cut line's LF each end one line")
        << "viewbasic" << program << "Form2" << U("Просмотр в виде BASIC-листинга")
        << U("   10 PRINT \"A\"\n   20\n") << wraps << true;
    QTest::newRow("text: byte 13 ends one line") << "viewtext" << MakeDataBlock({72, 105, 13, 0, 200}) << "Form6"
                                                 << U("Просмотр в виде текста") << U("Hi\n__") << wraps << false;
    QTest::newRow("text: no data") << "viewtext" << MakeRawRecord({0xFF, 0xFF}) << "Form6"
                                   << U("Просмотр в виде текста") << QString() << wraps << false;
    QTest::newRow("dump: one short row") << "viewcode" << MakeDataBlock({1, 2, 255}) << "Form7"
                                         << U("Просмотр 10-ричного кода") << DumpText("     0 |   1   2 255")
                                         << noWrap << false;
  }
  void testWindowShowsTheBlock() {
    QFETCH(QString, command);
    QFETCH(TapeBlock, block);
    QFETCH(QString, name);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QString, wrapping);
    QFETCH(bool, centredOnScreen);
    bool forced = false;
    const Seen seen = Open(qPrintable(command), block, &forced);

    QVERIFY2(!forced, "the window opened and closed on Закрыть");
    QCOMPARE(seen.name, name);
    QCOMPARE(seen.title, title);
    QCOMPARE(seen.text, text);
    QCOMPARE(seen.layout, U("0,0 800x600 | 0,0 72x25 | 0,24 800x575"));
    QCOMPARE(seen.traits, "modal unowned read-only fixed-pitch " + wrapping);
    QVERIFY2(!seen.progressVisible, "the progress window has gone before the viewer shows");
    const QPoint expectedCentre = centredOnScreen ? QGuiApplication::primaryScreen()->availableGeometry().center()
                                                  : w->form->frameGeometry().center();
    // Within the frame's decorations, which are not known before it shows.
    QVERIFY2((seen.centre - expectedCentre).manhattanLength() <= 8, "centred where it belongs");
    // Closed means gone: nothing is left behind to show an old block.
    for (QWidget* window : QApplication::topLevelWidgets()) QVERIFY(window->objectName() != name);
  }

  void testProgressWhileBuilding_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<int>>("values");
    const QList<int> steps{256, 512, 768};  // block bytes 3..1002
    QTest::newRow("text") << "viewtext" << steps;
    QTest::newRow("dump") << "viewcode" << steps;
    QTest::newRow("listing builds without it") << "viewbasic" << QList<int>{};
  }
  void testProgressWhileBuilding() {
    QFETCH(QString, command);
    QFETCH(QList<int>, values);
    BarSteps bar(w->Find<QProgressBar>("ProgressBar1"));
    Open(qPrintable(command), MakeDataBlock(Bytes(1000, 65)));

    QList<int> positive;  // the bar's reset before the first step is not a step
    for (int value : bar.values) {
      if (value > 0) positive << value;
    }
    QCOMPARE(positive, values);
    if (values.isEmpty()) return;
    QCOMPARE(bar.maximums.last(), 1002);
    QCOMPARE(w->Find<QLabel>("Label1")->text(), U("Подготовка..."));
    QVERIFY(!w->form->progressWindow().isVisible());
  }

  void testResizeRule() {
    const QSize clients[] = {{1000, 700}, {300, 26}, {200, 25}, {150, 10}, {640, 480}};
    const QRect expected[] = {{0, 24, 1000, 675}, {0, 24, 300, 1}, {0, 24, 200, 1}, {0, 24, 150, 1}, {0, 24, 640, 455}};
    QList<QRect> areas;
    w->SetBlocks({MakeDataBlock({65, 66})});
    w->ClickLine(0);
    ModalVisit visit([&](QWidget* window) {
      const auto* text = window->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
      for (const QSize& client : clients) {
        window->resize(client);
        QApplication::processEvents();
        areas << text->geometry();
      }
    });
    w->Run("viewtext");
    QVERIFY(!visit.forced());
    QCOMPARE(areas, QList<QRect>(std::begin(expected), std::end(expected)));
  }

  // The user cannot edit the text, but whatever happened to it, the next
  // activation shows the block's text again.
  void testActivationReplacesTheText() {
    QString afterActivation;
    w->SetBlocks({MakeDataBlock({1, 2, 3})});
    w->ClickLine(0);
    ModalVisit visit([&](QWidget* window) {
      auto* text = window->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
      text->setPlainText(QStringLiteral("stale"));
      QWidget other(window, Qt::Window);  // a window the modal one does not block
      other.show();
      other.activateWindow();
      QTest::qWait(20);
      window->activateWindow();
      QTest::qWait(20);
      afterActivation = text->toPlainText();
    });
    w->Run("viewcode");
    QVERIFY(!visit.forced());
    QCOMPARE(afterActivation, DumpText("     0 |   1   2   3"));
  }
};

REELO_UI_TEST_MAIN(TestTextWindows)
#include "text_windows_test.moc"
