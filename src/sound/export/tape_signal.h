// The tape signal of one block: the run of 8-bit samples at 22050 samples per
// second that a ZX Spectrum's tape input reads back as that block.
//
// The one building unit is the cycle of half-length n: n samples at the low
// level, then n at the high level. A block is a pilot tone, one sync cycle,
// one cycle per bit of the record's bytes (most significant bit first) and a
// pause at the rest level.
#pragma once

#include <cstdint>

#include "project/tape_project.h"
#include "sound/export/sample_sink.h"

namespace reelo {

inline constexpr int kSampleRate = 22050;

inline constexpr std::uint8_t kLowLevel = 95;    // first half of every cycle
inline constexpr std::uint8_t kHighLevel = 159;  // second half of every cycle
inline constexpr std::uint8_t kRestLevel = 127;  // the pause after each block

// Half-lengths in samples.
inline constexpr int kPilotHalfLength = 13;
inline constexpr int kSyncHalfLength = 5;
inline constexpr int kZeroHalfLength = 5;
inline constexpr int kOneHalfLength = 10;

// A record of header length gets the long pilot, any other record the short one.
inline constexpr int kHeaderPilotCycles = 3001;
inline constexpr int kDataPilotCycles = 1501;
inline constexpr int kPauseSamples = 10001;

// Bytes sent after the length field: flag, data, checksum and one more byte.
// Blocks are held as whole records only, so that extra byte is always 0.
inline constexpr int kExtraBytesSent = 1;

// Appends one cycle: halfLength samples at kLowLevel, then halfLength at kHighLevel.
void WriteSignalCycle(SampleSink& sink, int halfLength);

// Appends the whole signal of one block: pilot, sync, the L + 1 bytes from
// byte 2 on (the byte after the checksum is 0), pause.
void WriteBlockSignal(SampleSink& sink, const TapeBlock& block);

// 3001 for a record of length 19, whatever its flag byte; 1501 otherwise.
int PilotCycles(const TapeBlock& block);

// The exact number of samples WriteBlockSignal appends for the block.
std::uint64_t BlockSignalLength(const TapeBlock& block);

// The exact number of samples of every block of the project together.
std::uint64_t ProjectSignalLength(const TapeProject& project);

}  // namespace reelo
