// The load-from-WAV window's defaults and takes: cleaning on for every
// recording, the bounds fitted at each run and the records read by periods,
// the bounds kept once moved by hand, other recordings of the same tape added
// as takes, and what another recording chosen clears.
// First: its signal builder names a lambda `emit`, which Qt makes a macro.
#include "../recording/recording_builders.h"

#include <QCheckBox>
#include <QRegularExpression>
#include <QScrollBar>

#include "import_window_support.h"
#include "sound/recording/recording_session.h"
#include "sound/recording/sound_file.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
constexpr int kWav8 = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;

std::vector<TapeBlock> Tape() {
  return {MakeHeader(3, "takes", 80), MakeDataBlock(RandomBytes(80, 3)), MakeDataBlock(RandomBytes(30, 4))};
}

std::vector<TapeBlock> Some(std::initializer_list<int> which) {
  const std::vector<TapeBlock> tape = Tape();
  std::vector<TapeBlock> out;
  for (int i : which) out.push_back(tape[static_cast<std::size_t>(i)]);
  return out;
}

QString Text(const ImportWindow& w, const char* label) { return w.Find<QLabel>(QString::fromLatin1(label))->text(); }

QList<int> BarValues(const ImportWindow& w) {
  QList<int> values;
  for (int i = 0; i < PulseBounds::kCount; ++i) values << w.form->Bounds()[i];
  return values;
}

// The lines with a pilot's half-wave within 1% of the ROM's 619 µs written
// "пилот-тон ROM" (the decoder measures it to a microsecond or so).
QStringList PilotsNamed(QStringList lines) {
  static const QRegularExpression pilot(QStringLiteral("пилот-тон (\\d+) мкс$"));
  for (QString& line : lines) {
    const QRegularExpressionMatch match = pilot.match(line);
    if (match.hasMatch() && std::abs(match.captured(1).toInt() - 619) <= 6) {
      line = line.left(match.capturedStart()) + QStringLiteral("пилот-тон ROM");
    }
  }
  return lines;
}

}  // namespace

class TestTakes : public QObject {
  Q_OBJECT

  TempDir dir;
  int files = 0;

  // The ROM's signal of the records as a recording (a new file each time).
  std::string Recording(const std::vector<TapeBlock>& records, int rate = 44100, int format = kWav16,
                        float gain = 0.5f) {
    const std::string path = (dir / ("take" + std::to_string(++files) + ".wav")).string();
    const std::vector<float> signal =
        records.empty() ? std::vector<float>(static_cast<std::size_t>(rate), 0.0f)
                        : Scaled(RomSignal(records, rate, 1.0, 800, 0.3), gain);
    if (!WriteRecording(path, Mono(signal, rate), format)) qFatal("cannot write %s", path.c_str());
    return path;
  }

 private slots:
  void initTestCase() { qputenv("XDG_CACHE_HOME", QByteArray::fromStdString((dir / "cache").string())); }

  // The decoder's own form as it comes: cleaning on, the bounds fitted before
  // the decoding (the bars and the spectrum show them), every record read by
  // periods with its pilot. Cleaning off is the exact path; a bound moved by
  // hand keeps the bounds and reads the pulses.
  void testDefaultsReadByPeriods() {
    const std::string path = Recording(Tape(), 22050, kWav8);
    ModalGuard guard;
    QuestionAnswerer answerer(QStringLiteral("Command4"), true);  // "Шум" for the rest of the run
    ImportWindow w(path);
    QVERIFY(w.Find<QCheckBox>(QStringLiteral("Check1"))->isChecked());
    w.Click("Command1");
    QCOMPARE(w.prompts.shown.size(), std::size_t{0});
    QVERIFY(w.state.importState.loadedBlocks == Tape());
    const QStringList report = w.Report();
    QCOMPARE(report.first(), U("Запись ") + QString::fromStdString(path) + U(": 22050 Гц, 8 бит, моно"));
    QCOMPARE(PilotsNamed(report.mid(1, 3)),
             (QStringList{U("Блок 1: 19 байт, флаг 0, контрольная сумма верна, пилот-тон ROM"),
                          U("Блок 2: 82 байт, флаг 255, контрольная сумма верна, пилот-тон ROM"),
                          U("Блок 3: 32 байт, флаг 255, контрольная сумма верна, пилот-тон ROM")}));
    QCOMPARE(report.last(), U(kPeriodsReportText));
    QVERIFY(w.state.importState.pulseHistogram != PulseHistogram{});
    QVERIFY(Text(w, "Label6").startsWith(U("Запись подготовлена: 22050 Гц, 8 бит, моно")));
    const QList<int> fitted = BarValues(w);

    w.Exact();
    w.Click("Command1");
    QCOMPARE(w.Report().first(), U("Загрузка..."));
    QCOMPARE(Text(w, "Label6"), U("Запись читается как есть, без подготовки"));

    w.Find<QCheckBox>(QStringLiteral("Check1"))->setChecked(true);
    auto* bar = w.Find<QScrollBar>(QStringLiteral("HScroll1_5"));
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    const QList<int> byHand = BarValues(w);
    QCOMPARE(byHand[5], fitted[5] + 1);
    w.Click("Command1");
    QCOMPARE(BarValues(w), byHand);
    QCOMPARE(w.Report().first(), U("Загрузка..."));
    QVERIFY(w.state.importState.loadedBlocks == Tape());

    // Another recording chosen: the window fits the bounds again.
    w.prompts.PlanFile(QString::fromStdString(Recording(Tape(), 44100)));
    w.Click("Command5");
    w.Click("Command1");
    QCOMPARE(w.Report().last(), U(kPeriodsReportText));
    QVERIFY(!guard.tripped);
  }

  // Takes of one tape that each lost a record give the whole tape, each record
  // from the take that holds it; takes that cannot help are named in a
  // message and add nothing; without cleaning only the first recording is read.
  void testTakes_data() {
    QTest::addColumn<QString>("take");  // what the second recording holds
    QTest::addColumn<bool>("clean");
    QTest::addColumn<QString>("origin");   // the third record's line ends with it
    QTest::addColumn<QString>("message");  // a part of the box shown; empty: none
    QTest::addColumn<int>("records");
    QTest::newRow("the lost record") << "first and last" << true << U("(из записи 2), пилот-тон ROM") << QString() << 3;
    QTest::newRow("another tape") << "other" << true << QString() << U("возможно, это запись другой ленты") << 2;
    QTest::newRow("silence") << "silence" << true << QString() << U("не найдено ни одного блока") << 2;
    QTest::newRow("cleaning off") << "first and last" << false << QString() << QString() << 2;
  }
  void testTakes() {
    QFETCH(QString, take);
    QFETCH(bool, clean);
    QFETCH(QString, origin);
    QFETCH(QString, message);
    QFETCH(int, records);
    const std::string first = Recording(Some({0, 1}));
    std::string second;
    if (take == "first and last") second = Recording(Some({0, 2}), 22050);
    if (take == "other") second = Recording({MakeHeader(0, "zzzzzzzzzz", 999, 7), MakeDataBlock(RandomBytes(999, 8))});
    if (take == "silence") second = Recording({});
    ModalGuard guard;
    QuestionAnswerer answerer(QStringLiteral("Command4"), true);
    ImportWindow w(first);
    w.prompts.PlanFile(QString::fromStdString(second));
    w.Click("Command8");
    QCOMPARE(Text(w, "Label11"), U("Дубли: ") + QString::fromStdString(std::filesystem::path(second).filename().string()));
    if (!clean) w.Exact();
    if (!message.isEmpty()) w.prompts.PlanAnswer(Answer::Ok);
    w.Click("Command1");
    QCOMPARE(w.prompts.shown.size(), std::size_t{message.isEmpty() ? 1u : 2u});
    if (!message.isEmpty()) {
      QVERIFY2(w.prompts.shown[1].text.contains(message), qPrintable(w.prompts.shown[1].text));
      QCOMPARE(w.prompts.shown[1].icon, BoxIcon::Warning);
    }
    QCOMPARE(w.state.importState.loadedBlockCount(), records);
    QVERIFY(w.state.importState.loadedBlocks == (records == 3 ? Tape() : Some({0, 1})));
    if (!origin.isEmpty()) QVERIFY2(PilotsNamed({w.Report()[4]})[0].endsWith(origin), qPrintable(w.Report()[4]));
    if (!clean) QCOMPARE(w.Report().last(), U(kTakesNeedPeriodsText));
    QCOMPARE(w.ControlState() + " " + w.Status(), QStringLiteral("unlocked "));
    QVERIFY(!guard.tripped);
  }

  // A take refused as it is added: a box says why and the takes stay as they
  // were. With no recording chosen there is nothing to add a take to.
  void testTakeRefused_data() {
    QTest::addColumn<QString>("take");
    QTest::addColumn<QString>("message");
    QTest::newRow("no recording chosen") << "none" << U(kChooseRecordingFirstText);
    QTest::newRow("the recording itself") << "itself" << U(kTakeAlreadyChosenText);
    QTest::newRow("unknown format") << "text" << U(kSoundUnreadableText);
    QTest::newRow("missing") << "missing" << U("Не удалось открыть звуковой файл");
  }
  void testTakeRefused() {
    QFETCH(QString, take);
    QFETCH(QString, message);
    const std::string recording = Recording(Tape());
    ImportWindow w(take == "none" ? std::string() : recording);
    const QString noTakes = Text(w, "Label11");
    std::string path = take == "itself" ? recording : (dir / "missing.wav").string();
    if (take == "text") {
      path = (dir / "text.wav").string();
      WriteFileBytes(path, Bytes(3000, 'x'));
    }
    if (take != "none") w.prompts.PlanFile(QString::fromStdString(path));
    w.prompts.PlanAnswer(Answer::Ok);
    w.Click("Command8");
    QCOMPARE(w.prompts.shown.size(), std::size_t{take == "none" ? 1u : 2u});
    QVERIFY2(w.prompts.shown.back().text.startsWith(message), qPrintable(w.prompts.shown.back().text));
    QCOMPARE(Text(w, "Label11"), noTakes);
    QCOMPARE(noTakes, U("Дубли: нет (можно добавить другие записи той же ленты)"));
  }

  // Another recording chosen: the spectrum, the quality and the takes of the
  // previous one go; choosing the same one again keeps them.
  void testAnotherRecordingClearsWhatWasShown() {
    const std::string loud = Recording(Tape());
    const std::string quiet = Recording(Tape(), 44100, kWav16, 0.05f);
    ImportWindow w;
    w.prompts.PlanFile(QString::fromStdString(loud));
    w.Click("Command5");
    w.prompts.PlanFile(QString::fromStdString(Recording(Some({0, 2}))));
    w.Click("Command8");
    w.Click("Command2");
    const QString loudQuality = Text(w, "Label7");
    const QString takes = Text(w, "Label11");
    QVERIFY(w.state.importState.pulseHistogram != PulseHistogram{});

    w.prompts.PlanFile(QString::fromStdString(loud));
    w.Click("Command5");
    QVERIFY(w.state.importState.pulseHistogram != PulseHistogram{});
    QCOMPARE(Text(w, "Label7"), loudQuality);
    QCOMPARE(Text(w, "Label11"), takes);

    w.prompts.PlanFile(QString::fromStdString(quiet));
    w.Click("Command5");
    QCOMPARE(w.state.importState.pulseHistogram, PulseHistogram{});
    QVERIFY(Text(w, "Label7") != loudQuality);
    QVERIFY(!Text(w, "Label7").isEmpty());
    QCOMPARE(Text(w, "Label11"), U("Дубли: нет (можно добавить другие записи той же ленты)"));
    QCOMPARE(w.prompts.shown.size(), std::size_t{4});
  }
};

REELO_UI_TEST_MAIN(TestTakes)
#include "form11_takes_test.moc"
