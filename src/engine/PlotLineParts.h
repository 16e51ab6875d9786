#pragma once
// The receptor lines of result PLOTFILEs, but for the columns each file fills itself (its values, date, period
// and source group), formatted once for every file written from the same receptors. A file's line is then its
// receptor's parts with its own columns in between: the same text the record path writes, at a fraction of the
// cost when a run writes several files (a set of percentiles, the rolling averages' eighteen).
//
//   const TPlotLineParts& parts = records.LineParts(writer, filled, start, count);
//   if (parts.Composable(i)) { line = parts.Segment(i, 0); ...filled column k, then parts.Segment(i, k + 1)... }
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plotfile/PlotColumns.h"

namespace zorvik {

class TISCPlotFileWriterBase;
class TPlotRecords;

class TPlotLineParts {
 public:
  // Formats, for receptors start .. start + count - 1 of `records`, every column of `formatter`'s file except
  // `filled` (a subsequence of its columns, in their order).
  TPlotLineParts(TPlotRecords& records, const TISCPlotFileWriterBase& formatter, std::vector<Tplotcolumn> filled,
                 int start, int count);

  // Whether these parts serve a writer of `formatter`'s columns and digits that fills `filled`, for the same
  // receptors.
  bool Fits(const TISCPlotFileWriterBase& formatter, const std::vector<Tplotcolumn>& filled, int start,
            int count) const;
  const std::vector<Tplotcolumn>& Filled() const { return fFilled; }
  // False when one of receptor i's columns does not fit its format: its line goes through the record path,
  // which reports the error with the line's number.
  bool Composable(int i) const { return (fFlags[Row(i)] & kComposable) != 0; }
  // Whether a column other than X, Y and the filled ones holds a value (a line without any is not written).
  bool HasValue(int i) const { return (fFlags[Row(i)] & kHasValue) != 0; }
  // Receptor i's text before filled column k; k = Filled().size() gives the text after the last one.
  std::string_view Segment(int i, size_t k) const {
    const size_t at = Row(i) * (fFilled.size() + 1) + k;
    const uint32_t begin = at == 0 ? 0 : fEnds[at - 1];
    return std::string_view(fText).substr(begin, fEnds[at] - begin);
  }

 private:
  // Formats the lines from the PLOTFILE's fields instead of records; false (nothing done) where a column is a
  // field writers added to the records.
  bool FormatFromPlot(TPlotRecords& records, const TISCPlotFileWriterBase& formatter);
  // Receptor i's segments: append(k, hasValue) appends the text of column k (one not filled) and says whether
  // its value fit the column's format.
  template <class Append>
  void AddReceptor(int i, Append&& append);
  static constexpr uint8_t kComposable = 1;
  static constexpr uint8_t kHasValue = 2;
  size_t Row(int i) const { return static_cast<size_t>(i - fStart); }

  TplotcolumnArray fColumns;
  int fDigits;
  std::vector<Tplotcolumn> fFilled;
  int fStart;
  int fCount;
  std::string fText;           // every receptor's segments, one after the other
  std::vector<uint32_t> fEnds;  // where each segment ends in fText
  std::vector<uint8_t> fFlags;
};

}  // namespace zorvik
