// A stretch of a file mapped into memory for reading, so that a reader looks
// at the page cache itself instead of a copy of it: the recording's scans
// search it for level changes, the TZX load copies each block from it once.
//
// A mapped file can shrink under its reader (another program truncates it);
// a load from a page the file no longer has would raise SIGBUS and end the
// process. Every stretch is therefore registered with one guard, the process's
// only SIGBUS handler for mapped files: it puts a page of the stretch's fill
// byte in place of the vanished one, marks the stretch, and the load goes on;
// the reader learns it from lostPages(). A SIGBUS anywhere else goes to the
// handler that was there before. Where the guard cannot be set up (or too many
// stretches are mapped at once) Map fails and the caller reads the file
// instead.
#pragma once

#include <cstddef>
#include <cstdint>

namespace reelo {

class MappedStretch {
 public:
  MappedStretch() = default;
  ~MappedStretch() { Unmap(); }
  MappedStretch(const MappedStretch&) = delete;
  MappedStretch& operator=(const MappedStretch&) = delete;

  // Maps size bytes of the file from offset, a multiple of PageSize(); any
  // stretch mapped before is unmapped first. A page found gone reads as
  // `fill` bytes. False when the system refuses (nothing is mapped then).
  bool Map(int fd, std::int64_t offset, std::size_t size, std::uint8_t fill);
  void Unmap();

  bool mapped() const { return data_ != nullptr; }
  const std::uint8_t* data() const { return data_; }
  std::int64_t offset() const { return offset_; }
  std::size_t size() const { return size_; }
  // True once a page of this stretch was found gone (and now reads as the
  // fill byte). Unmap forgets it.
  bool lostPages() const;

  static std::size_t PageSize();

 private:
  const std::uint8_t* data_ = nullptr;
  std::int64_t offset_ = 0;
  std::size_t size_ = 0;
  int slot_ = -1;  // the guard's entry for this stretch
};

}  // namespace reelo
