// One block of a tape. A block is a TAP record (its byte vector, exactly what
// a TAP file holds and what every reader of records sees) or another TZX kind
// whose fields are kept as the file had them, so that a tape is saved as it was
// read and sounds with its own timings.
//
// The kept fields sit behind a shared pointer to an unchangeable value: a TAP
// record carries none and costs nothing more than its bytes, and copying a
// block (every edit and undo step does) copies the pointer, not the fields.
#pragma once

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <span>
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

// The bytes of a block: either its own vector, or a view into a buffer that
// holds a loaded file's bytes and never changes (the blocks of one load share
// it, so a load copies no block's bytes and makes no allocation per block).
// Reading is the same on both storages and never changes anything, so copies
// of a block may be read on several threads at once. Every change goes through
// a call that first copies a viewed block's bytes into its own vector
// (copy-on-write); the buffer itself is never written.
//
// A copy of a view shares the buffer (cheap, as copies of blocks in the edit
// history are); a copy of an own vector copies the vector. The buffer lives
// as long as any block views it.
class TapeBytes {
 public:
  using Bytes = std::vector<std::uint8_t>;
  using value_type = std::uint8_t;
  using size_type = std::size_t;
  using difference_type = std::ptrdiff_t;
  using const_reference = const std::uint8_t&;
  using reference = const_reference;
  using const_pointer = const std::uint8_t*;
  using pointer = const_pointer;
  using const_iterator = const std::uint8_t*;
  using iterator = const_iterator;

  TapeBytes() = default;
  TapeBytes(const Bytes& bytes) : own_(bytes) {}        // NOLINT: a record is its bytes
  TapeBytes(Bytes&& bytes) : own_(std::move(bytes)) {}  // NOLINT
  TapeBytes(std::initializer_list<std::uint8_t> bytes) : own_(bytes) {}
  template <std::input_iterator It>
  TapeBytes(It first, It last) : own_(first, last) {}
  explicit TapeBytes(std::size_t count, std::uint8_t value = 0) : own_(count, value) {}
  explicit TapeBytes(std::span<const std::uint8_t> bytes) : own_(bytes.begin(), bytes.end()) {}
  // A view of size bytes at offset in buffer (no view when size is 0: an
  // empty block needs no buffer).
  TapeBytes(const std::shared_ptr<const std::uint8_t[]>& buffer, std::size_t offset, std::size_t size)
      : view_(size > 0 ? std::shared_ptr<const std::uint8_t>(buffer, buffer.get() + offset) : nullptr),
        viewSize_(size > 0 ? size : 0) {}

  // Reading, on either storage.
  std::size_t size() const { return view_ ? viewSize_ : own_.size(); }
  bool empty() const { return size() == 0; }
  const std::uint8_t* data() const { return view_ ? view_.get() : own_.data(); }
  const std::uint8_t& operator[](std::size_t i) const { return data()[i]; }
  const std::uint8_t* begin() const { return data(); }
  const std::uint8_t* end() const { return data() + size(); }
  const std::uint8_t* cbegin() const { return begin(); }
  const std::uint8_t* cend() const { return end(); }
  const std::uint8_t& front() const { return data()[0]; }
  const std::uint8_t& back() const { return data()[size() - 1]; }
  std::span<const std::uint8_t> span() const { return {data(), size()}; }
  operator std::span<const std::uint8_t>() const { return span(); }  // NOLINT: read as bytes anywhere
  Bytes toVector() const { return Bytes(begin(), end()); }
  // True while the bytes are a view into a shared buffer.
  bool isView() const { return view_ != nullptr; }
  // True when both view the same bytes of the same buffer.
  bool sharesBytesWith(const TapeBytes& other) const { return view_ && view_ == other.view_; }

  // Changing: each call gives the block its own copy of the bytes first.
  Bytes& mutableBytes() {
    Detach();
    return own_;
  }
  void set(std::size_t i, std::uint8_t value) { mutableBytes()[i] = value; }
  void push_back(std::uint8_t value) { mutableBytes().push_back(value); }
  void pop_back() { mutableBytes().pop_back(); }
  void resize(std::size_t count, std::uint8_t value = 0) { mutableBytes().resize(count, value); }
  void reserve(std::size_t count) { mutableBytes().reserve(count); }
  void clear() {
    view_.reset();
    viewSize_ = 0;
    own_.clear();
  }
  void assign(std::size_t count, std::uint8_t value) {
    clear();
    own_.assign(count, value);
  }
  template <std::input_iterator It>
  void assign(It first, It last) {
    Bytes bytes(first, last);  // the source may be this block's own bytes
    clear();
    own_ = std::move(bytes);
  }
  // pos, first and last are iterators of this block (taken before the call).
  const std::uint8_t* insert(const std::uint8_t* pos, std::uint8_t value) {
    const std::size_t at = IndexOf(pos);
    auto& bytes = mutableBytes();
    return bytes.data() + (bytes.insert(bytes.begin() + static_cast<difference_type>(at), value) - bytes.begin());
  }
  const std::uint8_t* insert(const std::uint8_t* pos, std::size_t count, std::uint8_t value) {
    const std::size_t at = IndexOf(pos);
    auto& bytes = mutableBytes();
    bytes.insert(bytes.begin() + static_cast<difference_type>(at), count, value);
    return bytes.data() + at;
  }
  template <std::input_iterator It>
  const std::uint8_t* insert(const std::uint8_t* pos, It first, It last) {
    const std::size_t at = IndexOf(pos);
    Bytes inserted(first, last);  // the source may be this block's own bytes
    auto& bytes = mutableBytes();
    bytes.insert(bytes.begin() + static_cast<difference_type>(at), inserted.begin(), inserted.end());
    return bytes.data() + at;
  }
  const std::uint8_t* insert(const std::uint8_t* pos, std::initializer_list<std::uint8_t> values) {
    return insert(pos, values.begin(), values.end());
  }
  const std::uint8_t* erase(const std::uint8_t* pos) { return erase(pos, pos + 1); }
  const std::uint8_t* erase(const std::uint8_t* first, const std::uint8_t* last) {
    const std::size_t from = IndexOf(first);
    const std::size_t to = IndexOf(last);
    auto& bytes = mutableBytes();
    bytes.erase(bytes.begin() + static_cast<difference_type>(from), bytes.begin() + static_cast<difference_type>(to));
    return bytes.data() + from;
  }

  friend bool operator==(const TapeBytes& a, const TapeBytes& b) {
    return a.size() == b.size() && (a.size() == 0 || std::memcmp(a.data(), b.data(), a.size()) == 0);
  }
  friend bool operator==(const TapeBytes& a, const Bytes& b) {
    return a.size() == b.size() && (b.empty() || std::memcmp(a.data(), b.data(), b.size()) == 0);
  }
  friend auto operator<=>(const TapeBytes& a, const TapeBytes& b) {
    return std::lexicographical_compare_three_way(a.begin(), a.end(), b.begin(), b.end());
  }

 private:
  std::size_t IndexOf(const std::uint8_t* p) const { return static_cast<std::size_t>(p - data()); }
  void Detach() {
    if (!view_) return;
    own_.assign(view_.get(), view_.get() + viewSize_);
    view_.reset();
    viewSize_ = 0;
  }

  Bytes own_;                                // the bytes while the block is not a view
  std::shared_ptr<const std::uint8_t> view_;  // first viewed byte; it shares the buffer's ownership
  std::size_t viewSize_ = 0;
};

struct TapeBlock : TapeBytes {
  using TapeBytes::TapeBytes;
  TapeBlock() = default;
  TapeBlock(const TapeBytes& bytes) : TapeBytes(bytes) {}  // NOLINT: a record is its bytes
  TapeBlock(TapeBytes&& bytes) : TapeBytes(std::move(bytes)) {}  // NOLINT
  TapeBlock(TapeBytes bytes, std::shared_ptr<const KeptFields> fields)
      : TapeBytes(std::move(bytes)), kept(std::move(fields)) {}

  // Null for a plain TAP record (a standard block with the usual pause).
  std::shared_ptr<const KeptFields> kept;

  // The TZX block ID of the kind (0x10 for a plain record).
  std::uint8_t kind() const { return kept ? kept->id : tzx::kStandard; }
  bool isPlainRecord() const { return !kept; }
  // True when the bytes are a record (every kind that carries bytes).
  bool holdsRecord() const {
    return !kept || ((kept->id == tzx::kStandard || kept->id == tzx::kTurbo || kept->id == tzx::kPureData) && !empty());
  }

  TapeBytes& bytes() { return *this; }
  const TapeBytes& bytes() const { return *this; }

  friend bool operator==(const TapeBlock& a, const TapeBlock& b) {
    if (a.bytes() != b.bytes()) return false;
    if (a.kept == b.kept) return true;
    return a.kept && b.kept && *a.kept == *b.kept;
  }
};

}  // namespace reelo
