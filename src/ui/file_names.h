// File names as the file commands treat them.
#pragma once

#include <QString>
#include <string>

namespace reelo {

// Appends the extension (".tap", ".wav") when no character of the whole path
// is a dot, folder names included: "game" gets it, "my.files/game" does not.
std::string WithDefaultExtension(const std::string& path, const std::string& extension);

// True when a plain file of that name exists; a folder does not count.
bool IsExistingFile(const std::string& path);

// A path from a dialog in the system's file name encoding, and back.
std::string ToLocalPath(const QString& path);
QString FromLocalPath(const std::string& path);

}  // namespace reelo
