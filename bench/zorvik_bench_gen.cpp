// Writes the synthetic benchmark project: zorvik_bench_gen FOLDER [RECEPTORS [HOURS [FAR_PERCENT [CALM_PERCENT]]]].
#include <cstdio>
#include <cstdlib>

#include "BenchProject.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: zorvik_bench_gen FOLDER [RECEPTORS [HOURS [FAR_PERCENT [CALM_PERCENT]]]]\n");
    return 2;
  }
  const int receptors = argc > 2 ? std::atoi(argv[2]) : 10000;
  const int hours = argc > 3 ? std::atoi(argv[3]) : 8760;
  zorvik::bench::TBenchShape shape;
  shape.farPercent = argc > 4 ? std::atoi(argv[4]) : 0;
  shape.calmPercent = argc > 5 ? std::atoi(argv[5]) : 0;
  auto project = zorvik::bench::MakeBenchProject(argv[1], receptors, hours, shape);
  std::printf("%s\n%s\n", project.PostFile.c_str(), project.PlotFile.c_str());
  if (!project.MetFile.empty()) std::printf("%s\n", project.MetFile.c_str());
  return 0;
}
