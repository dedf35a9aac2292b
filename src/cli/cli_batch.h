// reelo-cli convert over many files: `convert --to tap|tzx|wav --out-dir ПАПКА
// [-j N] [--overwrite] ФАЙЛЫ...`. Each file is converted on its own, by several
// threads at once; a bad file gets its message and its status in the summary
// and the others go on. Ctrl+C lets the files under way finish (each output is
// written atomically) and starts no more.
#pragma once

#include <string>
#include <vector>

#include "cli/cli.h"

namespace reelo::cli {

// "-j N" and "-jN" as "--jobs N" (the usual spelling of job runners), up to "--".
Args BatchOptionsSpelledOut(const Args& args);

// True when the call names any of the batch options.
bool IsBatchCall(const ParsedArgs& parsed);

// One input of a batch and what becomes of it before anything is converted:
// the output path, or the reason it is not converted (a duplicate, or an
// output that another input's output or another input would overwrite).
struct BatchItem {
  std::string input;
  std::string output;
  std::string problem;  // empty: convert it
};

// The outputs of inputs in outDir with the ending of format ("tap", "tzx",
// "wav"): the input's name with its last ending replaced. The first of two
// inputs naming the same file, or of two giving the same output, is kept.
std::vector<BatchItem> PlanBatch(const std::vector<std::string>& inputs, const std::string& outDir,
                                 const std::string& format);

// Runs a batch call already parsed by convert.
int RunBatchConvert(const ParsedArgs& parsed, Io& io);

}  // namespace reelo::cli
