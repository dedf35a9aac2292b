#include "project/mapped_file.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <limits>

namespace reelo {
namespace {

// Read pages are given back in steps of this size, so that a load holds its
// blocks and at most this much of the file besides (their unmapping costs
// the same now or when the whole mapping goes).
constexpr std::uint64_t kReleaseStep = std::uint64_t{2} << 20;

// The mappings this thread reads, innermost first. A fault in one of them is
// raised on the thread that touched it, so the handler finds it here.
thread_local MappedFile* innermost = nullptr;

// What the process had for SIGBUS before the catch went in, and the page size
// (both set once, before the catch can run).
struct sigaction previousAction;
std::uintptr_t pageSize = 4096;

void PassOn(int signal, siginfo_t* info, void* context) {
  if ((previousAction.sa_flags & SA_SIGINFO) != 0 && previousAction.sa_sigaction != nullptr) {
    previousAction.sa_sigaction(signal, info, context);
    return;
  }
  if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
    previousAction.sa_handler(signal);
    return;
  }
  // The default: with the catch taken away the fault happens again on return
  // and ends the process as it would have without it.
  struct sigaction fallback{};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(SIGBUS, &fallback, nullptr);
}

}  // namespace

struct MappedFileFaults {
  static void OnBusError(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    // si_code <= 0: sent by a program, not raised by a page.
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (MappedFile* file = info->si_code > 0 ? innermost : nullptr; file != nullptr; file = file->outer_) {
      const auto begin = reinterpret_cast<std::uintptr_t>(file->data_);
      if (address < begin || address - begin >= file->mappedLength_) continue;
      void* page = reinterpret_cast<void*>(address & ~(pageSize - 1));
      if (mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
        file->damaged_.store(true, std::memory_order_relaxed);
        errno = savedErrno;
        return;
      }
      break;
    }
    errno = savedErrno;
    PassOn(signal, info, context);
  }

  static bool Install() {
    const long size = sysconf(_SC_PAGESIZE);
    if (size <= 0) return false;
    pageSize = static_cast<std::uintptr_t>(size);
    struct sigaction action{};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGBUS, &action, &previousAction) == 0;
  }

  // True while the catch is the process's SIGBUS handler (put in place on
  // the first call); a library that replaced it later gets its way, and
  // files are then read instead of mapped.
  static bool InPlace() {
    static const bool installed = Install();
    struct sigaction now{};
    return installed && sigaction(SIGBUS, nullptr, &now) == 0 && (now.sa_flags & SA_SIGINFO) != 0 &&
           now.sa_sigaction == OnBusError;
  }
};

MappedFile::~MappedFile() {
  if (data_ == nullptr) return;
  for (MappedFile** link = &innermost; *link != nullptr; link = &(*link)->outer_) {
    if (*link == this) {
      *link = outer_;
      break;
    }
  }
  munmap(data_, mappedLength_);
}

bool MappedFile::Map(int fd, std::uint64_t size) {
  if (data_ != nullptr || size == 0 || size > std::numeric_limits<std::size_t>::max() / 2 ||
      !MappedFileFaults::InPlace()) {
    return false;
  }
  const auto length = static_cast<std::size_t>(size);
  void* mapped = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
  if (mapped == MAP_FAILED) return false;
  madvise(mapped, length, MADV_SEQUENTIAL);
  fd_ = fd;
  data_ = static_cast<std::uint8_t*>(mapped);
  size_ = size;
  mappedLength_ = length;
  outer_ = innermost;
  innermost = this;
  return true;
}

void MappedFile::Release(std::uint64_t upTo) {
  const std::uint64_t end = upTo & ~static_cast<std::uint64_t>(pageSize - 1);
  if (data_ == nullptr || end < released_ + kReleaseStep) return;
  madvise(data_ + released_, static_cast<std::size_t>(end - released_), MADV_DONTNEED);
  released_ = end;
}

bool MappedFile::intact() const {
  if (damaged_.load(std::memory_order_relaxed)) return false;
  struct stat st{};
  return fstat(fd_, &st) == 0 && static_cast<std::uint64_t>(st.st_size) >= size_;
}

}  // namespace reelo
