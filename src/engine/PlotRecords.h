#pragma once
// The PLOTFILE records of a receptor list's receptors, made from the PLOTFILE's columns when a writer asks for
// them rather than kept, one heap record per receptor, for the whole run. Record(i) refills the one record this
// object holds, so that writing a file of any size allocates nothing per receptor; Take(i) gives a receptor a
// record of its own. "date" and "rank" come empty: they are the results' to fill.
#include <array>
#include <memory>

namespace zorvik {

class TAttributeCollectionRef;
class TPlotFile;

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

 private:
  void ClearResultFields(TAttributeCollectionRef& record) const;
  const TPlotFile& fPlot;
  std::array<int, 2> fResultFields;  // the fields "date" and "rank" of the PLOTFILE, -1 where it has none
  std::unique_ptr<TAttributeCollectionRef> fRecord;
};

}  // namespace zorvik
