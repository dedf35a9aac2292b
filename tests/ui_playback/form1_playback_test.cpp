// The main window's "Лента" controls over a fake sound output: which controls
// can be used when, the line of the block being played, the status bar's
// block and time, the failure message, and the sound output window.
#include <QComboBox>
#include <QSlider>

#include "fake_audio_output.h"
#include "ui/playback/deck_window.h"
#include "playback_qt/tape_deck.h"
#include "ui_test_support.h"

namespace reelo::testing {
namespace {

// An empty data block: a record of flag FF and checksum FF, 49437 samples
// (2.24 s) of sound, so three of them last 148311 samples (6.7 s).
constexpr std::uint64_t kEmptyBlockSamples = 49437;

std::vector<TapeBlock> EmptyBlocks(int count) { return std::vector<TapeBlock>(count, MakeDataBlock({})); }

// The main window playing through a fake output, which outlives it.
struct DeckWindowFixture {
  FakeAudioOutput output;
  MainWindow w;
  DeckWindowFixture() { w.form->UseAudioOutput(output); }
  TapeDeck& deck() { return w.form->deck(); }
  // Lets the output play samples, then the deck look at it (as its timer does).
  void Hear(std::uint64_t samples) {
    output.Play(samples);
    deck().Poll();
  }
  int HighlightedLine() const {
    int found = -1;
    for (int i = 0; i < w.List()->count(); ++i) {
      if (w.List()->item(i)->background().style() == Qt::NoBrush) continue;
      if (found >= 0) return -2;  // more than one line lit
      found = i;
    }
    return found;
  }
  QString Status() const {
    const auto* label = w.Find<QLabel>("StatusBar1_Deck");
    return label->isVisible() ? label->text() : QString();
  }
  // Steps as in the tests' tables: "blocks N", "click N", "play", "hear N",
  // "hearall", "pause", "stop", "after" (the option "Пауза после каждого блока").
  void Run(const QString& script) {
    const QStringList steps = script.split(' ', Qt::SkipEmptyParts);
    for (int i = 0; i < steps.size(); ++i) {
      const QString& step = steps[i];
      if (step == "blocks") w.SetBlocks(EmptyBlocks(steps[++i].toInt()));
      if (step == "click") w.ClickLine(steps[++i].toInt());
      if (step == "play") w.Run("tapeplay");
      if (step == "hear") Hear(steps[++i].toULongLong());
      if (step == "hearall") Hear(UINT64_MAX);
      if (step == "pause") w.Run("tapepause");
      if (step == "stop") w.Run("tapestop");
      if (step == "after") w.Run("tapepauseafter");
    }
  }
};

QString U8(const char* text) { return QString::fromUtf8(text); }

}  // namespace

class Form1PlaybackTest : public QObject {
  Q_OBJECT

 private slots:
  // Enabled controls as a word: the deck's buttons that can be pressed, then
  // "edits" when the commands that change the blocks can be used.
  void testControlStates_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("enabled");
    QTest::addColumn<QString>("pauseCaption");
    QTest::newRow("empty project") << "" << "edits" << U8("Пауза");
    QTest::newRow("blocks, stopped") << "blocks 3" << "play edits" << U8("Пауза");
    QTest::newRow("playing") << "blocks 3 play hear 100" << "pause stop prev next" << U8("Пауза");
    QTest::newRow("paused") << "blocks 3 play hear 100 pause" << "pause stop prev next" << U8("Продолжить");
    QTest::newRow("held after a block") << "blocks 3 after play hearall" << "pause stop prev next" << U8("Продолжить");
    QTest::newRow("on the last block") << "blocks 3 click 2 play" << "pause stop prev" << U8("Пауза");
    QTest::newRow("stopped") << "blocks 3 play hear 100 stop" << "play edits" << U8("Пауза");
    QTest::newRow("played to the end") << "blocks 2 play hearall" << "play edits" << U8("Пауза");
    QTest::newRow("project emptied") << "blocks 2 blocks 0" << "edits" << U8("Пауза");
  }
  void testControlStates() {
    QFETCH(QString, script);
    QFETCH(QString, enabled);
    QFETCH(QString, pauseCaption);
    DeckWindowFixture f;
    f.Run(script);
    QStringList shown;
    for (const char* name : {"play", "pause", "stop", "prev", "next"}) {
      if (f.w.Action((std::string("tape") + name).c_str())->isEnabled()) shown << name;
    }
    // Every command that changes the blocks, in the menu and on the toolbar.
    bool edits = true, locked = true;
    for (const char* name : {"filenew", "fileopen", "loadwav", "editup", "editdowd", "editdel", "editadd",
                             "editprops", "editmake", "toolsksum"}) {
      (f.w.Action(name)->isEnabled() ? locked : edits) = false;
    }
    QVERIFY2(edits || locked, "some edit commands are locked, some not");
    if (edits) shown << "edits";
    QCOMPARE(shown.join(' '), enabled);
    QCOMPARE(f.w.Action("tapepause")->text(), pauseCaption);
  }

  // The lit line and the status bar follow the sound.
  void testPlayingBlockAndTime_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("status");
    QTest::newRow("from the first block") << "blocks 3 play" << 0 << U8("Блок 1 из 3   00:00 / 00:06");
    QTest::newRow("a block later") << "blocks 3 play hear 49437" << 1 << U8("Блок 2 из 3   00:02 / 00:06");
    QTest::newRow("from the selected block") << "blocks 3 click 2 play hear 22050" << 2
                                             << U8("Блок 3 из 3   00:05 / 00:06");
    QTest::newRow("paused") << "blocks 3 play hear 30000 pause hear 50000" << 0
                            << U8("Блок 1 из 3   00:01 / 00:06   Пауза");
    QTest::newRow("held after the first block") << "blocks 3 after play hearall" << 1
                                                << U8("Блок 2 из 3   00:02 / 00:06   Пауза");
    QTest::newRow("a tape of 1000 blocks") << "blocks 1000 click 999 play" << 999
                                           << U8("Блок 1000 из 1000   37:19 / 37:22");
    QTest::newRow("stopped") << "blocks 3 play hear 60000 stop" << -1 << QString();
    QTest::newRow("played to the end") << "blocks 3 play hearall" << -1 << QString();
  }
  void testPlayingBlockAndTime() {
    QFETCH(QString, script);
    QFETCH(int, line);
    QFETCH(QString, status);
    DeckWindowFixture f;
    f.Run(script);
    QCOMPARE(f.HighlightedLine(), line);
    QCOMPARE(f.Status(), status);
    // The summary panels give way to the deck's line while it plays.
    QCOMPARE(f.w.Find<QLabel>("StatusBar1_Panel1")->isVisible(), status.isEmpty());
    QVERIFY(f.w.state.project.blocks == EmptyBlocks(f.w.state.project.blockCount()));
  }

  void testNoSoundDevice_data() {
    QTest::addColumn<bool>("atStart");
    QTest::newRow("refused when playing starts") << true;
    QTest::newRow("gone while playing") << false;
  }
  void testNoSoundDevice() {
    QFETCH(bool, atStart);
    DeckWindowFixture f;
    f.w.SetBlocks(EmptyBlocks(2), true);
    const QString reason = U8("звуковой сервер недоступен или в системе нет устройств вывода звука");
    if (atStart) f.output.refusal = reason.toStdString();
    f.w.prompts.PlanAnswer(Answer::Ok);
    f.w.Run("tapeplay");
    if (!atStart) {
      f.Hear(60000);
      QCOMPARE(f.HighlightedLine(), 1);
      f.output.Fail(reason.toStdString());
    }
    QCOMPARE(f.w.prompts.shown.size(), std::size_t{1});
    const ShownPrompt& box = f.w.prompts.shown.front();
    QCOMPARE(box.text, U8("Нет устройства для вывода звука"));
    QCOMPARE(box.detail, reason);
    QCOMPARE(box.icon, BoxIcon::Critical);
    QCOMPARE(f.deck().state(), DeckState::Stopped);
    QVERIFY(f.w.Action("tapeplay")->isEnabled());
    QVERIFY(f.w.Action("editdel")->isEnabled());
    QCOMPARE(f.HighlightedLine(), -1);
    QCOMPARE(f.Status(), QString());
    QVERIFY(f.w.state.project.modified);
    QCOMPARE(f.w.state.project.blockCount(), 2);
  }

  // Volume acts at once; the signal's form from the next Play.
  void testSoundOutputWindow() {
    DeckWindowFixture f;
    f.w.SetBlocks(EmptyBlocks(1));
    f.w.Run("tapeoutput");
    auto* window = f.w.form->findChild<DeckWindow*>(QStringLiteral("DeckWindow"));
    QVERIFY(window && window->isVisible());
    window->findChild<QSlider*>(QStringLiteral("DeckVolume"))->setValue(40);
    QCOMPARE(f.output.volume, 0.4);
    auto choose = [window](const char* name, int value) {
      auto* combo = window->findChild<QComboBox*>(QString::fromLatin1(name));
      combo->setCurrentIndex(combo->findData(value));
    };
    choose("DeckRate", 44100);
    choose("DeckBits", 16);
    f.w.Run("tapeplay");
    QCOMPARE(f.output.format(), (AudioFormat{44100, 16}));
    QCOMPARE(f.deck().length(), kEmptyBlockSamples * 2);  // the same tape, twice the rate
  }
};

}  // namespace reelo::testing

REELO_UI_TEST_MAIN(reelo::testing::Form1PlaybackTest)
#include "form1_playback_test.moc"
