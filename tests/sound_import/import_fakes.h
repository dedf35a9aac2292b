// A scripted stand-in for the load-from-WAV window, and a builder for crafted
// recordings, so a test reads as "this signal gives this report".
#pragma once

#include <chrono>
#include <cstdint>
#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sound/import/import_events.h"
#include "sound/import/import_pictures.h"
#include "sound/import/recording_reader.h"
#include "sound/recording/recording_session.h"
#include "tape_builders.h"

namespace reelo::testing {

// Records every event in `calls` ("begin:Загрузка. Подождите...:1234",
// "line:Загрузка...", ...), every progress report in `progress`, answers
// questions from a script and fails the test on an unplanned one.
class FakeHost : public RecordingEvents {
 public:
  struct Question {
    std::int64_t position;
    int length;
    QuestionPicture picture;
  };

  std::vector<std::string> calls;
  std::vector<std::string> lines;
  std::vector<std::int64_t> progress;
  std::vector<Question> questions;
  std::deque<QuestionReply> replies;  // answers to the questions, in order
  std::chrono::nanoseconds interval{0};
  int yields = 0;  // progress reports: the window's turns
  bool stopAnswer = false;  // Progress answers false (the window's "Стоп") once set
  std::function<void()> onYield;
  std::function<void(const std::string&)> onLine;

  void Begin(const std::string& label, std::int64_t length) override {
    calls.push_back("begin:" + label + ":" + std::to_string(length));
  }
  bool Progress(std::int64_t position) override {
    ++yields;
    progress.push_back(position);
    if (onYield) onYield();
    return !stopAnswer;
  }
  std::chrono::nanoseconds ProgressInterval() const override { return interval; }
  void ReportLine(const std::string& line) override {
    calls.push_back("line:" + line);
    lines.push_back(line);
    if (onLine) onLine(line);
  }
  QuestionReply AskBadSignal(const BadSignalQuestion& question) override {
    questions.push_back({question.position, question.length, question.picture});
    if (replies.empty()) {
      ADD_FAILURE() << "unexpected bad-signal question: length " << question.length << " at position "
                    << question.position;
      return QuestionReply::Noise;
    }
    const QuestionReply reply = replies.front();
    replies.pop_front();
    return reply;
  }
};

// Samples given out in pieces of at most `piece` bytes, as a preparation hands
// its output to a run.
class BytesStream final : public ByteStream {
 public:
  BytesStream(Bytes bytes, std::size_t piece) : bytes_(std::move(bytes)), piece_(piece) {}
  std::size_t Read(std::uint8_t* dest, std::size_t size) override {
    const std::size_t n = std::min({size, piece_, bytes_.size() - at_});
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at_), n, dest);
    at_ += n;
    return n;
  }

 private:
  Bytes bytes_;
  std::size_t piece_;
  std::size_t at_ = 0;
};

inline constexpr std::uint8_t kLow = 95;
inline constexpr std::uint8_t kHigh = 159;
inline constexpr std::uint8_t kRest = 127;

// Samples of a crafted recording. It starts with 49 rest samples standing in
// for the header and the five samples the decoder skips, so the signal begins
// at the decoder's first position.
class Signal {
 public:
  Signal() : samples_(49, kRest) {}

  Bytes& samples() { return samples_; }

  Signal& Raw(const Bytes& bytes) {
    samples_.insert(samples_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  Signal& Level(std::uint8_t level, std::size_t count) {
    samples_.insert(samples_.end(), count, level);
    return *this;
  }
  // One cycle: n low samples, then n high; its high half measures n.
  Signal& Cycle(int n) { return Level(kLow, static_cast<std::size_t>(n)).Level(kHigh, static_cast<std::size_t>(n)); }
  Signal& Cycles(int n, int count) {
    for (int i = 0; i < count; ++i) Cycle(n);
    return *this;
  }
  Signal& Pulses(std::initializer_list<int> halfLengths) {
    for (int n : halfLengths) Cycle(n);
    return *this;
  }
  // A byte as eight bit cycles, most significant bit first.
  Signal& Byte(std::uint8_t b, int zero = 5, int one = 10) {
    for (int bit = 7; bit >= 0; --bit) Cycle((b >> bit) & 1 ? one : zero);
    return *this;
  }
  // Pilot, sync, the bytes, then one more cycle whose high half runs on into
  // a pause, as the export ends a block: that overlong pulse ends the record.
  Signal& Block(const Bytes& body, int pilotCycles = 20) {
    Cycles(13, pilotCycles).Cycle(5);
    for (auto b : body) Byte(b);
    return Cycle(5).Level(kRest, kPause);
  }

  static constexpr std::size_t kPause = 1100;

  std::filesystem::path Write(const TempDir& dir, const std::string& name = "tape.wav") const {
    const auto path = dir / name;
    WriteFileBytes(path, samples_);
    return path;
  }

 private:
  Bytes samples_;
};

// The measurement read by read, as the rules give it: find a sample of 128 or
// more (not counted), then count up to and including the first of 126 or
// less; the end test follows every read.
inline int ByteByByte(const Bytes& rec, std::int64_t& p) {
  const auto f = static_cast<std::int64_t>(rec.size());
  auto at = [&](std::int64_t q) { return q >= 1 && q <= f ? rec[static_cast<std::size_t>(q - 1)] : 127; };
  std::uint8_t v = 0;
  do {
    v = at(p++);
    if (p > f) return 0;
  } while (v < 128);
  int n = 0;
  do {
    v = at(p++);
    ++n;
    if (p >= f) return 0;
  } while (v >= 127);
  return n > 1000 ? 0 : n;
}

}  // namespace reelo::testing
