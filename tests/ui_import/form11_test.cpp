// The load-from-WAV window on its own: the sound-file button, the bound scroll
// bars and the spectrum picture, and the runs as a person sees them: locked
// controls, the bar, the report, "Стоп" and the close box during a run, and a
// recording that has gone missing. The exported recordings are read exactly as
// they stand ("Очистка сигнала" off), through the pulse decoder.
#include <QScrollBar>

#include "import_window_support.h"
#include "sound/import/tape_decoder.h"
#include "ui/import/picture_box.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

const QString kChooseCaption = U(kChooseSoundFileCaption);
const QColor kDarkBlue(0, 0, 128), kDarkCyan(0, 128, 128), kDarkMagenta(128, 0, 128), kBlack(0, 0, 0);
const QColor kMark(128, 128, 0);
constexpr int kMarkHalf = 7;
// Halfway down the spectrum: only the bands and the marks reach there.
constexpr double kMidHeight = 2500;

QColor SpectrumAt(const ImportWindow& w, double x, double y = kMidHeight) {
  auto* picture = w.Find<PictureBox>(QStringLiteral("Picture1"));
  return picture->image().pixelColor(picture->ToPixel(x, y));
}

// Two long records around two short ones: a run over it takes long enough to
// yield to the window many times, and a stop lands inside the second record.
std::vector<TapeBlock> LongTape() {
  return {MakeDataBlock(RandomBytes(64000, 1)), MakeDataBlock(RandomBytes(64000, 2)), MakeHeader(3, "code", 100),
          MakeDataBlock(RandomBytes(100, 3))};
}

const QStringList kLongTapeReport = {U("Загрузка..."),
                                     U("Найдены данные..."),
                                     U("          Блок данных 64002 байт."),
                                     U("Найдены данные..."),
                                     U("          Блок данных 64002 байт."),
                                     U("Найдены данные..."),
                                     U("          Блок данных 19 байт."),
                                     U("Найдены данные..."),
                                     U("          Блок данных 102 байт."),
                                     U("Загрузка завершена"),
                                     U("Найдено блоков: 4")};

}  // namespace

class TestForm11 : public QObject {
  Q_OBJECT

  TempDir dir;
  std::string longTape;
  std::string markedTape;  // the long tape, then pulses of a length the export never makes

 private slots:
  void initTestCase() {
    longTape = ExportedRecording(dir, "long.wav", LongTape());
    Bytes marked = ReadFileBytes(longTape);
    const std::string tail = CraftedSignal().Pulses({kMarkHalf, kMarkHalf, kMarkHalf}).Level(kLowLevel, 20).Write(dir, "tail.wav");
    const Bytes tailBytes = ReadFileBytes(tail);
    marked.insert(marked.end(), tailBytes.begin(), tailBytes.end());
    markedTape = (dir / "marked.wav").string();
    WriteFileBytes(markedTape, marked);
  }

  void testSoundFileButton_data() {
    QTest::addColumn<QString>("before");  // WavFileName when the window opens
    QTest::addColumn<QString>("chosen");  // what the dialog returns, "" when cancelled
    QTest::addColumn<QString>("caption");
    QTest::newRow("nothing chosen yet, cancelled") << "" << "" << kChooseCaption;
    QTest::newRow("nothing chosen yet, chosen") << "" << "/tmp/tapes/a.wav" << "/tmp/tapes/a.wav";
    QTest::newRow("chosen before, cancelled") << "/tmp/old.wav" << "" << "/tmp/old.wav";
    QTest::newRow("chosen before, another chosen") << "/tmp/old.wav" << "/tmp/new.wav" << "/tmp/new.wav";
  }
  void testSoundFileButton() {
    QFETCH(QString, before);
    QFETCH(QString, chosen);
    QFETCH(QString, caption);
    ImportWindow w(before.toStdString());
    QCOMPARE(w.Button("Command5")->text(), before.isEmpty() ? kChooseCaption : before);
    w.prompts.PlanFile(chosen);
    w.Click("Command5");
    QCOMPARE(w.Button("Command5")->text(), caption);
    QCOMPARE(QString::fromStdString(w.state.WavFileName), chosen.isEmpty() ? before : chosen);
    QCOMPARE(w.prompts.shown.size(), std::size_t{1});
    QCOMPARE(w.prompts.shown[0].title, U("Открыть звуковой файл WAV"));
    QCOMPARE(w.prompts.shown[0].filter, U("Звуковой файл (*.wav)|*.wav|Все файлы|*.*"));
  }

  void testScrollBarRedrawsItsBandAndLabel_data() {
    QTest::addColumn<int>("bar");
    QTest::addColumn<int>("value");
    QTest::addColumn<double>("probe");
    QTest::addColumn<QColor>("before");
    QTest::addColumn<QColor>("after");
    QTest::newRow("0 bit upper bound up") << 1 << 8 << 7.5 << kBlack << kDarkBlue;
    QTest::newRow("1 bit lower bound down") << 2 << 7 << 8.0 << kBlack << kDarkCyan;
    // A lower bound above its upper bound still shows the range between them.
    QTest::newRow("pilot lower bound above upper") << 4 << 20 << 12.5 << kDarkMagenta << kBlack;
    QTest::newRow("pilot lower bound above upper, new range") << 4 << 20 << 17.0 << kBlack << kDarkMagenta;
  }
  void testScrollBarRedrawsItsBandAndLabel() {
    QFETCH(int, bar);
    QFETCH(int, value);
    QFETCH(double, probe);
    QFETCH(QColor, before);
    QFETCH(QColor, after);
    ImportWindow w;
    QStringList labels;
    for (int i = 0; i < PulseBounds::kCount; ++i) labels << w.Find<QLabel>(QStringLiteral("Label3_%1").arg(i))->text();
    QCOMPARE(labels, (QStringList{"2", "6", "9", "11", "12", "14"}));
    QCOMPARE(SpectrumAt(w, probe), before);
    w.Find<QScrollBar>(QStringLiteral("HScroll1_%1").arg(bar))->setValue(value);
    QCOMPARE(SpectrumAt(w, probe), after);
    QCOMPARE(w.Find<QLabel>(QStringLiteral("Label3_%1").arg(bar))->text(), QString::number(value));
    QCOMPARE(w.form->Bounds()[bar], value);
  }

  void testDecodeOfAnExportedRecording() {
    ImportWindow w(longTape);
    w.Exact();
    BarSteps steps(w.Bar());
    QString during;
    AtNextTurn([&] { during = w.ControlState() + " " + w.Status(); });
    w.Click("Command1");
    QCOMPARE(during, U("locked Загрузка. Подождите..."));
    QCOMPARE(w.Report(), kLongTapeReport);
    QVERIFY(w.state.importState.loadedBlocks == LongTape());
    QCOMPARE(w.ControlState(), QStringLiteral("unlocked"));
    QCOMPARE(w.Status(), QString());
    // The bar moved, never reached the recording's length, and went back to 0.
    const qint64 length = static_cast<qint64>(std::filesystem::file_size(longTape));
    QVERIFY2(steps.values.size() > 2, "the bar did not move during the run");
    for (qsizetype i = 0; i < steps.values.size(); ++i) {
      QCOMPARE(qint64{steps.maximums[i]}, length);
      QVERIFY(qint64{steps.values[i]} < length);
    }
    QCOMPARE(steps.values.last(), 0);
  }

  // "Стоп" pressed while the second record's bytes are being read, and the
  // close box at the same moment: the run is abandoned at once and the first
  // record kept; the close box then also closes the window.
  void testStopDuringARun_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Стоп") << false;
    QTest::newRow("close box") << true;
  }
  void testStopDuringARun() {
    QFETCH(bool, closeBox);
    ImportWindow w(longTape);
    w.Exact();
    int found = 0;
    bool visibleAfterClose = false;
    w.OnReportLine([&](const QString& line) {
      if (line != U("Найдены данные...") || ++found != 2) return;
      AtNextTurn([&] {
        if (!closeBox) {
          w.Click("Command6");
          return;
        }
        w.form->close();
        visibleAfterClose = w.form->isVisible();
      });
    });
    w.Click("Command1");
    QCOMPARE(w.Report(), kLongTapeReport.mid(0, 4));
    QCOMPARE(w.state.importState.loadedBlockCount(), 1);
    QCOMPARE(w.Status(), QString());
    QCOMPARE(w.Bar()->value(), 0);
    QCOMPARE(w.ControlState(), QStringLiteral("unlocked"));
    QCOMPARE(visibleAfterClose, closeBox);
    QCOMPARE(w.form->isVisible(), !closeBox);
  }

  // The spectrum of the export (half-waves 5, 10 and 13, then the marker
  // pulses of 7 at the end) outlives the window. A stop early in the run keeps
  // and draws what was counted: some of the first pilot, no markers.
  void testAnalysis_data() {
    QTest::addColumn<bool>("stop");
    QTest::newRow("to the end") << false;
    QTest::newRow("stopped") << true;
  }
  void testAnalysis() {
    QFETCH(bool, stop);
    ImportWindow w(markedTape);
    w.Exact();
    QString during;
    AtNextTurn([&] {
      during = w.ControlState() + " " + w.Status();
      if (stop) w.Click("Command6");
    });
    w.Click("Command2");
    QCOMPARE(during, U("locked Анализ спектра. Подождите..."));
    const PulseHistogram& histogram = w.state.importState.pulseHistogram;
    QVERIFY(histogram[kPilotHalf] > 0);
    for (int length : {kZeroHalf, kOneHalf, kPilotHalf}) QCOMPARE(histogram[std::size_t(length)] == 5000, !stop);
    QCOMPARE(histogram[kMarkHalf], stop ? 0 : 3);
    QCOMPARE(SpectrumAt(w, kPilotHalf), kMark);
    QCOMPARE(SpectrumAt(w, kMarkHalf), stop ? kBlack : kMark);
    QCOMPARE(SpectrumAt(w, 8), kBlack);
    QCOMPARE(w.ControlState() + " " + w.Status(), QStringLiteral("unlocked "));
    QCOMPARE(w.Bar()->value(), 0);

    const QImage drawn = w.Find<PictureBox>(QStringLiteral("Picture1"))->image();
    w.Open();
    QCOMPARE(w.Find<PictureBox>(QStringLiteral("Picture1"))->image(), drawn);
  }

  // A recording that is gone when a run starts: the run does not start, a box
  // says which file, and the window stays as it was. With no file chosen the
  // buttons do nothing at all.
  void testMissingRecording_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("chosen");
    QTest::newRow("Загрузка") << "Command1" << true;
    QTest::newRow("Анализ спектра") << "Command2" << true;
    QTest::newRow("Загрузка, no file chosen") << "Command1" << false;
    QTest::newRow("Анализ спектра, no file chosen") << "Command2" << false;
  }
  void testMissingRecording() {
    QFETCH(QString, command);
    QFETCH(bool, chosen);
    const std::string path = chosen ? (dir / "gone.wav").string() : std::string();
    ImportWindow w(path);
    w.form->AddReportLine("earlier report");
    w.state.importState.pulseHistogram[7] = 3;
    w.state.importState.loadedBlocks = {MakeDataBlock({1})};
    if (chosen) w.prompts.PlanAnswer(Answer::Ok);
    w.Click(command.toLatin1().constData());
    QCOMPARE(w.prompts.shown.size(), std::size_t{chosen});
    if (chosen) {
      QCOMPARE(w.prompts.shown[0].text, U("Не удалось открыть звуковой файл ") + QString::fromStdString(path));
      QCOMPARE(w.prompts.shown[0].icon, BoxIcon::Critical);
      QVERIFY(!w.prompts.shown[0].detail.isEmpty());
    }
    QCOMPARE(w.ControlState(), QStringLiteral("unlocked"));
    QCOMPARE(w.Report(), QStringList{"earlier report"});
    QCOMPARE(w.state.importState.pulseHistogram[7], 3);
    QCOMPARE(w.state.importState.loadedBlockCount(), 1);
  }

  // Beside the report, how many records found carry a matching checksum; a
  // new run starts without the previous run's figures.
  void testChecksumTally_data() {
    QTest::addColumn<int>("corrupt");  // records whose checksum byte is spoilt
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("tally");
    QTest::newRow("all match") << 0 << 3 << U("Контрольная сумма верна: 3\nКонтрольная сумма неверна: 0");
    QTest::newRow("two spoilt") << 2 << 3 << U("Контрольная сумма верна: 1\nКонтрольная сумма неверна: 2");
    QTest::newRow("nothing found") << 0 << 0 << U("Контрольная сумма верна: 0\nКонтрольная сумма неверна: 0");
  }
  void testChecksumTally() {
    QFETCH(int, corrupt);
    QFETCH(int, total);
    QFETCH(QString, tally);
    std::vector<TapeBlock> blocks;
    for (int i = 0; i < total; ++i) {
      blocks.push_back(MakeDataBlock(RandomBytes(30, static_cast<unsigned>(i) + 1)));
      if (i < corrupt) blocks.back().mutableBytes().back() ^= 0x01;
    }
    const std::string wav = total == 0 ? CraftedSignal().Level(kRestLevel, 500).Write(dir, "silence.wav")
                                       : ExportedRecording(dir, "tally.wav", blocks);
    ImportWindow w(wav);
    w.Exact();
    auto* label = w.Find<QLabel>(QStringLiteral("Label8"));
    QCOMPARE(label->text(), QString());
    QString during = U("never read");
    w.OnReportLine([&](const QString& line) {
      if (line == U("Загрузка...")) during = label->text();
    });
    for (int run = 0; run < 2; ++run) {
      w.Click("Command1");
      QCOMPARE(w.state.importState.loadedBlockCount(), total);
      QCOMPARE(label->text(), tally);
      QCOMPARE(during, QString());
    }
    QCOMPARE(w.Report().last(), U("Найдено блоков:") + U(NumberText(total).c_str()));
  }

  // The report shows its last line while a run adds lines, and when it ends.
  void testReportFollowsItsLastLine() {
    CraftedSignal signal;
    for (int i = 0; i < 80; ++i) {
      signal.PilotAndSync().Pulses({kOneHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf});
      signal.Overlong();
    }
    ImportWindow w(signal.Write(dir, "eighty.wav"));
    auto* list = w.Find<QListWidget>(QStringLiteral("List1"));
    QScrollBar* scroll = list->verticalScrollBar();
    QList<bool> atBottom;
    int added = 0;
    w.OnReportLine([&](const QString&) {
      if (++added % 40 == 0) AtNextTurn([&] { atBottom << (scroll->maximum() > 0 && scroll->value() == scroll->maximum()); });
    });
    w.Click("Command1");
    QCOMPARE(w.Report().size(), 163);
    QVERIFY2(atBottom.size() >= 2, "no turn of the window was seen during the run");
    QCOMPARE(atBottom, QList<bool>(atBottom.size(), true));
    const QRect last = list->visualItemRect(list->item(list->count() - 1));
    QVERIFY(list->viewport()->rect().contains(last));
  }

  // A recording of more records than the store holds: the run ends with the
  // reason and the closing lines, and the window is free again.
  void testFullStore() {
    CraftedSignal signal;
    for (int i = 0; i <= kMaxLoadedBlocks; ++i) {
      // One record of the byte 0x80 each.
      signal.PilotAndSync().Pulses({kOneHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf});
      signal.Overlong();
    }
    ImportWindow w(signal.Write(dir, "many.wav"));
    w.Click("Command1");
    QCOMPARE(w.Report().mid(w.Report().size() - 4),
             (QStringList{U("Найдены данные..."), U("Нет места для новых блоков: загрузка остановлена"),
                          U("Загрузка завершена"), U("Найдено блоков: 1000")}));
    QCOMPARE(w.state.importState.loadedBlockCount(), kMaxLoadedBlocks);
    QCOMPARE(w.ControlState() + " " + w.Status(), QStringLiteral("unlocked "));
  }
};

REELO_UI_TEST_MAIN(TestForm11)
#include "form11_test.moc"
