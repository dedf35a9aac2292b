#include "project/tap_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <iterator>
#include <memory>
#include <vector>

#include "project/atomic_file.h"
#include "project/system_error.h"

namespace reelo {
namespace {

constexpr int kLengthFieldSize = 2;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// What one pass over the file found besides the records it kept.
struct LoadTally {
  long long truncatedOffset = -1;  // offset of a record that runs past the end
  long long truncatedBytes = 0;    // bytes of it present in the file
  long long recordsLeftOut = 0;    // whole records for which there was no room
  bool readError = false;
  int readErrno = 0;
};

OpResult OpenFailure(const std::string& path, int err) {
  return OpResult::Fail(std::string(kOpenFailedText) + " " + path, SystemErrorText(err));
}

bool ReadExactly(std::FILE* f, std::uint8_t* dest, std::size_t n) { return std::fread(dest, 1, n, f) == n; }

std::string LoadWarning(const LoadTally& tally, int loaded) {
  std::string text;
  if (tally.readError) {
    text += "Ошибка чтения файла (" + SystemErrorText(tally.readErrno) + "): загружены только первые" +
            NumberText(loaded) + " блоков.";
  }
  if (tally.truncatedOffset >= 0) {
    if (!text.empty()) text += "\n";
    text += "Последний блок файла обрезан: не загружено" + NumberText(tally.truncatedBytes) +
            " байт со смещения" + NumberText(tally.truncatedOffset) + ".";
  }
  if (tally.recordsLeftOut > 0) {
    if (!text.empty()) text += "\n";
    text += "В проекте может быть не больше" + NumberText(kMaxBlocks) + " блоков: не загружено блоков из файла:" +
            NumberText(tally.recordsLeftOut) + ".";
  }
  return text;
}

// Walks the records of the file from its start, appending those that fit.
// pos is the 1-based position of the next record, as the progress shows it.
void ReadRecords(std::FILE* f, long long size, std::vector<TapeBlock>& blocks, int room, ProgressScope& progress,
                 LoadTally& tally) {
  const long long barMaximum = size + 1;
  long long offset = 0;
  while (size - offset >= kLengthFieldSize) {
    std::uint8_t head[kLengthFieldSize];
    if (!ReadExactly(f, head, kLengthFieldSize)) {
      tally.readError = true;
      tally.readErrno = errno ? errno : EIO;
      return;
    }
    const long long recordSize = WordFromBytes(head[0], head[1]) + kLengthFieldSize;
    if (offset + recordSize > size) {
      tally.truncatedOffset = offset;
      tally.truncatedBytes = size - offset;
      return;
    }
    if (static_cast<long long>(blocks.size()) >= room) {
      ++tally.recordsLeftOut;
      if (std::fseek(f, static_cast<long>(recordSize - kLengthFieldSize), SEEK_CUR) != 0) return;
    } else {
      TapeBlock block(static_cast<std::size_t>(recordSize));
      block[0] = head[0];
      block[1] = head[1];
      if (!ReadExactly(f, block.data() + kLengthFieldSize, block.size() - kLengthFieldSize)) {
        tally.readError = true;
        tally.readErrno = errno ? errno : EIO;
        return;
      }
      blocks.push_back(std::move(block));
    }
    offset += recordSize;
    if (offset + 1 <= barMaximum) progress.Step(offset + 1);
  }
}

OpResult ReadTapRecords(std::vector<TapeBlock>& blocks, int room, const std::string& path, Progress& progress) {
  struct stat st{};
  if (stat(path.c_str(), &st) != 0) return OpenFailure(path, errno);
  // Only regular files: opening a named pipe would wait for a writer forever,
  // and a device has no size to read by.
  if (!S_ISREG(st.st_mode)) return OpenFailure(path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return OpenFailure(path, errno);

  const long long size = S_ISREG(st.st_mode) ? static_cast<long long>(st.st_size) : 0;
  LoadTally tally;
  {
    ProgressScope scope(progress, kLoadTapLabel, size + 1);
    ReadRecords(file.get(), size, blocks, std::max(room, 0), scope, tally);
  }
  const std::string warning = LoadWarning(tally, static_cast<int>(blocks.size()));
  return warning.empty() ? OpResult::Success() : OpResult::Warn(warning);
}

}  // namespace

OpResult LoadTapFile(TapeProject& project, const std::string& path, Progress& progress) {
  TapeRead read = ReadTapFile(path, project.freeSlots(), progress);
  project.blocks.insert(project.blocks.end(), std::make_move_iterator(read.blocks.begin()),
                        std::make_move_iterator(read.blocks.end()));
  return read.status;
}

TapeRead ReadTapFile(const std::string& path, int room, Progress& progress) {
  std::vector<TapeBlock> blocks;
  OpResult status = ReadTapRecords(blocks, room, path, progress);
  if (!status.ok()) blocks.clear();
  return {std::move(blocks), std::move(status)};
}

OpResult SaveTapFile(TapeProject& project, Progress& progress) {
  ProgressScope scope(progress, kSaveTapLabel, project.blockCount() + 1);
  if (!project.hasFileName()) return OpResult::Fail(kSaveFailedText, SystemErrorText(ENOENT));
  AtomicFileWriter writer;
  if (!writer.Open(project.fileName)) return OpResult::Fail(kSaveFailedText, writer.error());
  for (int i = 0; i < project.blockCount(); ++i) {
    const TapeBlock& block = project.blocks[static_cast<std::size_t>(i)];
    const auto recordSize = static_cast<std::size_t>(RecordLength(block) + kLengthFieldSize);
    if (block.size() >= recordSize) {
      writer.Write(block.data(), recordSize);
    } else {
      // A block shorter than its length field says: write what the field
      // promises, padded with zeros, so the file stays readable record by record.
      TapeBlock padded(recordSize, 0);
      std::copy(block.begin(), block.end(), padded.begin());
      writer.Write(padded.data(), recordSize);
    }
    if (writer.failed()) break;
    scope.Step(i);
  }
  if (writer.failed() || !writer.Commit()) return OpResult::Fail(kSaveFailedText, writer.error());
  project.modified = false;
  return OpResult::Success();
}

}  // namespace reelo
