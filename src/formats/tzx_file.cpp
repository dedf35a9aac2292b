#include "formats/tzx_file.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "formats/tzx_blocks.h"
#include "project/block_kinds.h"

namespace reelo {
namespace {

// Where the data length of the record-carrying kinds stands in their body, and
// how many bytes it has.
struct RecordLayout {
  std::uint8_t id;
  std::size_t head;  // kept bytes before the length
  int lengthBytes;
};
constexpr RecordLayout kRecordKinds[] = {
    {tzx::kStandard, kStandardHeadSize, 2},
    {tzx::kTurbo, kTurboHeadSize, 3},
    {tzx::kPureData, kPureDataHeadSize, 3},
};

const RecordLayout* RecordLayoutOf(std::uint8_t id) {
  for (const RecordLayout& layout : kRecordKinds) {
    if (layout.id == id) return &layout;
  }
  return nullptr;
}

std::uint32_t Little(const std::uint8_t* p, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value * 256 + p[i];
  return value;
}

void PutLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The block made of one TZX block's ID and body.
TapeBlock BlockOf(std::uint8_t id, const std::uint8_t* body, std::size_t size) {
  const RecordLayout* layout = RecordLayoutOf(id);
  if (layout != nullptr && size >= layout->head + static_cast<std::size_t>(layout->lengthBytes)) {
    const std::size_t length = Little(body + layout->head, layout->lengthBytes);
    if (length <= static_cast<std::size_t>(kMaxRecordLength)) {
      TapeBlock record = MakeRecord(body + layout->head + layout->lengthBytes, length);
      if (id == tzx::kStandard) return StandardBlock(std::move(record), static_cast<int>(Little(body, 2)));
      record.kept = std::make_shared<const KeptFields>(KeptFields{id, {body, body + layout->head}});
      return record;
    }
  }
  return TapeBlock({}, std::make_shared<const KeptFields>(KeptFields{id, {body, body + size}}));
}

}  // namespace

TzxKinds ReadTzxKinds(const std::uint8_t* file, std::size_t size, std::size_t room,
                      const std::function<void(std::uint64_t)>& step) {
  TzxKinds read;
  std::size_t at = kTzxHeaderSize;
  while (at < size) {
    const std::uint8_t id = file[at];
    const std::uint64_t left = size - at - 1;
    const std::optional<std::uint64_t> body = TzxBodySize(id, file + at + 1, left);
    if (!body || *body > left) {
      read.truncatedOffset = at;
      read.truncatedBytes = size - at;
      break;
    }
    if (read.blocks.size() < room) {
      read.blocks.push_back(BlockOf(id, file + at + 1, static_cast<std::size_t>(*body)));
    } else {
      ++read.leftOut;
    }
    at += static_cast<std::size_t>(*body) + 1;
    if (step) step(at);
  }
  return read;
}

void AppendTzxHeader(std::vector<std::uint8_t>& out) {
  const std::uint8_t header[kTzxHeaderSize] = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
  out.insert(out.end(), header, header + kTzxHeaderSize);
}

void AppendTzxBlock(std::vector<std::uint8_t>& out, const TapeBlock& block) {
  if (block.kept && !block.holdsRecord()) {
    out.push_back(block.kept->id);
    out.insert(out.end(), block.kept->head.begin(), block.kept->head.end());
    return;
  }
  const RecordLayout* layout = RecordLayoutOf(block.kind());
  out.push_back(layout->id);
  if (block.kept) {
    const auto& head = block.kept->head;
    for (std::size_t i = 0; i < layout->head; ++i) out.push_back(i < head.size() ? head[i] : 0);
  } else {
    PutLittle(out, kStandardPauseMs, 2);
  }
  const auto length = static_cast<std::size_t>(RecordLength(block));
  PutLittle(out, static_cast<std::uint32_t>(length), layout->lengthBytes);
  const std::size_t present = block.size() > 2 ? std::min(block.size() - 2, length) : 0;
  if (present > 0) out.insert(out.end(), block.data() + 2, block.data() + 2 + present);
  out.resize(out.size() + (length - present), 0);
}

}  // namespace reelo
