#include "plotfile/SamplePlotFile.h"

#include <fmt/format.h>

#include <cmath>
#include <fstream>

#include "util/Exceptions.h"

namespace zorvik {

void WriteSamplePlotFile(const std::string& fileName, const std::vector<std::pair<double, double>>& receptors,
                         const std::string& group) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  if (!out) throw EFOpenError("Cannot create file " + fileName);
  out << "* AERMOD (24142 ):  synthetic run                                                        12/10/26\r\n"
         "* AERMET ( 24142):  synthetic met                                                        06:06:10\r\n"
         "* MODELING OPTIONS USED:   NonDFAULT  CONC  FLAT  RURAL  ADJ_U*\r\n";
  out << fmt::format("*         PLOT FILE OF  HIGH   1ST HIGH  1-HR VALUES FOR SOURCE GROUP: {:<8}\r\n", group);
  out << fmt::format("*         FOR A TOTAL OF {:5d} RECEPTORS.\r\n", receptors.size());
  out << "*         FORMAT: (3(1X,F13.5),3(1X,F8.2),3X,A5,2X,A8,2X,A5,5X,A8,2X,I8)\r\n"
         "*        X             Y      AVERAGE CONC    ZELEV    ZHILL    ZFLAG    AVE     GRP       RANK     NET ID   "
         "DATE(CONC)\r\n"
         "* ____________  ____________  ____________   ______   ______   ______  ______  ________  ________  ________  "
         "________\r\n";
  for (const auto& [x, y] : receptors)
    out << fmt::format(" {:13.5f} {:13.5f} {:13.5f} {:8.2f} {:8.2f} {:8.2f}   {:>5}  {:<8}  {:>5}     {:<8}  {:8d}\r\n", x,
                       y, 1.0, 0.0, 0.0, 0.0, "1-HR", group, "1ST", "GRID", 96010101);
  if (!out) throw EInOutError("Cannot write file " + fileName);
}

std::vector<std::pair<double, double>> SampleGrid(int receptors) {
  std::vector<std::pair<double, double>> grid;
  const int side = std::max(1, static_cast<int>(std::ceil(std::sqrt(receptors))));
  for (int r = 0; r < receptors; ++r) grid.emplace_back(-5000.0 + 100.0 * (r % side), -5000.0 + 100.0 * (r / side));
  return grid;
}

}  // namespace zorvik
