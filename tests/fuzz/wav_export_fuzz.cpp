// The export of arbitrary projects, whole records and damaged ones (a length
// field that promises more bytes than the block holds): the signal streamed to
// a sink that only looks at it, through chunks of arbitrary size, must be the
// tape's runs exactly and as long as announced in advance; a small project is
// also saved as a WAV file and decoded back into its records.
//
// Input: 2 steering bytes (the sink's chunk size), then the blocks, each led
// by a kind byte: 00xxxxxx a record of x body bytes, 01...... a record of a
// 16-bit length (up to 4 KB), 10xxxxxx a damaged block (any length field, x
// bytes behind it), 11...... a record of header length.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "reference_import.h"
#include "sound/export/sample_sink.h"
#include "sound/export/tape_signal.h"
#include "sound/export/wav_writer.h"

namespace reelo::fuzz {
namespace {

constexpr std::size_t kSteeringBytes = 2;
constexpr int kMaxProjectBlocks = 16;
constexpr int kMaxLongBody = 4096;
constexpr std::uint64_t kStreamBudget = std::uint64_t{4} << 20;     // samples streamed per execution
constexpr std::uint64_t kCheckedBudget = std::uint64_t{1} << 20;    // of those, compared run by run
constexpr std::uint64_t kRoundTripBudget = std::uint64_t{1} << 19;  // saved and decoded

using Run = std::pair<std::uint8_t, std::uint32_t>;  // level, samples

// The blocks the input describes.
std::vector<TapeBlock> BlocksFrom(Steering& s) {
  std::vector<TapeBlock> blocks;
  Steering body(s.payload(), s.payloadSize(), s.payloadSize());
  auto take = [&body](std::size_t n) {
    Bytes bytes;
    for (std::size_t i = 0; i < n; ++i) bytes.push_back(body.Next());
    return bytes;
  };
  while (!body.exhausted() && blocks.size() < kMaxProjectBlocks) {
    const std::uint8_t kind = body.Next();
    switch (kind >> 6) {
      case 0: blocks.push_back(MakeRecord(take(kind & 0x3F))); break;
      case 1: blocks.push_back(MakeRecord(take(static_cast<std::size_t>(body.NextWord() % kMaxLongBody)))); break;
      case 2: {
        TapeBlock damaged = take(2);
        const Bytes rest = take(kind & 0x3F);
        damaged.insert(damaged.end(), rest.begin(), rest.end());
        blocks.push_back(damaged);
        break;
      }
      default: blocks.push_back(MakeRecord(take(kHeaderRecordLength))); break;
    }
  }
  return blocks;
}

// The runs of one block as the tape has them: pilot, sync, the record's bytes
// after the length field and one 0 byte, most significant bit first, pause.
// The numbers are written out here rather than taken from the code under test,
// so a wrong constant there cannot agree with itself.
void AppendExpectedRuns(const TapeBlock& block, std::vector<Run>& runs) {
  auto cycle = [&runs](std::uint32_t half) {
    runs.emplace_back(kLowLevel, half);
    runs.emplace_back(kHighLevel, half);
  };
  const int length = RecordLength(block);
  for (int i = 0; i < (length == kHeaderRecordLength ? 3001 : 1501); ++i) cycle(13);
  cycle(5);
  for (int i = 0; i <= length; ++i) {
    const std::uint8_t b = i < length ? ByteAt(block, 2 + i) : 0;
    for (int bit = 7; bit >= 0; --bit) cycle((b >> bit) & 1 ? 10 : 5);
  }
  runs.emplace_back(kRestLevel, 10001);
}

std::uint64_t ExpectedLength(const TapeBlock& block) {
  std::uint64_t total = (RecordLength(block) == kHeaderRecordLength ? 3001 : 1501) * 26 + 10 + 10001;
  for (int i = 0; i <= RecordLength(block); ++i) {
    const int ones = std::popcount(i < RecordLength(block) ? ByteAt(block, 2 + i) : std::uint8_t{0});
    total += static_cast<std::uint64_t>(ones * 20 + (8 - ones) * 10);
  }
  return total;
}

// Samples as runs of equal level, for the first `limit` samples only.
class RunRecorder {
 public:
  explicit RunRecorder(std::uint64_t limit) : limit_(limit) {}
  void Take(const std::uint8_t* samples, std::size_t count) {
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, limit_ - seen_));
    seen_ += count;
    for (std::size_t i = 0; i < count;) {
      std::size_t end = i + 1;
      while (end < count && samples[end] == samples[i]) ++end;
      const auto length = static_cast<std::uint32_t>(end - i);
      if (!runs.empty() && runs.back().first == samples[i]) {
        runs.back().second += length;
      } else {
        runs.emplace_back(samples[i], length);
      }
      i = end;
    }
  }
  std::vector<Run> runs;

 private:
  std::uint64_t limit_;
  std::uint64_t seen_ = 0;
};

void CheckStreamedSignal(const std::vector<TapeBlock>& blocks, std::size_t chunkSize) {
  std::uint64_t checked = 0, streamed = 0, total = 0;
  std::vector<Run> expected;
  for (const auto& block : blocks) {
    FUZZ_CHECK(BlockSignalLength(block) == ExpectedLength(block));
    total += ExpectedLength(block);
  }
  TapeProject project;
  project.blocks = blocks;
  FUZZ_CHECK(ProjectSignalLength(project) == total);

  RunRecorder recorder(kCheckedBudget);
  std::uint64_t handedOn = 0;
  SampleSink sink(
      [&](const std::uint8_t* samples, std::size_t count) {
        FUZZ_CHECK(count >= 1 && count <= chunkSize);
        recorder.Take(samples, count);
        handedOn += count;
        return true;
      },
      chunkSize);
  for (const auto& block : blocks) {
    if (streamed + BlockSignalLength(block) > kStreamBudget) break;
    WriteBlockSignal(sink, block);
    streamed += BlockSignalLength(block);
    FUZZ_CHECK(sink.count() == streamed);
    if (streamed <= kCheckedBudget) {
      AppendExpectedRuns(block, expected);
      checked = streamed;
    }
  }
  FUZZ_CHECK(sink.Flush() && handedOn == streamed);
  recorder.runs.resize(std::min(recorder.runs.size(), expected.size()));
  FUZZ_CHECK(checked == 0 || recorder.runs == expected);
}

// A small project saved as a WAV file decodes into its records (those with a
// flag byte at least: a record of length 0 sends nothing a decoder could keep).
void CheckRoundTrip(const std::vector<TapeBlock>& blocks) {
  TapeProject project;
  project.blocks = blocks;
  const std::uint64_t total = ProjectSignalLength(project);
  if (total > kRoundTripBudget) return;
  const std::string path = ScratchPath("export.wav");
  CheckedProgress progress;
  FUZZ_CHECK(SaveWavFile(project, path, progress).kind == OpResult::Kind::Ok);
  FUZZ_CHECK(progress.maximum == project.blockCount() && progress.ended == 1);
  FUZZ_CHECK(progress.steps.size() == blocks.size());
  const Bytes file = ReadScratch(path);
  FUZZ_CHECK(file.size() == kWavHeaderSize + total);
  const WavHeader header = MakeWavHeader(static_cast<std::uint32_t>(total));
  FUZZ_CHECK(std::equal(header.begin(), header.end(), file.begin()));

  ImportState state;
  ScriptedHost host(state, AnswerScript{});
  FUZZ_CHECK(DecodeTape(state, PulseBounds{}, path, host).kind == OpResult::Kind::Ok);
  FUZZ_CHECK(host.trace.questions.empty());
  std::vector<TapeBlock> expected;
  std::vector<std::string> lines = {kReportLoading};
  for (const auto& block : blocks) {
    const int length = RecordLength(block);
    lines.push_back(kReportDataFound);
    lines.push_back(length == 0 ? std::string(kReportSignalLost) : BlockReportLine(length));
    if (length == 0) continue;
    Bytes body;
    for (int i = 2; i <= length + 1; ++i) body.push_back(ByteAt(block, i));
    expected.push_back(MakeRecord(body));
  }
  lines.push_back(kReportFinished);
  lines.push_back(BlocksFoundLine(static_cast<int>(expected.size())));
  FUZZ_CHECK(state.loadedBlocks == expected);
  FUZZ_CHECK(host.trace.lines == lines);
}

}  // namespace
}  // namespace reelo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace reelo::fuzz;
  Steering steering(data, size, kSteeringBytes);
  const std::size_t chunkSize = 1 + static_cast<std::size_t>(steering.NextWord());
  const std::vector<reelo::TapeBlock> blocks = BlocksFrom(steering);
  CheckStreamedSignal(blocks, chunkSize);
  CheckRoundTrip(blocks);
  return 0;
}
