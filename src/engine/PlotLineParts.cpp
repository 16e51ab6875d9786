#include "engine/PlotLineParts.h"

#include <limits>

#include "engine/PlotRecords.h"
#include "plotfile/ISCPlotFileWriter.h"
#include "records/AttributeCollection.h"
#include "util/Exceptions.h"

namespace zorvik {

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
  // Every record has the PLOTFILE's fields first, in one order: the columns' places are found once.
  std::vector<int> slots;
  for (int i = start; i < start + count; ++i) {
    TAttributeCollectionRef& record = records.Record(i);
    if (slots.empty())
      for (const Tplotcolumn column : fColumns) slots.push_back(record.IndexOfName(PlotColumnInfo(column).Key));
    bool hasValue = false;
    bool fits = true;
    size_t f = 0;
    for (size_t k = 0; k < fColumns.size(); ++k) {
      if (f < fFilled.size() && fColumns[k] == fFilled[f]) {
        fEnds.push_back(static_cast<uint32_t>(fText.size()));
        ++f;
        continue;
      }
      const base_Attribute* a = slots[k] < 0 ? nullptr : &record.ByIndex(slots[k]);
      fits = formatter.AppendColumn(fText, fColumns[k], a, hasValue) && fits;
    }
    if (f != fFilled.size())
      throw EAssertionFailed("TPlotLineParts: the filled columns are not the file's, in its order");
    if (fText.size() > std::numeric_limits<uint32_t>::max())
      throw EAssertionFailed("TPlotLineParts: too much text for one chunk of receptors");
    fEnds.push_back(static_cast<uint32_t>(fText.size()));
    fFlags[Row(i)] = static_cast<uint8_t>((fits ? kComposable : 0) | (hasValue ? kHasValue : 0));
  }
}

bool TPlotLineParts::Fits(const TISCPlotFileWriterBase& formatter, const std::vector<Tplotcolumn>& filled, int start,
                          int count) const {
  return start == fStart && count == fCount && filled == fFilled && formatter.Columns() == fColumns &&
         formatter.SignificantDigits() == fDigits;
}

}  // namespace zorvik
