#pragma once
// The pieces of a PLOTFILE's lines that the reader recognises: tokens and numbers, the kind line naming what
// the file holds (averaging period, high value, source group), the receptor count, the column headings, and
// the tokens by which a file without header tells its columns apart.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plotfile/PlotColumns.h"

namespace zorvik {

// Tokens of a line: split at blanks and tabs (runs count as one); each token loses one leading and one
// trailing quote (double or single) and is trimmed; a token of "_" alone becomes empty.
std::vector<std::string> PlotLineTokens(std::string_view line);

// A token that reads as a decimal number after its first ',', '.' or '_' is read as '.'.
bool IsPlotNumber(std::string_view token);
// The value of such a token; false when it is none.
bool PlotNumberValue(std::string_view token, double& value);

// A high-value word ("1ST", "2ND-HIGHEST", "10TH"): without "-HIGHEST", at least three characters ending in
// ST, ND, RD or TH (any case) after an integer 1 to 999. `high` receives the word without "-HIGHEST".
bool IsHighValueWord(std::string_view token, std::string* high = nullptr);
// A word naming an averaging period in a file without header: contains "-HR", or is PERIOD, MONTH, ANNUAL.
bool IsAverageWord(std::string_view token);
// 1..12 for the English month names (any case), 0 otherwise.
int MonthOfName(std::string_view token);
// The "datatype" of a header line (1..8), 0 when it names no file kind.
int PlotFileKindOf(std::string_view upperLine);
// The line stating the receptor count: "TOTAL OF" followed somewhere by "RECEPTOR".
bool IsReceptorCountLine(std::string_view upperLine);
// The count of such a line: the blank-delimited token right after "TOTAL OF", a whole number from 0 to
// 2147483647 whose digits may be grouped by commas ("12,544"). False when the token is anything else (a sign, a
// decimal point, an exponent, a word, too many digits); `token` then tells what was found.
bool ReceptorCountOf(std::string_view upperLine, int32_t& count, std::string* token = nullptr);

// What the kind line says.
struct TPlotKindLine {
  std::string group = "Unknown";
  bool hasGroup = false;
  std::string hour;
  std::string high = "OTHERS";
  std::string header2;
  TPltAverageKeyword keyword = TPltAverageKeyword::kwNoAvg;
};
// Parses the kind line (upper-cased, without its "*").
TPlotKindLine ParsePlotKindLine(std::string_view upperLine);
// Applies one averaging or high-value word of a kind line to hour and high; true for NAAQS, after which no
// further word counts. `highSet` tells whether a word set the high value.
bool ApplyKindWord(std::string_view token, std::string& hour, std::string& high, bool& highSet);

// Why the FORMAT statement of a PLOTFILE header (blanks removed, enclosed in parentheses) cannot be used to cut
// its lines; empty when it can. Accepted: comma-separated X (nX), T (Tn), A and I (Aw, Iw, Iw.m), F and E
// (Fw.d, Ew.d) descriptors and quoted literals, and groups of them with a repeat count, n(...), one level deep.
std::string PlotFormatProblem(std::string_view statement);

// The column a heading names: cut at its first "(" and trimmed, then the first heading name equal to it
// (ASCII case-insensitive), or, for AVER CONC YR, DATE YR and CONT, contained in it; pltnullcolumn when none.
Tplotcolumn PlotColumnOfHeading(std::string_view heading);
// The record key of a field: the column's key, and for AVER CONC YR, DATE YR and CONT whose heading carries
// more than the column's name, the key followed by the rest of the heading.
std::string PlotFieldKey(Tplotcolumn column, std::string_view heading);

}  // namespace zorvik
