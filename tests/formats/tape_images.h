// Tape images of every format built in code: TZX blocks byte by byte, CSW and
// direct recordings of the ROM's own pulses, so a test reads as "this tape
// gives these records".
#pragma once

#include <zlib.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "tape_builders.h"

namespace reelo::testing {

inline void PutWord(Bytes& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The bytes of the blocks that hold records (what a TAP file of the tape holds).
inline std::vector<TapeBlock> RecordBytes(const std::vector<TapeBlock>& blocks) {
  std::vector<TapeBlock> records;
  for (const TapeBlock& block : blocks) {
    if (block.holdsRecord()) records.emplace_back(block.bytes());
  }
  return records;
}

inline Bytes Body(const TapeBlock& record) { return Bytes(record.begin() + 2, record.end()); }

// A TZX file of the given blocks.
inline Bytes Tzx(std::initializer_list<Bytes> blocks) {
  Bytes out{'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
  for (const Bytes& b : blocks) out.insert(out.end(), b.begin(), b.end());
  return out;
}

inline Bytes TzxRom(const TapeBlock& record, int pauseMs = 1000) {
  Bytes out{0x10};
  PutWord(out, pauseMs, 2);
  PutWord(out, static_cast<std::uint32_t>(record.size() - 2), 2);
  out.insert(out.end(), record.begin() + 2, record.end());
  return out;
}

// A turbo block: pilot, sync and bit lengths in T-states.
inline Bytes TzxTurbo(const Bytes& body, int pilot = 1500, int zero = 500, int one = 1000, int sync1 = 400,
                      int sync2 = 450) {
  Bytes out{0x11};
  for (int v : {pilot, sync1, sync2, zero, one, 3000}) PutWord(out, v, 2);
  out.push_back(8);
  PutWord(out, 500, 2);
  PutWord(out, static_cast<std::uint32_t>(body.size()), 3);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

inline Bytes TzxPureData(const Bytes& body, int usedBits = 8) {
  Bytes out{0x14};
  PutWord(out, 855, 2);
  PutWord(out, 1710, 2);
  out.push_back(static_cast<std::uint8_t>(usedBits));
  PutWord(out, 1000, 2);
  PutWord(out, static_cast<std::uint32_t>(body.size()), 3);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

inline Bytes TzxPureTone(int length, int pulses) {
  Bytes out{0x12};
  PutWord(out, length, 2);
  PutWord(out, pulses, 2);
  return out;
}

inline Bytes TzxPulses(std::initializer_list<int> lengths) {
  Bytes out{0x13, static_cast<std::uint8_t>(lengths.size())};
  for (int v : lengths) PutWord(out, v, 2);
  return out;
}

inline Bytes TzxPause(int ms) {
  return {0x20, static_cast<std::uint8_t>(ms & 0xFF), static_cast<std::uint8_t>(ms >> 8)};
}

inline Bytes TzxText(std::uint8_t id, const std::string& text) {
  Bytes out{id, static_cast<std::uint8_t>(text.size())};
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

// A block the format lets a reader skip: the ID and a 4-byte length.
inline Bytes TzxSkippable(std::uint8_t id, const Bytes& payload) {
  Bytes out{id};
  PutWord(out, static_cast<std::uint32_t>(payload.size()), 4);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

// PZX files: a block is its tag, its size and its body; PULS bodies are
// 16-bit words, DATA bodies a bit count, a tail pulse, the pulses of a 0 and
// of a 1, then the bytes.
inline Bytes PzxBlock(const char* tag, const Bytes& body) {
  Bytes out(tag, tag + 4);
  PutWord(out, static_cast<std::uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

inline Bytes Words(std::initializer_list<int> words) {
  Bytes out;
  for (int w : words) PutWord(out, static_cast<std::uint32_t>(w), 2);
  return out;
}

inline Bytes PzxData(std::uint32_t bits, int tail, std::initializer_list<int> zero, std::initializer_list<int> one,
           const Bytes& bytes) {
  Bytes out;
  PutWord(out, bits, 4);
  PutWord(out, static_cast<std::uint32_t>(tail), 2);
  out.push_back(static_cast<std::uint8_t>(zero.size()));
  out.push_back(static_cast<std::uint8_t>(one.size()));
  for (int v : zero) PutWord(out, static_cast<std::uint32_t>(v), 2);
  for (int v : one) PutWord(out, static_cast<std::uint32_t>(v), 2);
  out.insert(out.end(), bytes.begin(), bytes.end());
  return PzxBlock("DATA", out);
}

// Data with the ROM's bit pulses; it starts high after a ROM pilot and sync
// (an odd number of pulses from the low level a PULS block starts at).
inline Bytes PzxRomData(const TapeBlock& record, int tail = 945, bool high = true) {
  const auto bits = static_cast<std::uint32_t>((record.size() - 2) * 8);
  return PzxData(high ? bits | 0x80000000u : bits, tail, {855, 855}, {1710, 1710},
                 Bytes(record.begin() + 2, record.end()));
}

inline Bytes PzxPause(std::uint32_t ticks) {
  Bytes out;
  PutWord(out, ticks, 4);
  return PzxBlock("PAUS", out);
}

inline Bytes PzxFile(std::initializer_list<Bytes> blocks, const Bytes& info = {}) {
  Bytes header{1, 0};
  header.insert(header.end(), info.begin(), info.end());
  Bytes out = PzxBlock("PZXT", header);
  for (const Bytes& b : blocks) out.insert(out.end(), b.begin(), b.end());
  return out;
}

// The pulses (in 3.5 MHz T-states) the ROM's SAVE makes for a record.
inline std::vector<int> RomPulses(const TapeBlock& record) {
  std::vector<int> pulses(record.size() > 2 && record[2] < 0x80 ? 8063 : 3223, 2168);
  pulses.push_back(667);
  pulses.push_back(735);
  for (std::size_t i = 2; i < record.size(); ++i) {
    for (int bit = 7; bit >= 0; --bit) {
      const int length = (record[i] >> bit) & 1 ? 1710 : 855;
      pulses.push_back(length);
      pulses.push_back(length);
    }
  }
  return pulses;
}

// Pulses in T-states as whole samples at the rate, their ends rounded down.
inline std::vector<std::uint32_t> PulsesInSamples(const std::vector<int>& pulses, std::uint32_t rate) {
  std::vector<std::uint32_t> out;
  std::uint64_t clock = 0, done = 0;
  for (int p : pulses) {
    clock += static_cast<std::uint64_t>(p);
    const std::uint64_t end = clock * rate / 3500000;
    out.push_back(static_cast<std::uint32_t>(end - done));
    done = end;
  }
  return out;
}

inline std::vector<int> Silence(int ms) { return {ms * 3500}; }

// CSW run lengths of the pulses at the rate: a byte each, or 0 and 4 bytes.
inline Bytes CswRunLengths(const std::vector<int>& pulses, std::uint32_t rate) {
  Bytes out;
  for (std::uint32_t n : PulsesInSamples(pulses, rate)) {
    if (n > 0 && n < 256) {
      out.push_back(static_cast<std::uint8_t>(n));
    } else {
      out.push_back(0);
      PutWord(out, n, 4);
    }
  }
  return out;
}

// A CSW version 1 file (plain run lengths) of the pulses at 44100 Hz.
inline Bytes CswV1(const std::vector<int>& pulses) {
  const std::string signature = "Compressed Square Wave\x1A";
  Bytes out(signature.begin(), signature.end());
  out.push_back(1);
  out.push_back(1);
  PutWord(out, 44100, 2);
  out.push_back(1);  // run-length
  out.push_back(0);
  PutWord(out, 0, 3);
  const Bytes runs = CswRunLengths(pulses, 44100);
  out.insert(out.end(), runs.begin(), runs.end());
  return out;
}

// A CSW version 2 file with the given rate, compression, pulse count in its
// header, data, and a header extension of that many bytes.
inline Bytes CswV2(std::uint32_t rate, std::uint8_t compression, const Bytes& data, std::uint8_t extension = 0,
                   std::uint32_t statedPulses = 0) {
  const std::string signature = "Compressed Square Wave\x1A";
  Bytes out(signature.begin(), signature.end());
  out.push_back(2);
  out.push_back(0);
  PutWord(out, rate, 4);
  PutWord(out, statedPulses, 4);
  out.push_back(compression);
  out.push_back(0);
  out.push_back(extension);
  out.insert(out.end(), 16 + extension, 0);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}


// The data packed by zlib, as a CSW file's Z-RLE data is.
inline Bytes Deflated(const Bytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes out(size);
  compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 1);
  out.resize(size);
  return out;
}

// A TZX direct-recording block of the pulses, one bit per sample at 79 T-states.
inline Bytes TzxDirectRecording(const std::vector<int>& pulses) {
  Bytes bits;
  bool high = false;
  std::size_t count = 0;
  for (std::uint32_t n : PulsesInSamples(pulses, 3500000 / 79)) {
    for (std::uint32_t i = 0; i < n; ++i, ++count) {
      if (count % 8 == 0) bits.push_back(0);
      if (high) bits.back() |= static_cast<std::uint8_t>(0x80 >> (count % 8));
    }
    high = !high;
  }
  Bytes out{0x15};
  PutWord(out, 79, 2);
  PutWord(out, 0, 2);
  out.push_back(static_cast<std::uint8_t>(count % 8 == 0 ? 8 : count % 8));
  PutWord(out, static_cast<std::uint32_t>(bits.size()), 3);
  out.insert(out.end(), bits.begin(), bits.end());
  return out;
}

inline std::vector<int> Joined(std::initializer_list<std::vector<int>> parts) {
  std::vector<int> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace reelo::testing
