// The prepared-copy cache of a recording session: the prepared samples of the
// last run are kept in a file, so the next run (the analysis after the fitted
// bounds, the decoding after the analysis) reads them instead of preparing the
// recording again. The file lives in a folder of this process's own inside a
// cache folder (the user's, for the window; the temporary folder, for the
// command line), so a second copy of the program never removes a file the
// first one is reading. The copy is removed when its owner goes; folders that
// a crashed run left behind are removed at the next start.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "project/op_result.h"
#include "sound/recording/preparation.h"

namespace reelo {

inline constexpr const char* kPreparedFolderFailedText = "Не удалось создать папку для подготовленной записи";

// The user's recording as it was when it was looked at: a file changed since
// (saved again, replaced) has another size or time.
struct SourceStamp {
  std::string path;
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;
  bool operator==(const SourceStamp&) const = default;
};

// Nothing when the file cannot be looked at (missing, not a plain file).
std::optional<SourceStamp> StampOf(const std::string& path);

bool SameOptions(const PrepareOptions& a, const PrepareOptions& b);

// "<cache>/prepared-<pid>": the folder of one process's prepared recordings.
std::string PreparedFolder(const std::string& cacheFolder, long pid);

// True while a process of that id runs.
bool ProcessIsRunning(long pid);

// Removes every "prepared-<pid>" folder of the cache folder whose process no
// longer runs (or is this very process, which has made none yet at start),
// with what is inside. Other files and folders are left alone. Returns how
// many folders were removed.
int RemoveLeftoverPreparedFolders(const std::string& cacheFolder,
                                  const std::function<bool(long)>& isRunning = ProcessIsRunning);

// The prepared copy of one session: which recording and options it holds, and
// its removal.
class PreparedRecording {
 public:
  // No cache folder: no copy is ever made.
  explicit PreparedRecording(std::string cacheFolder);
  bool enabled() const { return !cacheFolder_.empty(); }
  ~PreparedRecording();
  PreparedRecording(const PreparedRecording&) = delete;
  PreparedRecording& operator=(const PreparedRecording&) = delete;

  // Creates this process's folder if need be and gives the path the next
  // preparation writes to. An Error naming the folder, with the system's
  // reason, when it cannot be created.
  OpResult Reserve(std::string& path);

  // True when the file holds that recording, prepared with those options, and
  // is still there.
  bool Holds(const SourceStamp& source, const PrepareOptions& options) const;
  // Records what a successful preparation wrote.
  void Remember(const SourceStamp& source, const PrepareOptions& options);

  const std::string& path() const { return path_; }

  // Removes the file, and this process's folder when nothing else is in it.
  void Remove();

 private:
  std::string cacheFolder_;
  std::string path_;
  std::optional<SourceStamp> source_;
  PrepareOptions options_;
};

}  // namespace reelo
