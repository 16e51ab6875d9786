#pragma once
// The PLOTFILE column table shared by the writer and the reader: for each column its record key, its canonical
// heading, its width, the printf-style output format of its values, its Fortran FORMAT descriptor, a display
// caption and the kind of attribute the reader gives it. Also the model option words of the options line, the
// heading names the reader recognises and the phrases that name a file's kind.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

// The columns in the order in which they appear on a written line.
enum class Tplotcolumn : uint8_t {
  pltnullcolumn,
  pltX,
  pltY,
  pltaveconc,
  plttotaldepo,
  pltdrydepo,
  pltwetdepo,
  pltZElev,
  pltZHill,
  pltZFlag,
  pltAve,
  pltGrp,
  pltHival,
  pltNumHrs,
  pltNumYrs,
  pltNetID,
  pltDate,
  pltConcYr,
  pltDateYr,
  pltRank,
  pltData,
  pltCont
};
inline constexpr int kPlotColumnCount = 22;  // including pltnullcolumn
using TplotcolumnArray = std::vector<Tplotcolumn>;

// The kind of value a column holds (the attribute kind the reader defines for it).
enum class TPlotValueKind : uint8_t { pvkNone, pvkFloat, pvkInteger, pvkText };

struct TPlotColumnInfo {
  std::string_view Key;           // attribute name in records
  std::string_view Title;         // heading written above the column
  int Width;                      // characters
  std::string_view OutputFormat;  // printf-style format of a value
  std::string_view Descriptor;    // Fortran FORMAT edit descriptor
  std::string_view Caption;       // display name
  TPlotValueKind Kind;
};

const TPlotColumnInfo& PlotColumnInfo(Tplotcolumn column);
inline const TPlotColumnInfo& PlotColumnInfo(int ordinal) {
  return PlotColumnInfo(static_cast<Tplotcolumn>(ordinal));
}
// The column whose key is `key` (ASCII case-insensitive); pltnullcolumn when none is.
Tplotcolumn PlotColumnByKey(std::string_view key);

// Model options that the options line can carry; the ordinal is the sort position on a written options line.
enum class TPlotOption : uint8_t { pltoNull, pltoCONC, pltoDEPOS, pltoDDEP, pltoWDEP, pltoELEV, pltoDRYDPL, pltoWETDPL };
inline constexpr int kPlotOptionCount = 8;

// The option word ("CONC", ...); empty for pltoNull.
std::string_view PlotOptionName(TPlotOption option);
// The option named by `word` (ASCII case-insensitive); false when the word names none (an empty word included).
bool FindPlotOption(std::string_view word, TPlotOption& option);

// A set of TPlotOption.
class TPlotOptions {
 public:
  constexpr TPlotOptions() = default;
  constexpr TPlotOptions(std::initializer_list<TPlotOption> members) {
    for (TPlotOption m : members) Include(m);
  }
  constexpr bool Contains(TPlotOption m) const { return (fBits >> static_cast<unsigned>(m)) & 1u; }
  constexpr void Include(TPlotOption m) { fBits = static_cast<uint8_t>(fBits | (1u << static_cast<unsigned>(m))); }
  constexpr bool Empty() const { return fBits == 0; }
  constexpr void Clear() { fBits = 0; }
  constexpr bool operator==(const TPlotOptions&) const = default;

 private:
  uint8_t fBits = 0;
};

// Which averaging keyword a kind line carries.
enum class TPltAverageKeyword : uint8_t { kwNoAvg, kwAnnual, kw1Hr };

// The headings the reader maps to columns, searched in this order (the first name of a column is its title).
struct TPlotColumnName {
  std::string_view Name;
  Tplotcolumn Column;
};
std::span<const TPlotColumnName> PlotColumnNames();

// Phrases of the line naming what a file holds, with the kind number stored as "datatype"; the annual
// post/plot phrase comes first because it contains the plain plot phrase.
struct TPlotFileKind {
  std::string_view Phrase;
  int DataType;
};
std::span<const TPlotFileKind> PlotFileKinds();

}  // namespace zorvik
