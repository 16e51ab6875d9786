#pragma once
// A synthetic AERMOD-like project for benchmarks: a double-precision POSTFILE of R receptors x H hours where,
// as in real output, 70-90 % of each receptor's hours are non-zero and the values spread over several
// decades, and the PLOTFILE of the same run (AERMOD layout).
#include <cstdint>
#include <string>

namespace zorvik::bench {

struct TBenchProject {
  std::string PostFile;
  std::string PlotFile;
};

// Writes "<folder>/bench.pos" and "<folder>/bench.plt" unless both exist with the expected size. With
// farPercent, about that share of the receptors lie where the plume seldom goes: only 10-30 % of their hours are
// non-zero (the values of the others are those of the project without).
TBenchProject MakeBenchProject(const std::string& folder, int receptors, int hours, int farPercent = 0);

}  // namespace zorvik::bench
