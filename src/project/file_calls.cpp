#include "project/file_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace reelo {
namespace {

const FileCalls kSystemCalls{
    [](char* pattern) { return ::mkstemp(pattern); },
    [](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); },
    [](int fd, const void* data, std::size_t size, off_t offset) { return ::pwrite(fd, data, size, offset); },
    [](int fd, mode_t mode) { return ::fchmod(fd, mode); },
    [](int fd) { return ::fsync(fd); },
    [](int fd) { return ::close(fd); },
    [](const char* from, const char* to) { return std::rename(from, to); },
    [](const char* path) { return ::unlink(path); },
    [](int fd, const iovec* pieces, int count) { return ::writev(fd, pieces, count); },
    [](int fd, off_t offset, off_t length, unsigned flags) { return ::sync_file_range(fd, offset, length, flags); },
};

// Only tests change it, through ScopedFileCalls.
const FileCalls* activeCalls = &kSystemCalls;

}  // namespace

const FileCalls& SystemFileCalls() { return kSystemCalls; }
const FileCalls& ActiveFileCalls() { return *activeCalls; }

ScopedFileCalls::ScopedFileCalls(const FileCalls& calls) : previous_(activeCalls) { activeCalls = &calls; }
ScopedFileCalls::~ScopedFileCalls() { activeCalls = previous_; }

}  // namespace reelo
