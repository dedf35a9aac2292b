#include "ui/import/prepared_file.h"

#include <QStandardPaths>

#include "ui/file_names.h"

namespace reelo {

std::string ProgramCacheFolder() {
  return ToLocalPath(QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
}

}  // namespace reelo
