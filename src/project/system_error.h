// The system's reason for a failed file operation, in the user's words.
#pragma once

#include <string>

namespace reelo {

// A short Russian text for an errno value ("файл не найден", "нет доступа", ...);
// unknown values fall back to the system's own text.
std::string SystemErrorText(int err);

}  // namespace reelo
