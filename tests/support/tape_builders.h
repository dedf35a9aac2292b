// Building blocks and TAP files in code, so a test reads as "these bytes give that".
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "project/tape_project.h"

namespace reelo::testing {

using Bytes = std::vector<std::uint8_t>;

inline std::uint8_t XorOf(const Bytes& bytes) {
  std::uint8_t x = 0;
  for (auto b : bytes) x ^= b;
  return x;
}

// A record of flag + data + correct checksum, length field included.
inline TapeBlock MakeBlock(std::uint8_t flag, const Bytes& data) {
  Bytes body(data.size() + 2);
  body.front() = flag;
  std::copy(data.begin(), data.end(), body.begin() + 1);
  body.back() = static_cast<std::uint8_t>(flag ^ XorOf(data));
  return MakeRecord(body);
}

// A data block (flag 255) with a correct checksum.
inline TapeBlock MakeDataBlock(const Bytes& data) { return MakeBlock(0xFF, data); }

// A standard 17-byte header (flag 0): type, name padded with spaces to 10,
// data length and the two parameters.
inline TapeBlock MakeHeader(std::uint8_t type, const std::string& name, int length, int param1 = 0,
                            int param2 = 32768) {
  Bytes data;
  data.push_back(type);
  for (std::size_t i = 0; i < 10; ++i) data.push_back(i < name.size() ? static_cast<std::uint8_t>(name[i]) : ' ');
  auto word = [&data](int v) {
    data.push_back(static_cast<std::uint8_t>(v & 0xFF));
    data.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
  };
  word(length);
  word(param1);
  word(param2);
  return MakeBlock(0x00, data);
}

// A record holding exactly the given bytes after the length field (no checksum added).
inline TapeBlock MakeRawRecord(const Bytes& body) { return MakeRecord(body); }

// n pseudo-random bytes, the same for the same seed.
inline Bytes RandomBytes(std::size_t n, unsigned seed = 1) {
  std::mt19937 gen(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(gen() & 0xFF);
  return out;
}

inline Bytes Concat(std::initializer_list<TapeBlock> blocks) {
  Bytes out;
  for (const auto& b : blocks) out.insert(out.end(), b.begin(), b.end());
  return out;
}

inline void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A fresh, empty folder for one test, removed when the object goes.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("reelo-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace reelo::testing
