// The About window: what closes it and what does not, the stripe bands painted
// for given random numbers, and the command that shows it modally.
#include <QPointer>
#include <QTimer>

#include "ui/frame/form4_about.h"
#include "ui_test_support.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

constexpr int kGuardMs = 5000;
const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kDarkBlue = qRgb(0, 0, 128);

// Numbers handed out in order, the last one repeated; counts what was drawn.
struct Numbers {
  QList<double> values;
  int drawn = 0;
  RandomSource Source() {
    return [this] { return values.at(std::min<qsizetype>(drawn++, values.size() - 1)); };
  }
};

// A band pattern as text, one letter per band: 'a' first colouring
// (yellow above blue), 'b' second (blue above yellow).
QString Pattern(const StripeBands& bands) {
  QString text;
  for (bool second : bands) text += second ? u'b' : u'a';
  return text;
}

// Whether a band shows `upper` in its four upper rows and `lower` in the rest
// (clipped at the area's bottom), at both edges and in the middle.
bool BandPainted(const QImage& image, int band, QRgb upper, QRgb lower) {
  const int top = band * 8;
  for (int x : {0, 168, 336}) {
    for (int y = top; y < std::min(top + 8, image.height()); ++y) {
      if (image.pixel(x, y) != (y < top + 4 ? upper : lower)) return false;
    }
  }
  return true;
}

// Reads the painted stripes back as a pattern; '?' for a band that is neither.
QString PaintedPattern(QWidget* picture1) {
  const QImage image = picture1->grab().toImage();
  if (image.size() != QSize(337, 241)) return QStringLiteral("size %1x%2").arg(image.width()).arg(image.height());
  QString text;
  for (int band = 0; band < kStripeBands; ++band) {
    const bool first = BandPainted(image, band, kYellow, kDarkBlue);
    text += first ? u'a' : BandPainted(image, band, kDarkBlue, kYellow) ? u'b' : u'?';
  }
  return text;
}

QWidget* Control(QWidget& window, const char* name) {
  auto* control = window.findChild<QWidget*>(QString::fromLatin1(name));
  if (!control) qFatal("no control named %s", name);
  return control;
}

}  // namespace

class TestAbout : public QObject {
  Q_OBJECT

 private slots:
  // Steps: "key:<name>" to the focused control, "click:<control>".
  void testClosingRules_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("closes");
    QTest::newRow("any key on the stripes") << QStringList{"key:A"} << true;
    QTest::newRow("Shift alone") << QStringList{"key:Shift"} << true;
    QTest::newRow("Tab, then a key on the picture") << QStringList{"key:Tab", "key:A"} << false;
    QTest::newRow("Tab, then Escape on the picture") << QStringList{"key:Tab", "key:Escape"} << false;
    QTest::newRow("second Tab brings the stripes back") << QStringList{"key:Tab", "key:Tab", "key:Shift"} << true;
    QTest::newRow("click on the stripes") << QStringList{"click:Picture1"} << true;
    QTest::newRow("click on the picture") << QStringList{"click:Picture2"} << true;
    QTest::newRow("click on the version label") << QStringList{"click:Label2"} << false;
  }
  void testClosingRules() {
    QFETCH(QStringList, steps);
    QFETCH(bool, closes);
    Form4 about;
    about.show();
    QApplication::setActiveWindow(&about);
    QVERIFY(QTest::qWaitForWindowActive(&about));
    QCOMPARE(QApplication::focusWidget(), Control(about, "Picture1"));
    for (const QString& step : steps) {
      QVERIFY2(about.isVisible(), qPrintable("closed before " + step));
      const QString what = step.section(u':', 1);
      if (step.startsWith(u"key:")) {
        const QKeySequence key = QKeySequence::fromString(what);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key[0].key()));
      } else {
        QWidget* control = Control(about, qPrintable(what));
        QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
      }
    }
    QCOMPARE(!about.isVisible(), closes);
  }

  void testBandsForGivenNumbers_data() {
    QTest::addColumn<QList<double>>("numbers");
    QTest::addColumn<QString>("pattern");
    const QString allA(kStripeBands, u'a'), allB(kStripeBands, u'b');
    QTest::newRow("0") << QList<double>{0.0} << allA;
    QTest::newRow("just under a half") << QList<double>{0.4999999} << allA;
    QTest::newRow("exactly a half takes the second colouring") << QList<double>{0.5} << allB;
    QTest::newRow("just under 1") << QList<double>{0.9999999} << allB;
    // The last two bands alike, so row 240 shows whether the 31st was painted.
    QList<double> mixed;
    for (int band = 0; band < kStripeBands; ++band) mixed << (band % 3 == 0 ? 0.25 : band % 3 == 1 ? 0.5 : 0.75);
    QTest::newRow("mixed") << mixed << QString("abbabbabbabbabbabbabbabbabbabba");
  }
  void testBandsForGivenNumbers() {
    QFETCH(QList<double>, numbers);
    QFETCH(QString, pattern);
    Numbers source{numbers};
    Form4 about(nullptr, source.Source());
    about.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    about.Timer1_Timer();
    QCOMPARE(source.drawn, kStripeBands);
    QCOMPARE(Pattern(about.bands()), pattern);
    QCOMPARE(PaintedPattern(Control(about, "Picture1")), pattern);
  }

  // Every tick draws 31 new numbers, and the timer runs by itself.
  void testEveryTickDrawsNewBands() {
    Numbers source;
    for (int i = 0; i < kStripeBands; ++i) source.values << 0.0;
    for (int i = 0; i < kStripeBands; ++i) source.values << 0.75;
    Form4 about(nullptr, source.Source());
    about.Timer1_Timer();
    QCOMPARE(Pattern(about.bands()), QString(kStripeBands, u'a'));
    about.Timer1_Timer();
    QCOMPARE(Pattern(about.bands()), QString(kStripeBands, u'b'));
    about.show();
    QTRY_VERIFY_WITH_TIMEOUT(source.drawn >= 4 * kStripeBands, kGuardMs);
  }

  void testHelpAboutShowsItModal() {
    MainWindow w;
    QPointer<QWidget> shown;
    bool modal = false;
    QTimer::singleShot(0, [&] {
      shown = QApplication::activeModalWidget();
      if (!shown) return;
      modal = shown->isModal();
      QWidget* picture1 = shown->findChild<QWidget*>(QStringLiteral("Picture1"));
      if (picture1) QTest::mouseClick(picture1, Qt::LeftButton, {}, QPoint(5, 5));
    });
    // Whatever happens above, no dialog is left to block the test.
    QTimer::singleShot(kGuardMs, [] {
      if (QWidget* left = QApplication::activeModalWidget()) left->close();
    });
    w.Run("helpabout");
    QVERIFY(shown.isNull());  // closed and destroyed
    QVERIFY(modal);
    QVERIFY(w.form->findChildren<Form4*>().isEmpty());
    QVERIFY(w.prompts.shown.empty());
  }
};

REELO_UI_TEST_MAIN(TestAbout)
#include "about_test.moc"
