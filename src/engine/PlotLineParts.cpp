#include "engine/PlotLineParts.h"

#include <limits>

#include "engine/PlotRecords.h"
#include "plotfile/PlotFile.h"
#include "plotfile/ISCPlotFileWriter.h"
#include "records/AttributeCollection.h"
#include "util/Exceptions.h"

namespace zorvik {

template <class Append>
void TPlotLineParts::AddReceptor(int i, Append&& append) {
  bool hasValue = false;
  bool fits = true;
  size_t f = 0;
  for (size_t k = 0; k < fColumns.size(); ++k) {
    if (f < fFilled.size() && fColumns[k] == fFilled[f]) {
      fEnds.push_back(static_cast<uint32_t>(fText.size()));
      ++f;
      continue;
    }
    fits = append(k, hasValue) && fits;
  }
  if (f != fFilled.size())
    throw EAssertionFailed("TPlotLineParts: the filled columns are not the file's, in its order");
  if (fText.size() > std::numeric_limits<uint32_t>::max())
    throw EAssertionFailed("TPlotLineParts: too much text for one chunk of receptors");
  fEnds.push_back(static_cast<uint32_t>(fText.size()));
  fFlags[Row(i)] = static_cast<uint8_t>((fits ? kComposable : 0) | (hasValue ? kHasValue : 0));
}

TPlotLineParts::TPlotLineParts(TPlotRecords& records, const TISCPlotFileWriterBase& formatter,
                               std::vector<Tplotcolumn> filled, int start, int count)
    : fColumns(formatter.Columns()),
      fDigits(formatter.SignificantDigits()),
      fFilled(std::move(filled)),
      fStart(start),
      fCount(count) {
  const size_t segments = fFilled.size() + 1;
  fEnds.reserve(static_cast<size_t>(count) * segments);
  fFlags.assign(static_cast<size_t>(count), 0);
  if (count > 0 && FormatFromPlot(records, formatter)) return;
  // Every record has the PLOTFILE's fields first, in one order: the columns' places are found once.
  std::vector<int> slots;
  for (int i = start; i < start + count; ++i) {
    TAttributeCollectionRef& record = records.Record(i);
    if (slots.empty())
      for (const Tplotcolumn column : fColumns) slots.push_back(record.IndexOfName(PlotColumnInfo(column).Key));
    AddReceptor(i, [&](size_t k, bool& hasValue) {
      const base_Attribute* a = slots[k] < 0 ? nullptr : &record.ByIndex(slots[k]);
      return formatter.AppendColumn(fText, fColumns[k], a, hasValue);
    });
  }
}

bool TPlotLineParts::FormatFromPlot(TPlotRecords& records, const TISCPlotFileWriterBase& formatter) {
  // The record of a receptor holds the PLOTFILE's fields, the result's date and rank emptied: each column is
  // formatted from the field of its key, as AppendColumn formats the record's attribute. A column whose key a
  // writer added to the record (none of the PLOTFILE's fields) keeps to the records.
  const TPlotFile& plot = records.Plot();
  const TAttributeCollectionRef& record = records.Record(fStart);
  constexpr int kBlank = -1;
  std::vector<int> fields(fColumns.size(), kBlank);
  for (size_t k = 0; k < fColumns.size(); ++k) {
    const std::string_view key = PlotColumnInfo(fColumns[k]).Key;
    const int field = plot.FieldIndex(key);
    if (field < 0 && record.IndexOfName(key) >= 0) return false;
    if (!records.ResultField(field)) fields[k] = field;
  }
  for (int i = fStart; i < fStart + fCount; ++i)
    AddReceptor(i, [&](size_t k, bool& hasValue) {
      const Tplotcolumn column = fColumns[k];
      const int field = fields[k];
      if (field == kBlank || plot.IsNull(i, field)) {
        TISCPlotFileWriterBase::AppendBlankColumn(fText, column);
        return true;
      }
      switch (plot.FieldKind(field)) {
        case AttrType::atFloat: {
          const double value = plot.AsFloat(i, field);
          return formatter.AppendNumberColumn(fText, column, value == 0.0 ? 0.0 : value, hasValue);  // -0 as 0
        }
        case AttrType::atInteger:
          return TISCPlotFileWriterBase::AppendWholeColumn(fText, column, plot.WholeValue(i, field), hasValue);
        default:
          return TISCPlotFileWriterBase::AppendTextColumn(fText, column, plot.TextValue(i, field), hasValue);
      }
    });
  return true;
}

bool TPlotLineParts::Fits(const TISCPlotFileWriterBase& formatter, const std::vector<Tplotcolumn>& filled, int start,
                          int count) const {
  return start == fStart && count == fCount && filled == fFilled && formatter.Columns() == fColumns &&
         formatter.SignificantDigits() == fDigits;
}

}  // namespace zorvik
