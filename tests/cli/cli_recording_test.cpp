// reelo-cli decode and analyse, run as a user would: the exit status, what is
// said on each stream and what is left on disk.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <filesystem>
#include <sstream>

#include "../recording/recording_builders.h"
#include "cli/cli.h"
#include "project/progress.h"
#include "sound/export/wav_writer.h"
#include "tape_builders.h"

namespace reelo::cli {
namespace {

namespace fs = std::filesystem;

std::vector<TapeBlock> Records() {
  // A data block longer than 255 bytes: its length takes both bytes of the TAP length field.
  return {reelo::testing::MakeHeader(3, "cli", 300),
          reelo::testing::MakeDataBlock(reelo::testing::RandomBytes(300, 9))};
}

// The same records, the data block's checksum byte wrong.
std::vector<TapeBlock> DamagedRecords() {
  std::vector<TapeBlock> records = Records();
  records[1].mutableBytes().back() ^= 0x01;
  return records;
}

reelo::testing::Bytes TapBytes(const std::vector<TapeBlock>& records) {
  reelo::testing::Bytes bytes;
  for (const TapeBlock& r : records) bytes.insert(bytes.end(), r.begin(), r.end());
  return bytes;
}

// The recordings every row can use, in one folder.
class Recordings {
 public:
  Recordings() {
    using namespace reelo::testing;
    WriteRecording(Path("tape.wav"), Stereo({}, Scaled(RomSignal(Records(), 44100), 0.5f), 44100),
                   SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    WriteRecording(Path("silence.wav"), Mono(std::vector<float>(44100, 0.0f), 44100), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    WriteFileBytes(dir_ / "text.wav", Bytes(3000, 'x'));
    WriteFileBytes(dir_ / "file", {1});
    TapeProject project;
    project.blocks = Records();
    NullProgress progress;
    SaveWavFile(project, Path("export.wav"), progress);
    project.blocks = DamagedRecords();
    SaveWavFile(project, Path("damaged.wav"), progress);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

 private:
  reelo::testing::TempDir dir_;
};

struct CliRow {
  const char* name;
  Args args;  // "@name" stands for the file of that name in the folder
  int status;
  std::string outContains, errContains;
  bool tapWritten;  // out.tap holds the records; otherwise an older out.tap is untouched
  bool damaged = false;  // the records written are those with the wrong checksum
};

class DecodeCommand : public ::testing::TestWithParam<CliRow> {};

TEST_P(DecodeCommand, AnswersWithStatusMessagesAndFile) {
  const CliRow& row = GetParam();
  Recordings files;
  const reelo::testing::Bytes older{1, 2, 3};
  reelo::testing::WriteFileBytes(files.Path("out.tap"), older);
  Args args;
  for (const std::string& arg : row.args) args.push_back(arg[0] == '@' ? files.Path(arg.substr(1)) : arg);
  std::ostringstream out, err;
  Io io{out, err, false};
  EXPECT_EQ(RunCli(args, io), row.status) << out.str() << err.str();
  EXPECT_NE(out.str().find(row.outContains), std::string::npos) << out.str();
  EXPECT_NE(err.str().find(row.errContains), std::string::npos) << err.str();
  EXPECT_EQ(reelo::testing::ReadFileBytes(files.Path("out.tap")), row.tapWritten ? TapBytes(row.damaged ? DamagedRecords() : Records()) : older);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecodeCommand,
    ::testing::Values(
        CliRow{"stereo_recording", {"decode", "@tape.wav", "@out.tap"}, 0,
               "стерео, каналы читаются по отдельности\nБлок 1: 19 байт, флаг 0, контрольная сумма верна (правый канал)",
               "", true},
        CliRow{"two_takes", {"decode", "@tape.wav", "@silence.wav", "@out.tap"}, 0,
               "Блок 2: 302 байт, флаг 255, контрольная сумма верна (из записи 1)", "", true},
        CliRow{"takes_need_preparation", {"decode", "@tape.wav", "@tape.wav", "@out.tap", "--exact"}, 2, "",
               "несколько записей одной ленты", false},
        CliRow{"takes_of_an_unknown_format", {"decode", "@text.wav", "@tape.wav", "@out.tap"}, 2, "",
               "Формат звукового файла не распознан", false},
        CliRow{"takes_of_which_one_is_missing", {"decode", "@tape.wav", "@gone.wav", "@out.tap"}, 2, "",
               "Не удалось открыть звуковой файл", false},
        CliRow{"report_lines_and_checksums", {"decode", "@tape.wav", "@out.tap"}, 0,
               "Найдено блоков: 2\nКонтрольная сумма верна: 2, неверна: 0", "", true},
        CliRow{"own_export_exact", {"decode", "@export.wav", "@out.tap", "--exact"}, 0,
               "Загрузка...\nНайдены данные...", "", true},
        CliRow{"a_wrong_checksum_counted", {"decode", "@damaged.wav", "@out.tap", "--exact"}, 0,
               "Контрольная сумма верна: 1, неверна: 1", "", true, true},
        CliRow{"own_export_no_prepare", {"decode", "@export.wav", "@out.tap", "--no-prepare"}, 0, "(подобраны)", "",
               true},
        CliRow{"chosen_channel_and_bounds",
               {"decode", "@tape.wav", "@out.tap", "--channel", "right", "--bounds", "2,8,9,12,13,18"}, 0, "", "",
               true},
        CliRow{"wrong_channel_gives_nothing", {"decode", "@tape.wav", "@out.tap", "--channel=left"}, 1, "", "", false},
        CliRow{"silence", {"decode", "@silence.wav", "@out.tap"}, 1, "Найдено блоков: 0", "", false},
        CliRow{"unknown_format", {"decode", "@text.wav", "@out.tap"}, 1, "", "Формат звукового файла не распознан",
               false},
        CliRow{"missing_recording", {"decode", "@gone.wav", "@out.tap"}, 2, "", "Не удалось открыть звуковой файл",
               false},
        CliRow{"unwritable_output", {"decode", "@tape.wav", "@file/out.tap"}, 2, "", "file/out.tap", false},
        CliRow{"bad_channel", {"decode", "@tape.wav", "@out.tap", "--channel", "up"}, 2, "", "неверный канал up",
               false},
        CliRow{"bad_bounds", {"decode", "@tape.wav", "@out.tap", "--bounds", "1,2,3,4,5,41"}, 2, "",
               "неверные границы", false},
        CliRow{"bounds_with_a_trailing_comma", {"decode", "@tape.wav", "@out.tap", "--bounds", "2,8,9,12,13,18,"}, 2,
               "", "неверные границы", false},
        CliRow{"five_bounds", {"decode", "@tape.wav", "@out.tap", "--bounds", "2,8,9,12,13"}, 2, "",
               "неверные границы", false},
        CliRow{"bounds_with_an_empty_item", {"decode", "@tape.wav", "@out.tap", "--bounds", "2,8,,12,13,18"}, 2, "",
               "неверные границы", false},
        CliRow{"channel_without_preparation", {"decode", "@tape.wav", "@out.tap", "--exact", "--channel", "left"}, 2,
               "", "--channel", false},
        CliRow{"no_output", {"decode", "@tape.wav"}, 2, "", "не хватает аргументов", false},
        CliRow{"analyse", {"analyse", "@tape.wav"}, 0, "Подобранные границы: 2,", "", false},
        CliRow{"analyse_silence", {"analyse", "@silence.wav"}, 0, "Подобранные границы: нет", "", false},
        CliRow{"analyse_missing", {"analyse", "@gone.wav"}, 2, "", "Не удалось открыть звуковой файл", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo::cli
