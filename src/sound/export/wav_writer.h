// The WAV export: the tape signal of every block of the project, in project
// order, as one PCM file (mono, 8-bit unsigned, 22050 samples per second).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "project/op_result.h"
#include "project/progress.h"
#include "project/tape_project.h"

namespace reelo {

class AtomicFileWriter;

inline constexpr const char* kSaveWavLabel = "Сохранение WAV-файла, подождите...";
inline constexpr const char* kWavTooLargeText = "Проект слишком велик для WAV-файла. Файл не сохранён.";

inline constexpr std::size_t kWavHeaderSize = 44;
// The RIFF size field holds 36 + data size, so that sum must fit 32 bits too.
inline constexpr std::uint64_t kWavRiffOverhead = 36;
inline constexpr std::uint64_t kMaxWavDataSize = 0xFFFFFFFFull - kWavRiffOverhead;

using WavHeader = std::array<std::uint8_t, kWavHeaderSize>;

// The 44-byte header for a data chunk of dataSize samples (at most kMaxWavDataSize).
WavHeader MakeWavHeader(std::uint32_t dataSize);

// Patches the two size fields of a header already written at the start of
// writer, for dataSize bytes of samples (cut to kMaxWavDataSize).
bool PatchWavSizes(AtomicFileWriter& writer, std::uint64_t dataSize);

// Writes the project's signal to wavFileName, replacing the file atomically:
// a failure leaves any earlier file as it was and returns
// OpResult::Fail(kSaveFailedText, reason). A project whose signal does not fit
// the 32-bit size fields is refused with kWavTooLargeText before anything is
// written. Progress: maximum = number of blocks, value i after block i.
// The project is only read.
OpResult SaveWavFile(const TapeProject& project, const std::string& wavFileName, Progress& progress);

}  // namespace reelo
