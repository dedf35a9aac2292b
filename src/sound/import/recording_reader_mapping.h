// A stretch of a recording file mapped into memory for reading, so a scan
// looks at the page cache itself instead of a copy of it: the copy costs as
// much as the whole search for level changes.
//
// A mapped file can shrink under its reader (another program truncates it);
// a load from a page the file no longer has would raise SIGBUS and end the
// process. Every stretch is therefore registered with a guard: its SIGBUS
// handler puts a page of rest-level samples (kOutsideSample) in place of the
// vanished one, marks the stretch, and the load goes on. A SIGBUS anywhere
// else goes to the handler that was there before. Where the guard cannot be
// set up (or too many stretches are mapped at once) Map fails and the caller
// reads the file instead.
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
  // stretch mapped before is unmapped first. False when the system refuses
  // (nothing is mapped then).
  bool Map(int fd, std::int64_t offset, std::size_t size);
  void Unmap();

  bool mapped() const { return data_ != nullptr; }
  const std::uint8_t* data() const { return data_; }
  std::int64_t offset() const { return offset_; }
  std::size_t size() const { return size_; }
  // True once a page of this stretch was found gone (and now reads as the
  // rest level). Unmap forgets it.
  bool lostPages() const;

  static std::size_t PageSize();

 private:
  const std::uint8_t* data_ = nullptr;
  std::int64_t offset_ = 0;
  std::size_t size_ = 0;
  int slot_ = -1;  // the guard's entry for this stretch
};

}  // namespace reelo
