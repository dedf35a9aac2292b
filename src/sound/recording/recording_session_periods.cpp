// A recording session's decoding by periods: the recording and its takes read
// straight from their files by the period decoder, channel by channel where
// the channel is left to choose, the channels of a take merged as takes of one
// clock, then the takes merged; report lines and the records' facts as values.
#include <algorithm>
#include <cmath>

#include "project/tape_project.h"
#include "sound/import/tape_decoder.h"
#include "sound/recording/recording_session.h"
#include "sound/recording/signal_decoder.h"
#include "sound/recording/sound_file_source.h"
#include "sound/recording/take_merge.h"

namespace reelo {
namespace {

// The channels a recording is read from: the one chosen, the mean, or (left
// to choose, two or more channels) the first two one by one.
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

const char* ChannelName(int channel) { return channel == 0 ? "левый канал" : "правый канал"; }

struct TakeRecords {
  std::vector<SignalRecord> records;
  std::vector<std::string> origins;  // per record: which channel, when there was a choice
};

// What the passes over the recordings ran into.
struct PassFacts {
  bool stopped = false;
  bool storeFull = false;
  std::vector<std::string> problems;  // read failures, for the run's Warning
};

// A record as the store keeps it: a TAP record is at most 65535 bytes.
void FitTheStore(SignalRecord& record) {
  if (record.bytes.size() <= static_cast<std::size_t>(kMaxLoadedRecordLength)) return;
  record.bytes.resize(static_cast<std::size_t>(kMaxLoadedRecordLength));
  record.confidence.resize(record.bytes.size() * 8);
  record.checksumOk = false;
}

// Reads one recording; an Error when it cannot be opened.
OpResult ReadTake(const std::string& path, const std::string& label, const SessionOptions& options,
                  RecordingEvents& events, int storeLeft, TakeRecords& take, PassFacts& facts) {
  SoundFile probe;
  if (OpResult opened = probe.Open(path); !opened.ok()) return opened;
  const RecordingInfo info = probe.info();
  probe.Close();
  const std::vector<int> channels = ChannelsToRead(info, options.preparation.channel);
  events.ReportLine("Запись " + label + ": " + DescribeRecording(info) +
                    (channels.size() > 1 ? ", каналы читаются по отдельности" : ""));
  std::vector<std::vector<SignalRecord>> perChannel;
  for (int channel : channels) {
    SoundFile file;
    if (OpResult opened = file.Open(path); !opened.ok()) return opened;
    SoundFileSource source(file, channel);
    SignalDecodeOptions decodeOptions;
    decodeOptions.reportLines = false;
    decodeOptions.maxRecords = std::max(storeLeft, 0);
    events.Begin(kDecodeStatusText, source.length());
    SignalDecodeResult result = DecodeSignal(source, events, decodeOptions);
    if (file.truncated()) facts.problems.push_back(std::string(kSoundChangedText) + ": " + path);
    if (file.overBudget()) facts.problems.push_back(std::string(kMpegDamagedText) + ": " + path);
    facts.storeFull |= result.storeFull;
    for (SignalRecord& record : result.records) FitTheStore(record);
    perChannel.push_back(std::move(result.records));
    if (result.stopped) {
      facts.stopped = true;
      break;
    }
  }
  if (perChannel.size() == 1) {
    take.records = std::move(perChannel.front());
    take.origins.assign(take.records.size(), "");
    return OpResult::Success();
  }
  for (MergedRecord& merged : MergeTakes(perChannel, RepairLimits{}, true)) {
    take.origins.push_back(merged.combined ? "оба канала"
                                           : ChannelName(channels[static_cast<std::size_t>(merged.takes.front())]));
    take.records.push_back(std::move(merged.record));
  }
  return OpResult::Success();
}

std::string RecordLine(int number, const SignalRecord& record, const std::string& origin) {
  std::string line = "Блок" + NumberText(number) + ":" + NumberText(static_cast<long long>(record.bytes.size())) +
                     " байт, флаг" + NumberText(record.bytes.empty() ? 0 : record.bytes[0]) + ", контрольная сумма ";
  line += record.checksumOk ? "верна" : "неверна";
  if (record.repairedBits > 0) line += ", исправлено битов:" + NumberText(record.repairedBits);
  if (!origin.empty()) line += " (" + origin + ")";
  if (record.pilotHalfMicroseconds > 0) {
    line += ", пилот-тон" + NumberText(std::lround(record.pilotHalfMicroseconds)) + " мкс";
  }
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

DecodeResult RecordingSession::DecodePeriods(const SessionOptions& options, ImportState& state,
                                             RecordingEvents& events) {
  DecodeResult result;
  std::vector<std::string> paths{path_};
  paths.insert(paths.end(), takes_.begin(), takes_.end());
  const bool several = paths.size() > 1;
  std::vector<TakeRecords> takes(paths.size());
  PassFacts facts;
  // Read everything first: a recording that cannot be read leaves the
  // previous records as they were.
  for (std::size_t t = 0; t < paths.size() && !facts.stopped && !facts.storeFull; ++t) {
    const std::string label = several ? std::to_string(t + 1) + ", " + paths[t] : paths[t];
    if (OpResult read = ReadTake(paths[t], label, options, events, kMaxLoadedBlocks, takes[t], facts); !read.ok()) {
      static_cast<OpResult&>(result) = read;
      return result;
    }
  }
  std::vector<SignalRecord> records;
  std::vector<std::string> origins;
  std::vector<int> sources;  // the take of each record
  std::vector<std::string> notes;
  if (!several) {
    records = std::move(takes.front().records);
    origins = std::move(takes.front().origins);
    sources.assign(records.size(), 0);
  } else {
    std::vector<std::vector<SignalRecord>> all;
    for (TakeRecords& take : takes) all.push_back(std::move(take.records));
    std::vector<MergedRecord> merged = MergeTakes(all);
    // The first take that holds records is the tape; a later one that shares
    // none of the others' records is most likely a recording of another tape.
    const std::vector<int> unmatched = UnmatchedTakes(merged, static_cast<int>(all.size()));
    int reference = -1;
    for (std::size_t t = 0; t < all.size() && reference < 0; ++t) {
      if (!all[t].empty()) reference = static_cast<int>(t);
    }
    std::vector<bool> dropped(all.size(), false);
    for (int t : unmatched) {
      if (t == reference) continue;
      dropped[static_cast<std::size_t>(t)] = true;
      notes.push_back("Ни один блок записи " + paths[static_cast<std::size_t>(t)] +
                      " не совпал с блоками других записей: возможно, это запись другой ленты; её блоки не добавлены");
    }
    for (std::size_t t = 0; t < all.size() && !facts.stopped; ++t) {
      if (all[t].empty()) notes.push_back("В записи " + paths[t] + " не найдено ни одного блока");
    }
    for (MergedRecord& m : merged) {
      const bool onlyDropped = std::all_of(m.present.begin(), m.present.end(),
                                           [&](int t) { return t < 0 || dropped[static_cast<std::size_t>(t)]; });
      if (onlyDropped) continue;
      origins.push_back(TakeSourceText(m));
      sources.push_back(m.takes.empty() ? 0 : m.takes.front());
      records.push_back(std::move(m.record));
    }
  }
  if (records.size() > static_cast<std::size_t>(kMaxLoadedBlocks)) {
    records.resize(static_cast<std::size_t>(kMaxLoadedBlocks));
    facts.storeFull = true;
  }
  state.loadedBlocks.clear();
  for (std::size_t i = 0; i < records.size(); ++i) {
    const SignalRecord& record = records[i];
    events.ReportLine(RecordLine(static_cast<int>(i) + 1, record, origins[i]));
    state.loadedBlocks.push_back(ToBlock(record));
    RecordFacts fact;
    fact.checksumMatches = record.checksumOk;
    fact.repairedBits = record.repairedBits;
    fact.confidence = record.confidence.empty() ? -1.0 : LeastConfidence(record) / 255.0;
    fact.take = sources[i];
    fact.source = origins[i];
    fact.pilotMicroseconds = record.pilotHalfMicroseconds;
    result.records.push_back(std::move(fact));
  }
  result.stopped = facts.stopped;
  result.storeFull = facts.storeFull;
  state.stopRequested = state.stopRequested || facts.stopped;
  if (facts.stopped) return result;
  if (facts.storeFull) events.ReportLine(kReportStoreFull);
  events.ReportLine(BlocksFoundLine(static_cast<int>(records.size())));
  notes.insert(notes.begin(), facts.problems.begin(), facts.problems.end());
  if (!notes.empty()) {
    std::string text;
    for (const std::string& note : notes) text += (text.empty() ? "" : "\n") + note;
    static_cast<OpResult&>(result) = OpResult::Warn(text);
  }
  return result;
}

}  // namespace reelo
