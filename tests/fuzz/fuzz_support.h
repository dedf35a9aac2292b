// What every fuzz target shares: a check that stops the run with a message,
// scratch files for the readers that work on files, and a reader of the small
// block of steering bytes that leads each input.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "project/progress.h"
#include "project/tape_project.h"

// A broken invariant is a finding: say which and abort, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                  \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                            \
    }                                                                                          \
  } while (false)

namespace reelo::fuzz {

using Bytes = std::vector<std::uint8_t>;

inline constexpr const char* kScratchPrefix = "reelo-fuzz-";

// libFuzzer ends a run without running exit handlers, so each process first
// clears away the scratch folders of processes that are gone.
inline void RemoveStaleScratchDirs(const std::filesystem::path& base) {
  const std::string prefix = kScratchPrefix;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
    if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      std::filesystem::remove_all(entry.path(), ec);
    }
  }
}

// A folder of this process's own for the files the targets write: in memory
// (/dev/shm) where there is one, so an execution costs no disk I/O. Several
// fuzzing processes never share a file.
inline const std::filesystem::path& ScratchDir() {
  static const std::filesystem::path dir = [] {
    std::filesystem::path base = std::filesystem::temp_directory_path();
    std::error_code ec;
    if (std::filesystem::is_directory("/dev/shm", ec)) base = "/dev/shm";
    RemoveStaleScratchDirs(base);
    auto path = base / (kScratchPrefix + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return path;
  }();
  return dir;
}

inline std::string ScratchPath(const std::string& name) { return (ScratchDir() / name).string(); }

inline void WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, f) == size);
  FUZZ_CHECK(std::fclose(f) == 0);
}

inline Bytes ReadScratch(const std::string& path) {
  Bytes bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  std::uint8_t chunk[4096];
  std::size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(f);
  return bytes;
}

// The steering bytes at the front of an input (bounds, answers, sizes) and the
// payload after them. An input shorter than the steering block reads as zeros
// there, so every input is usable.
class Steering {
 public:
  Steering(const std::uint8_t* data, std::size_t size, std::size_t steeringSize)
      : data_(data), steeringSize_(steeringSize < size ? steeringSize : size), size_(size) {}

  // The next steering byte, 0 past the steering block.
  std::uint8_t Next() { return next_ < steeringSize_ ? data_[next_++] : 0; }
  int NextInRange(int low, int high) { return low + Next() % (high - low + 1); }
  int NextWord() {
    const int lo = Next();
    return lo | (Next() << 8);
  }
  bool exhausted() const { return next_ >= steeringSize_; }

  const std::uint8_t* payload() const { return data_ + steeringSize_; }
  std::size_t payloadSize() const { return size_ - steeringSize_; }
  Bytes payloadBytes() const { return Bytes(payload(), payload() + payloadSize()); }

 private:
  const std::uint8_t* data_;
  std::size_t steeringSize_;
  std::size_t size_;
  std::size_t next_ = 0;
};

// A progress that checks the protocol every operation follows: one Begin, then
// steps that never go back and never pass the maximum, then one End.
class CheckedProgress final : public Progress {
 public:
  void Begin(const std::string& label, long long maximum) override {
    FUZZ_CHECK(begun == 0 && maximum >= 0);
    this->label = label;
    this->maximum = maximum;
    ++begun;
  }
  void Step(long long value) override {
    FUZZ_CHECK(begun == 1 && ended == 0);
    FUZZ_CHECK(value >= 0 && value <= maximum);
    FUZZ_CHECK(steps.empty() || value > steps.back());
    steps.push_back(value);
  }
  void End() override {
    FUZZ_CHECK(begun == 1 && ended == 0);
    ++ended;
  }

  std::string label;
  long long maximum = -1;
  std::vector<long long> steps;
  int begun = 0;
  int ended = 0;
};

// True when text is well-formed UTF-8 (no stray continuation bytes, no cut sequences).
inline bool IsUtf8(const std::string& text) {
  constexpr std::size_t kBadLead = 9;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    const std::size_t extra = lead < 0x80           ? 0
                              : (lead >> 5) == 0x6  ? 1
                              : (lead >> 4) == 0xE  ? 2
                              : (lead >> 3) == 0x1E ? 3
                                                    : kBadLead;
    if (extra == kBadLead || i + extra >= text.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((static_cast<std::uint8_t>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

}  // namespace reelo::fuzz
