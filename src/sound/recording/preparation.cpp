#include "sound/recording/preparation.h"

#include <algorithm>
#include <array>
#include <limits>

#include "project/atomic_file.h"
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

constexpr std::size_t kWavHeaderSize = 44;
constexpr std::uint64_t kMaxWavDataSize = std::numeric_limits<std::uint32_t>::max() - 36;

void PutLe(std::uint8_t* at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::array<std::uint8_t, kWavHeaderSize> WavHeader(std::uint64_t dataSize) {
  const auto size = static_cast<std::uint32_t>(std::min(dataSize, kMaxWavDataSize));
  std::array<std::uint8_t, kWavHeaderSize> h{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E',
                                             'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0};
  PutLe(&h[4], size + 36, 4);
  PutLe(&h[24], kDecoderSampleRate, 4);
  PutLe(&h[28], kDecoderSampleRate, 4);
  PutLe(&h[32], 1, 2);
  PutLe(&h[34], 8, 2);
  h[36] = 'd';
  h[37] = 'a';
  h[38] = 't';
  h[39] = 'a';
  PutLe(&h[40], size, 4);
  return h;
}

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
  Stage(const RecordingInfo& info, int channel) : info_(info), channel_(channel), conditioner_(kDecoderSampleRate) {}
  bool Init(std::string& error) { return resampler_.Init(info_.sampleRate, kDecoderSampleRate, error); }

  // The samples at the decoder's rate for one block of frames (nullptr: the end).
  const std::vector<float>& Run(const std::vector<float>* frames, bool condition) {
    out_.clear();
    if (frames) {
      PickChannel(*frames, info_.channels, channel_, mono_);
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
  Resampler resampler_;
  Conditioner conditioner_;
  std::vector<float> mono_, out_;
};

OpResult ResamplerFailure(const std::string& source, const std::string& reason) {
  return OpResult::Fail(std::string(kPrepareFailedText) + " " + source, reason);
}

// The RMS of the prepared signal where the recording is silent, from its
// first minute that is not digital silence. An Error on a stop.
OpResult MeasureNoise(SoundFile& file, int channel, PassPacer& pacer, const std::string& source, double& noise) {
  Stage stage(file.info(), channel);
  std::string error;
  if (!stage.Init(error)) return ResamplerFailure(source, error);
  BlockLevels levels(static_cast<int>(kNoiseBlockSeconds * kDecoderSampleRate), kDigitalSilenceRms);
  const auto enough = static_cast<std::int64_t>(kNoiseSeconds / kNoiseBlockSeconds);
  std::vector<float> frames;
  while (levels.histogram().total() < enough) {
    if (file.Read(frames, kFramesPerBlock) == 0) break;
    for (float y : stage.Run(&frames, true)) levels.Add(y);
    if (!pacer.Advance(file.framesRead())) return OpResult::Fail(kPrepareStoppedText);
  }
  const LevelHistogram& histogram = levels.histogram();
  noise = std::min(histogram.Percentile(kNoiseShare), histogram.Percentile(kSignalShare) * kLeastSignalToNoise);
  return OpResult::Success();
}

struct Output {
  AtomicFileWriter writer;
  std::uint64_t samples = 0;

  void Put(const std::vector<std::uint8_t>& levels) {
    writer.Write(levels.data(), levels.size());
    samples += levels.size();
  }
};

// The main pass: every frame through the stage and the slicer (or the plain
// conversion) into the output.
OpResult Convert(SoundFile& file, int channel, const PrepareOptions& options, double noise, PassPacer& pacer,
                 const std::string& source, Output& output) {
  Stage stage(file.info(), channel);
  std::string error;
  if (!stage.Init(error)) return ResamplerFailure(source, error);
  Slicer slicer(kDecoderSampleRate, noise);
  std::vector<float> frames;
  std::vector<std::uint8_t> levels;
  std::int64_t done = 0;
  for (bool last = false; !last;) {
    const std::int64_t got = file.Read(frames, kFramesPerBlock);
    last = got == 0;
    const std::vector<float>& samples = stage.Run(last ? nullptr : &frames, options.clean);
    if (options.clean) {
      slicer.Process(samples.data(), samples.size(), levels);
    } else {
      levels.resize(samples.size());
      std::transform(samples.begin(), samples.end(), levels.begin(), PlainSample);
    }
    output.Put(levels);
    done += got;
    if (output.writer.failed()) break;
    if (!pacer.Advance(done)) return OpResult::Fail(kPrepareStoppedText);
  }
  if (options.clean) {
    slicer.Finish(levels);
    output.Put(levels);
  }
  if (file.truncated()) return OpResult::Fail(std::string(kSoundChangedText) + " " + source);
  return OpResult::Success();
}

}  // namespace

OpResult PrepareRecording(const std::string& source, const std::string& preparedPath, const PrepareOptions& options,
                          PrepareProgress* progress, PrepareOutcome& outcome) {
  outcome = PrepareOutcome{};
  SoundFile file;
  if (OpResult opened = file.Open(source); !opened.ok()) return opened;
  const RecordingInfo info = file.info();

  auto stopped = [&outcome](OpResult result) {
    outcome.stopped = result.message == kPrepareStoppedText;
    return result;
  };

  int channel = FixedChannel(info, options.channel);
  const bool choose = options.channel == ChannelChoice::Auto && info.channels > 1;
  if (options.measureQuality || choose) {
    std::vector<ChannelScanner> scanners = MakeScanners(info);
    const std::int64_t limit = std::min(
        info.frames, options.measureQuality ? info.frames : static_cast<std::int64_t>(kChoiceSeconds * info.sampleRate));
    const std::int64_t step =
        options.measureQuality ? limit : static_cast<std::int64_t>(kChoiceStepSeconds * info.sampleRate);
    PassPacer pacer(progress, kMeasureStatusText, limit);
    auto enoughPilots = [&scanners] {
      for (const ChannelScanner& s : scanners) {
        if (s.pilotRuns() >= kChoicePilots) return true;
      }
      return false;
    };
    do {
      const std::int64_t next = std::min(limit - file.framesRead(), step);
      if (!ScanFrames(file, next, pacer, scanners)) return stopped(OpResult::Fail(kPrepareStoppedText));
    } while (file.framesRead() < limit && !file.truncated() && !enoughPilots());
    if (file.truncated()) return OpResult::Fail(std::string(kSoundChangedText) + " " + source);
    QualityReport report = BuildQualityReport(info, scanners);
    if (choose) channel = report.betterChannel;
    if (options.measureQuality) {
      outcome.quality = std::move(report);
      outcome.qualityMeasured = true;
    }
  }

  PassPacer pacer(progress, kPrepareStatusText, info.frames);
  double noise = 0;
  if (options.clean) {
    if (OpResult rewound = file.Rewind(); !rewound.ok()) return rewound;
    if (OpResult measured = MeasureNoise(file, channel, pacer, source, noise); !measured.ok()) return stopped(measured);
  }
  if (OpResult rewound = file.Rewind(); !rewound.ok()) return rewound;

  Output output;
  const auto header = WavHeader(0);
  if (!output.writer.Open(preparedPath) || !output.writer.Write(header.data(), header.size())) {
    return OpResult::Fail(std::string(kPrepareWriteFailedText) + " " + preparedPath, output.writer.error());
  }
  if (OpResult converted = Convert(file, channel, options, noise, pacer, source, output); !converted.ok()) {
    output.writer.Abort();
    return stopped(converted);
  }
  const auto sized = WavHeader(output.samples);
  output.writer.WriteAt(0, sized.data(), sized.size());
  if (output.writer.failed() || !output.writer.Commit()) {
    return OpResult::Fail(std::string(kPrepareWriteFailedText) + " " + preparedPath, output.writer.error());
  }
  outcome.channelUsed = channel;
  outcome.samplesWritten = static_cast<std::int64_t>(output.samples);
  outcome.summary = PreparationSummary(info, options, channel);
  return OpResult::Success();
}

}  // namespace reelo
