#include "sound/recording/sound_file.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

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
    {SF_FORMAT_AU, "AU"},     {SF_FORMAT_RAW, "RAW"},
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

}  // namespace

SoundFile::~SoundFile() { Close(); }

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
  // MPEG streams (MP3) are left to the byte-by-byte reading of unknown files:
  // their decoder can run for minutes over a few damaged bytes, and lossy
  // coding smears the pulse edges a tape signal is read by anyway.
  const bool mpeg = (sf.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
  if (!file_ || mpeg || sf.channels < 1 || sf.samplerate < 1 || sf.frames < 0) {
    Close();
    unknownFormat_ = true;
    return OpResult::Fail(std::string(kSoundUnreadableText) + " " + path);
  }
  info_.readable = true;
  Describe(sf, info_);
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
  if (!file_ || framesRead_ >= info_.frames || maxFrames <= 0) return 0;
  const std::int64_t wanted = std::min(maxFrames, info_.frames - framesRead_);
  frames.resize(static_cast<std::size_t>(wanted * info_.channels));
  const sf_count_t got = sf_readf_float(file_, frames.data(), wanted);
  const std::int64_t count = std::max<sf_count_t>(got, 0);
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
