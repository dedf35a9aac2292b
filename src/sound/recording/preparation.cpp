#include "sound/recording/preparation.h"

#include <algorithm>
#include <array>
#include <limits>

#include "project/atomic_file.h"
#include "sound/export/wav_writer.h"
#include "sound/recording/channel_scan.h"
#include "sound/recording/signal_stages.h"
#include "sound/recording/sound_file.h"

namespace reelo {
namespace {

// The automatic channel choice looks at the recording in stretches of half a
// minute until some channel shows a few pilot tones, for three minutes at most.
constexpr double kChoiceSeconds = 180.0;
constexpr double kChoiceStepSeconds = 30.0;
constexpr int kChoicePilots = 2;
// The noise floor of the prepared signal is taken from the first minute.
constexpr double kNoiseSeconds = 60.0;
constexpr double kNoiseBlockSeconds = 0.005;
constexpr double kNoiseShare = 0.10;    // the quietest tenth of the stretches
constexpr double kSignalShare = 0.90;   // the loud ones
// A recording without pauses: its noise counts as at least 20 dB below its signal.
constexpr double kLeastSignalToNoise = 0.1;
// Digital silence (a lead-in added on the computer) says nothing of the tape's hiss.
constexpr double kDigitalSilenceRms = 1e-6;

// The chosen channel of interleaved frames (or their mean, for -1).
void PickChannel(const std::vector<float>& frames, int channels, int channel, std::vector<float>& mono) {
  const auto step = static_cast<std::size_t>(channels);
  const std::size_t count = frames.size() / step;
  mono.resize(count);
  if (channel >= 0) {
    for (std::size_t i = 0; i < count; ++i) mono[i] = frames[i * step + static_cast<std::size_t>(channel)];
    return;
  }
  const float scale = 1.0f / static_cast<float>(channels);
  for (std::size_t i = 0; i < count; ++i) {
    float sum = 0;
    for (std::size_t c = 0; c < step; ++c) sum += frames[i * step + c];
    mono[i] = sum * scale;
  }
}

int FixedChannel(const RecordingInfo& info, ChannelChoice choice) {
  if (info.channels == 1) return 0;
  switch (choice) {
    case ChannelChoice::Right: return 1;
    case ChannelChoice::Mix: return -1;
    default: return 0;
  }
}

// The channel, resampled to the decoder's rate and filtered: the signal the
// slicer sees.
class Stage {
 public:
  Stage(const RecordingInfo& info, int channel, bool invert = false)
      : info_(info), channel_(channel), invert_(invert), conditioner_(kDecoderSampleRate) {}
  bool Init(std::string& error) { return resampler_.Init(info_.sampleRate, kDecoderSampleRate, error); }

  // The samples at the decoder's rate for one block of frames (nullptr: the end).
  const std::vector<float>& Run(const std::vector<float>* frames, bool condition) {
    out_.clear();
    if (frames) {
      PickChannel(*frames, info_.channels, channel_, mono_);
      if (invert_) std::transform(mono_.begin(), mono_.end(), mono_.begin(), [](float x) { return -x; });
      resampler_.Process(mono_.data(), mono_.size(), out_);
    } else {
      resampler_.Flush(out_);
    }
    if (condition) conditioner_.Process(out_.data(), out_.size());
    return out_;
  }

 private:
  const RecordingInfo& info_;
  int channel_;
  bool invert_;
  Resampler resampler_;
  Conditioner conditioner_;
  std::vector<float> mono_, out_;
};

OpResult ResamplerFailure(const std::string& source, const std::string& reason) {
  return OpResult::Fail(std::string(kPrepareFailedText) + " " + source, reason);
}

// The RMS of the prepared signal where the recording is silent, from its
// first minute that is not digital silence. An Error on a stop.
OpResult MeasureNoise(SoundFile& file, int channel, Pacer& pacer, const std::string& source, double& noise) {
  Stage stage(file.info(), channel);
  std::string error;
  if (!stage.Init(error)) return ResamplerFailure(source, error);
  BlockLevels levels(static_cast<int>(kNoiseBlockSeconds * kDecoderSampleRate), kDigitalSilenceRms);
  const auto enough = static_cast<std::int64_t>(kNoiseSeconds / kNoiseBlockSeconds);
  std::vector<float> frames;
  while (levels.histogram().total() < enough) {
    if (file.Read(frames, kFramesPerBlock) == 0) break;
    for (float y : stage.Run(&frames, true)) levels.Add(y);
    if (!pacer.Tick(file.framesRead())) return OpResult::Fail(kPrepareStoppedText);
  }
  const LevelHistogram& histogram = levels.histogram();
  noise = std::min(histogram.Percentile(kNoiseShare), histogram.Percentile(kSignalShare) * kLeastSignalToNoise);
  return OpResult::Success();
}

}  // namespace

// The stage, the slicer and the file of the conversion pass, behind the pimpl
// so the header needs none of them.
struct PreparedStream::Conversion {
  Conversion(const RecordingInfo& info, int channel, bool invert, double noise)
      : stage(info, channel, invert), slicer(kDecoderSampleRate, noise) {}
  Stage stage;
  Slicer slicer;
  std::vector<float> frames;
  std::vector<ChannelScanner> scanners;  // for the quality report, when asked for
};

PreparedStream::PreparedStream() = default;
PreparedStream::~PreparedStream() = default;

OpResult PreparedStream::Open(const std::string& source, const PrepareOptions& options, PrepareProgress* progress,
                              PrepareOutcome& outcome) {
  outcome = PrepareOutcome{};
  conversion_.reset();
  quality_.reset();
  pending_.clear();
  taken_ = 0;
  ended_ = false;
  source_ = source;
  options_ = options;
  if (OpResult opened = file_.Open(source); !opened.ok()) return opened;
  const RecordingInfo info = file_.info();

  auto stopped = [&outcome](OpResult result) {
    outcome.stopped = result.message == kPrepareStoppedText;
    return result;
  };

  int channel = FixedChannel(info, options.channel);
  if (options.channel == ChannelChoice::Auto && info.channels > 1) {
    // The channel whose pilot tones are cleaner, from the first minutes.
    std::vector<ChannelScanner> scanners = MakeScanners(info);
    const std::int64_t limit = std::min(info.frames, static_cast<std::int64_t>(kChoiceSeconds * info.sampleRate));
    const auto step = static_cast<std::int64_t>(kChoiceStepSeconds * info.sampleRate);
    Pacer pacer = PassPacer(progress, kMeasureStatusText, limit);
    auto enoughPilots = [&scanners] {
      for (const ChannelScanner& s : scanners) {
        if (s.pilotRuns() >= kChoicePilots) return true;
      }
      return false;
    };
    do {
      const std::int64_t next = std::min(limit - file_.framesRead(), step);
      if (!ScanFrames(file_, next, pacer, scanners)) return stopped(OpResult::Fail(kPrepareStoppedText));
    } while (file_.framesRead() < limit && !file_.truncated() && !enoughPilots());
    if (file_.truncated()) return OpResult::Fail(std::string(kSoundChangedText) + " " + source);
    channel = BuildQualityReport(info, scanners).betterChannel;
  }

  double noise = 0;
  if (options.clean) {
    Pacer pacer = PassPacer(progress, kPrepareStatusText, info.frames);
    if (OpResult rewound = file_.Rewind(); !rewound.ok()) return rewound;
    if (OpResult measured = MeasureNoise(file_, channel, pacer, source, noise); !measured.ok()) return stopped(measured);
  }
  if (OpResult rewound = file_.Rewind(); !rewound.ok()) return rewound;
  conversion_ = std::make_unique<Conversion>(file_.info(), channel, options.invert, noise);
  // The quality report is measured on the way, from the frames the
  // conversion reads anyway.
  if (options.measureQuality) conversion_->scanners = MakeScanners(info);
  std::string error;
  if (!conversion_->stage.Init(error)) {
    conversion_.reset();
    return ResamplerFailure(source, error);
  }
  outcome.channelUsed = channel;
  outcome.summary = PreparationSummary(info, options, channel);
  return OpResult::Success();
}

std::int64_t PreparedStream::length() const {
  const RecordingInfo& info = file_.info();
  if (info.sampleRate <= 0) return -1;
  return static_cast<std::int64_t>(static_cast<double>(info.frames) * kDecoderSampleRate / info.sampleRate);
}

std::int64_t PreparedStream::framesDone() const { return file_.framesRead(); }

// One more block of levels from the recording (the resampler's and the
// slicer's last ones after its end).
bool PreparedStream::Produce() {
  if (!conversion_ || ended_) return false;
  Conversion& c = *conversion_;
  const std::int64_t got = file_.Read(c.frames, kFramesPerBlock);
  const bool last = got == 0;
  if (!c.scanners.empty()) ScanBlock(c.frames, got, c.scanners);
  if (last && !c.scanners.empty() && !file_.truncated()) {
    for (ChannelScanner& scanner : c.scanners) scanner.Finish();
    quality_ = BuildQualityReport(file_.info(), c.scanners);
    c.scanners.clear();
  }
  const std::vector<float>& samples = c.stage.Run(last ? nullptr : &c.frames, options_.clean);
  if (options_.clean) {
    c.slicer.Process(samples.data(), samples.size(), pending_);
    if (last) {
      std::vector<std::uint8_t> rest;
      c.slicer.Finish(rest);
      pending_.insert(pending_.end(), rest.begin(), rest.end());
    }
  } else {
    pending_.resize(samples.size());
    std::transform(samples.begin(), samples.end(), pending_.begin(), PlainSample);
  }
  taken_ = 0;
  ended_ = last;
  return true;
}

std::size_t PreparedStream::Read(std::uint8_t* dest, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    if (taken_ == pending_.size() && !Produce()) break;
    const std::size_t part = std::min(size - done, pending_.size() - taken_);
    std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(taken_), part, dest + done);
    taken_ += part;
    done += part;
  }
  samplesGiven_ += static_cast<std::int64_t>(done);
  return done;
}

std::size_t PreparedStream::Read(float* out, std::size_t maxSamples) {
  levels_.resize(maxSamples);
  const std::size_t got = Read(levels_.data(), maxSamples);
  for (std::size_t i = 0; i < got; ++i) out[i] = LevelToSample(levels_[i]);
  return got;
}

OpResult PreparedStream::status() const {
  if (file_.overBudget()) return OpResult::Fail(std::string(kMpegDamagedText) + " " + source_);
  if (file_.truncated()) return OpResult::Fail(std::string(kSoundChangedText) + " " + source_);
  return OpResult::Success();
}

OpResult PrepareRecording(const std::string& source, const std::string& preparedPath, const PrepareOptions& options,
                          PrepareProgress* progress, PrepareOutcome& outcome) {
  PreparedStream stream;
  if (OpResult opened = stream.Open(source, options, progress, outcome); !opened.ok()) return opened;
  AtomicFileWriter writer;
  const WavHeader header = MakeWavHeader(0);
  if (!writer.Open(preparedPath) || !writer.Write(header.data(), header.size())) {
    return OpResult::Fail(std::string(kPrepareWriteFailedText) + " " + preparedPath, writer.error());
  }
  Pacer pacer = PassPacer(progress, kPrepareStatusText, stream.info().frames);
  std::vector<std::uint8_t> block(static_cast<std::size_t>(kFramesPerBlock));
  for (;;) {
    const std::size_t got = stream.Read(block.data(), block.size());
    if (got == 0 || !writer.Write(block.data(), got)) break;
    if (!pacer.Tick(stream.framesDone())) {
      writer.Abort();
      outcome.stopped = true;
      return OpResult::Fail(kPrepareStoppedText);
    }
  }
  if (OpResult read = stream.status(); !read.ok()) {
    writer.Abort();
    return read;
  }
  const std::uint64_t samples = writer.size() - kWavHeaderSize;
  if (writer.failed() || !PatchWavSizes(writer, samples) || !writer.Commit()) {
    return OpResult::Fail(std::string(kPrepareWriteFailedText) + " " + preparedPath, writer.error());
  }
  outcome.samplesWritten = static_cast<std::int64_t>(samples);
  if (stream.quality()) {
    outcome.quality = *stream.quality();
    outcome.qualityMeasured = true;
  }
  return OpResult::Success();
}

}  // namespace reelo
