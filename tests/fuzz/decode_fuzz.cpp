// The decoder and the spectrum analysis on arbitrary recordings, with arbitrary
// bounds, scripted answers to the bad-signal question and a Stop pressed at a
// chosen moment; then the decoded records taken into a project with little or
// no room. Both runs are compared with the byte-at-a-time model.
//
// Input: 16 steering bytes (bounds, the previous answer, the yield at which Stop
// is pressed, how full the project is, six answers), then the recording.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "reference_import.h"
#include "sound/import/loaded_blocks.h"

namespace reelo::fuzz {
namespace {

constexpr std::size_t kSteeringBytes = 16;
constexpr std::size_t kAnswerCount = 6;
constexpr std::array<int, 4> kProjectFill = {0, 500, kMaxBlocks - 1, kMaxBlocks};

struct Plan {
  PulseBounds bounds;
  PulseClass previousAnswer;
  int stopAtYield;
  int projectFill;
  Bytes answers;
};

Plan PlanFrom(Steering& s) {
  Plan plan;
  plan.bounds = BoundsFrom(s);
  plan.previousAnswer = static_cast<PulseClass>(s.Next() % 4);
  plan.stopAtYield = s.Next() % 4;
  plan.projectFill = kProjectFill[s.Next() % kProjectFill.size()];
  for (std::size_t i = 0; i < kAnswerCount; ++i) plan.answers.push_back(s.Next());
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
  const OpResult result = DecodeTape(state, plan.bounds, path, host);
  FUZZ_CHECK(result.kind == OpResult::Kind::Ok);
  FUZZ_CHECK(host.locks == 1 && host.unlocks == 1);
  FUZZ_CHECK(host.maximum == static_cast<std::int64_t>(rec.size()));
  CheckRecordsAreWhole(state.loadedBlocks);

  RefDecoder ref(rec, plan.bounds, AnswerScript(plan.answers), plan.previousAnswer);
  ref.Run();
  const bool stoppedByWindow = plan.stopAtYield != 0 && host.yields >= plan.stopAtYield;
  if (stoppedByWindow) {
    // Abandoned at the stop check after the pulse that was being measured.
    FUZZ_CHECK(host.finishes == 0);
    FUZZ_CHECK(IsPrefix(host.trace.lines, ref.trace.lines));
    FUZZ_CHECK(IsPrefix(state.loadedBlocks, ref.records));
    FUZZ_CHECK(IsPrefix(host.trace.questions, ref.trace.questions));
    return state.loadedBlocks;
  }
  FUZZ_CHECK(host.finishes == (ref.stopped ? 0 : 1));
  FUZZ_CHECK(state.stopRequested == ref.stopped);
  FUZZ_CHECK(host.trace.lines == ref.trace.lines);
  FUZZ_CHECK(state.loadedBlocks == ref.records);
  FUZZ_CHECK(host.trace.progress == ref.trace.progress);
  FUZZ_CHECK(host.trace.questions == ref.trace.questions);
  return state.loadedBlocks;
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
  FUZZ_CHECK(host.locks == 1 && host.unlocks == 1 && host.finishes == 1 && host.draws >= 1);
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
  CheckAnalysis(rec, path, plan);
  CheckAddLoadedBlocks(records, plan.projectFill);
  return 0;
}
