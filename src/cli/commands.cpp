// The table of reelo-cli's commands. Each group of rows runs functions of its
// own source file.
#include "cli/cli.h"
#include "cli/commands.h"

namespace reelo::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"decode",
       "ЗАПИСЬ [ЗАПИСЬ2 ...] ВЫХОД.tap [--exact] [--channel auto|left|right|mix] [--bounds B0,B1,B2,B3,B4,B5] "
       "[--no-prepare]",
       "расшифровать запись ленты (WAV, FLAC, Ogg, AIFF...) в TAP-файл; несколько записей одной ленты\n"
       "      сводятся в одну: каждый блок берётся из записи, где он цел",
       "--exact      как окно по умолчанию: без подготовки, границы по умолчанию\n"
       "--channel C  канал записи: auto (каналы по отдельности; с --bounds - чище пилот-тон),\n"
       "             left, right, mix (смесь)\n"
       "--bounds B   шесть границ длин импульсов: \"0\" от/до, \"1\" от/до, пилот-тон от/до\n"
       "--no-prepare читать запись как есть, без подготовки (границы подбираются)\n"
       "Без параметров запись читается по периодам с уверенностью каждого бита, блок с\n"
       "неверной контрольной суммой исправляется, если сомнительных битов мало (в отчёте:\n"
       "\"исправлено битов: N\"); оба канала стереозаписи читаются по отдельности. С --bounds,\n"
       "--no-prepare или --exact - прежний декодер импульсов, на все вопросы о плохом сигнале\n"
       "отвечается \"Шум\". Код 0 - записан хотя бы один блок, 1 - блоков нет.",
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
      {"convert", "ВХОД ВЫХОД [--rate N] [--bits N] [--invert] [--rom-timings]",
       "перевод ленты в TAP, TZX или WAV по окончанию имени выходного файла; запись (.wav, .flac, .ogg...)\n"
       "      на входе расшифровывается, как командой decode",
       "--rate N: частота WAV-файла, 22050 (по умолчанию), 44100 или 48000\n"
       "--bits N: 8 (по умолчанию) или 16 бит\n"
       "--invert: обратная полярность\n"
       "--rom-timings: длительности сигнала, как у SAVE в ПЗУ Spectrum",
       RunConvert},
      {"view", "basic|text|dump ЛЕНТА N | screen ЛЕНТА N ВЫХОД.png",
       "блок N как BASIC-листинг, текст или дамп (в стандартный вывод) или как картинка экрана (PNG)", "",
       RunView},
#if REELO_CLI_PLAY
      {"play", "ЛЕНТА.tap [--from N] [--pause-after-block]", "проиграть ленту через звуковую карту",
       "  --from N              начать с блока N (с 1)\n"
       "  --pause-after-block   останавливаться после каждого блока; Enter — дальше\n"
       "  Ctrl+C останавливает воспроизведение (код выхода 130)",
       RunPlay},
#endif
  };
  return commands;
}

}  // namespace reelo::cli
