// The screen window as the view command opens it: its layout, the picture in
// each mode square by square, mode switches without decoding again, the
// column-by-column build, and reuse of the one window.
#include <QPushButton>

#include "ui/viewers/form3_screen.h"
#include "ui_test_support.h"
#include "viewers/screen_view.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

TapeBlock SampleScreen(unsigned seed) { return MakeDataBlock(RandomBytes(kScreenBytes, seed)); }

// The first square of the image that is not the colour the core gives its
// pixel in `mode`, as "(x, y)"; empty when every square is right.
QString FirstWrongSquare(const QImage& image, const TapeBlock& block, ScreenMode mode) {
  const ScreenPicture picture = DecodeScreen(block);
  for (int x = 0; x < kScreenWidth; ++x) {
    for (int y = 0; y < kScreenHeight; ++y) {
      const std::uint32_t colour = ScreenPixelColour(picture, mode, x, y);
      const QRgb expected = qRgb(RedOf(colour), GreenOf(colour), BlueOf(colour));
      for (int d = 0; d < 4; ++d) {
        if (image.pixel(2 * x + d % 2, 25 + 2 * y + d / 2) != expected) return QStringLiteral("(%1, %2)").arg(x).arg(y);
      }
    }
  }
  return {};
}

// Counts the paints the window gets.
class PaintCount : public QObject {
 public:
  explicit PaintCount(QWidget* widget) { widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
  int count = 0;
};

}  // namespace

class TestScreenWindow : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> w;

  Form3* OpenOn(int row) {
    w->ClickLine(row);
    w->Run("viewscreen");
    return w->form->findChild<Form3*>();
  }
  void Press(Form3* form, const char* button) {
    QTest::mouseClick(form->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
  }

 private slots:
  void init() {
    w = std::make_unique<MainWindow>();
    w->SetBlocks({SampleScreen(1), SampleScreen(2)});
  }
  void cleanup() { w.reset(); }

  void testLayout() {
    Form3* form = OpenOn(0);
    QVERIFY(form);
    QVERIFY(form->isVisible());
    QVERIFY2(!form->isModal(), "the main window stays usable");
    QCOMPARE(form->parentWidget(), w->form.get());
    QCOMPARE(form->windowTitle(), U("Просмотр в виде скриншота"));
    QCOMPARE(form->size(), QSize(512, 410));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QVERIFY(!form->windowFlags().testFlag(Qt::WindowMinMaxButtonsHint));
    // Centred over the main window, within the frame's decorations.
    QVERIFY((form->frameGeometry().center() - w->form->frameGeometry().center()).manhattanLength() <= 8);
    const struct {
      const char* name;
      const char* caption;
      QRect geometry;
    } buttons[] = {{"Command1", "Закрыть", {0, 0, 72, 25}},
                   {"Command2", "Цветное изображение", {72, 0, 143, 25}},
                   {"Command3", "Чёрным по белому", {216, 0, 143, 25}},
                   {"Command4", "Белым по чёрному", {360, 0, 143, 25}}};
    for (const auto& button : buttons) {
      const auto* found = form->findChild<QPushButton*>(QString::fromLatin1(button.name));
      QVERIFY2(found, button.name);
      QCOMPARE(found->text(), U(button.caption));
      QCOMPARE(found->geometry(), button.geometry);
      QVERIFY2(found->fontMetrics().horizontalAdvance(found->text()) <= found->width() - 8, "the caption fits");
    }
  }

  void testModes_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("mode");
    QTest::newRow("Цветное изображение after another mode") << "Command2" << int(ScreenMode::Colour);
    QTest::newRow("Чёрным по белому") << "Command3" << int(ScreenMode::BlackOnWhite);
    QTest::newRow("Белым по чёрному") << "Command4" << int(ScreenMode::WhiteOnBlack);
  }
  // Every mode paints the picture decoded when the window was opened, even
  // after the block has changed since: the modes never decode again.
  void testModes() {
    QFETCH(QString, button);
    QFETCH(int, mode);
    const TapeBlock shown = w->state.project.blocks[0];
    Form3* form = OpenOn(0);
    QCOMPARE(FirstWrongSquare(form->Image(), shown, ScreenMode::Colour), QString());
    Press(form, "Command4");
    w->state.document.Replace({{0, SampleScreen(3)}});

    PaintCount paints(form);
    Press(form, qPrintable(button));
    QCOMPARE(int(form->DisplayMode()), mode);
    QCOMPARE(FirstWrongSquare(form->Image(), shown, ScreenMode(mode)), QString());
    QVERIFY2(paints.count >= 64, qPrintable(QStringLiteral("the picture builds up visibly: %1 paints").arg(paints.count)));
  }

  void testSecondCommandReusesTheWindow() {
    Form3* first = OpenOn(0);
    Press(first, "Command4");
    Form3* second = OpenOn(1);
    QCOMPARE(second, first);
    QCOMPARE(w->form->findChildren<Form3*>().size(), 1);
    QCOMPARE(second->DisplayMode(), ScreenMode::Colour);
    QCOMPARE(FirstWrongSquare(second->Image(), w->state.project.blocks[1], ScreenMode::Colour), QString());

    // Closed and opened again: the block selected now, in colour.
    Press(second, "Command1");
    QVERIFY(!second->isVisible());
    Form3* reopened = OpenOn(0);
    QVERIFY(reopened->isVisible());
    QCOMPARE(reopened->DisplayMode(), ScreenMode::Colour);
    QCOMPARE(FirstWrongSquare(reopened->Image(), w->state.project.blocks[0], ScreenMode::Colour), QString());
  }
};

REELO_UI_TEST_MAIN(TestScreenWindow)
#include "screen_window_test.moc"
