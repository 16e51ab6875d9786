#include "engine/ResultRowWriter.h"

#include <cmath>

#include "plotfile/PlotFile.h"
#include "records/AttributeCollection.h"
#include "util/ExceptionLog.h"

namespace zorvik {

std::vector<TResultRow> ReceptorRows(const TPlotFile& plot) {
  return traced("ReceptorRows", [&] {
    std::vector<TResultRow> rows;
    rows.reserve(static_cast<size_t>(plot.ReceptorCount()));
    const int elevation = plot.FieldIndex("elev");
    for (int i = 0; i < plot.ReceptorCount(); ++i)
      // + 0.0: a coordinate the model printed as -0.00000 is 0, as in the PLOTFILEs written from the same run.
      rows.push_back({i + 1, plot.X(i) + 0.0, plot.Y(i) + 0.0, elevation >= 0 ? plot.AsFloat(i, elevation) + 0.0 : NAN,
                      NAN, 0});
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

void TResultRowWriter::Write(TReceptorItems& aReceptors, int aStart, int aCount, TPlotRecords& /*records*/) {
  traced("TResultRowWriter.Write", [&] {
    for (int i = aStart; i < aStart + aCount; ++i) {
      const TPrReceptorItem* receptor = aReceptors[static_cast<size_t>(i)].get();
      if (!receptor) continue;
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
