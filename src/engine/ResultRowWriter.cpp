#include "engine/ResultRowWriter.h"

#include <cmath>

#include "records/AttributeCollection.h"
#include "util/ExceptionLog.h"

namespace zorvik {

namespace {

double FieldValue(const TAttributeCollectionRef& record, std::string_view name) {
  const base_Attribute* field = record.ByName(name);
  return field && !field->IsNull() ? field->asFloat() : NAN;
}

}  // namespace

TResultRow ResultRowOf(const TAttributeCollectionRef& record, int receptor) {
  return TResultRow{receptor, FieldValue(record, "xloc"), FieldValue(record, "yloc"), FieldValue(record, "elev"),
                    NAN, 0};
}

TResultRowWriter::TResultRowWriter(const TPercentItem& item, TAttributeCollectionRef& header,
                                   TAttributeCollectionRef& fields, TPostOutTypes post, bool useInterpolation,
                                   std::vector<TResultRows>& results)
    : TPlotFileWriter({}, item, header, fields, post, useInterpolation), fResults(results) {
  for (TPostOutType t : kAllPostOutTypes)
    if (post.Contains(t)) fRows.push_back(TResultRows{item, t, {}});
}

void TResultRowWriter::AddRow(const TPrReceptorItem& receptor, const TAttributeCollectionRef& record, int index) {
  traced("TResultRowWriter.AddRow", [&] {
    TResultRow row = ResultRowOf(record, index + 1);
    for (TResultRows& rows : fRows) {
      row.Value = RankedValue(receptor, rows.Type, row.Date);
      rows.Rows.push_back(row);
    }
  });
}

void TResultRowWriter::Write(TReceptorItems& aReceptors, int aStart, int aCount) {
  for (int i = aStart; i < aStart + aCount; ++i) {
    const TPrReceptorItem* receptor = aReceptors[static_cast<size_t>(i)].get();
    if (receptor && receptor->PlotRecord) AddRow(*receptor, *receptor->PlotRecord, i);
  }
}

void TResultRowWriter::WriteRecords(TReceptorItems& aReceptors, int aStart, int aCount,
                                    TAttributeCollectionRef* const* records) {
  for (int i = 0; i < aCount; ++i) {
    const TPrReceptorItem* receptor = aReceptors[static_cast<size_t>(aStart + i)].get();
    if (receptor && records[i]) AddRow(*receptor, *records[i], aStart + i);
  }
}

void TResultRowWriter::Commit() {
  for (TResultRows& rows : fRows) fResults.push_back(std::move(rows));
  fRows.clear();
}

}  // namespace zorvik
