// The table of reelo-cli's commands. Each group of rows runs functions of its
// own source file.
#include "cli/cli.h"
#include "cli/commands.h"

namespace reelo::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
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
  };
  return commands;
}

}  // namespace reelo::cli
