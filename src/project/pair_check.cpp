#include "project/pair_check.h"

#include "project/block_access.h"
#include "project/header_info.h"

namespace reelo {

std::vector<PairProblem> CheckPairs(const TapeProject& project) {
  std::vector<PairProblem> problems;
  const int n = project.blockCount();
  for (int i = 0; i < n; ++i) {
    const TapeBlock& block = BlockAt(project, i);
    if (!IsHeader(block)) {
      problems.push_back({PairProblemKind::NoHeader, i});
      continue;
    }
    const std::optional<int> dataLength = DataLengthAfter(project, i);
    if (!dataLength) {
      problems.push_back({PairProblemKind::NoData, i});
      continue;
    }
    const int headerLength = ReadHeader(block)->dataLength;
    if (headerLength != *dataLength) problems.push_back({PairProblemKind::LengthDiffers, i, headerLength, *dataLength});
    ++i;  // the data block belongs to this header
  }
  return problems;
}

std::string PairProblemLine(const PairProblem& problem) {
  const std::string where = "Блок №" + NumberText(problem.block + 1) + ": ";
  switch (problem.kind) {
    case PairProblemKind::LengthDiffers:
      return where + "в заголовке длина" + NumberText(problem.headerLength) + ", а в блоке данных после него" +
             NumberText(problem.dataLength);
    case PairProblemKind::NoData: return where + "после заголовка нет блока данных";
    case PairProblemKind::NoHeader: return where + "блок данных без заголовка";
  }
  return {};
}

std::string PairProblemsText(const std::vector<PairProblem>& problems) {
  if (problems.empty()) return {};
  std::string text = "Заголовки и блоки данных не складываются в пары:";
  for (const PairProblem& problem : problems) {
    text += '\n';
    text += PairProblemLine(problem);
  }
  return text;
}

EditResult FixHeaderLengths(TapeProject& project, EditHistory& history, const std::vector<PairProblem>& problems) {
  return ReplaceBlocks(project, history, HeaderLengthFixes(project, problems));
}

std::vector<BlockReplacement> HeaderLengthFixes(const TapeProject& project, const std::vector<PairProblem>& problems) {
  std::vector<BlockReplacement> fixes;
  for (const PairProblem& problem : problems) {
    if (problem.kind != PairProblemKind::LengthDiffers) continue;
    const TapeBlock& header = BlockAt(project, problem.block);
    const std::optional<HeaderInfo> info = ReadHeader(header);
    if (!info) continue;
    HeaderFields fields = FieldsOfHeader(*info);
    fields.dataLength = problem.dataLength;
    HeaderBuild built = BuildHeader(header, fields);
    if (built.status.ok()) fixes.push_back({problem.block, std::move(built.block)});
  }
  return fixes;
}

}  // namespace reelo
