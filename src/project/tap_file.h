// Reading TAP files into the project and writing the project to its TAP file.
#pragma once

#include <string>

#include "project/op_result.h"
#include "project/progress.h"
#include "project/tape_project.h"

namespace reelo {

inline constexpr const char* kLoadTapLabel = "Загрузка TAP-файла, подождите...";
inline constexpr const char* kSaveTapLabel = "Сохранение TAP-файла, подождите...";
inline constexpr const char* kSaveFailedText = "Проблемы с сохранением файла. Файл не сохранён.";
inline constexpr const char* kSaveFailedTitle = "Ошибка при сохранении файла";
inline constexpr const char* kOpenFailedText = "Не удалось открыть файл";

// Appends every whole record of the file at path after the project's blocks.
// Progress: maximum S + 1 (S the file size), value = next read position after
// every record. Never touches fileName or modified.
//  - a missing or unreadable file: Error, the project unchanged;
//  - an empty file: Ok, nothing added;
//  - a record running past the end of the file, or more records than free
//    slots: Warning; every whole record that fits is kept.
// One byte left after the last whole record is ignored without a warning.
OpResult LoadTapFile(TapeProject& project, const std::string& path, Progress& progress);

// The same read, its records given back as a value instead of appended: at
// most `room` of them (the project's free slots, or 1000 for a tape that
// replaces the project), with the same status. No records on Error.
TapeRead ReadTapFile(const std::string& path, int room, Progress& progress);

// Writes all blocks to project.fileName, replacing the file atomically.
// Progress: maximum blockCount + 1, value i after block i. Clears modified on
// success; on failure the old file and modified are as they were.
OpResult SaveTapFile(TapeProject& project, Progress& progress);

}  // namespace reelo
