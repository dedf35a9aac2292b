// Replaces a file atomically: everything goes to a temporary file in the target's
// folder, every write is checked, and only a complete, flushed file is renamed
// over the target. A failed save leaves the old file exactly as it was.
#pragma once

#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace reelo {

class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();  // removes the temporary file unless Commit succeeded
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Creates the temporary file beside the target. A target that is a symbolic
  // link is resolved, so the link's target is replaced and the link stays.
  bool Open(const std::string& path);
  // Sets aside room for a file of `size` bytes in one step, so the file
  // system does not find it page by page as the file grows (less work for
  // every write, and the blocks come out in one piece). Only a hint: where the
  // file system cannot, nothing changes and the writes still decide whether
  // the save succeeds; room left over past the end is given back by Commit.
  void Reserve(std::uint64_t size);
  // Has the disk write the file while it is still being made: writeback is
  // started every few megabytes and what lies far behind is waited for, so
  // the closing sync has little left to wait for and the writeback memory
  // stays small. For files made slower than memory is copied (a generated
  // signal); bytes already in memory are written faster than any disk takes
  // them, and the disk's work would only land on the writing thread.
  void StartWritebackEarly() { earlyWriteback_ = true; }
  // Appends bytes (buffered). Returns false once any write has failed.
  bool Write(const void* data, std::size_t size);
  // Appends the pieces in order, handed to the system without a copy and
  // many in one call (a file of many pieces written one call each costs the
  // file system more). Returns false once any write has failed.
  bool WritePieces(const iovec* pieces, std::size_t count);
  // Overwrites bytes already written, at an offset from the file's start.
  bool WriteAt(std::uint64_t offset, const void* data, std::size_t size);
  // Flushes, syncs, closes and renames over the target, keeping the old file's
  // permission bits. Returns false (and removes the temporary) on any failure.
  bool Commit();
  // Removes the temporary file; the target is untouched.
  void Abort();

  bool failed() const { return failed_; }
  std::uint64_t size() const { return written_; }
  // The system's reason for the first failure, for messages.
  const std::string& error() const { return error_; }

 private:
  bool FlushBuffer();
  bool WriteOut(const char* data, std::size_t size);  // straight to the file
  bool WriteOutPieces(iovec* pieces, std::size_t count);  // the same; pieces are used up
  void Fail(const std::string& what);
  std::size_t Written(ssize_t result);  // what one write call did: bytes written, or 0
  void StartWriteback();  // of the bytes written since the last start

  int fd_ = -1;
  std::string target_;
  std::string temp_;
  std::string buffer_;
  std::vector<iovec> pieces_;  // WritePieces' copy of the list, kept for the next call
  std::uint64_t written_ = 0;  // logical size of the file so far
  std::uint64_t flushed_ = 0;  // bytes already handed to the system
  std::uint64_t writebackFrom_ = 0;  // where the bytes not yet set to go to the disk start
  std::uint64_t waitedTo_ = 0;  // the bytes before this have been waited for
  std::uint64_t reserved_ = 0;  // room set aside by Reserve
  bool earlyWriteback_ = false;
  bool failed_ = false;
  std::string error_;
};

}  // namespace reelo
