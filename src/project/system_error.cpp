#include "project/system_error.h"

#include <cerrno>
#include <cstring>

namespace reelo {

std::string SystemErrorText(int err) {
  switch (err) {
    case ENOENT: return "файл или папка не найдены";
    case EACCES:
    case EPERM: return "нет доступа";
    case EISDIR: return "это папка, а не файл";
    case ENOTDIR: return "часть пути не является папкой";
    case ENOSPC: return "на диске нет места";
    case EFBIG: return "файл слишком велик";
    case EDQUOT: return "превышена дисковая квота";
    case EROFS: return "диск доступен только для чтения";
    case ENAMETOOLONG: return "слишком длинное имя файла";
    case EIO: return "ошибка ввода-вывода";
    case EINVAL: return "это не обычный файл";
    case ELOOP: return "слишком много символических ссылок в пути";
    case ENXIO: return "устройство недоступно";
    case EBUSY: return "файл занят";
    case ETXTBSY: return "файл занят";
    case EMFILE:
    case ENFILE: return "открыто слишком много файлов";
    default: return std::strerror(err);
  }
}

}  // namespace reelo
