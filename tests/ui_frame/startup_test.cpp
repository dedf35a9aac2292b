// The start of a run: the splash is painted first and is gone before the main
// window exists; the pictures are in the program.
#include <QPointer>
#include <QTimer>

#include "ui/frame/form8_splash.h"
#include "ui/frame/frame_assets.h"
#include "ui_test_support.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

constexpr int kStartupWaitMs = 5000;

// Counts the paint events the splash receives, from before it exists.
class SplashPaints final : public QObject {
 public:
  SplashPaints() { qApp->installEventFilter(this); }
  ~SplashPaints() override { qApp->removeEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && qobject_cast<Form8*>(watched)) ++count;
    return false;
  }
  int count = 0;
};

bool AnySplash() {
  for (QWidget* widget : QApplication::allWidgets()) {
    if (qobject_cast<Form8*>(widget)) return true;
  }
  return false;
}

QList<QWidget*> VisibleWindows() {
  QList<QWidget*> visible;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->isVisible()) visible << window;
  }
  return visible;
}

}  // namespace

class TestStartup : public QObject {
  Q_OBJECT

 private slots:
  void testSplashThenMainWindow() {
    AppState state;
    ScriptedPrompts prompts;
    std::unique_ptr<Form1> form;
    SplashPaints splashPaints;
    int splashPaintsBeforeMain = -1;
    QList<QWidget*> visibleBeforeMain;
    bool splashAliveAtMain = true;

    StartupSequence startup([&] {
      splashPaintsBeforeMain = splashPaints.count;
      visibleBeforeMain = VisibleWindows();
      splashAliveAtMain = startup.splash() != nullptr || AnySplash();
      form = std::make_unique<Form1>(state, prompts);
      form->show();
    });
    startup.Start();

    QPointer<Form8> splash = startup.splash();
    QVERIFY(splash);
    QVERIFY(splash->isVisible());
    QVERIFY(!form);
    QVERIFY(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(splash->windowType(), Qt::SplashScreen);  // no taskbar button
    QCOMPARE(splash->size(), QSize(256, 192));

    QTRY_VERIFY_WITH_TIMEOUT(form != nullptr, kStartupWaitMs);
    QVERIFY2(!splashAliveAtMain, "the splash must be destroyed before the main window is created");
    QVERIFY2(visibleBeforeMain.isEmpty(), "a window was still on screen when the main window was created");
    QVERIFY2(splashPaintsBeforeMain > 0, "the splash went away before it was ever painted");
    QVERIFY(form->isVisible());
    QCOMPARE(VisibleWindows(), QList<QWidget*>{form.get()});
    QVERIFY(prompts.shown.empty());
  }

  // The splash is the only window when it closes; that must not end the
  // program's event loop before the main window is there.
  void testClosingTheSplashDoesNotQuit() {
    constexpr int kMainWindowRunsMs = 100;
    constexpr int kReachedMainWindow = 42;
    std::unique_ptr<QWidget> mainWindow;
    StartupSequence startup([&] {
      mainWindow = std::make_unique<QWidget>();
      mainWindow->show();
      QTimer::singleShot(kMainWindowRunsMs, [] { QCoreApplication::exit(kReachedMainWindow); });
    });
    QTimer::singleShot(kStartupWaitMs, [] { QCoreApplication::exit(-1); });
    startup.Start();
    QCOMPARE(QApplication::exec(), kReachedMainWindow);
  }

  void testPicturesAreCompiledIn() {
    for (const QPixmap& picture : {SplashPicture(), AboutPicture()}) {
      QCOMPARE(picture.size(), QSize(kScreenPictureWidth, kScreenPictureHeight));
    }
    QCOMPARE(VersionText(), U("1.2"));
  }
};

REELO_UI_TEST_MAIN(TestStartup)
#include "startup_test.moc"
