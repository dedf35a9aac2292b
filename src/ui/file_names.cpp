#include "ui/file_names.h"

#include <QFile>
#include <filesystem>
#include <system_error>

namespace reelo {

std::string WithDefaultExtension(const std::string& path, const std::string& extension) {
  return path.find('.') == std::string::npos ? path + extension : path;
}

bool IsExistingFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

std::string ToLocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString FromLocalPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

}  // namespace reelo
