// Writes the synthetic benchmark project: zorvik_bench_gen FOLDER [RECEPTORS [HOURS [FAR_PERCENT]]].
#include <cstdio>
#include <cstdlib>

#include "BenchProject.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: zorvik_bench_gen FOLDER [RECEPTORS [HOURS [FAR_PERCENT]]]\n");
    return 2;
  }
  const int receptors = argc > 2 ? std::atoi(argv[2]) : 10000;
  const int hours = argc > 3 ? std::atoi(argv[3]) : 8760;
  const int farPercent = argc > 4 ? std::atoi(argv[4]) : 0;
  auto project = zorvik::bench::MakeBenchProject(argv[1], receptors, hours, farPercent);
  std::printf("%s\n%s\n", project.PostFile.c_str(), project.PlotFile.c_str());
  return 0;
}
