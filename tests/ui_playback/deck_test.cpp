// The tape deck over a fake sound output: what it feeds the output, where it
// holds, how its controls move the position, and how it ends on a failure or
// an edit. No sound server, no windows.
#include <QSignalSpy>
#include <QTest>

#include "fake_audio_output.h"
#include "project/tape_document.h"
#include "tape_builders.h"
#include "playback_qt/tape_deck.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::FakeAudioOutput;

// A header, its data, and one more data block.
TapeProject ThreeBlocks() {
  TapeProject project;
  project.blocks = {testing::MakeHeader(3, "deck", 5), testing::MakeDataBlock({1, 2, 3, 4, 5}),
                    testing::MakeDataBlock(testing::RandomBytes(40, 7))};
  return project;
}

// The samples of the tape from block first on, straight from the generator.
Bytes Reference(const TapeProject& project, const SignalOptions& options, int first) {
  TapeSignalStream stream(project, options, first);
  Bytes all(static_cast<std::size_t>((stream.totalSamples() - stream.position()) * stream.bytesPerSample()));
  std::size_t at = 0;
  while (std::size_t n = stream.Read(all.data() + at, all.size())) at += n * static_cast<std::size_t>(stream.bytesPerSample());
  all.resize(at);
  return all;
}

std::uint64_t StartOf(const TapeProject& project, const SignalOptions& options, int block) {
  return TapeSignalStream(project, options).blockStart(block);
}

// Tells the deck when the document's blocks change, as the main window does.
struct DeckFollowsDocument : TapeDocumentListener {
  DeckFollowsDocument(TapeDocument& document, TapeDeck& deck) : document(document), deck(deck) {
    document.AddListener(*this);
  }
  ~DeckFollowsDocument() override { document.RemoveListener(*this); }
  void TapeChanged(const TapeChange& change) override {
    if (change.blocks) deck.TapeChanged();
  }
  void ModifiedChanged(bool) override {}
  void HistoryChanged() override {}
  TapeDocument& document;
  TapeDeck& deck;
};

}  // namespace

class DeckTest : public QObject {
  Q_OBJECT

 private slots:
  void testFeedsTheTapeFromTheChosenBlock_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("rom");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<int>("chunk");
    QTest::newRow("whole tape, sound card reads") << 0 << 22050 << 8 << false << false << 441;
    QTest::newRow("from the third block, odd reads") << 2 << 22050 << 8 << false << false << 997;
    QTest::newRow("from the second block, one sample a read") << 1 << 22050 << 8 << false << false << 1;
    QTest::newRow("16 bits, 44100 Hz, ROM timings, inverted") << 0 << 44100 << 16 << true << true << 512;
  }
  void testFeedsTheTapeFromTheChosenBlock() {
    QFETCH(int, first);
    QFETCH(int, rate);
    QFETCH(int, bits);
    QFETCH(bool, rom);
    QFETCH(bool, inverted);
    QFETCH(int, chunk);
    const TapeProject project = ThreeBlocks();
    const SignalOptions options{rate, bits, inverted, rom ? SignalTimings::Rom : SignalTimings::Exact};
    FakeAudioOutput output;
    TapeDeck deck(project, output);
    deck.setOptions(options);
    QSignalSpy finished(&deck, &TapeDeck::Finished);
    QVERIFY(deck.Play(first));
    QCOMPARE(output.format(), (AudioFormat{rate, bits}));
    Bytes heard;
    output.Play(UINT64_MAX, &heard, static_cast<std::size_t>(chunk));
    QVERIFY(heard == Reference(project, options, first));
    output.lag = 1;  // the last sample is still in the sound card
    deck.Poll();
    QCOMPARE(deck.state(), DeckState::Playing);
    QCOMPARE(finished.count(), 0);
    output.lag = 0;
    deck.Poll();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(deck.state(), DeckState::Stopped);
    QVERIFY(!output.playing());
  }

  // The deck stops at the end of every block: the output gets exactly one
  // block's samples, the deck then waits at the next block's start.
  void testPausesAfterEachBlock_data() {
    QTest::addColumn<int>("first");
    QTest::newRow("from the first block") << 0;
    QTest::newRow("from the second block") << 1;
  }
  void testPausesAfterEachBlock() {
    QFETCH(int, first);
    const TapeProject project = ThreeBlocks();
    const SignalOptions options;
    FakeAudioOutput output;
    TapeDeck deck(project, output);
    deck.setPauseAfterBlock(true);
    QSignalSpy finished(&deck, &TapeDeck::Finished);
    QVERIFY(deck.Play(first));
    for (int block = first; block < 3; ++block) {
      const std::uint64_t length = StartOf(project, options, block + 1) - StartOf(project, options, block);
      QCOMPARE(output.PlayAll(), length);
      deck.Poll();
      if (block == 2) break;
      QVERIFY(deck.heldAfterBlock());
      QCOMPARE(deck.block(), block + 1);
      QCOMPARE(deck.position(), StartOf(project, options, block + 1));
      QCOMPARE(output.PlayAll(), std::uint64_t{0});  // nothing more until Continue
      deck.Continue();
      QCOMPARE(deck.state(), DeckState::Playing);
    }
    QCOMPARE(finished.count(), 1);
    QCOMPARE(deck.state(), DeckState::Stopped);
    QCOMPARE(output.starts, 1);  // one stream for the whole tape: the pauses are silence, not restarts
  }

  // A stop of the tape (a pause of 0 ms, a stop in 48K mode) stops the deck
  // after its second of silence, as "pause after each block" does, and
  // Continue plays on; without one the tape plays through.
  void testStopsAtAStopOfTheTape_data() {
    QTest::addColumn<int>("stopKind");  // 0: none, 0x20: pause of 0 ms, 0x2A: stop in 48K mode
    QTest::newRow("pause of 0 ms") << 0x20;
    QTest::newRow("stop in 48K mode") << 0x2A;
    QTest::newRow("no stop") << 0;
  }
  void testStopsAtAStopOfTheTape() {
    QFETCH(int, stopKind);
    TapeProject project = ThreeBlocks();
    if (stopKind != 0) {
      const std::vector<std::uint8_t> head = stopKind == 0x20 ? std::vector<std::uint8_t>{0, 0}
                                                                : std::vector<std::uint8_t>{0, 0, 0, 0};
      project.blocks.insert(project.blocks.begin() + 2,
                            TapeBlock({}, std::make_shared<const KeptFields>(
                                              KeptFields{static_cast<std::uint8_t>(stopKind), head})));
    }
    const SignalOptions options;
    FakeAudioOutput output;
    TapeDeck deck(project, output);
    QSignalSpy finished(&deck, &TapeDeck::Finished);
    QVERIFY(deck.Play(0));
    if (stopKind != 0) {
      QCOMPARE(output.PlayAll(), StartOf(project, options, 3));
      QCOMPARE(StartOf(project, options, 3) - StartOf(project, options, 2), std::uint64_t{22050});
      deck.Poll();
      QVERIFY(deck.heldAfterBlock());
      QCOMPARE(deck.block(), 3);
      deck.Continue();
    }
    QCOMPARE(output.PlayAll() + (stopKind != 0 ? StartOf(project, options, 3) : 0),
             TapeSignalStream(project, options).totalSamples());
    deck.Poll();
    QCOMPARE(finished.count(), 1);
  }

  // Steps: "play N" (block N, 0-based), "hear N" (samples), "pause",
  // "continue", "next", "prev", "stop", "after" (pause after each block on).
  // Expected: the state, the block, and the position as block + offset.
  void testControls_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("offset");  // samples after the block's start
    auto row = [](const char* name, const char* steps, DeckState state, int block, int offset) {
      QTest::newRow(name) << QString::fromLatin1(steps).split(' ') << static_cast<int>(state) << block << offset;
    };
    row("playing moves with the sound", "play 0 hear 1000", DeckState::Playing, 0, 1000);
    row("pause holds the position", "play 0 hear 1000 pause hear 500", DeckState::Paused, 0, 1000);
    row("continue goes on from there", "play 0 hear 1000 pause continue hear 500", DeckState::Playing, 0, 1500);
    row("next starts the next block", "play 0 hear 1000 next", DeckState::Playing, 1, 0);
    row("next on the last block does nothing", "play 2 hear 10 next", DeckState::Playing, 2, 10);
    row("previous goes one block back", "play 2 hear 10 prev", DeckState::Playing, 1, 0);
    row("previous on the first block restarts it", "play 0 hear 5000 prev", DeckState::Playing, 0, 0);
    row("next while paused waits there", "play 0 hear 10 pause next", DeckState::Paused, 1, 0);
    row("and continue plays it", "play 0 hear 10 pause next continue hear 20", DeckState::Playing, 1, 20);
    row("stop", "play 1 hear 10 stop", DeckState::Stopped, -1, 0);
    row("a block past the end plays the last", "play 9", DeckState::Playing, 2, 0);
    row("the option set while playing holds after this block", "play 0 hear 10 after hear 99999999",
        DeckState::Paused, 1, 0);
  }
  void testControls() {
    QFETCH(QStringList, steps);
    QFETCH(int, state);
    QFETCH(int, block);
    QFETCH(int, offset);
    const TapeProject project = ThreeBlocks();
    FakeAudioOutput output;
    TapeDeck deck(project, output);
    for (int i = 0; i < steps.size(); ++i) {
      const QString& step = steps[i];
      if (step == "play") deck.Play(steps[++i].toInt());
      if (step == "hear") output.Play(steps[++i].toULongLong());
      if (step == "pause") deck.Pause();
      if (step == "continue") deck.Continue();
      if (step == "next") deck.NextBlock();
      if (step == "prev") deck.PreviousBlock();
      if (step == "stop") deck.Stop();
      if (step == "after") deck.setPauseAfterBlock(true);
      deck.Poll();
    }
    QCOMPARE(static_cast<int>(deck.state()), state);
    QCOMPARE(deck.block(), block);
    const std::uint64_t start = block < 0 ? 0 : StartOf(project, deck.options(), block);
    QCOMPARE(deck.position(), start + static_cast<std::uint64_t>(offset));
  }

  void testFailureStopsAndTellsWhy_data() {
    QTest::addColumn<bool>("atStart");
    QTest::newRow("the output refuses the stream") << true;
    QTest::newRow("the device goes away while playing") << false;
  }
  void testFailureStopsAndTellsWhy() {
    QFETCH(bool, atStart);
    const TapeProject project = ThreeBlocks();
    const TapeProject before = project;
    FakeAudioOutput output;
    TapeDeck deck(project, output);
    QSignalSpy failed(&deck, &TapeDeck::Failed);
    const std::string reason = "звуковой сервер не принял поток";
    if (atStart) output.refusal = reason;
    QCOMPARE(deck.Play(0), !atStart);
    if (!atStart) {
      output.Play(3000);
      output.Fail(reason);
    }
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().first().toString(), QString::fromStdString(reason));
    QCOMPARE(deck.state(), DeckState::Stopped);
    QCOMPARE(deck.block(), -1);
    QVERIFY(project.blocks == before.blocks);
  }

  // The deck reads the blocks as it plays: told of any edit of the document's
  // blocks, it must not read one more sample, and it stops.
  void testEditStopsPlayback_data() {
    QTest::addColumn<int>("edit");
    QTest::newRow("a block deleted") << 0;
    QTest::newRow("a block added") << 1;
    QTest::newRow("a block replaced") << 2;
    QTest::newRow("two blocks swapped") << 3;
  }
  void testEditStopsPlayback() {
    QFETCH(int, edit);
    TapeDocument document;
    document.Reset(ThreeBlocks());
    FakeAudioOutput output;
    TapeDeck deck(document.project(), output);
    DeckFollowsDocument follows(document, deck);
    deck.Play(1);
    output.Play(100);
    EditResult result;
    switch (edit) {
      case 0: result = document.Delete({1}); break;
      case 1: result = document.Insert(3, {testing::MakeDataBlock({9})}); break;
      case 2: result = document.Replace({{1, testing::MakeDataBlock({5, 4, 3, 2, 1})}}); break;
      case 3: result = document.Move(1, 1, +1); break;
    }
    QVERIFY(result.changed);
    QCOMPARE(output.Play(1000), std::uint64_t{0});
    QCOMPARE(deck.state(), DeckState::Stopped);
    deck.Poll();
    QCOMPARE(deck.state(), DeckState::Stopped);
  }

  // A tape of 1000 blocks: the length is the sum of the blocks, and playing
  // starts without making any sound ahead.
  void testLongTapeStartsAtOnce() {
    TapeProject project;
    for (int i = 0; i < kMaxBlocks; ++i) project.blocks.push_back(testing::MakeDataBlock(testing::RandomBytes(200, i)));
    FakeAudioOutput output;
    TapeDeck deck(project, output);
    QVERIFY(deck.Play(kMaxBlocks - 1));
    QCOMPARE(deck.length(), ProjectSignalSamples(project, SignalOptions{}));
    QCOMPARE(deck.blockCount(), kMaxBlocks);
    QCOMPARE(deck.position(), deck.length() - BlockSignalSamples(project.blocks.back(), SignalOptions{}));
    QCOMPARE(deck.block(), kMaxBlocks - 1);
    output.PlayAll();
    deck.Poll();
    QCOMPARE(deck.state(), DeckState::Stopped);
  }

  // Nobody calls Poll here: the deck's own timer moves it on, to the end of
  // the tape, and to the hold after a block under the option.
  void testTimerPollsWhileNotStopped_data() {
    QTest::addColumn<bool>("pauseAfterBlock");
    QTest::newRow("to the end") << false;
    QTest::newRow("to the hold after the first block") << true;
  }
  void testTimerPollsWhileNotStopped() {
    QFETCH(bool, pauseAfterBlock);
    const TapeProject project = ThreeBlocks();
    FakeAudioOutput output;
    TapeDeck deck(project, output);
    deck.setPauseAfterBlock(pauseAfterBlock);
    QSignalSpy finished(&deck, &TapeDeck::Finished);
    QVERIFY(deck.Play(0));
    output.PlayAll();
    if (pauseAfterBlock) {
      QTRY_VERIFY(deck.heldAfterBlock());
      QCOMPARE(deck.block(), 1);
      deck.Continue();
      output.PlayAll();
      QTRY_VERIFY(deck.heldAfterBlock());
      QCOMPARE(deck.block(), 2);
      deck.Continue();
      output.PlayAll();
    }
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(deck.state(), DeckState::Stopped);
  }

  void testClockText_data() {
    QTest::addColumn<qulonglong>("samples");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("text");
    QTest::newRow("start") << 0ull << 22050 << "00:00";
    QTest::newRow("a sample short of a second") << 22049ull << 22050 << "00:00";
    QTest::newRow("one second") << 22050ull << 22050 << "00:01";
    QTest::newRow("a minute and a half") << 90ull * 22050 << 22050 << "01:30";
    QTest::newRow("past an hour") << (100ull * 60 + 5) * 48000 << 48000 << "100:05";
  }
  void testClockText() {
    QFETCH(qulonglong, samples);
    QFETCH(int, rate);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(ClockText(samples, rate)), text);
  }
};

}  // namespace reelo

QTEST_GUILESS_MAIN(reelo::DeckTest)
#include "deck_test.moc"
