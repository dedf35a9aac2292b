// QSettings in a fresh folder of its own for the life of the object, under the
// program's own organisation and application names: a test then starts with
// nothing remembered and leaves nothing behind.
#pragma once

#include <QSettings>
#include <QTemporaryDir>

#include "ui/startup.h"

namespace reelo::testing {

class SettingsSandbox {
 public:
  SettingsSandbox() {
    NameTheProgram();
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
      QSettings::setPath(format, QSettings::UserScope, folder_.path());
      QSettings::setPath(format, QSettings::SystemScope, folder_.path() + QStringLiteral("/system"));
    }
  }
  QString folder() const { return folder_.path(); }

 private:
  QTemporaryDir folder_;
};

}  // namespace reelo::testing
