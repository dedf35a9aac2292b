// The table of reelo-cli's commands. Each group of rows runs functions of its
// own source file.
#include "cli/cli.h"
#include "cli/commands.h"

namespace reelo::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"decode", "ЗАПИСЬ ВЫХОД.tap [--exact] [--channel auto|left|right|mix] [--bounds B0,B1,B2,B3,B4,B5] [--no-prepare]",
       "расшифровать запись ленты (WAV, FLAC, Ogg, AIFF...) в TAP-файл",
       "--exact      как окно по умолчанию: без подготовки, границы по умолчанию\n"
       "--channel C  канал записи: auto (чище пилот-тон), left, right, mix (смесь)\n"
       "--bounds B   шесть границ длин импульсов: \"0\" от/до, \"1\" от/до, пилот-тон от/до\n"
       "--no-prepare читать запись как есть, без подготовки (границы подбираются)\n"
       "Без параметров запись подготавливается, границы подбираются, на все вопросы\n"
       "о плохом сигнале отвечается \"Шум\". Код 0 - записан хотя бы один блок, 1 - блоков нет.",
       RunDecode},
      {"analyse", "ЗАПИСЬ [--exact] [--channel auto|left|right|mix] [--no-prepare]",
       "качество записи, гистограмма длин импульсов и подобранные границы",
       "--exact, --channel, --no-prepare - как у decode", RunAnalyse},
  };
  return commands;
}

}  // namespace reelo::cli
