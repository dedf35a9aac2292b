// The system calls through which files are written (the atomic writer's open,
// write, gathered write, start of writeback, sync, rename and unlink). They go through one table so
// that a test can make any of them fail at the N-th call, the way a full disk,
// a failing device or an interrupted call would, and check that no save loses
// data.
#pragma once

#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>

namespace reelo {

struct FileCalls {
  int (*makeTemp)(char* pattern);  // mkstemp
  ssize_t (*write)(int fd, const void* data, std::size_t size);
  ssize_t (*pwrite)(int fd, const void* data, std::size_t size, off_t offset);
  int (*fchmod)(int fd, mode_t mode);
  int (*fsync)(int fd);
  int (*close)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*unlink)(const char* path);
  // writev; a table without it has each piece written by `write`.
  ssize_t (*writev)(int fd, const iovec* pieces, int count) = nullptr;
  // sync_file_range; a table without it leaves all writeback to the sync.
  int (*syncRange)(int fd, off_t offset, off_t length, unsigned flags) = nullptr;
};

// The plain system calls.
const FileCalls& SystemFileCalls();

// The table in use: the system's, unless a test has put its own in place.
const FileCalls& ActiveFileCalls();

// Puts a table in place for its lifetime (tests, and reelo-cli's batch conversion,
// which syncs once at its end; one at a time, put in place and removed on one thread).
class ScopedFileCalls {
 public:
  explicit ScopedFileCalls(const FileCalls& calls);
  ~ScopedFileCalls();
  ScopedFileCalls(const ScopedFileCalls&) = delete;
  ScopedFileCalls& operator=(const ScopedFileCalls&) = delete;

 private:
  const FileCalls* previous_;
};

}  // namespace reelo
