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
      {"bas2tap", "ТЕКСТ.bas ВЫХОД.tap [--autostart СТРОКА] [--name ИМЯ] [--append]",
       "программа BASIC из текста (синтаксис zmakebas): заголовок и блок данных в TAP-файл",
       "--autostart N строка, с которой программа запускается после загрузки (0-9999)\n"
       "--name ИМЯ    имя в заголовке, до 10 символов ZX Spectrum (по умолчанию имя файла)\n"
       "--append      дописать блоки в конец существующего TAP-файла",
       RunBas2Tap},
      {"bin2tap", "ФАЙЛ.bin ВЫХОД.tap --start АДРЕС [--name ИМЯ] [--append]",
       "блок кода (CODE) из двоичного файла: заголовок и блок данных в TAP-файл",
       "--start A     адрес загрузки (0-65535)\n"
       "--name ИМЯ    имя в заголовке, до 10 символов ZX Spectrum (по умолчанию имя файла)\n"
       "--append      дописать блоки в конец существующего TAP-файла",
       RunBin2Tap},
      {"list", "ЛЕНТА", "список блоков ленты (TAP, TZX, PZX, CSW) и итог", "", RunList},
      {"convert",
       "ВХОД ВЫХОД [--rate N] [--bits N] [--invert] [--rom-timings]\n"
       "  reelo-cli convert --to tap|tzx|wav --out-dir ПАПКА [-j N] [--overwrite] [параметры звука] ФАЙЛЫ...",
       "перевод ленты в TAP, TZX или WAV по окончанию имени выходного файла; запись (.wav, .flac, .ogg...)\n"
       "      на входе расшифровывается, как командой decode. С параметром --to - много файлов сразу",
       "--rate N: частота WAV-файла, 22050 (по умолчанию), 44100 или 48000\n"
       "--bits N: 8 (по умолчанию) или 16 бит\n"
       "--invert: обратная полярность\n"
       "--rom-timings: длительности сигнала, как у SAVE в ПЗУ Spectrum\n"
       "--to F: формат результатов (tap, tzx или wav), --out-dir П: существующая папка для них\n"
       "  (имя входного файла с новым окончанием); каждый файл переводится сам по себе\n"
       "-j N: сколько файлов переводить одновременно (по умолчанию по числу ядер)\n"
       "--overwrite: заменять уже существующие выходные файлы (без него они не трогаются)\n"
       "Итог - в конце; код - худший из кодов файлов; Ctrl+C дописывает начатые файлы (код 130)",
       RunConvert},
      {"view", "basic|text|dump ЛЕНТА N | screen ЛЕНТА N ВЫХОД.png",
       "блок N как BASIC-листинг, текст или дамп (в стандартный вывод) или как картинка экрана (PNG)", "",
       RunView},
      {"play", "ЛЕНТА.tap [--from N] [--pause-after-block]", "проиграть ленту через звуковую карту",
       "  --from N              начать с блока N (с 1)\n"
       "  --pause-after-block   останавливаться после каждого блока; Enter — дальше\n"
       "  Ctrl+C останавливает воспроизведение (код выхода 130)",
       HandOverPlay},
  };
  return commands;
}

}  // namespace reelo::cli
