#include "formats/pzx_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "project/block_kinds.h"

namespace reelo {
namespace {

constexpr std::size_t kTagSize = 4;
constexpr std::size_t kBlockHead = 8;  // tag, body size (4 bytes)
constexpr std::uint32_t kLevelBit = 0x80000000u;
constexpr std::uint32_t kTicksPerMs = 3500;
constexpr std::uint32_t kLongestField = 65535;    // a TZX length, count or pause
constexpr std::size_t kMostPulsesInSequence = 255;
constexpr std::size_t kLongestText = 255;
constexpr int kRomPilot = 2168, kRomSync1 = 667, kRomSync2 = 735, kRomZero = 855, kRomOne = 1710;
constexpr int kRomHeaderPilots = 8063, kRomDataPilots = 3223;
constexpr std::size_t kDataHead = 8;  // bit count (4), tail (2), pulses of a 0 and of a 1 (1 each)

struct Run {
  std::uint32_t duration;
  std::uint32_t count;
};

std::uint32_t Little(const std::uint8_t* p, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value * 256 + p[i];
  return value;
}

void Put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

TapeBlock Kind(std::uint8_t id, std::vector<std::uint8_t> body, TapeBytes record = {}) {
  return TapeBlock(std::move(record), std::make_shared<const KeptFields>(KeptFields{id, std::move(body)}));
}

// The pulses of a PULS body as runs of equal pulses; a body cut inside a
// pulse ends before it.
std::vector<Run> PulseRuns(const std::uint8_t* p, std::size_t size) {
  std::vector<Run> runs;
  std::size_t at = 0;
  while (at + 2 <= size) {
    std::uint32_t count = 1;
    std::uint32_t duration = Little(p + at, 2);
    at += 2;
    if (duration > 0x8000) {
      if (at + 2 > size) break;
      count = duration & 0x7FFF;
      duration = Little(p + at, 2);
      at += 2;
    }
    if (duration >= 0x8000) {
      if (at + 2 > size) break;
      duration = ((duration & 0x7FFF) << 16) | Little(p + at, 2);
      at += 2;
    }
    if (count > 0) runs.push_back({duration, count});
  }
  return runs;
}

// The data of a DATA body: its bit count, tail pulse, the pulses of a 0 and
// of a 1, and its bytes; nothing when the body is too short for what it says.
struct PzxData {
  std::uint32_t bits = 0;
  std::uint32_t tail = 0;
  std::vector<std::uint16_t> zero, one;
  const std::uint8_t* bytes = nullptr;
  std::size_t byteCount = 0;

  bool TwoEqualPulses() const {
    return zero.size() == 2 && one.size() == 2 && zero[0] == zero[1] && one[0] == one[1] && zero[0] > 0 && one[0] > 0;
  }
  int usedBits() const { return bits % 8 == 0 ? 8 : static_cast<int>(bits % 8); }
};

std::optional<PzxData> DataOf(const std::uint8_t* p, std::size_t size) {
  if (size < kDataHead) return std::nullopt;
  PzxData data;
  data.bits = Little(p, 4) & ~kLevelBit;
  data.tail = Little(p + 4, 2);
  const std::size_t zeros = p[6], ones = p[7];
  const std::size_t tables = 2 * (zeros + ones);
  data.byteCount = (static_cast<std::size_t>(data.bits) + 7) / 8;
  if (size - kDataHead < tables || size - kDataHead - tables < data.byteCount) return std::nullopt;
  for (std::size_t i = 0; i < zeros + ones; ++i) {
    const auto pulse = static_cast<std::uint16_t>(Little(p + kDataHead + 2 * i, 2));
    (i < zeros ? data.zero : data.one).push_back(pulse);
  }
  data.bytes = p + kDataHead + tables;
  return data;
}

// The blocks of one PZX file, gathered up to the room there is.
class PzxReader {
 public:
  PzxReader(std::size_t room, PzxKinds& read) : room_(room), read_(read) {}

  void Add(TapeBlock block) {
    if (read_.blocks.size() < room_) {
      read_.blocks.push_back(std::move(block));
    } else {
      ++read_.leftOut;
    }
  }

  // Pulses as pure tones (runs) and pulse sequences (single pulses); a pulse
  // longer than a TZX length is made of several, with pulses of no length
  // between them that keep the level.
  void AddPulses(const std::vector<Run>& runs) {
    std::vector<std::uint32_t> singles;
    const auto flush = [&] {
      for (std::size_t i = 0; i < singles.size(); i += kMostPulsesInSequence) {
        const std::size_t n = std::min(kMostPulsesInSequence, singles.size() - i);
        std::vector<std::uint8_t> body{static_cast<std::uint8_t>(n)};
        for (std::size_t k = 0; k < n; ++k) Put(body, singles[i + k], 2);
        Add(Kind(tzx::kPulseSequence, std::move(body)));
      }
      singles.clear();
    };
    for (const Run& run : runs) {
      if (run.count > 1 && run.duration <= kLongestField) {
        flush();
        for (std::uint32_t left = run.count; left > 0;) {
          const std::uint32_t n = std::min(left, kLongestField);
          std::vector<std::uint8_t> body;
          Put(body, run.duration, 2);
          Put(body, n, 2);
          Add(Kind(tzx::kPureTone, std::move(body)));
          left -= n;
        }
        continue;
      }
      // Long pulses repeated many times would make more sequences than the
      // tape has room for (a few bytes of a file can ask for billions of
      // pulses): what does not fit is counted as left out, not made.
      const std::uint64_t parts = std::max<std::uint64_t>(1, (std::uint64_t{run.duration} + kLongestField - 1) / kLongestField);
      const std::uint64_t wanted = (2 * parts - 1) * run.count;
      const std::uint64_t fits = SinglesRoom() > singles.size() ? SinglesRoom() - singles.size() : 0;
      if (wanted > fits) {
        const std::uint64_t over = (wanted - fits + kMostPulsesInSequence - 1) / kMostPulsesInSequence;
        read_.leftOut = static_cast<int>(std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max(read_.leftOut, 0)) + over, INT32_MAX));
      }
      for (std::uint32_t c = 0; c < run.count && singles.size() < SinglesRoom(); ++c) {
        std::uint32_t duration = run.duration;
        while (duration > kLongestField) {
          singles.push_back(kLongestField);
          singles.push_back(0);
          duration -= kLongestField;
        }
        singles.push_back(duration);
      }
    }
    flush();
  }

  // The pulses the sequences still fit in the blocks there is room for.
  std::size_t SinglesRoom() const {
    return (room_ > read_.blocks.size() ? room_ - read_.blocks.size() : 0) * kMostPulsesInSequence;
  }

  // Data with its own pulses: pure data for two equal pulses a bit,
  // generalised data otherwise; the tail pulse after it.
  void AddData(const PzxData& data) {
    if (data.bits > 0 && data.TwoEqualPulses() && data.byteCount <= static_cast<std::size_t>(kMaxRecordLength)) {
      std::vector<std::uint8_t> head;
      Put(head, data.zero[0], 2);
      Put(head, data.one[0], 2);
      head.push_back(static_cast<std::uint8_t>(data.usedBits()));
      Put(head, 0, 2);  // no pause: a pause of its own follows
      Add(Kind(tzx::kPureData, std::move(head), MakeRecord(data.bytes, data.byteCount)));
    } else if (data.bits > 0 && (!data.zero.empty() || !data.one.empty())) {
      AddGeneralised(data);
    } else if (data.bits > 0) {
      ++read_.unknown;
    }
    if (data.tail > 0) AddPulses({{data.tail, 1}});
  }

  void AddPause(std::uint32_t ticks) {
    ticks &= ~kLevelBit;
    if (ticks == 0) return;
    // Whole ms, at least 1: a pause of 0 would stop the tape.
    std::uint32_t ms = std::max<std::uint32_t>(1, (ticks + kTicksPerMs / 2) / kTicksPerMs);
    while (ms > 0) {
      const std::uint32_t n = std::min(ms, kLongestField);
      std::vector<std::uint8_t> body;
      Put(body, n, 2);
      Add(Kind(tzx::kPause, std::move(body)));
      ms -= n;
    }
  }

  void AddText(std::uint8_t id, std::string_view text) {
    const std::size_t n = std::min(text.size(), kLongestText);
    std::vector<std::uint8_t> body{static_cast<std::uint8_t>(n)};
    body.insert(body.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
    Add(Kind(id, std::move(body)));
  }

  // The header's title and its pairs of name and value, as archive information.
  void AddInformation(const std::uint8_t* p, std::size_t size) {
    std::vector<std::string_view> strings;
    const char* text = reinterpret_cast<const char*>(p);
    for (std::size_t at = 0; at < size;) {
      const std::size_t end = std::find(p + at, p + size, 0) - p;
      strings.emplace_back(text + at, end - at);
      at = end + 1;
    }
    std::vector<std::uint8_t> entries;
    int count = 0;
    const auto entry = [&](std::uint8_t id, std::string value) {
      if (count == 255) return;
      value.resize(std::min(value.size(), kLongestText));
      entries.push_back(id);
      entries.push_back(static_cast<std::uint8_t>(value.size()));
      entries.insert(entries.end(), value.begin(), value.end());
      ++count;
    };
    if (!strings.empty() && !strings[0].empty()) entry(0x00, std::string(strings[0]));
    for (std::size_t i = 1; i + 1 < strings.size(); i += 2) entry(InfoId(strings[i]), InfoValue(strings[i], strings[i + 1]));
    if (count == 0) return;
    std::vector<std::uint8_t> body;
    Put(body, static_cast<std::uint32_t>(entries.size() + 1), 2);
    body.push_back(static_cast<std::uint8_t>(count));
    body.insert(body.end(), entries.begin(), entries.end());
    Add(Kind(tzx::kArchiveInfo, std::move(body)));
  }

 private:
  // The archive information ID of a PZX header name (0xFF, a comment, for
  // names it has none of).
  static std::uint8_t InfoId(std::string_view name) {
    constexpr std::string_view kNames[] = {"Title", "Publisher", "Author", "Year", "Language",
                                           "Type",  "Price",     "Protection", "Origin"};
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
      if (name == kNames[i]) return static_cast<std::uint8_t>(i);
    }
    return 0xFF;
  }
  static std::string InfoValue(std::string_view name, std::string_view value) {
    if (InfoId(name) != 0xFF || name == "Comment") return std::string(value);
    return std::string(name) + ": " + std::string(value);
  }

  void AddGeneralised(const PzxData& data) {
    const std::size_t pulses = std::max(data.zero.size(), data.one.size());
    std::vector<std::uint8_t> rest;
    Put(rest, 0, 2);             // pause
    Put(rest, 0, 4);             // no pilot symbols
    rest.push_back(0);           // pulses per pilot symbol
    rest.push_back(0);           // pilot alphabet
    Put(rest, data.bits, 4);     // data symbols
    rest.push_back(static_cast<std::uint8_t>(pulses));
    rest.push_back(2);           // two symbols: a bit each
    for (const std::vector<std::uint16_t>* symbol : {&data.zero, &data.one}) {
      rest.push_back(0);  // each symbol starts with an edge
      for (std::size_t i = 0; i < pulses; ++i) Put(rest, i < symbol->size() ? (*symbol)[i] : 0, 2);
    }
    rest.insert(rest.end(), data.bytes, data.bytes + data.byteCount);
    std::vector<std::uint8_t> body;
    Put(body, static_cast<std::uint32_t>(rest.size()), 4);
    body.insert(body.end(), rest.begin(), rest.end());
    Add(Kind(tzx::kGeneralisedData, std::move(body)));
  }

  std::size_t room_;
  PzxKinds& read_;
};

// A pilot tone, two sync pulses and data of two equal pulses a bit, with the
// pause after them: a standard block with the ROM's timings and pilot, a
// turbo block otherwise. Nothing when they are not of that shape.
std::optional<TapeBlock> LoaderBlock(const std::vector<Run>& runs, const PzxData& data, int pause) {
  if (runs.size() != 3 || runs[0].count < 2 || runs[1].count != 1 || runs[2].count != 1) return std::nullopt;
  for (const Run& run : runs) {
    if (run.duration == 0 || run.duration > kLongestField || run.count > kLongestField) return std::nullopt;
  }
  if (data.bits == 0 || !data.TwoEqualPulses() || data.byteCount > static_cast<std::size_t>(kMaxRecordLength)) {
    return std::nullopt;
  }
  TapeBlock record = MakeRecord(data.bytes, data.byteCount);
  const int romPilots = data.bytes[0] < 0x80 ? kRomHeaderPilots : kRomDataPilots;
  if (runs[0].duration == kRomPilot && runs[0].count == static_cast<std::uint32_t>(romPilots) &&
      runs[1].duration == kRomSync1 && runs[2].duration == kRomSync2 && data.zero[0] == kRomZero &&
      data.one[0] == kRomOne && data.bits % 8 == 0) {
    return StandardBlock(std::move(record), pause);
  }
  std::vector<std::uint8_t> head;
  for (std::uint32_t v : {runs[0].duration, runs[1].duration, runs[2].duration, std::uint32_t{data.zero[0]},
                          std::uint32_t{data.one[0]}, runs[0].count}) {
    Put(head, v, 2);
  }
  head.push_back(static_cast<std::uint8_t>(data.usedBits()));
  Put(head, static_cast<std::uint32_t>(pause), 2);
  return Kind(tzx::kTurbo, std::move(head), std::move(record));
}

struct PzxBlock {
  char tag[kTagSize];
  const std::uint8_t* body;
  std::size_t size;
  bool is(const char* name) const { return std::memcmp(tag, name, kTagSize) == 0; }
};

}  // namespace

PzxKinds ReadPzxKinds(const std::uint8_t* file, std::size_t size, std::size_t room) {
  PzxKinds read;
  std::vector<PzxBlock> blocks;
  std::size_t at = 0;
  while (at < size) {
    if (size - at < kBlockHead || Little(file + at + kTagSize, 4) > size - at - kBlockHead) {
      read.truncatedOffset = at;
      read.truncatedBytes = size - at;
      break;
    }
    PzxBlock block{{}, file + at + kBlockHead, Little(file + at + kTagSize, 4)};
    std::memcpy(block.tag, file + at, kTagSize);
    blocks.push_back(block);
    at += kBlockHead + block.size;
  }
  if (blocks.empty() || !blocks[0].is("PZXT") || blocks[0].size < 2) {
    read.failure = "файл обрывается в заголовке";
    return read;
  }
  if (blocks[0].body[0] != 1) {
    read.failure = "неподдерживаемая версия формата";
    return read;
  }
  PzxReader reader(room, read);
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const PzxBlock& b = blocks[i];
    if (b.is("PZXT")) {
      if (b.size > 2) reader.AddInformation(b.body + 2, b.size - 2);
    } else if (b.is("PULS")) {
      const std::vector<Run> runs = PulseRuns(b.body, b.size);
      const std::optional<PzxData> data =
          i + 1 < blocks.size() && blocks[i + 1].is("DATA") ? DataOf(blocks[i + 1].body, blocks[i + 1].size)
                                                           : std::nullopt;
      // A pause after the data that a block's pause field holds exactly is taken in.
      const std::uint32_t pauseTicks =
          i + 2 < blocks.size() && blocks[i + 2].is("PAUS") && blocks[i + 2].size >= 4
              ? Little(blocks[i + 2].body, 4) & ~kLevelBit
              : 1;
      const bool takesPause = pauseTicks % kTicksPerMs == 0 && pauseTicks / kTicksPerMs <= kLongestField;
      const int pause = takesPause ? static_cast<int>(pauseTicks / kTicksPerMs) : 0;
      std::optional<TapeBlock> loader = data ? LoaderBlock(runs, *data, pause) : std::nullopt;
      if (loader) {
        reader.Add(std::move(*loader));
        // The tail pulse of a block with a pause is the closing edge such a
        // block sounds anyway; without a pause it is kept.
        if (data->tail > 0 && pause == 0) reader.AddPulses({{data->tail, 1}});
        i += takesPause ? 2 : 1;
      } else {
        reader.AddPulses(runs);
      }
    } else if (b.is("DATA")) {
      if (const std::optional<PzxData> data = DataOf(b.body, b.size)) {
        reader.AddData(*data);
      } else {
        ++read.unknown;
      }
    } else if (b.is("PAUS") && b.size >= 4) {
      reader.AddPause(Little(b.body, 4));
    } else if (b.is("STOP") && b.size >= 2) {
      if (Little(b.body, 2) == 1) {
        reader.Add(Kind(tzx::kStopIn48k, {0, 0, 0, 0}));
      } else {
        reader.Add(Kind(tzx::kPause, {0, 0}));
      }
    } else if (b.is("BRWS")) {
      const std::size_t n = std::find(b.body, b.body + b.size, 0) - b.body;
      reader.AddText(tzx::kText, std::string_view(reinterpret_cast<const char*>(b.body), n));
    } else {
      ++read.unknown;
    }
  }
  return read;
}

}  // namespace reelo
