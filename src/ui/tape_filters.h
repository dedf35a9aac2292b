// The filters of the tape file dialogs, in the dialogs' "description|patterns"
// form. The dialog matches patterns whatever the letter case, so "*.tzx" also
// finds GAME.TZX.
#pragma once

namespace reelo {

// Open and Add file: every format the program reads, then each one.
inline constexpr const char* kTapeOpenFilter =
    "Файлы лент|*.tap;*.tzx;*.pzx;*.csw"
    "|Образ ленты TAP|*.tap"
    "|Образ ленты TZX|*.tzx"
    "|Образ ленты PZX|*.pzx"
    "|Запись ленты CSW|*.csw"
    "|Все файлы|*.*";

// Save as: the formats it writes; a name ending in .tzx is written as TZX.
inline constexpr const char* kTapeSaveFilter =
    "Образ ленты TAP|*.tap"
    "|Образ ленты TZX|*.tzx"
    "|Все файлы|*.*";

}  // namespace reelo
