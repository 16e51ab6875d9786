#include "engine/ResultRowWriter.h"

#include <cmath>

#include "records/AttributeCollection.h"
#include "util/ExceptionLog.h"

namespace zorvik {

namespace {

double FieldValue(const TAttributeCollectionRef* record, std::string_view name) {
  const base_Attribute* field = record ? record->ByName(name) : nullptr;
  return field && !field->IsNull() ? field->asFloat() : NAN;
}

}  // namespace

std::vector<TResultRow> ReceptorRows(const TReceptorItems& receptors) {
  return traced("ReceptorRows", [&] {
    std::vector<TResultRow> rows;
    rows.reserve(receptors.size());
    for (size_t i = 0; i < receptors.size(); ++i) {
      const TAttributeCollectionRef* record = receptors[i] ? receptors[i]->PlotRecord.get() : nullptr;
      rows.push_back({static_cast<int>(i) + 1, FieldValue(record, "xloc"), FieldValue(record, "yloc"),
                      FieldValue(record, "elev"), NAN, 0});
    }
    return rows;
  });
}

TResultRowWriter::TResultRowWriter(const TPercentItem& item, TAttributeCollectionRef& header,
                                   TAttributeCollectionRef& fields, TPostOutTypes post, bool useInterpolation,
                                   const std::vector<TResultRow>& receptorRows, std::vector<TResultRows>& results)
    : TPlotFileWriter({}, item, header, fields, post, useInterpolation),
      fReceptorRows(receptorRows),
      fResults(results) {
  for (TPostOutType t : kAllPostOutTypes) {
    if (!post.Contains(t)) continue;
    fRows.push_back(TResultRows{item, t, {}});
    fRows.back().Rows.reserve(receptorRows.size());
  }
}

void TResultRowWriter::Write(TReceptorItems& aReceptors, int aStart, int aCount) {
  traced("TResultRowWriter.Write", [&] {
    for (int i = aStart; i < aStart + aCount; ++i) {
      const TPrReceptorItem* receptor = aReceptors[static_cast<size_t>(i)].get();
      if (!receptor || !receptor->PlotRecord) continue;
      TResultRow row = fReceptorRows.at(static_cast<size_t>(i));
      for (TResultRows& rows : fRows) {
        row.Value = RankedValue(*receptor, rows.Type, row.Date);
        rows.Rows.push_back(row);
      }
    }
  });
}

void TResultRowWriter::Commit() {
  for (TResultRows& rows : fRows) fResults.push_back(std::move(rows));
  fRows.clear();
}

}  // namespace zorvik
