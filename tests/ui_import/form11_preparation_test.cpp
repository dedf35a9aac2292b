// The load-from-WAV window with recordings as people bring them: the
// preparation controls, the prepared copy the runs read (and its removal), the
// quality report, and the fitted bounds.
#include <QCheckBox>
#include <QComboBox>
#include <QScrollBar>

#include "import_window_support.h"
#include "recording_files.h"
#include "sound/recording/recording_info.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

namespace fs = std::filesystem;

constexpr int kPcm16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
constexpr int kPcm24 = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
constexpr int kFloat = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
constexpr int kFlac = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;

std::vector<TapeBlock> Tape() {
  return {MakeHeader(3, "rescue", 300), MakeDataBlock(RandomBytes(300, 7)), MakeDataBlock(RandomBytes(40, 8))};
}

QString Text(const ImportWindow& w, const char* label) { return w.Find<QLabel>(QString::fromLatin1(label))->text(); }
QCheckBox* Clean(const ImportWindow& w) { return w.Find<QCheckBox>(QStringLiteral("Check1")); }

QComboBox* Channel(const ImportWindow& w) { return w.Find<QComboBox>(QStringLiteral("Combo1")); }

// "111" when "Очистка сигнала", "Канал" and "Подобрать границы" are all enabled.
QString PreparationControls(const ImportWindow& w) {
  return QStringLiteral("%1%2%3")
      .arg(int{Clean(w)->isEnabled()})
      .arg(int{Channel(w)->isEnabled()})
      .arg(int{w.Button("Command7")->isEnabled()});
}

// A step right and back on the first bar, as the user's own moves.
void MoveABoundByHand(const ImportWindow& w) {
  auto* bar = w.Find<QScrollBar>(QStringLiteral("HScroll1_0"));
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
}

QList<int> BarValues(const ImportWindow& w) {
  QList<int> values;
  for (int i = 0; i < PulseBounds::kCount; ++i) values << w.form->Bounds()[i];
  return values;
}

}  // namespace

class TestPreparation : public QObject {
  Q_OBJECT

  TempDir dir;
  fs::path cache;
  Bytes exported;  // the export of Tape(), 8-bit mono 22050 Hz
  std::string exportPath;
  int files = 0;

  // The export as a recording of that form (a new file each time).
  std::string Recording(const RecordingForm& form, const char* extension = ".wav") {
    const std::string path = (dir / ("rec" + std::to_string(++files) + extension)).string();
    if (!WriteRecording(path, ExportSignal(exported, form.amplitude, form.repeat), form)) qFatal("cannot write %s", path.c_str());
    return path;
  }

 private slots:
  void initTestCase() {
    cache = dir / "cache";
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache.string()));
    exportPath = ExportedRecording(dir, "export.wav", Tape());
    exported = ReadFileBytes(exportPath);
  }

  // What the window offers for each kind of recording once it is chosen:
  // cleaning on for all, the decoder's own form too, the channel only where
  // there are several, and nothing to prepare in a file of unknown format.
  void testControlsFollowTheRecording_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("cleanOn");
    QTest::addColumn<bool>("cleanEnabled");
    QTest::addColumn<bool>("channelEnabled");
    QTest::addColumn<QString>("format");  // a part of the format line
    QTest::newRow("8-bit mono 22050") << "export" << true << true << false << U("22050 Гц, 8 бит, моно");
    QTest::newRow("16-bit stereo 44100") << "pcm16" << true << true << true << U("44100 Гц, 16 бит, стерео");
    QTest::newRow("float mono 48000") << "float" << true << true << false << U("48000 Гц, 32 бит с плавающей точкой, моно");
    QTest::newRow("unknown format") << "raw" << false << false << false << U(kUnknownFormatWarning);
  }
  void testControlsFollowTheRecording() {
    QFETCH(QString, kind);
    QFETCH(bool, cleanOn);
    QFETCH(bool, cleanEnabled);
    QFETCH(bool, channelEnabled);
    QFETCH(QString, format);
    std::string path = exportPath;
    if (kind == "pcm16") path = Recording({});
    if (kind == "float") path = Recording({48000, 1, kFloat, 0, 2});
    if (kind == "raw") path = CraftedSignal().PilotAndSync().Write(dir, "raw.wav");
    ImportWindow w;
    // A choice of the user's for the previous file does not carry over.
    Clean(w)->setChecked(!cleanOn);
    Channel(w)->setCurrentIndex(2);
    w.prompts.PlanFile(QString::fromStdString(path));
    w.Click("Command5");
    QCOMPARE(Clean(w)->isChecked(), cleanOn);
    QCOMPARE(Clean(w)->isEnabled(), cleanEnabled);
    QCOMPARE(Channel(w)->currentText(), U("авто"));
    QCOMPARE(Channel(w)->isEnabled(), channelEnabled);
    QVERIFY2(Text(w, "Label5").contains(format), qPrintable(Text(w, "Label5")));
    QCOMPARE(Text(w, "Label6"), QString());
  }

  // Decoding reads the prepared copy; the window keeps showing the user's own
  // file and says in one line what was done.
  void testDecodeThroughPreparation_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("signalChannel");
    QTest::addColumn<int>("channel");  // row of "Канал"
    QTest::addColumn<bool>("clean");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("decoded");  // all records come back byte-exact
    const QString stereo16 = U("Запись подготовлена: 44100 Гц, 16 бит, стерео -> 22050 Гц, 8 бит, моно");
    QTest::newRow("16-bit stereo, signal left, auto")
        << 44100 << 2 << kPcm16 << 0 << 0 << true << stereo16 + U(" (левый канал), очистка сигнала") << true;
    QTest::newRow("16-bit stereo, signal right, auto")
        << 44100 << 2 << kPcm16 << 1 << 0 << true << stereo16 + U(" (правый канал), очистка сигнала") << true;
    QTest::newRow("16-bit stereo, signal right, left chosen")
        << 44100 << 2 << kPcm16 << 1 << 1 << true << stereo16 + U(" (левый канал), очистка сигнала") << false;
    QTest::newRow("16-bit stereo, signal left, mix")
        << 44100 << 2 << kPcm16 << 0 << 3 << true << stereo16 + U(" (смесь каналов), очистка сигнала") << true;
    QTest::newRow("24-bit mono 44100")
        << 44100 << 1 << kPcm24 << 0 << 0 << true
        << U("Запись подготовлена: 44100 Гц, 24 бит, моно -> 22050 Гц, 8 бит, моно, очистка сигнала") << true;
    QTest::newRow("FLAC mono 44100")
        << 44100 << 1 << kFlac << 0 << 0 << true
        << U("Запись подготовлена: 44100 Гц, 16 бит, моно -> 22050 Гц, 8 бит, моно, очистка сигнала") << true;
    QTest::newRow("8-bit mono 22050 as it stands")
        << 22050 << 1 << 0 << 0 << 0 << false << U("Запись читается как есть, без подготовки") << true;
    QTest::newRow("8-bit mono 22050, cleaning ticked")
        << 22050 << 1 << 0 << 0 << 0 << true
        << U("Запись подготовлена: 22050 Гц, 8 бит, моно -> 22050 Гц, 8 бит, моно, очистка сигнала") << true;
  }
  void testDecodeThroughPreparation() {
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, format);
    QFETCH(int, signalChannel);
    QFETCH(int, channel);
    QFETCH(bool, clean);
    QFETCH(QString, line);
    QFETCH(bool, decoded);
    const std::string source =
        format == 0 ? exportPath
                    : Recording({rate, channels, format, signalChannel, rate / 22050}, format == kFlac ? ".flac" : ".wav");
    ImportWindow w(source);
    Clean(w)->setChecked(clean);
    Channel(w)->setCurrentIndex(channel);
    w.Click("Command1");
    QCOMPARE(w.prompts.shown.size(), std::size_t{0});
    QCOMPARE(Text(w, "Label6"), line);
    QCOMPARE(w.state.importState.loadedBlocks == Tape(), decoded);
    QCOMPARE(w.state.WavFileName, source);
    QCOMPARE(w.Button("Command5")->text(), QString::fromStdString(source));
    const std::string prepared = w.form->prepared().path();
    QCOMPARE(prepared.empty(), format == 0 && !clean);
    if (!prepared.empty()) {
      QVERIFY(fs::is_regular_file(prepared));
      QVERIFY2(prepared.rfind(cache.string(), 0) == 0, prepared.c_str());
    }
    QCOMPARE(w.ControlState(), QStringLiteral("unlocked"));
  }

  // The copy is made once for a recording and its options, made again when
  // either changes, and removed with its folder when the window closes.
  void testPreparedCopyLivesWithTheWindow() {
    const std::string source = Recording({});
    ImportWindow w(source);
    w.Click("Command1");
    const fs::path prepared = w.form->prepared().path();
    QVERIFY(fs::is_regular_file(prepared));
    const auto madeAt = fs::last_write_time(prepared);
    const QStringList report = w.Report();

    w.Click("Command2");
    QCOMPARE(fs::last_write_time(prepared), madeAt);
    Clean(w)->setChecked(false);
    w.Click("Command1");
    QVERIFY(!Text(w, "Label6").contains(U("очистка")));
    Clean(w)->setChecked(true);
    w.Click("Command1");
    QVERIFY(Text(w, "Label6").endsWith(U(", очистка сигнала")));
    QCOMPARE(w.Report(), report);

    w.Click("Command4");
    QVERIFY(!fs::exists(prepared));
    QVERIFY(!fs::exists(prepared.parent_path()));
  }

  // A cache folder that cannot be made: the prepared samples stream into the
  // decoder without a copy, and the recording decodes all the same.
  void testUnwritableCacheFolder() {
    const fs::path blocker = dir / "a-file";
    WriteFileBytes(blocker, {1});
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString((blocker / "cache").string()));
    ImportWindow w(Recording({}));
    w.form->AddReportLine("earlier report");
    w.state.importState.loadedBlocks = {MakeDataBlock({1})};
    w.Click("Command1");
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache.string()));
    QCOMPARE(w.prompts.shown.size(), std::size_t{0});
    QVERIFY(w.state.importState.loadedBlocks == Tape());
    QCOMPARE(w.state.importState.loadedBlockCount(), 3);
    QVERIFY(!w.Report().contains("earlier report"));
    QVERIFY(w.form->prepared().path().empty());
    QCOMPARE(w.ControlState() + " " + w.Status(), QStringLiteral("unlocked "));
  }

  // "Стоп" or the close box while a long recording is being prepared: no
  // message, nothing decoded, no copy left; the close box closes the window.
  void testStopDuringPreparation_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Стоп") << false;
    QTest::newRow("close box") << true;
  }
  void testStopDuringPreparation() {
    QFETCH(bool, closeBox);
    const std::string source = (dir / "long.wav").string();
    if (!fs::exists(source)) {
      Bytes longExport = exported;
      for (int i = 0; i < 8; ++i) longExport.insert(longExport.end(), exported.begin() + 44, exported.end());
      QVERIFY(WriteRecording(source, ExportSignal(longExport, 0.5, 2), {}));
    }
    ImportWindow w(source);
    QString during;
    AtNextTurn([&] {
      during = w.ControlState() + " " + PreparationControls(w) + " " + w.Status();
      if (closeBox) {
        w.form->close();
      } else {
        w.Click("Command6");
      }
    });
    w.Click("Command1");
    // With the automatic channel the preparation measures the channels first.
    QVERIFY2(during == U("locked 000 ") + U(kPrepareStatusText) || during == U("locked 000 ") + U(kMeasureStatusText),
             qPrintable(during));
    QCOMPARE(w.prompts.shown.size(), std::size_t{0});
    QCOMPARE(w.Report(), QStringList());
    QVERIFY(!fs::exists(w.form->prepared().path()) || w.form->prepared().path().empty());
    QCOMPARE(w.ControlState() + " " + PreparationControls(w) + " " + w.Status(), QStringLiteral("unlocked 111 "));
    QCOMPARE(w.form->isVisible(), !closeBox);
  }

  // The quality report appears when a recording is chosen or analysed, with
  // warnings for a quiet or clipped one; for a file of unknown format it says
  // why not.
  void testQualityReport_data() {
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<bool>("raw");
    QTest::addColumn<bool>("chosen");  // else open with it and analyse
    QTest::addColumn<bool>("warned");
    QTest::newRow("good level") << 0.5 << false << true << false;
    QTest::newRow("too quiet") << 0.01 << false << true << true;
    QTest::newRow("clipped") << 1.0 << false << true << true;
    QTest::newRow("unknown format") << 0.5 << true << true << false;
    QTest::newRow("good level, analysed") << 0.5 << false << false << false;
    QTest::newRow("too quiet, analysed") << 0.01 << false << false << true;
    // Not prepared: measured after the analysis.
    QTest::newRow("own export, analysed") << -1.0 << false << false << false;
  }
  void testQualityReport() {
    QFETCH(double, amplitude);
    QFETCH(bool, raw);
    QFETCH(bool, chosen);
    QFETCH(bool, warned);
    RecordingForm form;
    form.amplitude = amplitude;
    std::string path = amplitude < 0 ? exportPath : Recording(form);
    if (raw) path = CraftedSignal().PilotAndSync().Write(dir, "raw-quality.wav");
    ImportWindow w(chosen ? std::string() : path);
    const QString hint = Text(w, "Label7");
    QVERIFY(!hint.isEmpty());
    if (chosen) {
      w.prompts.PlanFile(QString::fromStdString(path));
      w.Click("Command5");
    } else {
      QCOMPARE(Text(w, "Label7"), hint);
      w.Click("Command2");
    }
    QVERIFY(Text(w, "Label7") != hint);
    if (raw) QCOMPARE(Text(w, "Label7"), U("Качество не измерено: формат файла не распознан."));
    if (!raw) QVERIFY2(Text(w, "Label7").contains(U("дБ")), qPrintable(Text(w, "Label7")));
    QVERIFY2(Text(w, "Label10").isEmpty() != warned, qPrintable(Text(w, "Label10")));
    QCOMPARE(w.ControlState() + " " + w.Status(), QStringLiteral("unlocked "));
  }

  // Read through the bounds (a bound moved by hand, so the window does not fit
  // them itself): a recording made at another speed (the export played 12%
  // slow or 11% fast) fails with the default bounds; fitted bounds decode it.
  // Where there is no tape signal the bounds stay and a message says so. A new
  // window starts from the defaults again.
  void testFitBounds_data() {
    QTest::addColumn<int>("rate");  // the export, each sample twice, claimed at this rate
    QTest::addColumn<bool>("signal");
    QTest::newRow("12% slow") << 39375 << true;
    QTest::newRow("11% fast") << 48951 << true;
    QTest::newRow("silence") << 44100 << false;
  }
  void testFitBounds() {
    QFETCH(int, rate);
    QFETCH(bool, signal);
    RecordingForm form;
    form.rate = rate;
    form.amplitude = signal ? 0.5 : 0.0;
    ImportWindow w(Recording(form));
    MoveABoundByHand(w);
    const QList<int> defaults = BarValues(w);
    ModalGuard guard;
    QuestionAnswerer answerer(QStringLiteral("Command4"));
    if (signal) {
      w.Click("Command1");
      QVERIFY(w.state.importState.loadedBlocks != Tape());
    } else {
      w.prompts.PlanAnswer(Answer::Ok);
    }
    w.Click("Command7");
    QCOMPARE(w.ControlState() + " " + w.Status(), QStringLiteral("unlocked "));
    if (!signal) {
      QCOMPARE(w.prompts.shown.size(), std::size_t{1});
      QCOMPARE(w.prompts.shown[0].text, U(kNoFitText));
      QCOMPARE(BarValues(w), defaults);
      return;
    }
    QVERIFY(BarValues(w) != defaults);
    QVERIFY(w.state.importState.pulseHistogram != PulseHistogram{});
    w.Click("Command1");
    QVERIFY(w.state.importState.loadedBlocks == Tape());
    QVERIFY(!guard.tripped);
    w.Open();
    QCOMPARE(BarValues(w), defaults);
  }

  // A questioned pulse of a converted recording (cleaning off, so the pulses
  // are read with the bounds): the question is asked once and its answer goes
  // into the record, so the run read the converted copy.
  void testQuestionOnAPreparedRecording() {
    const Bytes crafted = ReadFileBytes(CraftedSignal()
                                            .PilotAndSync()
                                            .Pulses({8, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf, kZeroHalf,
                                                     kZeroHalf, kZeroHalf})
                                            .Overlong()
                                            .Write(dir, "question-source.raw"));
    const std::string path = (dir / "question.wav").string();
    // The crafted bytes stand in for an export here: its first 44 are rest.
    QVERIFY(WriteRecording(path, ExportSignal(crafted, 0.5, 2), {}));
    ImportWindow w(path);
    w.Exact();
    ModalGuard guard;
    QuestionAnswerer answerer(QStringLiteral("Command2"));
    w.Click("Command1");
    QVERIFY(!guard.tripped);
    QCOMPARE(answerer.asked, 1);
    QVERIFY(w.state.importState.loadedBlocks == std::vector<TapeBlock>{MakeRawRecord({0x80})});
  }
};

REELO_UI_TEST_MAIN(TestPreparation)
#include "form11_preparation_test.moc"
