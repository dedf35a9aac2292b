#include "sound/recording/prepared_copy.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <unistd.h>

#include "project/system_error.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFolderPrefix = "prepared-";
// Each window's copy has a name of its own, so that a window being replaced
// never removes the copy of the one replacing it.
std::string NextPreparedName() {
  static int counter = 0;
  return "recording-" + std::to_string(++counter) + ".wav";
}

// The process id in a folder name "prepared-<pid>"; nothing for any other name.
std::optional<long> PidOfFolder(const std::string& name) {
  if (name.size() <= kFolderPrefix.size() || name.compare(0, kFolderPrefix.size(), kFolderPrefix) != 0) {
    return std::nullopt;
  }
  long pid = 0;
  for (std::size_t i = kFolderPrefix.size(); i < name.size(); ++i) {
    const char c = name[i];
    if (c < '0' || c > '9' || pid > 1'000'000'000L) return std::nullopt;
    pid = pid * 10 + (c - '0');
  }
  if (pid <= 0) return std::nullopt;
  return pid;
}

}  // namespace

std::optional<SourceStamp> StampOf(const std::string& path) {
  std::error_code error;
  const fs::path file(path);
  if (!fs::is_regular_file(file, error)) return std::nullopt;
  const auto size = fs::file_size(file, error);
  if (error) return std::nullopt;
  const auto modified = fs::last_write_time(file, error);
  if (error) return std::nullopt;
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count();
  return SourceStamp{path, static_cast<std::int64_t>(size), static_cast<std::int64_t>(ns)};
}

bool SameOptions(const PrepareOptions& a, const PrepareOptions& b) {
  return a.clean == b.clean && a.channel == b.channel && a.invert == b.invert;
}

std::string PreparedFolder(const std::string& cacheFolder, long pid) {
  return (fs::path(cacheFolder) / (std::string(kFolderPrefix) + std::to_string(pid))).string();
}

bool ProcessIsRunning(long pid) {
  if (pid <= 0) return false;
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

int RemoveLeftoverPreparedFolders(const std::string& cacheFolder, const std::function<bool(long)>& isRunning) {
  std::error_code error;
  fs::directory_iterator entries(cacheFolder, error);
  if (error) return 0;
  const long self = static_cast<long>(getpid());
  int removed = 0;
  for (const fs::directory_entry& entry : entries) {
    const std::optional<long> pid = PidOfFolder(entry.path().filename().string());
    if (!pid || !entry.is_directory(error) || entry.is_symlink(error)) continue;
    if (*pid != self && isRunning(*pid)) continue;
    if (fs::remove_all(entry.path(), error) != static_cast<std::uintmax_t>(-1) && !error) ++removed;
  }
  return removed;
}

PreparedRecording::PreparedRecording(std::string cacheFolder) : cacheFolder_(std::move(cacheFolder)) {}

PreparedRecording::~PreparedRecording() { Remove(); }

OpResult PreparedRecording::Reserve(std::string& path) {
  const std::string folder = PreparedFolder(cacheFolder_, static_cast<long>(getpid()));
  std::error_code error;
  fs::create_directories(folder, error);
  if (error || !fs::is_directory(folder)) {
    return OpResult::Fail(std::string(kPreparedFolderFailedText) + " " + folder,
                          SystemErrorText(error ? error.value() : ENOTDIR));
  }
  if (path_.empty()) path_ = (fs::path(folder) / NextPreparedName()).string();
  path = path_;
  return OpResult::Success();
}

bool PreparedRecording::Holds(const SourceStamp& source, const PrepareOptions& options) const {
  std::error_code error;
  return source_ && *source_ == source && SameOptions(options_, options) && fs::is_regular_file(path_, error);
}

void PreparedRecording::Remember(const SourceStamp& source, const PrepareOptions& options) {
  source_ = source;
  options_ = options;
}

void PreparedRecording::Remove() {
  source_.reset();
  if (path_.empty()) return;
  std::error_code error;
  fs::remove(path_, error);
  fs::remove(fs::path(path_).parent_path(), error);  // only when empty
  path_.clear();
}

}  // namespace reelo
