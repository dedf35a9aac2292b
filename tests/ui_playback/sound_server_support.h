// What the sound server tests share: the environment that points every tool
// at a private PulseAudio in a test's folder, a command run in its own
// process, and a look into a log file.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "external_tools.h"
#include "tape_builders.h"

namespace reelo::testing {

// The variables that make pulseaudio, pactl, parec and reelo-cli use the
// server of the folder dir (its socket in dir/run), whatever runs elsewhere.
inline std::string Env(const std::filesystem::path& dir) {
  return "env -u PULSE_SERVER -u PULSE_SINK XDG_RUNTIME_DIR=" + Quoted(dir / "run") + " HOME=" + Quoted(dir) + " ";
}

// A command run through the shell in its own process; Wait gives its status.
class Child {
 public:
  explicit Child(const std::string& command) {
    pid_ = fork();
    if (pid_ == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  // The exit status, or -1 when it is still running after the timeout.
  int Wait(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }
  void Signal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
  }
  bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

inline bool FileHolds(const std::filesystem::path& path, const std::string& text) {
  const Bytes bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end()).find(text) != std::string::npos;
}

}  // namespace reelo::testing
