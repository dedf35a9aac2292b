#include "formats/signal_blocks.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "project/block_kinds.h"
#include "sound/export/kind_signal.h"
#include "sound/export/read_back.h"
#include "sound/export/tape_signal.h"
#include "sound/import/import_state.h"

namespace reelo {
namespace {

constexpr std::int64_t kLeadInSamples = 1000;
constexpr std::int64_t kTailSamples = 1000;
constexpr long long kPulsesPerTick = 1 << 20;
// A window hears of a long decoding at most this often, so repainting never
// costs more than the decoding.
constexpr std::chrono::milliseconds kTickInterval{20};

std::uint8_t SampleLevel(PulseLevel level) {
  switch (level) {
    case PulseLevel::High: return kHighLevel;
    case PulseLevel::Low: return kLowLevel;
    case PulseLevel::Rest: break;
  }
  return kRestLevel;
}

std::vector<int> BlocksOfRun(int first, int count) {
  std::vector<int> parts(static_cast<std::size_t>(std::max(count, 0)));
  for (int i = 0; i < count; ++i) parts[static_cast<std::size_t>(i)] = first + i;
  return parts;
}

// The blocks' pulses as levels held for whole samples, pulled by the decoder:
// a lead-in at the rest level, the blocks, then a tail at the rest level.
class PulseSamples final : public ByteStream {
 public:
  PulseSamples(const TapeProject& tape, int first, int count, const std::function<void()>& tick)
      : signal_(tape, BlocksOfRun(first, count), false), tick_(tick), pending_(kLeadInSamples) {}

  std::size_t Read(std::uint8_t* dest, std::size_t size) override {
    std::size_t done = 0;
    while (done < size) {
      if (pending_ == 0 && !NextRun()) break;
      const auto part = static_cast<std::size_t>(std::min<std::int64_t>(pending_, static_cast<std::int64_t>(size - done)));
      std::fill_n(dest + done, part, level_);
      done += part;
      pending_ -= static_cast<std::int64_t>(part);
    }
    return done;
  }

  bool cut() const { return cut_; }

 private:
  // The next level and how long it holds; false at the end of the signal.
  bool NextRun() {
    while (!finished_) {
      std::uint64_t ticks = 0;
      PulseLevel level = PulseLevel::Rest;
      if (tailNext_ || !signal_.Next(ticks, level)) {
        finished_ = true;
        level_ = kRestLevel;
        pending_ = kTailSamples;
        return true;
      }
      if (++pulses_ % kPulsesPerTick == 0 && tick_) tick_();
      if (Pulse(ticks, level)) return true;
    }
    return false;
  }

  // A pulse of the given length at the given level. True when a run of
  // samples is ready.
  bool Pulse(std::uint64_t ticks, PulseLevel level) {
    clock_ += ticks;
    // Whole seconds and the rest apart, so the product never overflows.
    const std::uint64_t rate = kSampleRate;
    const auto sample = static_cast<std::int64_t>(clock_ / kKindClock * rate + clock_ % kKindClock * rate / kKindClock);
    const std::int64_t run = std::min({sample - emitted_, kMaxRenderedRun, kMaxRenderedSamples - written_});
    emitted_ = sample;
    level_ = SampleLevel(level);
    pending_ = std::max<std::int64_t>(run, 0);
    written_ += pending_;
    if (written_ >= kMaxRenderedSamples) {
      // The signal is cut here: this run still goes out, then the tail.
      cut_ = true;
      tailNext_ = true;
    }
    return pending_ > 0;
  }

  KindSignal signal_;
  const std::function<void()>& tick_;
  std::int64_t pending_;
  std::uint8_t level_ = kRestLevel;
  std::uint64_t clock_ = 0;
  std::int64_t emitted_ = 0;
  std::int64_t written_ = 0;
  long long pulses_ = 0;
  bool finished_ = false;
  bool tailNext_ = false;
  bool cut_ = false;
};

bool JoinsRun(const TapeBlock& block) {
  return IsSignalRecording(block) || block.kind() == tzx::kPureTone || block.kind() == tzx::kPulseSequence;
}

}  // namespace

void DecodeSignalBlocks(const TapeProject& tape, int first, int count, SignalDecode& result,
                        const std::function<void()>& tick) {
  PulseSamples stream(tape, first, count, tick);
  RecordingReader recording;
  recording.Attach(stream, 0);
  QuietDecode decoded;
  const auto progress = [&tick](std::int64_t, std::int64_t) {
    if (tick) tick();
  };
  DecodeQuietly(recording, PulseBounds{}, decoded, progress);
  result.records = std::move(decoded.records);
  result.storeFull = decoded.storeFull;
  result.signalCut = stream.cut();
}

std::vector<SignalRun> SignalRuns(const TapeProject& tape) {
  std::vector<SignalRun> runs;
  const int count = tape.blockCount();
  for (int i = 0; i < count;) {
    int end = i;
    bool recording = false;
    while (end < count && JoinsRun(tape.blocks[static_cast<std::size_t>(end)])) {
      recording = recording || IsSignalRecording(tape.blocks[static_cast<std::size_t>(end)]);
      ++end;
    }
    if (recording) runs.push_back({i, end - i});
    i = std::max(end, i + 1);
  }
  return runs;
}

TapRecords TapRecordsWithSignals(const TapeProject& tape, Progress& progress) {
  TapRecords out;
  const std::vector<SignalRun> runs = SignalRuns(tape);
  std::optional<ProgressScope> scope;
  int signalBlocks = 0;
  for (const SignalRun& run : runs) signalBlocks += run.count;
  if (signalBlocks > 0) scope.emplace(progress, kDecodeSignalLabel, signalBlocks);
  auto last = std::chrono::steady_clock::now();
  const std::function<void()> tick = [&scope, &last, &out] {
    const auto now = std::chrono::steady_clock::now();
    if (now - last < kTickInterval) return;
    last = now;
    scope->Step(out.signalBlocks);
  };
  std::size_t nextRun = 0;
  for (int i = 0; i < tape.blockCount(); ++i) {
    if (nextRun < runs.size() && runs[nextRun].first == i) {
      const SignalRun run = runs[nextRun++];
      SignalDecode decoded;
      DecodeSignalBlocks(tape, run.first, run.count, decoded, tick);
      out.signalBlocks += run.count;
      out.decodedRecords += static_cast<int>(decoded.records.size());
      if (decoded.records.empty()) out.signalWithoutData += run.count;
      out.storeFull = out.storeFull || decoded.storeFull;
      out.signalCut = out.signalCut || decoded.signalCut;
      for (TapeBlock& record : decoded.records) out.records.push_back(std::move(record));
      scope->Step(out.signalBlocks);
      i += run.count - 1;
      continue;
    }
    const TapeBlock& block = tape.blocks[static_cast<std::size_t>(i)];
    if (block.holdsRecord()) out.records.emplace_back(block.bytes());
  }
  return out;
}

std::string SignalDecodeText(const TapRecords& decoded) {
  if (decoded.signalBlocks == 0) return {};
  std::string text = "Сигнальных блоков расшифровано:" + NumberText(decoded.signalBlocks) +
                     "; найдено записей:" + NumberText(decoded.decodedRecords) + ".";
  if (decoded.signalWithoutData > 0) text += " Без записей:" + NumberText(decoded.signalWithoutData) + ".";
  if (decoded.storeFull) {
    text += "\nРасшифровка сигнала остановлена после" + NumberText(kMaxLoadedBlocks) + " записей.";
  }
  if (decoded.signalCut) text += "\nСигнал длиннее 3 часов: расшифрованы только первые 3 часа.";
  return text;
}

}  // namespace reelo
