// The plain operation a save is measured against: the same bytes written to a
// new temporary file in the target's folder, flushed to the disk and renamed
// over the target. A save replaces its file the same way (so a failure never
// leaves it half-written); a plain overwrite of the file in place would do
// less than the save promises.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace reelo::bench {

// Writes size bytes, handed out by piece(offset, n) (a pointer to n bytes) in
// pieces of at most chunk bytes, to a temporary file beside target, fsyncs it
// and renames it over target. False on any failure (the temporary file is
// then removed).
template <class Piece>
bool PlainSave(const std::string& target, long long size, std::size_t chunk, Piece piece) {
  const std::string temp = target + ".plain-XXXXXX";
  std::string name = temp;
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return false;
  bool ok = true;
  for (long long done = 0; done < size && ok;) {
    const std::size_t n = size - done < static_cast<long long>(chunk) ? static_cast<std::size_t>(size - done) : chunk;
    ok = ::write(fd, piece(done, n), n) == static_cast<ssize_t>(n);
    done += static_cast<long long>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && std::rename(name.c_str(), target.c_str()) == 0;
  if (!ok) std::remove(name.c_str());
  return ok;
}

}  // namespace reelo::bench
