// A regular file's bytes mapped into memory for one pass of a reader, so that
// each byte is copied once, from the file's pages straight into its block.
//
// A mapping turns a page the system cannot supply (the file cut short by
// another program while it is read, a failing disk) into a SIGBUS, which
// would end the program. While a MappedFile exists, such a fault inside it is
// caught on the thread that reads it: the page is replaced by zeros, the read
// carries on, and intact() then says that what was read is not the file. A
// fault anywhere else goes to the handler that was in place before. Where the
// catch cannot be put in place, Map refuses and the reader reads instead.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace reelo {

// How a reader gets at a file's bytes: mapped where possible (falling back to
// reads), or always read (the path every reader keeps for files that cannot
// be mapped; tests run both).
enum class FileAccess { MapWherePossible, Read };

class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Maps the first size bytes of the open file fd for reading. False, with
  // nothing mapped, for an empty file, a file the system cannot map, or when
  // another SIGBUS handler has replaced the catch.
  bool Map(int fd, std::uint64_t size);

  const std::uint8_t* data() const { return data_; }
  std::uint64_t size() const { return size_; }

  // Gives back the pages wholly before offset `upTo`, read and done with, so
  // that the mapping does not hold the whole file at once beside its blocks.
  void Release(std::uint64_t upTo);

  // True when every byte read came from the file: no page failed, and the file
  // is still at least as long as it was mapped (the tail of a last page
  // beyond a new end reads as zeros without any fault).
  bool intact() const;

 private:
  friend struct MappedFileFaults;

  int fd_ = -1;
  std::uint8_t* data_ = nullptr;
  std::uint64_t size_ = 0;
  std::size_t mappedLength_ = 0;
  std::uint64_t released_ = 0;
  std::atomic<bool> damaged_{false};
  MappedFile* outer_ = nullptr;  // the mapping this thread had in use before this one
};

}  // namespace reelo
