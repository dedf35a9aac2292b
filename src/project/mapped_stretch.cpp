#include "project/mapped_stretch.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace reelo {
namespace {

// The stretches the guard looks after: an address range each, the byte a
// vanished page is filled with, and whether a page of it was replaced.
// Claimed and given back without locks, since the handler reads them at any
// moment.
struct GuardSlot {
  std::atomic<bool> claimed{false};
  std::atomic<std::uintptr_t> begin{0};  // 0 while the slot stands for nothing
  std::atomic<std::uintptr_t> end{0};
  std::atomic<std::uint8_t> fill{0};
  std::atomic<bool> lost{false};
};

constexpr int kGuardSlots = 64;
GuardSlot guardSlots[kGuardSlots];
std::size_t pageSize = 4096;
struct sigaction previousAction {};
bool guardInstalled = false;

// Hands the signal on as the handler before the guard would have taken it.
void PassOn(int sig, siginfo_t* info, void* context) {
  if (previousAction.sa_flags & SA_SIGINFO) {
    if (previousAction.sa_sigaction) {
      previousAction.sa_sigaction(sig, info, context);
      return;
    }
  } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
    previousAction.sa_handler(sig);
    return;
  }
  // The default action: with it back in place, the faulting load runs again
  // and the signal ends the process as it would have without the guard; a
  // signal sent by a program is sent again.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(SIGBUS, &fallback, nullptr);
  if (info->si_code <= 0) raise(sig);
}

void OnBusError(int sig, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  // Only a fault has an address; a signal sent by a program is not the guard's.
  for (GuardSlot& slot : guardSlots) {
    if (info->si_code <= 0) break;
    const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
    if (begin == 0 || address < begin || address >= slot.end.load(std::memory_order_acquire)) continue;
    // A page of the fill byte where the file's page was; the load that
    // faulted is retried when the handler returns and reads it.
    void* page = reinterpret_cast<void*>(address & ~(static_cast<std::uintptr_t>(pageSize) - 1));
    void* replaced = mmap(page, pageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (replaced == MAP_FAILED) break;
    std::memset(page, slot.fill.load(std::memory_order_relaxed), pageSize);
    slot.lost.store(true, std::memory_order_relaxed);
    return;
  }
  PassOn(sig, info, context);
}

bool InstallGuard() {
  static std::once_flag once;
  std::call_once(once, [] {
    const long size = sysconf(_SC_PAGESIZE);
    if (size > 0) pageSize = static_cast<std::size_t>(size);
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    guardInstalled = sigaction(SIGBUS, &action, &previousAction) == 0;
  });
  return guardInstalled;
}

int ClaimSlot() {
  for (int i = 0; i < kGuardSlots; ++i) {
    bool expected = false;
    if (guardSlots[i].claimed.compare_exchange_strong(expected, true, std::memory_order_acq_rel)) return i;
  }
  return -1;
}

}  // namespace

std::size_t MappedStretch::PageSize() {
  InstallGuard();
  return pageSize;
}

bool MappedStretch::Map(int fd, std::int64_t offset, std::size_t size, std::uint8_t fill) {
  Unmap();
  if (size == 0 || offset < 0 || !InstallGuard() || offset % static_cast<std::int64_t>(pageSize) != 0) return false;
  const int slot = ClaimSlot();
  if (slot < 0) return false;
  void* base = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(offset));
  if (base == MAP_FAILED) {
    guardSlots[slot].claimed.store(false, std::memory_order_release);
    return false;
  }
  // The kernel reads ahead further for a mapping read from start to end.
  madvise(base, size, MADV_SEQUENTIAL);
  GuardSlot& guard = guardSlots[slot];
  guard.lost.store(false, std::memory_order_relaxed);
  guard.fill.store(fill, std::memory_order_relaxed);
  guard.end.store(reinterpret_cast<std::uintptr_t>(base) + size, std::memory_order_release);
  guard.begin.store(reinterpret_cast<std::uintptr_t>(base), std::memory_order_release);
  data_ = static_cast<const std::uint8_t*>(base);
  offset_ = offset;
  size_ = size;
  slot_ = slot;
  return true;
}

void MappedStretch::Unmap() {
  if (!data_) return;
  // The guard lets go first: once unmapped, the addresses may be anyone's.
  GuardSlot& guard = guardSlots[slot_];
  guard.begin.store(0, std::memory_order_release);
  guard.end.store(0, std::memory_order_release);
  munmap(const_cast<std::uint8_t*>(data_), size_);
  guard.claimed.store(false, std::memory_order_release);
  data_ = nullptr;
  offset_ = 0;
  size_ = 0;
  slot_ = -1;
}

bool MappedStretch::lostPages() const {
  return data_ != nullptr && guardSlots[slot_].lost.load(std::memory_order_relaxed);
}

}  // namespace reelo
