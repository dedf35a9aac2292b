#include "blocks/block_export.h"

#include "blocks/png_writer.h"
#include "project/atomic_file.h"
#include "project/block_access.h"
#include "project/progress.h"
#include "viewers/basic_listing.h"
#include "viewers/dump_view.h"
#include "viewers/line_ends.h"

namespace reelo {
namespace {

constexpr const char* kSaveDataFailedText = "Не удалось сохранить данные блока";

bool IsScreenKind(DataFileKind kind) {
  return kind == DataFileKind::Screen || kind == DataFileKind::Picture || kind == DataFileKind::PictureDouble;
}

bool HoldsScreen(const TapeBlock& block) { return DataLength(block) == kScreenBytes; }

std::vector<std::uint8_t> Picture(const TapeBlock& block, ScreenMode mode, int scale) {
  const ScreenPicture picture = DecodeScreen(block);
  const int width = kScreenWidth * scale, height = kScreenHeight * scale;
  std::vector<std::uint32_t> pixels;
  pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.push_back(ScreenPixelColour(picture, mode, x / scale, y / scale));
  }
  return EncodePng(width, height, pixels);
}

std::string Text(const TapeBlock& block, DataFileKind kind) {
  NullProgress progress;
  switch (kind) {
    case DataFileKind::Listing: return BuildSpectrumListing(block);
    case DataFileKind::ExactListing: return BuildMarkedListing(block).text;
    default: return WithLfLineEnds(BuildDumpView(block, progress));
  }
}

}  // namespace

const char* DataFileKindName(DataFileKind kind) {
  switch (kind) {
    case DataFileKind::Raw: return "Данные блока";
    case DataFileKind::Screen: return "Экран ZX Spectrum";
    case DataFileKind::Picture: return "Картинка PNG 256x192";
    case DataFileKind::PictureDouble: return "Картинка PNG 512x384";
    case DataFileKind::Listing: return "BASIC-листинг";
    case DataFileKind::ExactListing: return "BASIC-листинг со скрытыми байтами";
    case DataFileKind::Dump: return "Десятичный дамп";
  }
  return "";
}

const char* DataFileExtension(DataFileKind kind) {
  switch (kind) {
    case DataFileKind::Raw: return "bin";
    case DataFileKind::Screen: return "scr";
    case DataFileKind::Picture:
    case DataFileKind::PictureDouble: return "png";
    default: return "txt";
  }
}

std::vector<DataFileKind> DataFileKinds(const TapeBlock& block) {
  std::vector<DataFileKind> kinds = {DataFileKind::Raw};
  if (HoldsScreen(block)) {
    kinds.insert(kinds.end(), {DataFileKind::Screen, DataFileKind::Picture, DataFileKind::PictureDouble});
  }
  kinds.insert(kinds.end(), {DataFileKind::Listing, DataFileKind::ExactListing, DataFileKind::Dump});
  return kinds;
}

DataFile BuildDataFile(const std::vector<TapeBlock>& blocks, DataFileKind kind, ScreenMode mode) {
  if (blocks.empty()) return {OpResult::Fail("Блок не выбран"), {}};
  if (IsScreenKind(kind) && !HoldsScreen(blocks.front())) {
    return {OpResult::Fail("В блоке не 6912 байт данных: это не экран ZX Spectrum"), {}};
  }
  DataFile file;
  switch (kind) {
    case DataFileKind::Raw:
      for (const TapeBlock& block : blocks) {
        const std::vector<std::uint8_t> data = DataBytes(block);
        file.bytes.insert(file.bytes.end(), data.begin(), data.end());
      }
      break;
    case DataFileKind::Screen: file.bytes = DataBytes(blocks.front()); break;
    case DataFileKind::Picture: file.bytes = Picture(blocks.front(), mode, 1); break;
    case DataFileKind::PictureDouble: file.bytes = Picture(blocks.front(), mode, 2); break;
    case DataFileKind::Listing:
    case DataFileKind::ExactListing:
    case DataFileKind::Dump:
      for (std::size_t k = 0; k < blocks.size(); ++k) {
        std::string text = Text(blocks[k], kind);
        // The dump's last row has no line end; every text file ends with one.
        // Lines end in LF alone in every text file.
        if (text.empty() || text.back() != '\n') text += '\n';
        if (k > 0) text.insert(0, 1, '\n');
        file.bytes.insert(file.bytes.end(), text.begin(), text.end());
      }
      break;
  }
  return file;
}

OpResult SaveDataFile(const std::vector<TapeBlock>& blocks, DataFileKind kind, ScreenMode mode,
                      const std::string& path) {
  const DataFile file = BuildDataFile(blocks, kind, mode);
  if (!file.status.ok()) return file.status;
  AtomicFileWriter writer;
  if (!writer.Open(path) || !writer.Write(file.bytes.data(), file.bytes.size()) || !writer.Commit()) {
    return OpResult::Fail(kSaveDataFailedText, writer.error());
  }
  return OpResult::Success();
}

}  // namespace reelo
