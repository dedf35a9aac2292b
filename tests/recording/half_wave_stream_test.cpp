// The period decoder with its reading and filters on a second thread against
// the same decoding all in line: the same records whatever pieces the source
// hands out (about the blocks passed between the threads), a store that
// fills, a stop in the middle that leaves the source alone and read only a
// few blocks ahead, a source that fails, and the run's events always on the
// caller's thread.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "recording_builders.h"
#include "sound/recording/signal_decoder.h"
#include "tape_builders.h"

namespace reelo {
namespace {

constexpr int kRate = 22050;

class PieceSource final : public SampleSource {
 public:
  PieceSource(const std::vector<float>& samples, std::size_t piece) : samples_(samples), piece_(piece) {}
  int rate() const override { return kRate; }
  std::int64_t length() const override { return static_cast<std::int64_t>(samples_.size()); }
  std::size_t Read(float* out, std::size_t maxSamples) override {
    if (position_ >= failAt) throw std::runtime_error("read failed");
    if (pause.count() > 0) std::this_thread::sleep_for(pause);
    const std::size_t n = std::min({maxSamples, piece_, samples_.size() - position_});
    std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(position_), n, out);
    position_ += n;
    return n;
  }
  std::size_t position() const { return position_; }
  std::size_t failAt = static_cast<std::size_t>(-1);
  std::chrono::microseconds pause{0};

 private:
  const std::vector<float>& samples_;
  std::size_t piece_;
  std::size_t position_ = 0;
};

class Events final : public DecodeEvents {
 public:
  bool Progress(std::int64_t) override {
    if (std::this_thread::get_id() != caller_) elsewhere = true;
    return ++calls_ <= stopAfter;
  }
  void ReportLine(const std::string&) override {
    if (std::this_thread::get_id() != caller_) elsewhere = true;
  }
  int stopAfter = 1 << 30;
  bool elsewhere = false;  // an event came on another thread

 private:
  std::thread::id caller_ = std::this_thread::get_id();
  int calls_ = 0;
};

// Three records, then a long silence for a stop to land in.
const std::vector<float>& Signal() {
  static const std::vector<float> x = [] {
    std::vector<float> s = testing::RomSignal({testing::MakeHeader(3, "threads", 200),
                                               testing::MakeDataBlock(testing::RandomBytes(200, 9)),
                                               testing::MakeDataBlock(testing::RandomBytes(60, 4))},
                                              kRate, 1.0, 1200, 0.3);
    s = testing::Noisy(s, 18);
    s.resize(s.size() + kRate * 60, 0.0f);
    return s;
  }();
  return x;
}

const SignalDecodeResult& InLine() {
  static const SignalDecodeResult result = [] {
    PieceSource source(Signal(), Signal().size());
    Events events;
    SignalDecodeOptions options;
    options.secondThread = false;
    return DecodeSignal(source, events, options);
  }();
  return result;
}

// The records of a are those of b, or their first ones.
::testing::AssertionResult SameRecords(const SignalDecodeResult& a, const SignalDecodeResult& b, bool prefix) {
  if (prefix ? a.records.size() > b.records.size() : a.records.size() != b.records.size()) {
    return ::testing::AssertionFailure() << a.records.size() << " records, " << b.records.size() << " expected";
  }
  for (std::size_t i = 0; i < a.records.size(); ++i) {
    const SignalRecord &x = a.records[i], &y = b.records[i];
    if (x.bytes != y.bytes || x.confidence != y.confidence || x.pilotSample != y.pilotSample ||
        x.endSample != y.endSample || x.checksumOk != y.checksumOk) {
      return ::testing::AssertionFailure() << "record " << i << " differs";
    }
  }
  return ::testing::AssertionSuccess();
}

struct ThreadRow {
  const char* name;
  bool secondThread;
  std::size_t piece;  // samples per read of the source
  int maxRecords;
  int stopAfter;      // progress calls before the stop
  bool fails;         // the source throws a third of the way in
  // The outcome against the run in line: all its records, the first
  // maxRecords, or the first ones of a stopped run.
  bool stopped, storeFull;
};

class ThreadTable : public ::testing::TestWithParam<ThreadRow> {};

TEST_P(ThreadTable, DecodesAsInLine) {
  const ThreadRow& row = GetParam();
  ASSERT_EQ(InLine().records.size(), 3u);
  PieceSource source(Signal(), row.piece);
  if (row.fails) source.failAt = Signal().size() / 3;
  // A slow source, so that progress (every 10 ms) comes many times.
  if (row.stopAfter < (1 << 30)) source.pause = std::chrono::microseconds(300);
  Events events;
  events.stopAfter = row.stopAfter;
  SignalDecodeOptions options;
  options.secondThread = row.secondThread;
  options.maxRecords = row.maxRecords;
  if (row.fails) {
    EXPECT_THROW(DecodeSignal(source, events, options), std::runtime_error);
    return;
  }
  const SignalDecodeResult result = DecodeSignal(source, events, options);
  EXPECT_EQ(result.stopped, row.stopped);
  EXPECT_EQ(result.storeFull, row.storeFull);
  EXPECT_FALSE(events.elsewhere);
  if (row.stopped) {
    EXPECT_TRUE(SameRecords(result, InLine(), true));
    // Stopped in the middle, the source left alone once the run returned,
    // and read at most a few blocks ahead of the decoding.
    const std::size_t readThen = source.position();
    EXPECT_LT(readThen, Signal().size() / 2);
    EXPECT_LE(readThen - static_cast<std::size_t>(result.samplesRead), 9u * 65536);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(source.position(), readThen);
  } else if (row.storeFull) {
    ASSERT_EQ(result.records.size(), static_cast<std::size_t>(row.maxRecords));
    EXPECT_TRUE(SameRecords(result, InLine(), true));
  } else {
    EXPECT_TRUE(SameRecords(result, InLine(), false));
    EXPECT_EQ(result.samplesRead, static_cast<std::int64_t>(Signal().size()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ThreadTable,
    ::testing::Values(ThreadRow{"pieces_of_one", true, 1, 1000, 1 << 30, false, false, false},
                      ThreadRow{"pieces_a_block_short", true, 65535, 1000, 1 << 30, false, false, false},
                      ThreadRow{"pieces_of_a_block", true, 65536, 1000, 1 << 30, false, false, false},
                      ThreadRow{"pieces_a_block_long", true, 65537, 1000, 1 << 30, false, false, false},
                      ThreadRow{"pieces_of_a_pass_and_one", true, 4097, 1000, 1 << 30, false, false, false},
                      ThreadRow{"in_line_odd_pieces", false, 999, 1000, 1 << 30, false, false, false},
                      ThreadRow{"store_of_one", true, 4096, 1, 1 << 30, false, false, true},
                      ThreadRow{"store_of_two_in_line", false, 4096, 2, 1 << 30, false, false, true},
                      ThreadRow{"stopped_in_the_middle", true, 1000, 1000, 3, false, true, false},
                      ThreadRow{"stopped_at_once", true, 1000, 1000, 0, false, true, false},
                      ThreadRow{"source_fails", true, 5000, 1000, 1 << 30, true, false, false},
                      ThreadRow{"source_fails_in_line", false, 5000, 1000, 1 << 30, true, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo
