#include "BenchProject.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "util/DateKey.h"

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

// The AERMET surface file of `hours` hours from 96010101, with wind speed 0 where calm[h].
void WriteBenchMetFile(const std::string& file, int hours, const std::vector<bool>& calm) {
  std::string text =
      "   29.967N   95.350W          UA_ID: 3937      SF_ID: 722430    OS_ID:              VERSION: 24142\n";
  int32_t key = 96010101;
  for (int h = 0; h < hours; ++h, key = AdvanceDateOneHour(key)) {
    const TDateKeyParts d = DecodeDateKey(key);
    int julianDay = d.day;
    for (int m = 1; m < d.month; ++m) julianDay += DaysInMonth(d.year, m);
    text += fmt::format(
        "{:02d} {:>2} {:>2} {:>3} {:>2}  -21.5  0.222 -9.000 -9.000 -999.  251.     54.1  0.1500   0.70   1.00 {:>7}"
        "   28.0    6.1  287.5    2.0     0   0.00   100.   997.    10 NAD-SFC NoSubs\n",
        d.year % 100, d.month, d.day, julianDay, d.hour, calm[static_cast<size_t>(h)] ? "0.00" : "2.10");
  }
  std::ofstream(file, std::ios::binary) << text;
}

}  // namespace

TBenchProject MakeBenchProject(const std::string& folder, int receptors, int hours, TBenchShape shape) {
  namespace fs = std::filesystem;
  fs::create_directories(folder);
  TBenchProject project{folder + "/bench.pos", folder + "/bench.plt",
                        shape.calmPercent > 0 ? folder + "/bench.sfc" : std::string()};
  TPostFileLayout layout;
  layout.Receptors = receptors;
  const uintmax_t expected = static_cast<uintmax_t>(hours) * (layout.RecordLength() + 8u);
  std::error_code ec;
  if (fs::file_size(project.PostFile, ec) == expected && fs::exists(project.PlotFile) &&
      (project.MetFile.empty() || fs::exists(project.MetFile)))
    return project;

  // Per receptor: a share of non-zero hours and a scale; per hour a value spread over six decades.
  std::vector<double> share(receptors), scale(receptors);
  TRandom setup{12345}, far{2468};
  for (int r = 0; r < receptors; ++r) {
    share[r] = 0.7 + 0.2 * setup.Uniform();
    scale[r] = std::pow(10.0, 2.0 * setup.Uniform());
    if (far.Uniform() * 100.0 < shape.farPercent) share[r] -= 0.6;
  }
  std::vector<bool> calm(static_cast<size_t>(hours));
  TRandom calms{1357};
  for (int h = 0; h < hours; ++h) calm[static_cast<size_t>(h)] = calms.Uniform() * 100.0 < shape.calmPercent;
  TRandom random{987654321};
  WritePostFile(project.PostFile, layout, 96010101, hours, [&](int h, int, int r) {
    const double u = random.Uniform();
    if (u >= share[r] || calm[static_cast<size_t>(h)]) return 0.0;
    return scale[r] * std::pow(10.0, -3.0 + 6.0 * (u / share[r]));
  });
  WriteSamplePlotFile(project.PlotFile, SampleGrid(receptors));
  if (!project.MetFile.empty()) WriteBenchMetFile(project.MetFile, hours, calm);
  return project;
}

}  // namespace zorvik::bench
