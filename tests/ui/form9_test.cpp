// The progress window: its place and controls, the exact values it is given,
// and that thousands of short steps repaint it only a few times.
#include <QElapsedTimer>

#include "ui/form9_progress.h"
#include "ui_test_support.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

// Counts the bar's paints and remembers the value each one showed.
class PaintLog : public QObject {
 public:
  explicit PaintLog(QProgressBar* bar) : bar_(bar) { bar->installEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == bar_ && event->type() == QEvent::Paint) painted << bar_->value();
    return false;
  }
  QList<int> painted;

 private:
  QProgressBar* bar_;
};

}  // namespace

class TestForm9 : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> w;
  Form9* progress = nullptr;
  QProgressBar* bar = nullptr;

 private slots:
  void init() {
    w = std::make_unique<MainWindow>();
    progress = &w->form->progressWindow();
    bar = w->Find<QProgressBar>("ProgressBar1");
  }
  void cleanup() { w.reset(); }

  void testLayout() {
    QCOMPARE(progress->parentWidget(), w->form.get());
    QVERIFY(progress->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(progress->windowType(), Qt::Tool);  // no taskbar button
    QCOMPARE(progress->size(), QSize(300, 56));
    const auto* label = w->Find<QLabel>("Label1");
    QCOMPARE(label->geometry(), QRect(0, 8, 300, 16));
    QVERIFY(label->alignment().testFlag(Qt::AlignHCenter));
    QCOMPARE(bar->geometry(), QRect(8, 24, 284, 20));
    QCOMPARE(bar->minimum(), 0);

    progress->Begin("Сохранение TAP-файла, подождите...", 5);
    QVERIFY(progress->isVisible());
    QCOMPARE(label->text(), U("Сохранение TAP-файла, подождите..."));
    const QPoint offset = progress->geometry().center() - w->form->frameGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 2, "centred on the main window");
    progress->End();
    QVERIFY(!progress->isVisible());
  }

  void testValuesAreTheSteps_data() {
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QList<int>>("steps");
    QTest::newRow("reading: next position after each record") << 50 << QList<int>{22, 29, 50};
    QTest::newRow("writing: block index from 0") << 5 << QList<int>{0, 1, 2, 3};
    QTest::newRow("export of an empty project") << 0 << QList<int>{};
    QTest::newRow("a truncated read stops short") << 1000 << QList<int>{100, 200};
  }
  void testValuesAreTheSteps() {
    QFETCH(int, maximum);
    QFETCH(QList<int>, steps);
    BarSteps seen(bar);
    progress->Begin("label", maximum);
    for (int step : steps) progress->Step(step);
    QCOMPARE(bar->maximum(), maximum);
    progress->End();
    QCOMPARE(seen.values, steps);
  }

  void testThousandsOfStepsRepaintRarely_data() {
    QTest::addColumn<int>("last");
    QTest::newRow("up to the maximum") << 10000;
    QTest::newRow("stopping short") << 5000;
  }
  void testThousandsOfStepsRepaintRarely() {
    QFETCH(int, last);
    constexpr int kMaximum = 10000;
    constexpr int kRepaintIntervalMs = 16;
    progress->Begin("label", kMaximum);
    PaintLog log(bar);
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i <= last; ++i) progress->Step(i);
    progress->End();
    const qint64 elapsed = clock.elapsed();
    // One repaint for the first step, one per interval, one for the last; Qt
    // may paint the bar twice per repaint.
    const qint64 allowed = 2 * (elapsed / kRepaintIntervalMs + 3);
    QVERIFY2(log.painted.size() <= allowed,
             qPrintable(QString("%1 paints in %2 ms").arg(log.painted.size()).arg(elapsed)));
    QVERIFY(!log.painted.isEmpty());
    QCOMPARE(log.painted.first(), 1);
    QCOMPARE(log.painted.last(), last);
  }
};

REELO_UI_TEST_MAIN(TestForm9)
#include "form9_test.moc"
