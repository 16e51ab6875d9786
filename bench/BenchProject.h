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
  std::string MetFile;  // empty without calm hours
};

// How a project departs from the plain one (whose values it keeps where it does not say otherwise).
struct TBenchShape {
  // About this share of the receptors lie where the plume seldom goes: only 10-30 % of their hours are non-zero.
  int farPercent = 0;
  // About this share of the hours are calm: the POSTFILE holds 0 there, as the models write it, and an AERMET
  // surface file "<folder>/bench.sfc" of the hours marks them (wind speed 0).
  int calmPercent = 0;
};

// Writes "<folder>/bench.pos" and "<folder>/bench.plt" (and the met file) unless they exist, the POSTFILE with
// the expected size.
TBenchProject MakeBenchProject(const std::string& folder, int receptors, int hours, TBenchShape shape = {});

}  // namespace zorvik::bench
