#include "engine/PlotRecords.h"

#include "engine/PlotLineParts.h"

#include "plotfile/PlotFile.h"
#include "records/AttributeCollection.h"

namespace zorvik {

TPlotRecords::TPlotRecords(const TPlotFile& plot)
    : fPlot(plot), fResultFields{plot.FieldIndex("date"), plot.FieldIndex("rank")} {}

void TPlotRecords::ClearResultFields(TAttributeCollectionRef& record) const {
  for (int field : fResultFields)
    if (field >= 0) record.ByIndex(field).Clear();
}

TPlotRecords::~TPlotRecords() = default;

TAttributeCollectionRef& TPlotRecords::Record(int i) {
  if (!fRecord) {
    fRecord = fPlot.ReceptorRecord(i);
  } else {
    fPlot.FillRecord(i, *fRecord);
  }
  ClearResultFields(*fRecord);
  return *fRecord;
}

std::unique_ptr<TAttributeCollectionRef> TPlotRecords::Take(int i) const {
  auto record = fPlot.ReceptorRecord(i);
  ClearResultFields(*record);
  return record;
}

const TPlotLineParts& TPlotRecords::LineParts(const TISCPlotFileWriterBase& formatter,
                                              const std::vector<Tplotcolumn>& filled, int start, int count) {
  if (!fParts || !fParts->Fits(formatter, filled, start, count))
    fParts = std::make_unique<TPlotLineParts>(*this, formatter, filled, start, count);
  return *fParts;
}

}  // namespace zorvik
