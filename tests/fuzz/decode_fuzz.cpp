// The decoder and the spectrum analysis on arbitrary recordings, with arbitrary
// bounds, scripted answers to the bad-signal question and a Stop pressed at a
// chosen moment; then the decoded records taken into a project with little or
// no room. Both runs are compared with the byte-at-a-time model, and so is the
// decoder reading the recording as a stream (as a preparation feeds it).
//
// Input: 17 steering bytes (bounds, the previous answer, the yield at which Stop
// is pressed, how full the project is, six answers, the stream's piece and
// buffer sizes), then the recording.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "reference_import.h"
#include "sound/import/loaded_blocks.h"

namespace reelo::fuzz {
namespace {

constexpr std::size_t kSteeringBytes = 17;
constexpr std::size_t kAnswerCount = 6;
constexpr std::array<int, 4> kProjectFill = {0, 500, kMaxBlocks - 1, kMaxBlocks};

struct Plan {
  PulseBounds bounds;
  PulseClass previousAnswer;
  int stopAtYield;
  int projectFill;
  Bytes answers;
  std::size_t piece;   // the stream's pieces
  std::size_t buffer;  // the reader's buffer
};

Plan PlanFrom(Steering& s) {
  Plan plan;
  plan.bounds = BoundsFrom(s);
  plan.previousAnswer = static_cast<PulseClass>(s.Next() % 4);
  plan.stopAtYield = s.Next() % 4;
  plan.projectFill = kProjectFill[s.Next() % kProjectFill.size()];
  for (std::size_t i = 0; i < kAnswerCount; ++i) plan.answers.push_back(s.Next());
  const std::uint8_t sizes = s.Next();
  plan.piece = std::size_t{1} << (sizes % 13);
  plan.buffer = std::size_t{1} << (sizes / 13 % 17);
  return plan;
}

template <typename T>
bool IsPrefix(const std::vector<T>& part, const std::vector<T>& whole) {
  return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

void CheckRecordsAreWhole(const std::vector<TapeBlock>& records) {
  FUZZ_CHECK(records.size() <= static_cast<std::size_t>(kMaxLoadedBlocks));
  for (const auto& r : records) {
    FUZZ_CHECK(r.size() >= 3);
    FUZZ_CHECK(RecordLength(r) == static_cast<int>(r.size()) - 2);
    FUZZ_CHECK(RecordLength(r) <= kMaxLoadedRecordLength);
  }
}

// Returns the records the run kept.
std::vector<TapeBlock> CheckDecode(const Bytes& rec, const std::string& path, const Plan& plan) {
  ImportState state;
  state.questionAnswer = plan.previousAnswer;
  state.loadedBlocks.push_back(MakeRecord({0xEE}));  // a previous run's record, to be replaced
  ScriptedHost host(state, AnswerScript(plan.answers), plan.stopAtYield);
  host.SetRecording(rec);
  const DecodeResult result = DecodeTape(state, plan.bounds, path, host);
  FUZZ_CHECK(result.kind == OpResult::Kind::Ok);
  FUZZ_CHECK(host.begins == 1);
  FUZZ_CHECK(host.maximum == static_cast<std::int64_t>(rec.size()));
  FUZZ_CHECK(host.trace.progress.empty() || host.trace.progress.back() <= static_cast<std::int64_t>(rec.size()) + 1);
  CheckRecordsAreWhole(state.loadedBlocks);

  RefDecoder ref(rec, plan.bounds, AnswerScript(plan.answers), plan.previousAnswer);
  ref.Run();
  const bool stoppedByWindow = plan.stopAtYield != 0 && host.yields >= plan.stopAtYield;
  if (stoppedByWindow) {
    // Abandoned at the stop check after the pulse that was being measured.
    FUZZ_CHECK(result.stopped);
    FUZZ_CHECK(IsPrefix(host.trace.lines, ref.trace.lines));
    FUZZ_CHECK(IsPrefix(state.loadedBlocks, ref.records));
    FUZZ_CHECK(IsPrefix(host.trace.questions, ref.trace.questions));
    return state.loadedBlocks;
  }
  FUZZ_CHECK(result.stopped == ref.stopped);
  FUZZ_CHECK(state.stopRequested == ref.stopped);
  FUZZ_CHECK(host.trace.lines == ref.trace.lines);
  FUZZ_CHECK(state.loadedBlocks == ref.records);
  FUZZ_CHECK(host.trace.questions == ref.trace.questions);
  return state.loadedBlocks;
}

// Samples given out in pieces, as a preparation hands them to a run.
class PieceStream final : public ByteStream {
 public:
  PieceStream(const Bytes& bytes, std::size_t from, std::size_t piece) : bytes_(bytes), at_(from), piece_(piece) {}
  std::size_t Read(std::uint8_t* dest, std::size_t size) override {
    const std::size_t n = std::min({size, piece_, bytes_.size() - std::min(at_, bytes_.size())});
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at_), n, dest);
    at_ += n;
    return n;
  }

 private:
  const Bytes& bytes_;
  std::size_t at_;
  std::size_t piece_;
};

// The recording streamed after the lead-in that stands for a header, in
// pieces and through a buffer of the plan's sizes: the model's run over the
// lead-in and the same samples, report, records and questions alike.
void CheckStreamDecode(const Bytes& rec, const Plan& plan) {
  if (rec.size() < static_cast<std::size_t>(kStreamLeadIn)) return;
  Bytes seen(static_cast<std::size_t>(kStreamLeadIn), kOutsideSample);
  seen.insert(seen.end(), rec.begin() + kStreamLeadIn, rec.end());
  PieceStream stream(rec, static_cast<std::size_t>(kStreamLeadIn), plan.piece);
  RecordingReader recording(plan.buffer);
  recording.Attach(stream, static_cast<std::int64_t>(rec.size()) - kStreamLeadIn);
  ImportState state;
  state.questionAnswer = plan.previousAnswer;
  ScriptedHost host(state, AnswerScript(plan.answers));
  host.SetRecording(seen);
  const DecodeResult result = DecodeTape(state, plan.bounds, recording, host);
  FUZZ_CHECK(result.ok() && host.begins == 1);
  CheckRecordsAreWhole(state.loadedBlocks);
  RefDecoder ref(seen, plan.bounds, AnswerScript(plan.answers), plan.previousAnswer);
  ref.Run();
  FUZZ_CHECK(result.stopped == ref.stopped);
  FUZZ_CHECK(host.trace.lines == ref.trace.lines);
  FUZZ_CHECK(state.loadedBlocks == ref.records);
  FUZZ_CHECK(host.trace.questions == ref.trace.questions);
  FUZZ_CHECK(recording.length() == static_cast<std::int64_t>(rec.size()) || result.stopped);
}

void CheckSpectrumPicture(const PulseHistogram& histogram, const PulseBounds& bounds) {
  const SpectrumPicture picture = BuildSpectrumPicture(histogram, bounds);
  const int base = kSpectrumScaleHeight - kSpectrumBaseOffset;
  FUZZ_CHECK(picture.start == (PicturePoint{0, base}));
  std::vector<int> marked;
  for (int i = 0; i < kHistogramBins; ++i) {
    const int count = histogram[static_cast<std::size_t>(i)];
    FUZZ_CHECK(picture.polyline[static_cast<std::size_t>(i)] == (PicturePoint{i, base - count}));
    if (count > 0) marked.push_back(i);
  }
  FUZZ_CHECK(picture.markedLengths == marked);
  for (int band = 0; band < 3; ++band) {
    FUZZ_CHECK(picture.bands[static_cast<std::size_t>(band)].left == bounds[2 * band]);
    FUZZ_CHECK(picture.bands[static_cast<std::size_t>(band)].right == bounds[2 * band + 1]);
  }
}

void CheckAnalysis(const Bytes& rec, const std::string& path, const Plan& plan) {
  ImportState state;
  state.pulseHistogram.fill(kHistogramCap);  // a previous analysis, to be cleared
  ScriptedHost host(state, AnswerScript{}, plan.stopAtYield);
  const OpResult result = AnalyseSpectrum(state, path, host);
  FUZZ_CHECK(result.kind == OpResult::Kind::Ok);
  FUZZ_CHECK(host.begins == 1);
  FUZZ_CHECK(host.trace.questions.empty());
  const PulseHistogram ref = RefAnalyse(rec);
  const bool stopped = plan.stopAtYield != 0 && host.yields >= plan.stopAtYield;
  for (int i = 0; i < kHistogramBins; ++i) {
    const auto bin = static_cast<std::size_t>(i);
    FUZZ_CHECK(stopped ? state.pulseHistogram[bin] <= ref[bin] : state.pulseHistogram[bin] == ref[bin]);
  }
  CheckSpectrumPicture(state.pulseHistogram, plan.bounds);
}

// The store is taken into a project that holds `fill` blocks already.
void CheckAddLoadedBlocks(const std::vector<TapeBlock>& records, int fill) {
  TapeProject project;
  for (int i = 0; i < fill; ++i) project.blocks.push_back(MakeRecord({static_cast<std::uint8_t>(i)}));
  const TapeProject before = project;
  ImportState state;
  state.loadedBlocks = records;
  const OpResult result = AddLoadedBlocks(project, state);
  const int added = std::min(static_cast<int>(records.size()), kMaxBlocks - fill);
  FUZZ_CHECK(project.blockCount() == fill + added);
  FUZZ_CHECK(std::equal(before.blocks.begin(), before.blocks.end(), project.blocks.begin()));
  FUZZ_CHECK(std::equal(records.begin(), records.begin() + added, project.blocks.begin() + fill));
  FUZZ_CHECK(result.kind == (added < static_cast<int>(records.size()) ? OpResult::Kind::Warning : OpResult::Kind::Ok));
  FUZZ_CHECK(project.modified == (added > 0));
}

}  // namespace
}  // namespace reelo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace reelo::fuzz;
  Steering steering(data, size, kSteeringBytes);
  const Plan plan = PlanFrom(steering);
  const Bytes rec = steering.payloadBytes();
  const std::string path = ScratchPath("recording.wav");
  WriteScratch(path, rec.data(), rec.size());

  const auto records = CheckDecode(rec, path, plan);
  CheckStreamDecode(rec, plan);
  CheckAnalysis(rec, path, plan);
  CheckAddLoadedBlocks(records, plan.projectFill);
  return 0;
}
