// Timings of the viewer windows (QBENCHMARK; not part of ctest):
//   the screen window's decode plus full paint, with its 128 refreshes and with
//   refreshes off as the floor; the text windows from command to closed window
//   on the largest record.
// Run a Release build: QT_QPA_PLATFORM=offscreen ui_viewers_window_bench
// (or under xvfb-run with QT_QPA_PLATFORM=xcb for a real X server's costs).
#include <QApplication>
#include <QListWidget>
#include <QTest>

#include "scripted_prompts.h"
#include "tape_builders.h"
#include "ui/app_state.h"
#include "ui/form1.h"
#include "ui/viewers/form3_screen.h"
#include "viewers/screen_view.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

constexpr int kLargestData = 65533;
constexpr std::uint8_t kLineBreak = 13;
constexpr int kTextLineLength = 64;

// Printable text in lines of 64 characters.
Bytes TextLines() {
  Bytes data(kLargestData);
  for (int i = 0; i < kLargestData; ++i) {
    data[static_cast<std::size_t>(i)] = i % kTextLineLength == kTextLineLength - 1 ? kLineBreak : 'A' + i % 26;
  }
  return data;
}

// Closes every modal window as soon as it has been shown.
class ModalCloser : public QObject {
 public:
  ModalCloser() { qApp->installEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::Show && widget && widget->isWindow() && widget->isModal()) {
      QMetaObject::invokeMethod(widget, &QWidget::close, Qt::QueuedConnection);
    }
    return false;
  }
};

}  // namespace

class BenchViewerWindows : public QObject {
  Q_OBJECT

  AppState state;
  ScriptedPrompts prompts;  // any box would fail the run instead of waiting
  std::unique_ptr<Form1> main;

  void Select(int row) {
    auto* list = main->findChild<QListWidget*>(QStringLiteral("List1"));
    list->setCurrentRow(row);
  }
  ModalCloser closer;

  // Runs a modal view command; its window closes as soon as it is shown.
  void OpenAndClose(void (Form1::*command)()) { (main.get()->*command)(); }

 private slots:
  void initTestCase() {
    main = std::make_unique<Form1>(state, prompts);
    main->show();
    state.document.Reset(reelo::TapeProject{{MakeDataBlock(RandomBytes(kScreenBytes, 7)), MakeDataBlock(RandomBytes(kLargestData, 8)),
                            MakeDataBlock(Bytes(kLargestData, 'A')), MakeDataBlock(TextLines())}});
    main->RefreshBlockList();
  }
  void cleanupTestCase() { main.reset(); }

  void screenDecodeAndPaint() {
    Select(0);
    main->viewscreen_Click();
    auto* form = main->findChild<Form3*>();
    QVERIFY(form);
    QBENCHMARK {
      form->Start(0);
      form->draw();
    }
  }
  void screenPaintWithoutRefreshes() {
    auto* form = main->findChild<Form3*>();
    QVERIFY(form);
    form->setUpdatesEnabled(false);
    QBENCHMARK { form->draw(); }
    form->setUpdatesEnabled(true);
  }
  void screenCommand() {
    Select(0);
    QBENCHMARK { main->viewscreen_Click(); }
  }
  void dumpOfLargestRecord() {
    Select(1);
    QBENCHMARK { OpenAndClose(&Form1::viewcode_Click); }
  }
  void textOfLargestRecordInLines() {
    Select(3);
    QBENCHMARK { OpenAndClose(&Form1::viewtext_Click); }
  }
  void textOfLargestRecordInOneLine() {
    Select(2);
    QBENCHMARK { OpenAndClose(&Form1::viewtext_Click); }
  }
  void listingOfLargestRecord() {
    Select(1);
    QBENCHMARK { OpenAndClose(&Form1::viewbasic_Click); }
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  BenchViewerWindows bench;
  return QTest::qExec(&bench, argc, argv);
}

#include "viewers_window_bench.moc"
