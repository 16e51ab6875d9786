#include "plotfile/PlotColumns.h"

#include <algorithm>

#include "util/TextUtils.h"

namespace zorvik {
namespace {

using enum Tplotcolumn;
using enum TPlotValueKind;

constexpr std::array<TPlotColumnInfo, kPlotColumnCount> kColumns = {{
    {"", "", 0, "", "", "", pvkNone},
    {"xloc", "X", 13, "%13.5f", "F13.5", "X Location", pvkFloat},
    {"yloc", "Y", 13, "%13.5f", "F13.5", "Y Location", pvkFloat},
    {"conc", "AVERAGE CONC", 13, "%13.5f", "F13.5", "Concentration", pvkFloat},
    {"tdep", "TOTAL DEPO", 13, "%13.5f", "F13.5", "Total Depos.", pvkFloat},
    {"ddep", "DRY DEPO", 13, "%13.5f", "F13.5", "Dry Depos.", pvkFloat},
    {"wdep", "WET DEPO", 13, "%13.5f", "F13.5", "Wet Depos.", pvkFloat},
    {"elev", "ZELEV", 8, "%8.2f", "F8.2", "Elevation", pvkFloat},
    {"hill", "ZHILL", 8, "%8.2f", "F8.2", "Hill", pvkFloat},
    {"flag", "ZFLAG", 8, "%8.2f", "F8.2", "Flag", pvkFloat},
    {"period", "AVE", 6, "%-6s", "A6", "Period", pvkText},
    {"sgroup", "GRP", 8, "%-8s", "A8", "Source Group", pvkText},
    {"hival", "HIVAL", 8, "%-8s", "A8", "Hi-Val", pvkText},
    {"hnum", "NUM HRS", 8, "%8.8d", "I8.8", "Num Hours", pvkInteger},
    {"ynum", "NUM YRS", 8, "%8.8d", "I8.8", "Num Years", pvkInteger},
    {"netid", "NET ID", 8, "%-8s", "A8", "Network ID", pvkText},
    {"date", "DATE", 8, "%-8s", "A8", "Date", pvkText},
    {"concyr", "AVER CONC YR", 13, "%13.5f", "F13.5", "Aver Conc Year", pvkFloat},
    {"dateyr", "DATE YR", 8, "%8.8d", "I8.8", "Date Year  ", pvkText},
    {"rank", "RANK", 5, "%-5s", "A5", "Rank", pvkText},
    {"data", "DATA", 13, "%13.5f", "F13.5", "Data", pvkFloat},
    {"cont", "CONT", 13, "%13.5f", "F13.5", "Contribution", pvkFloat},
}};

constexpr std::array<std::string_view, kPlotOptionCount> kOptionNames = {"",     "CONC",   "DEPOS",  "DDEP",
                                                                         "WDEP", "ELEV", "DRYDPL", "WETDPL"};

constexpr std::array<TPlotColumnName, 33> kColumnNames = {{
    {"", pltnullcolumn},         {"X", pltX},
    {"Y", pltY},                 {"ZELEV", pltZElev},
    {"AVE", pltAve},             {"GRP", pltGrp},
    {"HIVAL", pltHival},         {"HI", pltHival},
    {"NET ID", pltNetID},        {"TOTAL DEPO", plttotaldepo},
    {"DEPOS", plttotaldepo},     {"DRY DEPO", pltdrydepo},
    {"DDEP", pltdrydepo},        {"WET DEPO", pltwetdepo},
    {"WDEP", pltwetdepo},        {"AVERAGE CONC", pltaveconc},
    {"DATE", pltDate},           {"CONC", pltaveconc},
    {"NUM HRS", pltNumHrs},      {"NUM YRS", pltNumYrs},
    {"YEAR NUM", pltNumYrs},     {"ZHILL", pltZHill},
    {"ZFLAG", pltZFlag},         {"COUNT-CONC", pltaveconc},
    {"COUNT-DEPOS", plttotaldepo}, {"COUNT-DDEP", pltdrydepo},
    {"COUNT-WDEP", pltwetdepo},  {"AVER CONC YR", pltConcYr},
    {"DATE YR", pltDateYr},      {"RANK", pltRank},
    {"RAN", pltRank},            {"DATA", pltData},
    {"CONT", pltCont},
}};

constexpr std::array<TPlotFileKind, 8> kFileKinds = {{
    {"POST/PLOT FILE OF ANNUAL VALUES FOR YEAR", 8},
    {"PLOT FILE OF", 1},
    {"EXCEEDANCE FILE", 2},
    {"MAXI-FILE", 3},
    {"MAXDCONT FILE", 4},
    {"MXDYBYYR FILE", 5},
    {"MAXDAILY FILE", 6},
    {"RANK-FILE", 7},
}};
}  // namespace

const TPlotColumnInfo& PlotColumnInfo(Tplotcolumn column) {
  auto i = static_cast<size_t>(column);
  return kColumns[i < kColumns.size() ? i : 0];
}

Tplotcolumn PlotColumnByKey(std::string_view key) {
  if (key.empty()) return pltnullcolumn;
  for (int i = 1; i < kPlotColumnCount; ++i)
    if (SameTextAscii(kColumns[i].Key, key)) return static_cast<Tplotcolumn>(i);
  return pltnullcolumn;
}

std::string_view PlotOptionName(TPlotOption option) {
  auto i = static_cast<size_t>(option);
  return i < kOptionNames.size() ? kOptionNames[i] : std::string_view();
}

bool FindPlotOption(std::string_view word, TPlotOption& option) {
  if (word.empty()) return false;
  for (int i = 1; i < kPlotOptionCount; ++i)
    if (SameTextAscii(kOptionNames[i], word)) {
      option = static_cast<TPlotOption>(i);
      return true;
    }
  return false;
}

std::span<const TPlotColumnName> PlotColumnNames() { return kColumnNames; }
std::span<const TPlotFileKind> PlotFileKinds() { return kFileKinds; }

}  // namespace zorvik
