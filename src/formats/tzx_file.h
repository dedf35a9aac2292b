// TZX files block by block, every kind kept: standard, turbo and pure data
// blocks become records with the fields a record cannot hold kept beside them,
// every other block keeps its whole body. Writing gives each block back as it
// was read, so a tape opened and saved unchanged is the same file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "formats/tape_file.h"
#include "project/tape_project.h"

namespace reelo {

struct TzxKinds {
  std::vector<TapeBlock> blocks;
  int leftOut = 0;                    // blocks for which the project had no room
  std::uint64_t truncatedOffset = 0;  // offset of a block that runs past the end (0: none)
  std::uint64_t truncatedBytes = 0;   // bytes of it present in the file
  int error = 0;                      // errno of a failed read (0: none)
  bool kindsRefused = false;          // a block other than a standard one met while standardOnly
};

// How the load gets at the file's bytes: read whole into one buffer that the
// records view (a file up to kLargestWholeFile; a larger one is mapped),
// mapped a stretch at a time where the system allows (each byte copied once,
// into its block), or read a chunk at a time (the path every load keeps for
// files that cannot be mapped). The tests run all three and compare them.
enum class FileAccess { WholeWherePossible, MapWherePossible, Read };

// The largest file read whole: the largest tape file a project loads of
// every kind (larger ones are read only while they hold standard blocks).
inline constexpr std::uint64_t kLargestWholeFile = kMaxTapeFileSize;

// Reads every block of a TZX file of `size` bytes (signature included) from
// an open file, at most room blocks. Read whole, the file is held once, by
// the records that view it; mapped or read in chunks, only a stretch or a
// chunk of it is held at a time, and each record has its own bytes. A mapped
// pass that meets a file changed under it is read again, so the blocks,
// counts and errors are always those of a read. With standardOnly the read
// stops at the first block of another kind (kindsRefused), for files too large
// to keep anything but records. step gets the offset after every block (a
// pass read again steps again from the start).
TzxKinds ReadTzxKinds(int fd, std::uint64_t size, std::size_t room, bool standardOnly,
                      const std::function<void(std::uint64_t)>& step = {},
                      FileAccess access = FileAccess::WholeWherePossible);

// The TZX file header, version 1.20.
void AppendTzxHeader(std::vector<std::uint8_t>& out);
// Appends one block as a TZX block: a plain record as a standard-speed block
// with a 1000 ms pause, every other block with its kept fields. A damaged
// record shorter than its length field is completed with zeros.
void AppendTzxBlock(std::vector<std::uint8_t>& out, const TapeBlock& block);

}  // namespace reelo
