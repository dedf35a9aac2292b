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
};

}  // namespace reelo
