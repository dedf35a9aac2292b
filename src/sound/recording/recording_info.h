// What a recording is, as libsndfile sees it: rate, channels, sample format and
// length, and whether it is already the decoder's own form (8-bit unsigned mono
// 22050 Hz PCM WAV) so that it can be decoded as it stands.
#pragma once

#include <cstdint>
#include <string>

#include "project/op_result.h"

namespace reelo {

// The form the decoder reads and the preparation writes.
inline constexpr int kDecoderSampleRate = 22050;

// The window's warning for a file libsndfile cannot read: it is then read byte
// by byte as an 8-bit recording, as the decoder always did.
inline constexpr const char* kUnknownFormatWarning =
    "Формат звукового файла не распознан: файл читается побайтно, как 8-битная запись";

struct RecordingInfo {
  bool readable = false;     // libsndfile can read the samples
  int sampleRate = 0;        // frames per second
  int channels = 0;
  int bitsPerSample = 0;     // 8, 16, 24, 32, 64; 0 for compressed formats without a fixed depth
  bool floatingPoint = false;
  std::string formatText;    // the container and encoding, "WAV, PCM 16 бит", "FLAC, 24 бит", "Ogg Vorbis"
  std::int64_t frames = 0;   // frames (one sample per channel) as the header says
  // An 8-bit unsigned mono 22050 Hz PCM WAV: the decoder can read it without
  // preparation, and without preparation it decodes exactly as it always did.
  bool exact = false;
};

// Takes the recording's properties. A file that cannot be opened at all (missing,
// a folder, no permission) gives an Error with the system's reason. A file that
// exists but that libsndfile cannot read is not an error: info.readable is false.
OpResult ProbeRecording(const std::string& path, RecordingInfo& info);

// "44100 Гц, 16 бит, стерео": the part of the preparation summary that
// describes a recording ("32 бит с плавающей точкой", "моно", "4 канала").
std::string DescribeRecording(const RecordingInfo& info);

}  // namespace reelo
