#include "cli/inputs.h"

#include <cstdio>

namespace vg::cli {

bool AddInputs(CImageList& list, const std::vector<std::string>& inputs) {
  const std::vector<InputProblem> problems = list.AddPaths(inputs);
  for (const InputProblem& p : problems) {
    std::fprintf(stderr, "vellagard: %s: %s\n", p.input.c_str(), p.reason.c_str());
  }
  return problems.empty();
}

}  // namespace vg::cli
