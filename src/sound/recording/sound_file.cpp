#include "sound/recording/sound_file.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "project/system_error.h"
#include "sound/import/recording_reader.h"

namespace reelo {
namespace {

struct FormatName {
  int code;
  const char* text;
};

constexpr FormatName kContainers[] = {
    {SF_FORMAT_WAV, "WAV"},   {SF_FORMAT_WAVEX, "WAV"},   {SF_FORMAT_RF64, "RF64"}, {SF_FORMAT_W64, "W64"},
    {SF_FORMAT_AIFF, "AIFF"}, {SF_FORMAT_FLAC, "FLAC"},   {SF_FORMAT_OGG, "Ogg"},   {SF_FORMAT_CAF, "CAF"},
    {SF_FORMAT_AU, "AU"},     {SF_FORMAT_RAW, "RAW"},     {SF_FORMAT_MPEG, "MPEG"},
};

struct Encoding {
  int code;
  int bits;
  bool isFloat;
  const char* text;
};

constexpr Encoding kEncodings[] = {
    {SF_FORMAT_PCM_U8, 8, false, "PCM"},  {SF_FORMAT_PCM_S8, 8, false, "PCM"},   {SF_FORMAT_PCM_16, 16, false, "PCM"},
    {SF_FORMAT_PCM_24, 24, false, "PCM"}, {SF_FORMAT_PCM_32, 32, false, "PCM"},  {SF_FORMAT_FLOAT, 32, true, "float"},
    {SF_FORMAT_DOUBLE, 64, true, "float"}, {SF_FORMAT_VORBIS, 0, false, "Vorbis"}, {SF_FORMAT_OPUS, 0, false, "Opus"},
    {SF_FORMAT_MPEG_LAYER_I, 0, false, "Layer I"}, {SF_FORMAT_MPEG_LAYER_II, 0, false, "Layer II"},
    {SF_FORMAT_MPEG_LAYER_III, 0, false, "Layer III (MP3)"},
};

void Describe(const SF_INFO& sf, RecordingInfo& info) {
  const int container = sf.format & SF_FORMAT_TYPEMASK;
  const int subtype = sf.format & SF_FORMAT_SUBMASK;
  info.sampleRate = sf.samplerate;
  info.channels = sf.channels;
  info.frames = static_cast<std::int64_t>(sf.frames);
  const char* containerName = "?";
  for (const FormatName& name : kContainers) {
    if (name.code == container) containerName = name.text;
  }
  std::string text(containerName);
  const Encoding* encoding = nullptr;
  for (const Encoding& e : kEncodings) {
    if (e.code == subtype) encoding = &e;
  }
  if (encoding) {
    info.bitsPerSample = encoding->bits;
    info.floatingPoint = encoding->isFloat;
    text.append(", ").append(encoding->text);
    if (encoding->bits > 0) text.append(" ").append(std::to_string(encoding->bits)).append(" бит");
  }
  info.formatText = text;
  info.exact = (container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX) && subtype == SF_FORMAT_PCM_U8 &&
               sf.channels == 1 && sf.samplerate == kDecoderSampleRate;
}

OpResult OpenFailure(const std::string& path, int err) {
  return OpResult::Fail(std::string(kOpenSoundFailedText) + " " + path, SystemErrorText(err));
}

// MPEG audio frame headers: the bit rates (kbit/s) by version class and
// layer, and the sample rates by version.
constexpr int kMpeg1Rates[3][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // layer III
};
constexpr int kMpeg2Rates[2][15] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},  // layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},       // layers II and III
};
constexpr int kSampleRates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};

struct MpegFrame {
  int length = 0;  // bytes, header included; 0: no valid header
  int version = 0, layer = 0, sampleRate = 0;
};

// The frame a 4-byte header describes (free-format and reserved values are
// no frame: a damaged stream gives a decoder nothing firm to hold on to).
MpegFrame ParseFrameHeader(const std::uint8_t* h) {
  MpegFrame frame;
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return frame;
  const int version = (h[1] >> 3) & 3;  // 0: 2.5, 1: reserved, 2: 2, 3: 1
  const int layer = 4 - ((h[1] >> 1) & 3);  // 4: reserved
  const int rateIndex = h[2] >> 4;
  const int sampleIndex = (h[2] >> 2) & 3;
  if (version == 1 || layer == 4 || rateIndex == 0 || rateIndex == 15 || sampleIndex == 3) return frame;
  const int kbits = version == 3 ? kMpeg1Rates[layer - 1][rateIndex] : kMpeg2Rates[layer == 1 ? 0 : 1][rateIndex];
  const int rate = kSampleRates[version][sampleIndex];
  const int padding = (h[2] >> 1) & 1;
  if (layer == 1) {
    frame.length = (12 * kbits * 1000 / rate + padding) * 4;
  } else {
    const int perFrame = layer == 3 && version != 3 ? 72 : 144;
    frame.length = perFrame * kbits * 1000 / rate + padding;
  }
  frame.version = version;
  frame.layer = layer;
  frame.sampleRate = rate;
  return frame;
}

// A file that claims to be MPEG audio by its name or its first bytes.
bool LooksLikeMpeg(const std::string& path, int fd) {
  std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : std::string();
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (ext == ".mp3" || ext == ".mp2" || ext == ".mp1" || ext == "mpga") return true;
  std::uint8_t head[3] = {};
  if (::pread(fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head)) return false;
  return (head[0] == 'I' && head[1] == 'D' && head[2] == '3') || (head[0] == 0xFF && (head[1] & 0xE0) == 0xE0);
}

// An MPEG stream that may be decoded: it begins with an ID3 tag or straight
// with a frame, and that first frame is followed by another of the same
// kind (or by the end of the file).
bool MpegStartIsValid(int fd, long long size) {
  std::uint8_t head[10] = {};
  if (size < 4 || ::pread(fd, head, sizeof head, 0) < 4) return false;
  long long at = 0;
  if (size >= 10 && head[0] == 'I' && head[1] == 'D' && head[2] == '3') {
    if ((head[6] | head[7] | head[8] | head[9]) & 0x80) return false;
    at = 10 + ((head[6] << 21) | (head[7] << 14) | (head[8] << 7) | head[9]) + ((head[5] & 0x10) ? 10 : 0);
  }
  std::uint8_t h[4] = {};
  if (at + 4 > size || ::pread(fd, h, 4, at) != 4) return false;
  const MpegFrame first = ParseFrameHeader(h);
  if (first.length == 0) return false;
  const long long next = at + first.length;
  if (next + 4 > size) return next <= size;
  if (::pread(fd, h, 4, next) != 4) return false;
  const MpegFrame second = ParseFrameHeader(h);
  return second.length > 0 && second.version == first.version && second.layer == first.layer &&
         second.sampleRate == first.sampleRate;
}

// Containers whose 16-bit samples libsndfile hands out as stored, and as
// floats divided by 32768 and nothing else (a plain scaling by a power of 2,
// so converting them here gives the same floats to the bit).
bool HoldsPlainPcm(int container) {
  switch (container) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
    case SF_FORMAT_RF64:
    case SF_FORMAT_W64:
    case SF_FORMAT_AIFF:
    case SF_FORMAT_CAF:
    case SF_FORMAT_AU:
      return true;
    default:
      return false;
  }
}

long long NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

SoundFile::~SoundFile() { Close(); }

bool SoundFile::OverBudget(long long ns, std::int64_t frames) {
  decodeNs_ += ns;
  const std::int64_t total = framesRead_ + frames;
  const long long size = std::max(openedSize_, 1LL);
  return total > kMpegMaxFramesPerByte * size || decodeNs_ > kMpegDecodeFloorNs + kMpegDecodeNsPerByte * size;
}

void SoundFile::Close() {
  if (file_) sf_close(file_);
  file_ = nullptr;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

OpResult SoundFile::Open(const std::string& path) {
  Close();
  info_ = RecordingInfo{};
  path_ = path;
  framesRead_ = 0;
  truncated_ = false;
  unknownFormat_ = false;
  pcm16_ = false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return OpenFailure(path, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int err = !S_ISREG(st.st_mode) && st.st_mode != 0 ? (S_ISDIR(st.st_mode) ? EISDIR : EINVAL) : errno;
    ::close(fd);
    return OpenFailure(path, err);
  }
  fd_ = fd;
  openedSize_ = st.st_size;
  openedChange_ = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
  SF_INFO sf{};
  file_ = sf_open_fd(fd_, SFM_READ, &sf, SF_FALSE);
  // MPEG streams (MP3) are decoded only when they begin with a valid frame or
  // an ID3 tag: the decoder can run for minutes over a few damaged bytes.
  // They are never read byte by byte (compressed data is no tape signal).
  mpeg_ = file_ && (sf.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
  if (mpeg_ && !MpegStartIsValid(fd_, openedSize_)) {
    Close();
    return OpResult::Fail(std::string(kMpegDamagedText) + " " + path);
  }
  if (!file_ && LooksLikeMpeg(path, fd_)) {
    // Compressed data read byte by byte would give junk records.
    Close();
    return OpResult::Fail(std::string(kMpegDamagedText) + " " + path);
  }
  if (!file_ || sf.channels < 1 || sf.samplerate < 1 || sf.frames < 0) {
    Close();
    unknownFormat_ = true;
    return OpResult::Fail(std::string(kSoundUnreadableText) + " " + path);
  }
  info_.readable = true;
  Describe(sf, info_);
  pcm16_ = (sf.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 && HoldsPlainPcm(sf.format & SF_FORMAT_TYPEMASK);
  decodeNs_ = 0;
  overBudget_ = false;
  // Integer samples become floats in -1..1 whatever their width.
  sf_command(file_, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  return OpResult::Success();
}

OpResult SoundFile::Rewind() {
  if (file_ && sf_seek(file_, 0, SEEK_SET) == 0) {
    framesRead_ = 0;
    return OpResult::Success();
  }
  const RecordingInfo before = info_;
  OpResult reopened = Open(path_);
  if (reopened.ok() && info_.frames != before.frames) {
    Close();
    return OpResult::Fail(std::string(kSoundChangedText) + " " + path_);
  }
  return reopened;
}

std::int64_t SoundFile::Read(std::vector<float>& frames, std::int64_t maxFrames) {
  return ReadFrames(frames, maxFrames, [this](float* out, std::int64_t count) {
    return static_cast<std::int64_t>(sf_readf_float(file_, out, count));
  });
}

std::int64_t SoundFile::ReadPcm16(std::vector<std::int16_t>& frames, std::int64_t maxFrames) {
  if (!pcm16_) return 0;
  return ReadFrames(frames, maxFrames, [this](std::int16_t* out, std::int64_t count) {
    return static_cast<std::int64_t>(sf_readf_short(file_, out, count));
  });
}

template <typename Sample, typename ReadCall>
std::int64_t SoundFile::ReadFrames(std::vector<Sample>& frames, std::int64_t maxFrames, ReadCall read) {
  if (!file_ || framesRead_ >= info_.frames || maxFrames <= 0) return 0;
  const std::int64_t wanted = std::min(maxFrames, info_.frames - framesRead_);
  frames.resize(static_cast<std::size_t>(wanted * info_.channels));
  const long long started = mpeg_ ? NowNs() : 0;
  const std::int64_t got = read(frames.data(), wanted);
  if (mpeg_ && OverBudget(NowNs() - started, std::max<std::int64_t>(got, 0))) {
    // A damaged stream that makes the decoder work far more than any real
    // MP3 would: the reading ends here and the file is reported damaged.
    overBudget_ = true;
    info_.frames = framesRead_;
    frames.clear();
    return 0;
  }
  const std::int64_t count = std::max<std::int64_t>(got, 0);
  if (count < wanted) {
    // Either the file changed under us, or it is simply shorter than its
    // header says (a damaged file): then what is there is the recording.
    struct stat st {};
    const bool changed = ::fstat(fd_, &st) != 0 || st.st_size != openedSize_ ||
                         st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec != openedChange_;
    if (changed) truncated_ = true;
    info_.frames = framesRead_ + count;  // read no further
  }
  framesRead_ += count;
  frames.resize(static_cast<std::size_t>(count * info_.channels));
  return count;
}

}  // namespace reelo
