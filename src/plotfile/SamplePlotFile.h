#pragma once
// Writes a PLOTFILE in the AERMOD layout (title lines, options, FORMAT statement, headings, one line per
// receptor) for given receptor coordinates: the companion of a synthetic POSTFILE in tests and benchmarks.
#include <string>
#include <utility>
#include <vector>

namespace zorvik {

void WriteSamplePlotFile(const std::string& fileName, const std::vector<std::pair<double, double>>& receptors,
                         const std::string& group = "ALL");
// Receptor coordinates on a square grid of 100 m spacing.
std::vector<std::pair<double, double>> SampleGrid(int receptors);

}  // namespace zorvik
