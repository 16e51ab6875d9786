#pragma once
// Per-receptor results as rows for the table formats (CSV, GeoJSON, ASCII grid) and the highest-receptor list:
// a plot writer that collects, from the stores a PLOTFILE writer reads, every receptor's value and date as the
// PLOTFILE line would get them (the value as the engine computed it, not as printed), and a receptor list that
// uses it instead of, or besides, the PLOTFILE writers.
//
//   TResultRowList<TPrReceptorList> list(settings, false);   // no PLOTFILE is written
//   std::vector<TResultRows> results = list.Collect(items);   // one per item and output type
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/PlotFileWriters.h"
#include "engine/ResultTable.h"

namespace zorvik {

// The rows of one output (a percentile or n-th highest value of one period) and one output type, one row per
// receptor in receptor order.
struct TResultRows {
  TPercentItem Item;
  TPostOutType Type = TPostOutType::poConc;
  std::vector<TResultRow> Rows;
};

// The rows of the receptors without results: number (from 1), x, y and elevation ("elev") of each receptor of
// the PLOTFILE (NaN where the file lacks the field or leaves it empty), value NaN, date 0.
std::vector<TResultRow> ReceptorRows(const TPlotFile& plot);

// Collects the rows of one item, one list per output type of the run, from the receptors' rows and their
// stores; they go to `results` when the run commits (a cancelled or failed run gives none).
class TResultRowWriter : public TPlotFileWriter {
 public:
  TResultRowWriter(const TPercentItem& item, TAttributeCollectionRef& header, TAttributeCollectionRef& fields,
                   TPostOutTypes post, bool useInterpolation, const std::vector<TResultRow>& receptorRows,
                   std::vector<TResultRows>& results);

  void Write(TReceptorItems& aReceptors, int aStart, int aCount, TPlotRecords& records) override;
  // Reads no record, so it runs beside PLOTFILE writers.
  bool CanWriteInParallel() const override { return true; }
  void Commit() override;

 private:
  const std::vector<TResultRow>& fReceptorRows;
  std::vector<TResultRows> fRows;  // one per output type, in type order
  std::vector<TResultRows>& fResults;
};

// A receptor list (TPrReceptorList or a derived list) whose outputs can be collected as rows: Collect runs it
// with one TResultRowWriter per item, after the list's own PLOTFILE writers when plotFiles is set, instead of
// them otherwise. Execute runs it as the list itself.
template <class TList>
class TResultRowList : public TList {
 public:
  template <class TParams>
  TResultRowList(TParams&& params, bool plotFiles) : TList(std::forward<TParams>(params)), fPlotFiles(plotFiles) {}

  // Runs the list over the items and returns their rows, item after item and, within an item, one entry per
  // output type in type order; nothing when the run was cancelled. Without PLOTFILEs the items' file names
  // are only carried to the rows (no file of those names is checked or written).
  std::vector<TResultRows> Collect(const std::vector<TPercentItem>& items) {
    fItems = items;
    std::vector<TPercentItem> run = items;
    if (!fPlotFiles)
      for (TPercentItem& item : run) item.PlotName.clear();
    fResults.clear();
    fCollecting = true;
    this->Execute(run);
    fCollecting = false;
    return std::move(fResults);
  }

 protected:
  void CreatePlotWriters(const std::vector<TPercentItem>& data) override {
    if (!fCollecting || fPlotFiles)
      TList::CreatePlotWriters(data);
    else
      this->fPlotWriters.clear();
    if (!fCollecting) return;
    fReceptorRows = ReceptorRows(this->Plot());
    for (size_t i = 0; i < data.size(); ++i) {
      TPercentItem item = data[i];
      if (i < fItems.size()) item.PlotName = fItems[i].PlotName;
      this->fPlotWriters.push_back(std::make_unique<TResultRowWriter>(
          item, *this->fHeader, *this->fFields, this->FPost, this->fUseInterpolation, fReceptorRows, fResults));
    }
  }

 private:
  bool fPlotFiles;
  bool fCollecting = false;
  std::vector<TPercentItem> fItems;
  std::vector<TResultRow> fReceptorRows;
  std::vector<TResultRows> fResults;
};

}  // namespace zorvik
