#include "formats/tzx_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <type_traits>

#include "formats/tzx_blocks.h"
#include "project/block_kinds.h"
#include "project/mapped_stretch.h"

namespace reelo {
namespace {

// Where the data length of the record-carrying kinds stands in their body, and
// how many bytes it has.
struct RecordLayout {
  std::uint8_t id;
  std::size_t head;  // kept bytes before the length
  int lengthBytes;
};
constexpr RecordLayout kRecordKinds[] = {
    {tzx::kStandard, kStandardHeadSize, 2},
    {tzx::kTurbo, kTurboHeadSize, 3},
    {tzx::kPureData, kPureDataHeadSize, 3},
};

const RecordLayout* RecordLayoutOf(std::uint8_t id) {
  switch (id) {
    case tzx::kStandard: return &kRecordKinds[0];
    case tzx::kTurbo: return &kRecordKinds[1];
    case tzx::kPureData: return &kRecordKinds[2];
    default: return nullptr;
  }
}

// A little-endian number of 2 or 3 bytes (the lengths and pauses of records).
std::uint32_t Little(const std::uint8_t* p, int bytes) {
  const std::uint32_t two = p[0] | static_cast<std::uint32_t>(p[1]) << 8;
  return bytes == 2 ? two : two | static_cast<std::uint32_t>(p[2]) << 16;
}

void PutLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The file read a chunk at a time into one buffer for the whole load (not
// zeroed: every read fills what it uses); each block's bytes are copied from
// it into the block: the path for files that cannot be mapped. Measured
// against reading each long block straight into its own bytes, this is
// faster: a block's bytes would have to be zeroed first, and every block
// would cost a system call.
class ChunkedFile {
 public:
  ChunkedFile(int fd, std::uint64_t size) : fd_(fd), size_(size), chunk_(new std::uint8_t[kChunk]) {}

  // The bytes from at on, at least want of them or up to the file's end;
  // null when the read failed (error() says why). Valid until the next call.
  const std::uint8_t* At(std::uint64_t at, std::size_t want) {
    const std::uint64_t end = at + std::min<std::uint64_t>(want, size_ - at);
    if ((at < start_ || end > start_ + held_) && !Fill(at)) return nullptr;
    return chunk_.get() + (at - start_);
  }

  // Appends the n bytes at `at` to out.
  bool AppendTo(std::vector<std::uint8_t>& out, std::uint64_t at, std::size_t n) {
    while (n > 0) {
      if ((at < start_ || at >= start_ + held_) && !Fill(at)) return false;
      const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(n, start_ + held_ - at));
      const std::uint8_t* from = chunk_.get() + (at - start_);
      out.insert(out.end(), from, from + take);
      at += take;
      n -= take;
    }
    return true;
  }

  int error() const { return error_; }

 private:
  static constexpr std::size_t kChunk = std::size_t{256} << 10;

  bool Fill(std::uint64_t at) {
    start_ = at;
    held_ = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, size_ - at));
    for (std::size_t done = 0; done < held_;) {
      const ssize_t got = ::pread(fd_, chunk_.get() + done, held_ - done, static_cast<off_t>(at + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        error_ = got < 0 ? errno : EIO;  // 0: the file became shorter than it was
        held_ = 0;
        return false;
      }
      done += static_cast<std::size_t>(got);
    }
    return true;
  }

  int fd_;
  std::uint64_t size_;
  std::unique_ptr<std::uint8_t[]> chunk_;
  std::uint64_t start_ = 0;                 // file offset of chunk_[0]
  std::size_t held_ = 0;
  int error_ = 0;
};

// The file mapped a stretch at a time, with ChunkedFile's calls: each block's
// bytes are copied once, from the file's pages straight into the block,
// where a read copies them twice (into the chunk, then into the block).
// A stretch the system will not map, or a page found gone (the file cut short
// by another program meanwhile), fails the pass; the caller then reads the
// file instead, so that what loads is always what a read of it gives.
class MappedFile {
 public:
  MappedFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}

  // As ChunkedFile::At; null when the pass failed.
  const std::uint8_t* At(std::uint64_t at, std::size_t want) {
    const std::uint64_t end = at + std::min<std::uint64_t>(want, size_ - at);
    if (end == at) return &nothing_;
    const auto start = static_cast<std::uint64_t>(stretch_.offset());
    if ((!stretch_.mapped() || at < start || end > start + stretch_.size()) && !MapAround(at, end)) return nullptr;
    return stretch_.data() + (at - static_cast<std::uint64_t>(stretch_.offset()));
  }

  bool AppendTo(std::vector<std::uint8_t>& out, std::uint64_t at, std::size_t n) {
    const std::uint8_t* from = At(at, n);
    if (from == nullptr) return false;
    out.insert(out.end(), from, from + n);
    return true;
  }

  // A failed pass is read again, and the read tells what went wrong.
  int error() const { return 0; }

  // True when every byte came from the file: every stretch was mapped, no
  // page failed, and the file is still as long as it was (the rest of a last
  // page beyond a new end reads as zeros without any fault).
  bool intact() const {
    if (failed_ || stretch_.lostPages()) return false;
    struct stat st {};
    return ::fstat(fd_, &st) == 0 && static_cast<std::uint64_t>(st.st_size) >= size_;
  }

 private:
  // Stretches of this size at least, so that a tape of a few megabytes is
  // mapped once, and a larger file never has more than this much mapped.
  static constexpr std::uint64_t kSpan = std::uint64_t{8} << 20;

  // Maps the stretch that holds the bytes from at to end.
  bool MapAround(std::uint64_t at, std::uint64_t end) {
    if (failed_ || stretch_.lostPages()) {
      failed_ = true;
      return false;
    }
    const std::uint64_t page = MappedStretch::PageSize();
    const std::uint64_t offset = at / page * page;
    const std::uint64_t length = std::min(std::max(kSpan, end - offset), size_ - offset);
    if (length > SIZE_MAX ||
        !stretch_.Map(fd_, static_cast<std::int64_t>(offset), static_cast<std::size_t>(length), 0)) {
      failed_ = true;
      return false;
    }
    return true;
  }

  int fd_;
  std::uint64_t size_;
  MappedStretch stretch_;
  bool failed_ = false;
  const std::uint8_t nothing_ = 0;  // what a read of no bytes points at
};

// The whole file read into one buffer, which the blocks of records then view
// instead of each copying its bytes: a load costs about what a plain read of
// the file costs, and no allocation per block. The buffer is filled a piece at
// a time, as far as the reader has come, so that the blocks of a piece are
// taken while the next is still to be read.
// The buffer is changed only while the load runs: the 3-byte data length of a
// turbo or pure data block is turned into the 2-byte length its record starts
// with, in the two bytes just before the data, so that every record is one
// stretch of the buffer. Nothing reads those bytes of the file again.
class WholeFile {
 public:
  WholeFile(int fd, std::uint64_t size) : fd_(fd), size_(static_cast<std::size_t>(size)) {
    // The buffer starts half a page past a page boundary. The system copies
    // each page of the file into the buffer with loads from the page and
    // stores a fixed distance away; the processor takes a store whose
    // address matches a later load's in the low bits for a dependency, and
    // the copy is slowest when the distance within a page is short (a plain
    // allocation starts 16 to 64 bytes past a boundary) and fastest at half
    // a page: measured, 15-20% faster than the first, 6% faster than on the
    // boundary. The room is allocated plainly and placed by hand: an aligned
    // allocation this large is mapped afresh every time, where a plain one
    // reuses the pages last freed.
    constexpr std::size_t kPage = 4096;
    constexpr std::size_t kHalfPage = kPage / 2;
    auto* room = static_cast<std::uint8_t*>(std::malloc(size_ + kPage));
    if (room == nullptr) throw std::bad_alloc();
    bytes_ = room + (kPage + kHalfPage - reinterpret_cast<std::uintptr_t>(room) % kPage) % kPage;
    buffer_ = std::shared_ptr<const std::uint8_t[]>(bytes_, [room](const std::uint8_t*) { std::free(room); });
  }

  // As ChunkedFile::At; null when the read failed.
  const std::uint8_t* At(std::uint64_t at, std::size_t want) {
    const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(at + want, size_));
    return ReadThrough(end) ? bytes_ + at : nullptr;
  }

  // Asks for the first bytes of the next block while this one is taken: a
  // load stops at every block for them, and they are rarely in the cache.
  void Prefetch(std::uint64_t at) const {
    if (at < read_) __builtin_prefetch(bytes_ + at);
  }

  // Makes `bytes` a view of the record of length data bytes at `data`, its
  // length field included: the lengthBytes bytes before the data hold it in
  // the file. False when the read failed.
  bool ViewRecord(TapeBytes& bytes, std::uint64_t data, std::size_t length, int lengthBytes) {
    const auto start = static_cast<std::size_t>(data) - 2;
    if (!ReadThrough(start + 2 + length)) return false;
    if (lengthBytes != 2) {
      bytes_[start] = static_cast<std::uint8_t>(length & 0xFF);
      bytes_[start + 1] = static_cast<std::uint8_t>(length >> 8);
    }
    bytes = TapeBytes(buffer_, start, length + 2);
    viewed_ += length + 2;
    return true;
  }

  // The bytes of the file the records view.
  std::uint64_t viewed() const { return viewed_; }

  bool AppendTo(std::vector<std::uint8_t>& out, std::uint64_t at, std::size_t n) {
    const std::uint8_t* from = At(at, n);
    if (from == nullptr) return false;
    out.insert(out.end(), from, from + n);
    return true;
  }

  int error() const { return error_; }

 private:
  // Pieces of a megabyte. The system's copy does not leave the bytes in the
  // cache whatever the piece's size (a block's first bytes miss it even in
  // pieces of 64 KB), so fewer, larger calls cost less: measured on tapes of
  // 1000 blocks, pieces of 64, 128 and 256 KB were slower.
  static constexpr std::size_t kPiece = std::size_t{1} << 20;

  // Reads the file on, a whole piece at a time, until the first end bytes
  // are in the buffer.
  bool ReadThrough(std::size_t end) {
    while (read_ < end) {
      if (error_ != 0) return false;
      const std::size_t target = read_ + std::min(std::max(kPiece, end - read_), size_ - read_);
      while (read_ < target) {
        const ssize_t got = ::pread(fd_, bytes_ + read_, target - read_, static_cast<off_t>(read_));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
          error_ = got < 0 ? errno : EIO;  // 0: the file became shorter than it was
          return false;
        }
        read_ += static_cast<std::size_t>(got);
      }
    }
    return true;
  }

  int fd_;
  std::size_t size_;
  std::uint8_t* bytes_ = nullptr;                 // the buffer, written by the load alone
  std::shared_ptr<const std::uint8_t[]> buffer_;  // the same, shared with the blocks that view it
  std::size_t read_ = 0;                          // bytes of the file in the buffer
  std::uint64_t viewed_ = 0;
  int error_ = 0;
};

// The most bytes of a block's body its size is read from (a custom
// information block's length ends at byte 20).
constexpr std::size_t kLongestSizeField = 20;

// Kept fields equal to those of the block of the same kind made last are
// shared with it: a game's turbo blocks carry the same timings, its data
// blocks the same pause, and kept fields never change once made (an edit puts
// new ones in place). Whole bodies are compared up to this size.
constexpr std::size_t kLongestSharedBody = 64;

class SharedFields {
 public:
  std::shared_ptr<const KeptFields> Make(std::uint8_t id, const std::uint8_t* head, std::size_t size) {
    std::shared_ptr<const KeptFields>& last = last_[id];
    if (!last || last->head.size() != size || (size > 0 && std::memcmp(last->head.data(), head, size) != 0)) {
      last = std::make_shared<const KeptFields>(KeptFields{id, {head, head + size}});
    }
    return last;
  }

 private:
  std::array<std::shared_ptr<const KeptFields>, 256> last_;
};

// The block at `at` (its ID there, its body of bodySize bytes after it), or
// false when the read failed.
template <class Source>
bool ReadBlock(Source& file, std::uint64_t at, std::uint8_t id, std::size_t bodySize, SharedFields& fields,
               TapeBlock& block) {
  const RecordLayout* layout = RecordLayoutOf(id);
  const std::uint64_t body = at + 1;
  if (layout != nullptr && bodySize >= layout->head + static_cast<std::size_t>(layout->lengthBytes)) {
    const std::uint8_t* head = file.At(body, layout->head + static_cast<std::size_t>(layout->lengthBytes));
    if (head == nullptr) return false;
    const std::size_t length = Little(head + layout->head, layout->lengthBytes);
    if (length <= static_cast<std::size_t>(kMaxRecordLength)) {
      // The head is taken before the data is read: the read may refill the chunk.
      const int pause = static_cast<int>(Little(head, 2));
      std::shared_ptr<const KeptFields> kept;
      if (id != tzx::kStandard || pause != kStandardPauseMs) kept = fields.Make(id, head, layout->head);
      const std::uint64_t data = body + layout->head + static_cast<std::size_t>(layout->lengthBytes);
      if constexpr (std::is_same_v<Source, WholeFile>) {
        if (!file.ViewRecord(block, data, length, layout->lengthBytes)) return false;
        block.kept = std::move(kept);
        return true;
      }
      auto& bytes = block.mutableBytes();
      bytes.reserve(length + 2);
      bool read = false;
      if (layout->lengthBytes == 2) {
        // The length field in the file is the record's own: one copy of both.
        read = file.AppendTo(bytes, data - 2, length + 2);
      } else {
        bytes.push_back(static_cast<std::uint8_t>(length & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(length >> 8));
        read = file.AppendTo(bytes, data, length);
      }
      if (!read) return false;
      block.kept = std::move(kept);
      return true;
    }
  }
  if (bodySize <= kLongestSharedBody) {
    const std::uint8_t* whole = file.At(body, bodySize);
    if (whole == nullptr) return false;
    block.kept = fields.Make(id, whole, bodySize);
    return true;
  }
  KeptFields kept{id, {}};
  kept.head.reserve(bodySize);
  if (!file.AppendTo(kept.head, body, bodySize)) return false;
  block.kept = std::make_shared<const KeptFields>(std::move(kept));
  return true;
}

template <class Source>
void ReadBlocks(Source& file, std::uint64_t size, std::size_t room, bool standardOnly,
                const std::function<void(std::uint64_t)>& step, TzxKinds& read) {
  SharedFields fields;
  std::uint64_t at = kTzxHeaderSize;
  while (at < size) {
    const std::uint8_t* start = file.At(at, 1 + kLongestSizeField);
    if (start == nullptr) {
      read.error = file.error();
      break;
    }
    const std::uint8_t id = start[0];
    const std::uint64_t left = size - at - 1;
    const std::optional<std::uint64_t> body = TzxBodySize(id, start + 1, left);
    if (!body || *body > left) {
      read.truncatedOffset = at;
      read.truncatedBytes = size - at;
      break;
    }
    if (standardOnly && id != tzx::kStandard) {
      read.kindsRefused = true;
      break;
    }
    if constexpr (std::is_same_v<Source, WholeFile>) file.Prefetch(at + *body + 1);
    if (read.blocks.size() < room) {
      read.blocks.emplace_back();
      if (!ReadBlock(file, at, id, static_cast<std::size_t>(*body), fields, read.blocks.back())) {
        read.blocks.pop_back();
        read.error = file.error();
        break;
      }
    } else {
      ++read.leftOut;
    }
    at += *body + 1;
    if (step) step(at);
  }
}

// Blocks that view less than half of the file (most of it left out for want
// of room, or held in kept fields) get their own bytes instead, so that the
// buffer is freed and a few blocks taken from a large file do not hold all of
// it for as long as they live.
void OwnBytesIfFewViewed(std::vector<TapeBlock>& blocks, std::uint64_t viewed, std::uint64_t size) {
  if (viewed * 2 >= size) return;
  for (TapeBlock& block : blocks) {
    if (block.isView()) block.mutableBytes();
  }
}

}  // namespace

TzxKinds ReadTzxKinds(int fd, std::uint64_t size, std::size_t room, bool standardOnly,
                      const std::function<void(std::uint64_t)>& step, FileAccess access) {
  // The smallest block is 1 byte: no more blocks than that, nor than room.
  const auto most = static_cast<std::size_t>(std::min<std::uint64_t>(room, size));
  if (access == FileAccess::WholeWherePossible && size <= kLargestWholeFile) {
    TzxKinds read;
    read.blocks.reserve(most);
    WholeFile whole(fd, size);
    ReadBlocks(whole, size, room, standardOnly, step, read);
    // A failed read keeps no blocks, wherever the pieces fell.
    if (read.error != 0) read.blocks.clear();
    OwnBytesIfFewViewed(read.blocks, whole.viewed(), size);
    return read;
  }
  if (access != FileAccess::Read) {
    TzxKinds read;
    read.blocks.reserve(most);
    MappedFile mapped(fd, size);
    ReadBlocks(mapped, size, room, standardOnly, step, read);
    if (mapped.intact()) return read;
  }
  TzxKinds read;
  read.blocks.reserve(most);
  ChunkedFile chunks(fd, size);
  ReadBlocks(chunks, size, room, standardOnly, step, read);
  return read;
}

void AppendTzxHeader(std::vector<std::uint8_t>& out) {
  const std::uint8_t header[kTzxHeaderSize] = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
  out.insert(out.end(), header, header + kTzxHeaderSize);
}

void AppendTzxBlock(std::vector<std::uint8_t>& out, const TapeBlock& block) {
  if (block.kept && !block.holdsRecord()) {
    out.push_back(block.kept->id);
    out.insert(out.end(), block.kept->head.begin(), block.kept->head.end());
    return;
  }
  const RecordLayout* layout = RecordLayoutOf(block.kind());
  out.push_back(layout->id);
  if (block.kept) {
    const auto& head = block.kept->head;
    for (std::size_t i = 0; i < layout->head; ++i) out.push_back(i < head.size() ? head[i] : 0);
  } else {
    PutLittle(out, kStandardPauseMs, 2);
  }
  const auto length = static_cast<std::size_t>(RecordLength(block));
  PutLittle(out, static_cast<std::uint32_t>(length), layout->lengthBytes);
  const std::size_t present = block.size() > 2 ? std::min(block.size() - 2, length) : 0;
  if (present > 0) out.insert(out.end(), block.data() + 2, block.data() + 2 + present);
  out.resize(out.size() + (length - present), 0);
}

}  // namespace reelo
