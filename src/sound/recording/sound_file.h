// A recording opened through libsndfile and read forwards in blocks of float
// frames (-1..1, channels interleaved). Memory stays at one block whatever the
// recording's length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/op_result.h"
#include "sound/recording/recording_info.h"

struct sf_private_tag;

namespace reelo {

inline constexpr const char* kSoundUnreadableText = "Формат звукового файла не распознан";
inline constexpr const char* kSoundChangedText = "Звуковой файл изменился или исчез во время чтения";
inline constexpr const char* kMpegDamagedText =
    "Файл MP3 повреждён (не начинается с кадра MPEG или тега ID3, или его кадры не читаются): запись не расшифрована";

// The guard of MPEG decoding. No real MP3 gives more than about 24 samples per
// byte (8 kbit/s at 24 kHz) or takes more than a few microseconds per byte to
// decode; a stream that does is damaged.
inline constexpr std::int64_t kMpegMaxFramesPerByte = 64;
inline constexpr long long kMpegDecodeNsPerByte = 20000;
inline constexpr long long kMpegDecodeFloorNs = 2000000000LL;

class SoundFile {
 public:
  SoundFile() = default;
  ~SoundFile();
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;

  // Opens the file (a regular file only: a pipe or device would block or never
  // end) and takes its properties. An Error when the file cannot be opened; a
  // file libsndfile cannot read gives an Error too, with info().readable false.
  OpResult Open(const std::string& path);
  void Close();
  // Back to the first frame for another pass; an Error when the file is gone.
  OpResult Rewind();

  const RecordingInfo& info() const { return info_; }

  // Reads up to maxFrames frames into frames (resized to frames * channels).
  // Returns the frames read; 0 at the end. Once the header's frame count is
  // reached nothing more is read. A read that ends before it ends the
  // recording there; when the file changed since it was opened (it shrank or
  // was rewritten) it also sets truncated().
  std::int64_t Read(std::vector<float>& frames, std::int64_t maxFrames);
  bool truncated() const { return truncated_; }
  // 16-bit PCM in a container that stores it plainly: ReadPcm16 reads the
  // samples as stored (Read gives each divided by 32768).
  bool pcm16() const { return pcm16_; }
  // Read's twin for such a file (frames resized as there); 0 for any other.
  std::int64_t ReadPcm16(std::vector<std::int16_t>& frames, std::int64_t maxFrames);
  // An MPEG stream's decoding went over its budget (frames or time per byte
  // of the file): it is damaged, and the reading ended.
  bool overBudget() const { return overBudget_; }
  // The file opened but libsndfile does not know its format.
  bool unknownFormat() const { return unknownFormat_; }
  std::int64_t framesRead() const { return framesRead_; }

 private:
  sf_private_tag* file_ = nullptr;
  int fd_ = -1;
  std::string path_;
  long long openedSize_ = 0;    // the file's size and change time when opened
  long long openedChange_ = 0;
  RecordingInfo info_;
  std::int64_t framesRead_ = 0;
  bool truncated_ = false;
  bool unknownFormat_ = false;
  bool mpeg_ = false;
  bool overBudget_ = false;
  long long decodeNs_ = 0;
  bool pcm16_ = false;
  bool OverBudget(long long ns, std::int64_t frames);
  template <typename Sample, typename ReadCall>
  std::int64_t ReadFrames(std::vector<Sample>& frames, std::int64_t maxFrames, ReadCall read);
};

}  // namespace reelo
