// A plain, byte-at-a-time model of the import, written straight from the rules
// the import follows (no buffer, no pacing, the whole recording in memory), and
// a scripted window for the real runs. The fuzz targets run both on the same
// recording and demand the same pulses, records and report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "sound/import/import_events.h"
#include "sound/import/import_pictures.h"
#include "sound/import/import_pictures.h"
#include "sound/import/import_state.h"
#include "sound/import/pulse_classifier.h"
#include "sound/import/pulse_measure.h"
#include "sound/import/recording_reader.h"
#include "sound/import/pulse_histogram.h"
#include "sound/import/tape_decoder.h"

namespace reelo::fuzz {

// Sample p (1-based) of the recording; the rest level outside it.
inline std::uint8_t RefSample(const Bytes& rec, std::int64_t p) {
  return p >= 1 && p <= static_cast<std::int64_t>(rec.size()) ? rec[static_cast<std::size_t>(p - 1)] : 127;
}

// The measurement read by read: find a sample of 128 or more (not counted),
// then count up to and including the first sample of 126 or less. The end test
// follows every read.
inline int RefMeasurePulse(const Bytes& rec, std::int64_t& p) {
  const auto f = static_cast<std::int64_t>(rec.size());
  std::uint8_t v = 0;
  do {
    v = RefSample(rec, p++);
    if (p > f) return 0;
  } while (v < 128);
  int n = 0;
  do {
    v = RefSample(rec, p++);
    ++n;
    if (p >= f) return 0;
  } while (v >= 127);
  return n > 1000 ? 0 : n;
}

// The classes in their test order; nothing when the user has to be asked.
inline std::optional<PulseClass> RefClassifyLength(int n, const PulseBounds& b, bool dataFound) {
  auto in = [n](int low, int high) { return low <= n && n <= high; };
  if (!dataFound && in(b[4], b[5])) return PulsePilot;
  if (in(b[2], b[3])) return PulseOne;
  if (in(b[0], b[1])) return PulseZero;
  if (n < b[0] || n > b[5]) return PulseNoise;
  return std::nullopt;
}

// Answers to the bad-signal question, taken in turn and repeated.
class AnswerScript {
 public:
  AnswerScript() = default;
  explicit AnswerScript(Bytes codes) : codes_(std::move(codes)) {}
  QuestionReply Next() {
    if (codes_.empty()) return QuestionReply::Noise;
    const std::uint8_t code = codes_[next_++ % codes_.size()];
    return static_cast<QuestionReply>(code % 6);
  }

 private:
  Bytes codes_;
  std::size_t next_ = 0;
};

struct Asked {
  std::int64_t position;
  int length;
  bool operator==(const Asked&) const = default;
};

// What a run shows: the report, the progress positions, the questions.
struct RunTrace {
  std::vector<std::string> lines;
  std::vector<std::int64_t> progress;
  std::vector<Asked> questions;
};

// The window, scripted: answers from the script, an optional stop from the
// Stop button at the n-th progress report, and the protocol checked on the
// way (the run begins before anything else, and only once).
class ScriptedHost final : public ImportEvents {
 public:
  ScriptedHost(ImportState& state, AnswerScript answers, int stopAtYield = 0)
      : state_(state), answers_(std::move(answers)), stopAtYield_(stopAtYield) {}

  RunTrace trace;
  int begins = 0, yields = 0;
  std::int64_t maximum = -1;

  void Begin(const std::string&, std::int64_t length) override {
    ++begins;
    maximum = length;
  }
  bool Progress(std::int64_t position) override {
    FUZZ_CHECK(begins == 1);
    FUZZ_CHECK(trace.progress.empty() || position >= trace.progress.back());
    trace.progress.push_back(position);
    if (++yields == stopAtYield_) state_.stopRequested = true;
    return true;
  }
  std::chrono::nanoseconds ProgressInterval() const override { return std::chrono::nanoseconds{0}; }
  void ReportLine(const std::string& line) override { trace.lines.push_back(line); }
  QuestionReply AskBadSignal(const BadSignalQuestion& question) override {
    FUZZ_CHECK(begins == 1);
    trace.questions.push_back({question.position, question.length});
    const QuestionPicture& picture = question.picture;
    FUZZ_CHECK(picture.bandRight == kQuestionEndX && picture.bandLeft == kQuestionEndX - question.length);
    for (int i = 0; i < kQuestionSampleCount; ++i) {
      FUZZ_CHECK(picture.samples[static_cast<std::size_t>(i)] ==
                 RefSample(recording_, question.position - kQuestionSamplesBefore + i));
    }
    return answers_.Next();
  }

  // The recording's bytes, for checking the question's picture.
  void SetRecording(const Bytes& recording) { recording_ = recording; }

 private:
  ImportState& state_;
  AnswerScript answers_;
  int stopAtYield_;
  Bytes recording_;
};

// The decoder run as the rules give it, step by step.
class RefDecoder {
 public:
  RefDecoder(const Bytes& rec, const PulseBounds& bounds, AnswerScript answers, PulseClass previousAnswer)
      : rec_(rec), bounds_(bounds), answers_(std::move(answers)), answer_(previousAnswer) {}

  RunTrace trace;
  std::vector<TapeBlock> records;
  bool stopped = false;

  void Run() {
    trace.lines.push_back(kReportLoading);
    if (!Records()) {
      stopped = true;
      return;
    }
    trace.lines.push_back(kReportFinished);
    trace.lines.push_back(BlocksFoundLine(static_cast<int>(records.size())));
  }

 private:
  bool AtEnd() const { return pos_ > static_cast<std::int64_t>(rec_.size()); }

  // Classifies the next pulse; false once a stop was asked for.
  bool Classify(PulseClass& pc) {
    const int n = RefMeasurePulse(rec_, pos_);
    if (auto found = RefClassifyLength(n, bounds_, dataFound_)) {
      pc = *found;
      return true;
    }
    trace.questions.push_back({pos_, n});
    const QuestionReply reply = answers_.Next();
    if (reply == QuestionReply::StopLoading) {
      answer_ = PulseNoise;
      pc = PulseNoise;
      return false;
    }
    if (reply != QuestionReply::Closed) answer_ = static_cast<PulseClass>(static_cast<int>(reply));
    pc = answer_;
    return true;
  }

  void Step() {
    ++pulses_;
  }

  bool Search(PulseClass wanted) {
    PulseClass pc = PulseNoise;
    do {
      if (!Classify(pc)) return false;
      Step();
    } while (!AtEnd() && pc != wanted);
    return true;
  }

  // False on a stop. Returns through ended whether the record is over.
  bool Byte(Bytes& record, bool& ended) {
    std::uint8_t b = 0;
    for (int i = 0; i < 8; ++i) {
      PulseClass pc = PulseNoise;
      if (!Classify(pc)) return false;
      if (pc != PulseOne && pc != PulseZero) {
        ended = true;
        return true;
      }
      if (pc == PulseOne) b = static_cast<std::uint8_t>(b | (0x80 >> i));
    }
    record.push_back(b);
    ended = record.size() >= static_cast<std::size_t>(kMaxLoadedRecordLength);
    return true;
  }

  bool Record() {
    Bytes body;
    bool ended = false;
    while (!AtEnd() && !ended) {
      if (!Byte(body, ended)) return false;
      if (ended && body.empty()) trace.lines.push_back(kReportSignalLost);
      if (ended && !body.empty()) {
        records.push_back(MakeRecord(body));
        trace.lines.push_back(BlockReportLine(static_cast<int>(body.size())));
      }
      Step();
    }
    return true;
  }

  bool Records() {
    while (!AtEnd()) {
      dataFound_ = false;
      if (!Search(PulsePilot)) return false;
      if (AtEnd()) break;
      if (!Search(PulseZero)) return false;
      if (AtEnd()) break;
      dataFound_ = true;
      trace.lines.push_back(kReportDataFound);
      if (records.size() >= static_cast<std::size_t>(kMaxLoadedBlocks)) {
        trace.lines.push_back(kReportStoreFull);
        return true;
      }
      if (!Record()) return false;
    }
    return true;
  }

  const Bytes& rec_;
  const PulseBounds bounds_;
  AnswerScript answers_;
  PulseClass answer_;
  std::int64_t pos_ = kDecodeStartPosition;
  long long pulses_ = 0;
  bool dataFound_ = false;
};

// The analysis as the rules give it: every pulse from position 44 counted.
inline PulseHistogram RefAnalyse(const Bytes& rec) {
  PulseHistogram histogram{};
  std::int64_t p = kAnalysisStartPosition;
  while (p <= static_cast<std::int64_t>(rec.size())) {
    const int n = RefMeasurePulse(rec, p);
    if (n < kHistogramBins && histogram[static_cast<std::size_t>(n)] < kHistogramCap) ++histogram[static_cast<std::size_t>(n)];
  }
  return histogram;
}

// Six bounds from the steering bytes: each 0..40, in any order.
inline PulseBounds BoundsFrom(Steering& steering) {
  PulseBounds bounds;
  const bool defaults = steering.Next() % 4 == 0;  // the bounds a user rarely changes, often
  for (auto& v : bounds.value) {
    const int b = steering.NextInRange(PulseBounds::kMinimum, PulseBounds::kMaximum);
    if (!defaults) v = b;
  }
  return bounds;
}

}  // namespace reelo::fuzz
