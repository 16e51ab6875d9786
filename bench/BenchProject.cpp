#include "BenchProject.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"

namespace zorvik::bench {
namespace {

// splitmix64: a small, fast, reproducible generator.
struct TRandom {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
};

}  // namespace

TBenchProject MakeBenchProject(const std::string& folder, int receptors, int hours, int farPercent) {
  namespace fs = std::filesystem;
  fs::create_directories(folder);
  TBenchProject project{folder + "/bench.pos", folder + "/bench.plt"};
  TPostFileLayout layout;
  layout.Receptors = receptors;
  const uintmax_t expected = static_cast<uintmax_t>(hours) * (layout.RecordLength() + 8u);
  std::error_code ec;
  if (fs::file_size(project.PostFile, ec) == expected && fs::exists(project.PlotFile)) return project;

  // Per receptor: a share of non-zero hours and a scale; per hour a value spread over six decades.
  std::vector<double> share(receptors), scale(receptors);
  TRandom setup{12345}, far{2468};
  for (int r = 0; r < receptors; ++r) {
    share[r] = 0.7 + 0.2 * setup.Uniform();
    scale[r] = std::pow(10.0, 2.0 * setup.Uniform());
    if (far.Uniform() * 100.0 < farPercent) share[r] -= 0.6;
  }
  TRandom random{987654321};
  WritePostFile(project.PostFile, layout, 96010101, hours, [&](int, int, int r) {
    const double u = random.Uniform();
    if (u >= share[r]) return 0.0;
    return scale[r] * std::pow(10.0, -3.0 + 6.0 * (u / share[r]));
  });
  WriteSamplePlotFile(project.PlotFile, SampleGrid(receptors));
  return project;
}

}  // namespace zorvik::bench
