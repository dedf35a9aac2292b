// One block of a tape. A block is a TAP record (its byte vector, exactly what
// a TAP file holds and what every reader of records sees) or another TZX kind
// whose fields are kept as the file had them, so that a tape is saved as it was
// read and sounds with its own timings.
//
// The kept fields sit behind a shared pointer to an unchangeable value: a TAP
// record carries none and costs nothing more than its bytes, and copying a
// block (every edit and undo step does) copies the pointer, not the fields.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace reelo {

// TZX block IDs of the kinds a block can be.
namespace tzx {
inline constexpr std::uint8_t kStandard = 0x10;
inline constexpr std::uint8_t kTurbo = 0x11;
inline constexpr std::uint8_t kPureTone = 0x12;
inline constexpr std::uint8_t kPulseSequence = 0x13;
inline constexpr std::uint8_t kPureData = 0x14;
inline constexpr std::uint8_t kDirectRecording = 0x15;
inline constexpr std::uint8_t kCswRecording = 0x18;
inline constexpr std::uint8_t kGeneralisedData = 0x19;
inline constexpr std::uint8_t kPause = 0x20;
inline constexpr std::uint8_t kGroupStart = 0x21;
inline constexpr std::uint8_t kGroupEnd = 0x22;
inline constexpr std::uint8_t kJump = 0x23;
inline constexpr std::uint8_t kLoopStart = 0x24;
inline constexpr std::uint8_t kLoopEnd = 0x25;
inline constexpr std::uint8_t kCallSequence = 0x26;
inline constexpr std::uint8_t kReturn = 0x27;
inline constexpr std::uint8_t kSelect = 0x28;
inline constexpr std::uint8_t kStopIn48k = 0x2A;
inline constexpr std::uint8_t kSignalLevel = 0x2B;
inline constexpr std::uint8_t kText = 0x30;
inline constexpr std::uint8_t kMessage = 0x31;
inline constexpr std::uint8_t kArchiveInfo = 0x32;
inline constexpr std::uint8_t kHardware = 0x33;
inline constexpr std::uint8_t kCustomInfo = 0x35;
inline constexpr std::uint8_t kGlue = 0x5A;
}  // namespace tzx

// The fields of a block that a TAP record cannot hold, as the TZX file has
// them after the block's ID.
//  - Standard, turbo and pure data blocks whose data fits a record: `head` is
//    the part before the data length (standard: the pause; turbo: the timings,
//    pilot count, used bits of the last byte and pause; pure data: the bit
//    timings, used bits and pause). The data itself is the block's record.
//  - Every other block: `head` is the whole block after its ID, and the block
//    holds no record (its byte vector is empty).
struct KeptFields {
  std::uint8_t id = 0;
  std::vector<std::uint8_t> head;
  bool operator==(const KeptFields&) const = default;
};

struct TapeBlock : std::vector<std::uint8_t> {
  using Bytes = std::vector<std::uint8_t>;
  using Bytes::Bytes;
  TapeBlock() = default;
  TapeBlock(const Bytes& bytes) : Bytes(bytes) {}  // NOLINT: a record is its bytes
  TapeBlock(Bytes&& bytes) : Bytes(std::move(bytes)) {}  // NOLINT
  TapeBlock(Bytes bytes, std::shared_ptr<const KeptFields> fields) : Bytes(std::move(bytes)), kept(std::move(fields)) {}

  // Null for a plain TAP record (a standard block with the usual pause).
  std::shared_ptr<const KeptFields> kept;

  // The TZX block ID of the kind (0x10 for a plain record).
  std::uint8_t kind() const { return kept ? kept->id : tzx::kStandard; }
  bool isPlainRecord() const { return !kept; }
  // True when the byte vector is a record (every kind that carries bytes).
  bool holdsRecord() const {
    return !kept || ((kept->id == tzx::kStandard || kept->id == tzx::kTurbo || kept->id == tzx::kPureData) && !empty());
  }

  Bytes& bytes() { return *this; }
  const Bytes& bytes() const { return *this; }

  friend bool operator==(const TapeBlock& a, const TapeBlock& b) {
    if (a.bytes() != b.bytes()) return false;
    if (a.kept == b.kept) return true;
    return a.kept && b.kept && *a.kept == *b.kept;
  }
};

}  // namespace reelo
