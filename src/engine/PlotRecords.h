#pragma once
// The PLOTFILE records of a receptor list's receptors, made from the PLOTFILE's columns when a writer asks for
// them rather than kept, one heap record per receptor, for the whole run. Record(i) refills the one record this
// object holds, so that writing a file of any size allocates nothing per receptor; Take(i) gives a receptor a
// record of its own. "date" and "rank" come empty: they are the results' to fill.
#include <array>
#include <memory>
#include <vector>

#include "plotfile/PlotColumns.h"

namespace zorvik {

class TAttributeCollectionRef;
class TISCPlotFileWriterBase;
class TPlotFile;
class TPlotLineParts;

class TPlotRecords {
 public:
  explicit TPlotRecords(const TPlotFile& plot);
  ~TPlotRecords();
  TPlotRecords(const TPlotRecords&) = delete;
  TPlotRecords& operator=(const TPlotRecords&) = delete;

  // Receptor i's record (from 0, file order), valid until the next call; a writer may add fields to it, which
  // stay for the next receptors (and are set again by the writer).
  TAttributeCollectionRef& Record(int i);
  std::unique_ptr<TAttributeCollectionRef> Take(int i) const;
  const TPlotFile& Plot() const { return fPlot; }
  // Whether field f of the PLOTFILE is one the records leave empty (a result's date or rank).
  bool ResultField(int f) const { return f >= 0 && (f == fResultFields[0] || f == fResultFields[1]); }
  // The lines of receptors start .. start + count - 1 as `formatter` writes them, but for the columns `filled`
  // (see TPlotLineParts): made on the first call and kept for the next writers of the same receptors. It uses
  // Record, so a record taken before is refilled.
  const TPlotLineParts& LineParts(const TISCPlotFileWriterBase& formatter, const std::vector<Tplotcolumn>& filled,
                                  int start, int count);

 private:
  void ClearResultFields(TAttributeCollectionRef& record) const;
  const TPlotFile& fPlot;
  std::array<int, 2> fResultFields;  // the fields "date" and "rank" of the PLOTFILE, -1 where it has none
  std::unique_ptr<TAttributeCollectionRef> fRecord;
  std::unique_ptr<TPlotLineParts> fParts;
};

}  // namespace zorvik
