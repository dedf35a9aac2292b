// Runs a piece of a test in a child process whose files may grow to `limit`
// bytes at most: a write past it fails as on a full disk (root is not stopped
// by permissions, so this is how a test makes a write fail for real).
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>

namespace reelo::testing {

// The child's exit status (what `body` returned), or -1 when the child could
// not be started or did not exit normally.
template <typename Body>
int ExitStatusUnderFileSizeLimit(std::uint64_t limit, Body body) {
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit bound{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
    setrlimit(RLIMIT_FSIZE, &bound);
    _exit(body());
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace reelo::testing
