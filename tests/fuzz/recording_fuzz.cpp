// Preparing recordings for the decoder, three ways: arbitrary bytes as a sound
// file of any container libsndfile knows; arbitrary samples written through
// libsndfile at a chosen rate, channel count and sample format; and a clean
// tape signal of one small record, which after preparation, fitted bounds and
// decoding must give that record back byte for byte.
//
// Input: 8 steering bytes (the way, the preparation options, the file's rate,
// channels and format or the signal's options), then the file, the samples
// (16-bit little-endian) or the record's bytes.
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "sound/export/signal_stream.h"
#include "sound/import/import_events.h"
#include "sound/recording/recording_session.h"
#include "sound/import/import_state.h"
#include "sound/import/pulse_histogram.h"
#include "sound/import/tape_decoder.h"
#include "sound/recording/fitted_bounds.h"
#include "sound/recording/preparation.h"
#include "sound/recording/recording_info.h"

namespace reelo::fuzz {
namespace {

constexpr std::size_t kSteeringBytes = 8;
// Inputs whose prepared copy would be longer than this are not prepared: an
// execution stays short (a second of sound at most, in and out).
constexpr std::int64_t kMaxFrames = 48000;
constexpr std::int64_t kMaxPreparedSamples = 22050;
// The prepared length is frames * 22050 / rate rounded down, or one sample more
// where the resampler rounds its last fractional position up (measured over
// this target's corpus: 0 or +1, never less).
constexpr std::int64_t kLengthSlack = 1;
constexpr std::size_t kMaxRecordBytes = 8;

constexpr std::array<int, 10> kRates = {22050, 44100, 48000, 8000, 11025, 16000, 32000, 96000, 4000, 22051};
struct FileFormat {
  int format;
  bool (*fits)(int rate, int channels);
};
bool Any(int, int) { return true; }
bool FlacFits(int rate, int channels) { return rate <= 655350 && channels <= 8; }
constexpr std::array<FileFormat, 9> kFormats = {{
    {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, Any},
    {SF_FORMAT_WAV | SF_FORMAT_PCM_16, Any},
    {SF_FORMAT_WAV | SF_FORMAT_PCM_24, Any},
    {SF_FORMAT_WAV | SF_FORMAT_PCM_32, Any},
    {SF_FORMAT_WAV | SF_FORMAT_FLOAT, Any},
    {SF_FORMAT_WAV | SF_FORMAT_DOUBLE, Any},
    {SF_FORMAT_AIFF | SF_FORMAT_PCM_16, Any},
    {SF_FORMAT_AU | SF_FORMAT_PCM_S8, Any},
    {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, FlacFits},
}};

// Every question is answered "Шум", as reelo-cli does.
class QuietHost final : public RecordingEvents {
 public:
  bool Progress(std::int64_t) override { return true; }
  void ReportLine(const std::string&) override {}
  QuestionReply AskBadSignal(const BadSignalQuestion&) override { return QuestionReply::Noise; }
  void Begin(const std::string& label, std::int64_t total) override {
    FUZZ_CHECK(IsUtf8(label) && total >= 0);
    total_ = total;
    last_ = 0;
  }
  bool Advance(std::int64_t done) override {
    FUZZ_CHECK(done >= last_ && done <= total_);
    last_ = done;
    return true;
  }

 private:
  std::int64_t total_ = 0;
  std::int64_t last_ = 0;
};

PrepareOptions OptionsFrom(std::uint8_t bits) {
  PrepareOptions options;
  options.clean = (bits & 1) != 0;
  options.channel = static_cast<ChannelChoice>((bits >> 1) & 3);
  options.measureQuality = (bits & 8) != 0;
  return options;
}

std::uint32_t Le(const Bytes& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(b[at + static_cast<std::size_t>(i)]) << (8 * i);
  return v;
}

// A text of the program's own: it starts with a Russian word.
bool IsRussian(const std::string& text) {
  return text.size() >= 2 && (static_cast<std::uint8_t>(text[0]) == 0xD0 || static_cast<std::uint8_t>(text[0]) == 0xD1);
}

// Prepares the file when it is short enough; returns whether it was prepared
// (the result then checked against the plain rules of the decoder's form).
bool CheckPrepare(const std::string& source, const PrepareOptions& options, const std::string& prepared) {
  RecordingInfo info;
  const OpResult probed = ProbeRecording(source, info);
  // Only a file that claims a compressed format and fails its checks (a
  // damaged MP3) is refused at the probe, in Russian.
  if (!probed.ok()) {
    FUZZ_CHECK(IsRussian(probed.message) && IsUtf8(probed.message) && IsUtf8(probed.detail));
    return false;
  }
  if (info.readable) {
    FUZZ_CHECK(info.sampleRate > 0 && info.channels > 0 && info.frames >= 0);
    if (info.frames > kMaxFrames || info.frames * kDecoderSampleRate / info.sampleRate > kMaxPreparedSamples) return false;
  }
  std::error_code ec;
  std::filesystem::remove(prepared, ec);
  QuietHost host;
  PrepareOutcome outcome;
  const OpResult result = PrepareRecording(source, prepared, options, &host, outcome);
  if (!result.ok()) {
    FUZZ_CHECK(IsRussian(result.message) && IsUtf8(result.message) && IsUtf8(result.detail));
    FUZZ_CHECK(!std::filesystem::exists(prepared, ec));
    FUZZ_CHECK(!outcome.stopped);
    return false;
  }
  FUZZ_CHECK(result.kind == OpResult::Kind::Ok && info.readable);
  FUZZ_CHECK(IsRussian(outcome.summary) && IsUtf8(outcome.summary));
  FUZZ_CHECK(outcome.qualityMeasured == options.measureQuality);
  FUZZ_CHECK(outcome.channelUsed >= -1 && outcome.channelUsed < info.channels);

  const Bytes out = ReadScratch(prepared);
  FUZZ_CHECK(out.size() >= 44 && static_cast<std::int64_t>(out.size()) == 44 + outcome.samplesWritten);
  const auto dataSize = static_cast<std::uint32_t>(out.size() - 44);
  FUZZ_CHECK(std::equal(out.begin(), out.begin() + 4, "RIFF") && Le(out, 4, 4) == dataSize + 36);
  FUZZ_CHECK(std::equal(out.begin() + 8, out.begin() + 16, "WAVEfmt "));
  FUZZ_CHECK(Le(out, 16, 4) == 16 && Le(out, 20, 2) == 1 && Le(out, 22, 2) == 1);
  FUZZ_CHECK(Le(out, 24, 4) == kDecoderSampleRate && Le(out, 28, 4) == kDecoderSampleRate);
  FUZZ_CHECK(Le(out, 32, 2) == 1 && Le(out, 34, 2) == 8);
  FUZZ_CHECK(std::equal(out.begin() + 36, out.begin() + 40, "data") && Le(out, 40, 4) == dataSize);

  const std::int64_t expected = info.frames * kDecoderSampleRate / info.sampleRate;
  FUZZ_CHECK(outcome.samplesWritten >= expected && outcome.samplesWritten <= expected + kLengthSlack);
  if (options.clean) {
    for (std::size_t i = 44; i < out.size(); ++i) FUZZ_CHECK(out[i] == 95 || out[i] == 159 || out[i] == 127);
  }
  RecordingInfo preparedInfo;
  FUZZ_CHECK(ProbeRecording(prepared, preparedInfo).ok());
  FUZZ_CHECK(preparedInfo.readable && preparedInfo.frames == outcome.samplesWritten);
  FUZZ_CHECK(preparedInfo.exact || outcome.samplesWritten == 0);
  return true;
}

// Writes interleaved frames through libsndfile; false when libsndfile
// refuses the combination.
bool WriteSound(const std::string& path, int format, int rate, int channels, const std::vector<short>& samples) {
  SF_INFO sfinfo{};
  sfinfo.samplerate = rate;
  sfinfo.channels = channels;
  sfinfo.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &sfinfo);
  if (f == nullptr) return false;
  const auto frames = static_cast<sf_count_t>(samples.size() / static_cast<std::size_t>(channels));
  FUZZ_CHECK(sf_writef_short(f, samples.data(), frames) == frames);
  FUZZ_CHECK(sf_close(f) == 0);
  return true;
}

void RunArbitraryFile(const Bytes& payload, const PrepareOptions& options) {
  const std::string source = ScratchPath("any.sound");
  WriteScratch(source, payload.data(), payload.size());
  CheckPrepare(source, options, ScratchPath("prepared.wav"));
}

void RunSamples(Steering& s, const Bytes& payload, const PrepareOptions& options) {
  const int rate = kRates[s.Next() % kRates.size()];
  const int channels = s.NextInRange(1, 4);
  const FileFormat& format = kFormats[s.Next() % kFormats.size()];
  if (!format.fits(rate, channels)) return;
  // Each payload sample is repeated so that short inputs still make a
  // recording long enough for the resampler and the slicer to work on.
  const int repeat = s.NextInRange(1, 64);
  std::vector<short> samples;
  for (std::size_t i = 0; i + 1 < payload.size(); i += 2) {
    const auto v = static_cast<short>(payload[i] | (payload[i + 1] << 8));
    for (int k = 0; k < repeat && samples.size() < static_cast<std::size_t>(kMaxFrames); ++k) samples.push_back(v);
  }
  samples.resize(samples.size() - samples.size() % static_cast<std::size_t>(channels));
  const std::string source = ScratchPath("samples.sound");
  if (!WriteSound(source, format.format, rate, channels, samples)) return;
  CheckPrepare(source, options, ScratchPath("prepared.wav"));
}

// A record of a few bytes as a clean signal, prepared, its bounds fitted and
// decoded as reelo-cli decode does.
void RunTapeSignal(Steering& s, const Bytes& payload, const PrepareOptions& chosen) {
  SignalOptions signal;
  const std::uint8_t bits = s.Next();
  signal.sampleRate = kSupportedSampleRates[bits % 3];
  signal.bitsPerSample = (bits & 4) != 0 ? 16 : 8;
  signal.timings = (bits & 16) != 0 ? SignalTimings::Rom : SignalTimings::Exact;
  // The decoder times one polarity of the half-waves, so the last bit of an
  // inverted signal needs the closing pulse of the ROM's timings: the exact
  // signal inverted ends its last bit in the pause and reads one byte longer,
  // prepared or not.
  signal.inverted = (bits & 8) != 0 && signal.timings == SignalTimings::Rom;
  const int channels = (bits & 32) != 0 ? 2 : 1;
  // A data record (flag 128 and up: the short pilot), its checksum right or
  // not. The analysis counts one half-wave of each bit, and the fitted bounds
  // need 20 pulses under each peak; the slicer may spread a peak over four
  // lengths (a 0 bit of 5.4 samples measures 4 to 7), so 24 fixed bytes give
  // 96 bits of each value, and the fit must find its peaks.
  std::vector<std::uint8_t> body = {static_cast<std::uint8_t>(0x80 | s.Next())};
  for (int i = 0; i < 12; ++i) body.insert(body.end(), {0x0F, 0xF0});
  body.insert(body.end(), payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(std::min(payload.size(), kMaxRecordBytes)));
  body.push_back(s.Next());
  TapeProject project;
  project.blocks.push_back(MakeRecord(body));

  TapeSignalStream stream(project, signal);
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(stream.totalSamples()) * static_cast<std::size_t>(stream.bytesPerSample()));
  const auto width = static_cast<std::size_t>(stream.bytesPerSample());
  std::size_t done = 0;
  while (std::size_t n = stream.Read(raw.data() + done * width, raw.size() / width - done)) done += n;
  FUZZ_CHECK(done == stream.totalSamples());
  std::vector<short> samples;
  for (std::size_t i = 0; i < done; ++i) {
    const short v = signal.bitsPerSample == 8 ? static_cast<short>((raw[i] - 128) << 8)
                                              : static_cast<short>(raw[2 * i] | (raw[2 * i + 1] << 8));
    // A second channel carries silence: the automatic choice must find the signal.
    samples.push_back(v);
    if (channels == 2) samples.push_back(0);
  }
  const std::string source = ScratchPath("signal.wav");
  FUZZ_CHECK(WriteSound(source, SF_FORMAT_WAV | SF_FORMAT_PCM_16, signal.sampleRate, channels, samples));

  PrepareOptions options;
  options.clean = true;
  options.measureQuality = chosen.measureQuality;
  options.channel = chosen.channel == ChannelChoice::Right || chosen.channel == ChannelChoice::Mix ? ChannelChoice::Auto
                                                                                                    : chosen.channel;
  const std::string prepared = ScratchPath("prepared.wav");
  std::error_code ec;
  std::filesystem::remove(prepared, ec);
  QuietHost host;
  PrepareOutcome outcome;
  FUZZ_CHECK(PrepareRecording(source, prepared, options, &host, outcome).ok());
  FUZZ_CHECK(outcome.channelUsed == 0);

  ImportState analysed;
  FUZZ_CHECK(AnalyseSpectrum(analysed, prepared, host).ok());
  const auto fit = FitBounds(analysed.pulseHistogram);
  FUZZ_CHECK(fit.has_value());
  ImportState state;
  FUZZ_CHECK(DecodeTape(state, fit->bounds, prepared, host).ok());
  FUZZ_CHECK(state.loadedBlocks == project.blocks);

  // The same preparation streamed into the runs, with no file between.
  RecordingSession session;
  FUZZ_CHECK(session.Open(source).ok());
  SessionOptions read;
  read.preparation = options;
  read.periods = false;
  std::optional<FittedBounds> streamedFit;
  bool stopped = false;
  FUZZ_CHECK(session.Fit(read, host, streamedFit, stopped).ok() && !stopped);
  FUZZ_CHECK(streamedFit.has_value() && streamedFit->bounds == fit->bounds);
  ImportState streamed;
  FUZZ_CHECK(session.Decode(read, streamed, fit->bounds, host).ok());
  FUZZ_CHECK(streamed.loadedBlocks == project.blocks);
}

}  // namespace
}  // namespace reelo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace reelo::fuzz;
  Steering steering(data, size, kSteeringBytes);
  const std::uint8_t way = steering.Next();
  const reelo::PrepareOptions options = OptionsFrom(steering.Next());
  const Bytes payload = steering.payloadBytes();
  switch (way % 3) {
    case 0: RunArbitraryFile(payload, options); break;
    case 1: RunSamples(steering, payload, options); break;
    default: RunTapeSignal(steering, payload, options); break;
  }
  return 0;
}
