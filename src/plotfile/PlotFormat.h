#pragma once
// Text layout of PLOTFILE lines: the number formats of receptor values, the printf-style output formats of the
// column table, and the pieces of the header block (title line, options line, FORMAT statement, centred
// headings). Every number is written with '.' as decimal separator, whatever the locale.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plotfile/PlotColumns.h"

namespace zorvik {

// The text of a result value with `significantDigits` digits (N):
//   1 < |v| <= 100000          fixed, N decimals            12.3456789 -> 12.34568 (N = 5)
//   0.00001 <= |v| <= 1        rounded to N significant digits (half to even), shortest fixed text
//   v = 0                      "0"
//   otherwise                  d.dddddE+xx with up to N decimals, trailing zeros dropped
// Fixed texts then lose trailing zeros down to one digit after the point (2 -> "2.0").
std::string FormatPlotValue(double v, int significantDigits);
// The same text appended to `out`, without a heap allocation for the usual values (it runs for every value of
// every PLOTFILE line written).
void AppendPlotValue(std::string& out, double v, int significantDigits);

// Up to 15 significant digits, shortest form; fixed notation for decimal exponents -5 .. 14, otherwise
// scientific ("1.5E-07"). Never uses the locale.
std::string FormatGeneral(double v, int precision = 15);

// A printf-style output format of the column table ("%13.5f", "%-8s", "%8.8d") applied to a value. The
// answer is empty when the format cannot print the value: a text that is no whole number under an integer
// format, a text that is no number under a fixed format, a fractional number under an integer format.
std::optional<std::string> ApplyOutputFormat(std::string_view format, double value);
// The same, appended to `out`; false (and `out` unchanged) where ApplyOutputFormat gives nothing.
bool AppendOutputFormat(std::string& out, std::string_view format, double value);
bool AppendOutputFormat(std::string& out, std::string_view format, int64_t value);
bool AppendOutputFormat(std::string& out, std::string_view format, std::string_view text);
std::optional<std::string> ApplyOutputFormat(std::string_view format, int64_t value);
std::optional<std::string> ApplyOutputFormat(std::string_view format, std::string_view text);

// `title` centred in `width`: of the n blanks to add, n div 2 go to the right and the rest to the left.
// A longer title is not cut.
std::string CenterTitle(std::string_view title, int width);

// "(1X,F13.5,1X,F13.5,...)": "1X," and the descriptor of each column, in order.
std::string PlotFormatStatement(std::span<const Tplotcolumn> columns);

// The words of an options text: split at commas and blanks, double-quoted parts whole (quotes removed),
// no empty words.
std::vector<std::string> PlotOptionWords(std::string_view text);
// The words ordered by their TPlotOption position, words naming no option last in their original order,
// joined by two blanks.
std::string SortedPlotOptions(std::string_view text);

// The first line of the header block: "* AppName:  header1" with an application label, otherwise header1
// with "* " in front unless it is empty or already begins with "*".
std::string PlotTitleLine(std::string_view appName, std::string_view header1);

}  // namespace zorvik
