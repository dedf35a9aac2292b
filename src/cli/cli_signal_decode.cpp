// reelo-cli decode on the prepared path: each recording (take) read through
// libsndfile straight into the period decoder, its channels read one by one
// and merged like takes when the channel is left to choose, the takes merged,
// bad records repaired where the checksum allows; report lines and the
// records' sources on out.
#include <algorithm>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/commands.h"
#include "sound/import/loaded_blocks.h"
#include "sound/recording/signal_decoder.h"
#include "sound/recording/sound_file.h"
#include "sound/recording/take_merge.h"

namespace reelo::cli {
namespace {

constexpr std::int64_t kReadFrames = 16384;

// One channel of a sound file (or the mean of all of them) as a sample source.
class SoundFileSource final : public SampleSource {
 public:
  // channel: 0-based, or -1 for the mean of all channels.
  SoundFileSource(SoundFile& file, int channel) : file_(file), channel_(channel) {}
  int rate() const override { return file_.info().sampleRate; }
  std::int64_t length() const override { return file_.info().frames; }
  std::size_t Read(float* out, std::size_t maxSamples) override {
    const int channels = file_.info().channels;
    const std::int64_t want = std::min<std::int64_t>(static_cast<std::int64_t>(maxSamples), kReadFrames);
    const std::int64_t got = file_.Read(frames_, want);
    const auto n = static_cast<std::size_t>(std::max<std::int64_t>(got, 0));
    if (channels == 1) {
      std::copy_n(frames_.begin(), n, out);
    } else if (channel_ >= 0) {
      for (std::size_t i = 0; i < n; ++i) out[i] = frames_[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel_)];
    } else {
      for (std::size_t i = 0; i < n; ++i) {
        float sum = 0;
        for (int c = 0; c < channels; ++c) sum += frames_[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)];
        out[i] = sum / static_cast<float>(channels);
      }
    }
    return n;
  }

 private:
  SoundFile& file_;
  int channel_;
  std::vector<float> frames_;
};

// Report lines are kept until the takes are merged; progress never stops.
class QuietEvents final : public DecodeEvents {
 public:
  bool Progress(std::int64_t) override { return true; }
  void ReportLine(const std::string&) override {}
};

const char* ChannelName(int channel) { return channel == 0 ? "левый канал" : "правый канал"; }

// The channels a take is read from: the one chosen, the mean, or (left to
// choose, two or more channels) the first two one by one.
std::vector<int> ChannelsToRead(const RecordingInfo& info, ChannelChoice choice) {
  if (info.channels <= 1) return {0};
  switch (choice) {
    case ChannelChoice::Left: return {0};
    case ChannelChoice::Right: return {1};
    case ChannelChoice::Mix: return {-1};
    case ChannelChoice::Auto: break;
  }
  return {0, 1};
}

struct TakeRecords {
  std::vector<SignalRecord> records;
  std::vector<std::string> origins;  // per record: which channel, when there was a choice
};

// Decodes one take; false (after printing why) when it cannot be read.
bool DecodeTake(const std::string& path, const RecordingDecodeOptions& options, Io& io, TakeRecords& take) {
  SoundFile probe;
  if (OpResult opened = probe.Open(path); !opened.ok()) {
    PrintFailure(io, opened.message, opened.detail);
    return false;
  }
  const RecordingInfo info = probe.info();
  probe.Close();
  const std::vector<int> channels = ChannelsToRead(info, options.channel);
  if (options.printReport) {
    io.out << "Запись " << path << ": " << DescribeRecording(info);
    if (channels.size() > 1) io.out << ", каналы читаются по отдельности";
    io.out << '\n';
  }
  std::vector<std::vector<SignalRecord>> perChannel;
  for (int channel : channels) {
    SoundFile file;
    if (OpResult opened = file.Open(path); !opened.ok()) {
      PrintFailure(io, opened.message, opened.detail);
      return false;
    }
    SoundFileSource source(file, channel);
    QuietEvents events;
    SignalDecodeOptions decodeOptions;
    decodeOptions.reportLines = false;
    SignalDecodeResult result = DecodeSignal(source, events, decodeOptions);
    if (file.truncated()) PrintFailure(io, kSoundChangedText, path);
    if (result.storeFull) PrintFailure(io, "Нет места для новых блоков: загрузка остановлена");
    perChannel.push_back(std::move(result.records));
  }
  if (perChannel.size() == 1) {
    take.records = std::move(perChannel.front());
    take.origins.assign(take.records.size(), "");
    return true;
  }
  for (MergedRecord& merged : MergeTakes(perChannel, RepairLimits{}, true)) {
    take.origins.push_back(merged.combined ? "оба канала" : ChannelName(channels[static_cast<std::size_t>(merged.takes.front())]));
    take.records.push_back(std::move(merged.record));
  }
  return true;
}

std::string RecordText(int number, const SignalRecord& record) {
  std::string line = "Блок" + NumberText(number) + ":" + NumberText(static_cast<long long>(record.bytes.size())) +
                     " байт, флаг" + NumberText(record.bytes.empty() ? 0 : record.bytes[0]) + ", контрольная сумма ";
  line += record.checksumOk ? "верна" : "неверна";
  if (record.repairedBits > 0) line += ", исправлено битов:" + NumberText(record.repairedBits);
  return line;
}

TapeBlock ToBlock(const SignalRecord& record) {
  TapeBlock block;
  block.reserve(record.bytes.size() + 2);
  block.push_back(static_cast<std::uint8_t>(record.bytes.size() & 0xFF));
  block.push_back(static_cast<std::uint8_t>(record.bytes.size() >> 8 & 0xFF));
  block.insert(block.end(), record.bytes.begin(), record.bytes.end());
  return block;
}

}  // namespace

int DecodeRecordingTakes(const std::vector<std::string>& recordings, const RecordingDecodeOptions& options,
                         TapeProject& project, Io& io) {
  std::vector<TakeRecords> takes(recordings.size());
  for (std::size_t t = 0; t < recordings.size(); ++t) {
    if (!DecodeTake(recordings[t], options, io, takes[t])) return kExitUsage;
  }
  std::vector<SignalRecord> records;
  std::vector<std::string> origins;
  if (takes.size() == 1) {
    records = std::move(takes.front().records);
    origins = std::move(takes.front().origins);
  } else {
    std::vector<std::vector<SignalRecord>> all;
    for (TakeRecords& take : takes) all.push_back(std::move(take.records));
    std::vector<MergedRecord> merged = MergeTakes(all);
    for (int t : UnmatchedTakes(merged, static_cast<int>(all.size()))) {
      PrintFailure(io, "Ни один блок записи " + recordings[static_cast<std::size_t>(t)] +
                           " не совпал с блоками других записей: возможно, это запись другой ленты");
    }
    for (MergedRecord& m : merged) {
      origins.push_back(TakeSourceText(m));
      records.push_back(std::move(m.record));
    }
  }
  int matching = 0;
  ImportState state;
  for (std::size_t i = 0; i < records.size(); ++i) {
    matching += records[i].checksumOk ? 1 : 0;
    if (options.printReport) {
      io.out << RecordText(static_cast<int>(i) + 1, records[i]);
      if (!origins[i].empty()) io.out << " (" << origins[i] << ")";
      io.out << '\n';
    }
    state.loadedBlocks.push_back(ToBlock(records[i]));
  }
  if (options.printReport) {
    io.out << "Найдено блоков:" << NumberText(static_cast<long long>(records.size())) << '\n';
    io.out << "Контрольная сумма верна:" << NumberText(matching)
           << ", неверна:" << NumberText(static_cast<long long>(records.size()) - matching) << '\n';
  }
  const int before = project.blockCount();
  if (OpResult added = AddLoadedBlocks(project, state); added.isWarning()) PrintFailure(io, added.message, added.detail);
  return project.blockCount() > before ? kExitOk : kExitNothing;
}

}  // namespace reelo::cli
