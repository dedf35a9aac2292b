// The bad-signal question: what each of its buttons and its close box make of
// the questioned pulse in a decoding run, and the view of the samples around it.
#include "import_window_support.h"
#include "sound/import/import_pictures.h"
#include "ui/import/picture_box.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

// Half-wave 8 lies between the 0 bit's bounds (2-6) and the 1 bit's (9-11).
constexpr int kGapHalf = 8;

QColor ViewAt(const Form5& question, double x, double y) {
  auto* picture = question.findChild<PictureBox*>(QStringLiteral("Picture1"));
  return picture->image().pixelColor(picture->ToPixel(x, y));
}

}  // namespace

class TestForm5 : public QObject {
  Q_OBJECT

  TempDir dir;

 private slots:
  // A record whose first bit is questioned: the answer decides the byte, ends
  // the record, or stops the run. The close box keeps the earlier answer.
  void testAnswerInTheDataPart_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("earlier");  // QuestionAnswer before the run
    QTest::addColumn<QStringList>("tail");  // the report after "Найдены данные..."
    QTest::addColumn<int>("byte");          // the record's byte, -1 for no record
    QTest::addColumn<int>("answer");        // QuestionAnswer after the run
    const QStringList oneByte = {U("          Блок данных 1 байт."), U("Загрузка завершена"), U("Найдено блоков: 1")};
    const QStringList lost = {U("Сигнал потерян..."), U("Загрузка завершена"), U("Найдено блоков: 0")};
    QTest::newRow("\"1\"") << "Command2" << 0 << oneByte << 0x80 << int{PulseOne};
    QTest::newRow("\"0\" / подготовка") << "Command3" << 0 << oneByte << 0x00 << int{PulseZero};
    QTest::newRow("Шум") << "Command4" << 0 << lost << -1 << int{PulseNoise};
    QTest::newRow("Пилот-тон ends the record") << "Command1" << 0 << lost << -1 << int{PulsePilot};
    QTest::newRow("Остановить загрузку") << "Command5" << int{PulseOne} << QStringList{} << -1 << int{PulseNoise};
    QTest::newRow("close box after \"1\"") << "close" << int{PulseOne} << oneByte << 0x80 << int{PulseOne};
    QTest::newRow("close box, no answer yet") << "close" << int{PulseNoise} << lost << -1 << int{PulseNoise};
  }
  void testAnswerInTheDataPart() {
    QFETCH(QString, button);
    QFETCH(int, earlier);
    QFETCH(QStringList, tail);
    QFETCH(int, byte);
    QFETCH(int, answer);
    const std::string wav = CraftedSignal()
                                .PilotAndSync()
                                .Pulses({kGapHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf,
                                         kZeroHalf})
                                .Overlong()
                                .Write(dir, "question.wav");
    ImportWindow w(wav);
    w.state.importState.questionAnswer = static_cast<PulseClass>(earlier);
    ModalGuard guard;
    QuestionAnswerer answerer(button);
    w.Click("Command1");
    QVERIFY(!guard.tripped);
    QCOMPARE(answerer.asked, 1);
    QCOMPARE(w.Report(), QStringList({U("Загрузка..."), U("Найдены данные...")}) + tail);
    const std::vector<TapeBlock> expected =
        byte < 0 ? std::vector<TapeBlock>{} : std::vector<TapeBlock>{MakeRawRecord({static_cast<std::uint8_t>(byte)})};
    QVERIFY(w.state.importState.loadedBlocks == expected);
    QCOMPARE(int{w.state.importState.questionAnswer}, answer);
    QCOMPARE(w.ControlState(), QStringLiteral("unlocked"));
    QCOMPARE(w.Status(), QString());
  }

  // Three records whose first bit is questioned. With the box ticked the
  // first answer stands for the rest of the run, and only that first question
  // is shown; the close box is no answer and cannot stand. The next run asks
  // afresh.
  void testAnswerForTheRestOfTheRun_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<int>("asked");  // in each of two runs
    QTest::addColumn<int>("records");
    QTest::newRow("\"1\", ticked") << "Command2" << true << 1 << 3;
    QTest::newRow("\"1\", not ticked") << "Command2" << false << 3 << 3;
    QTest::newRow("Шум, ticked") << "Command4" << true << 1 << 0;
    QTest::newRow("close box, ticked") << "close" << true << 3 << 0;
    QTest::newRow("Остановить загрузку, ticked") << "Command5" << true << 1 << 0;
  }
  void testAnswerForTheRestOfTheRun() {
    QFETCH(QString, button);
    QFETCH(bool, ticked);
    QFETCH(int, asked);
    QFETCH(int, records);
    CraftedSignal signal;
    for (int i = 0; i < 3; ++i) {
      signal.PilotAndSync()
          .Pulses({kGapHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf})
          .Overlong();
    }
    ImportWindow w(signal.Write(dir, "three.wav"));
    ModalGuard guard;
    QuestionAnswerer answerer(button, ticked);
    for (int run = 1; run <= 2; ++run) {
      w.Click("Command1");
      QVERIFY(!guard.tripped);
      QCOMPARE(answerer.asked, asked * run);
      QCOMPARE(w.state.importState.loadedBlockCount(), records);
    }
    const bool stopped = button == QLatin1String("Command5");
    QCOMPARE(w.Report().count(U("Найдены данные...")), stopped ? 1 : 3);
    QCOMPARE(w.ControlState(), QStringLiteral("unlocked"));
  }

  // The 101 samples around a pulse of 8 near the recording's end: the band
  // from x = 41 to 49, the samples in blue, the rest level where the
  // recording has ended.
  void testViewOfTheQuestionedPulse() {
    const std::string wav = CraftedSignal().Pulses({kZeroHalf, kZeroHalf, kGapHalf}).Level(kLowLevel, 3).Write(dir, "view.wav");
    RecordingReader recording;
    QVERIFY(recording.Open(wav).ok());
    // The pulse's falling sample is the first of the three lows at the end.
    const std::int64_t position = recording.length() - 1;
    Form5 question(BuildQuestionPicture(recording, position, kGapHalf), nullptr);
    QCOMPARE(question.windowTitle(), U("Плохой сигнал"));
    const QColor yellow(255, 255, 0), red(255, 0, 0), blue(0, 0, 255), white(255, 255, 255);
    QCOMPARE(ViewAt(question, 45, 40), yellow);
    QCOMPARE(ViewAt(question, 41, 40), yellow);
    QCOMPARE(ViewAt(question, 40, 40), white);
    QCOMPARE(ViewAt(question, 49, 40), yellow);
    QCOMPARE(ViewAt(question, 50, 40), white);
    // The high half-wave lies low in the picture; before the band the low half at 95.
    QCOMPARE(ViewAt(question, 45, kHighLevel), blue);
    QCOMPARE(ViewAt(question, 37, kLowLevel), blue);
    // Past the recording's end the samples are the rest level, over the red line.
    QCOMPARE(ViewAt(question, 90, kRestLevel), blue);
    QCOMPARE(ViewAt(question, 30, kRestLevel), red);
  }
};

REELO_UI_TEST_MAIN(TestForm5)
#include "form5_test.moc"
