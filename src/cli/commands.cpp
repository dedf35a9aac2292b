// The table of reelo-cli's commands. Each group of rows runs functions of its
// own source file.
#include "cli/cli.h"
#include "cli/commands.h"

namespace reelo::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"list", "ЛЕНТА", "список блоков ленты (TAP, TZX, PZX, CSW) и итог", "", RunList},
      {"convert", "ВХОД ВЫХОД [--rate N] [--bits N] [--invert] [--rom-timings]",
       "перевод ленты в TAP, TZX или WAV по окончанию имени выходного файла",
       "--rate N: частота WAV-файла, 22050 (по умолчанию), 44100 или 48000\n"
       "--bits N: 8 (по умолчанию) или 16 бит\n"
       "--invert: обратная полярность\n"
       "--rom-timings: длительности сигнала, как у SAVE в ПЗУ Spectrum",
       RunConvert},
      {"view", "basic|text|dump ЛЕНТА N | screen ЛЕНТА N ВЫХОД.png",
       "блок N как BASIC-листинг, текст или дамп (в стандартный вывод) или как картинка экрана (PNG)", "",
       RunView},
  };
  return commands;
}

}  // namespace reelo::cli
