#pragma once
// TPlotFile: a whole PLOTFILE read in one call, for callers that want its receptors rather than a stream of
// records (the command line's `info --plot`, the percentile engine).
//
//   TPlotFile plot = TPlotFile::Read("run.plt");     // throws when the file cannot be used (see Read)
//   for (int i = 0; i < plot.ReceptorCount(); ++i)
//     use(plot.X(i), plot.Y(i), plot.Receptor(i));   // receptor 0 is the first line of the file
//   plot.SourceGroup();       // "ALL"
//   plot.AveragingPeriod();   // "1-HR"
//   plot.ColumnNames();       // {"X", "Y", "AVERAGE CONC", "ZELEV", ...}
//
// The records are those of TISCPlotReader (see ISCPlotReader.h for their keys); each receptor keeps its own
// copy, and Header() is the header record as completed at the end of the reading (extents, group).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plotfile/PlotColumns.h"
#include "records/AttributeCollection.h"

namespace zorvik {

class TPlotFile {
 public:
  // Reads fileName. Raises EFileNotFound ("The file does not exist: <path>") when it does not exist, EFOpenError when it
  // cannot be opened, and EFormatError naming the file and the line when
  //  - the header cannot be understood (empty file, no FORMAT statement, a FORMAT statement that cannot be
  //    cut, missing headings, a first line of a file without header that does not qualify),
  //  - a receptor line has no readable X or Y coordinate,
  //  - the header states a receptor count that differs from the number of receptor lines.
  // Other fields that do not read as numbers are left empty (null); FieldErrorCount counts them.
  static TPlotFile Read(const std::string& fileName);

  const std::string& FileName() const { return fFileName; }
  // The records are this object's own copies; they are handed out non-const because a lookup by name may
  // build a record's name index.
  TAttributeCollectionRef& Header() const { return *fHeader; }

  int ReceptorCount() const { return static_cast<int>(fReceptors.size()); }
  // Receptor i (from 0, file order): its record and coordinates.
  TAttributeCollectionRef& Receptor(int i) const { return *fReceptors.at(static_cast<size_t>(i)); }
  double X(int i) const { return fX.at(static_cast<size_t>(i)); }
  double Y(int i) const { return fY.at(static_cast<size_t>(i)); }

  // The receptor count the header states ("FOR A TOTAL OF n RECEPTORS"); -1 when it states none.
  int32_t StatedReceptorCount() const { return fStatedCount; }
  // Header texts: source group ("ALL"; "Unknown" when neither the header nor the first receptor line names one),
  // averaging period ("1-HR", "ANNUAL", ... ; "" when none is named) and high value ("1ST", or "OTHERS").
  std::string SourceGroup() const;
  std::string AveragingPeriod() const;
  std::string HighValue() const;
  // Recognised fields in file order: their columns, headings (the column title when the file has none) and
  // record keys.
  const TplotcolumnArray& Columns() const { return fColumns; }
  const std::vector<std::string>& ColumnNames() const { return fColumnNames; }
  const std::vector<std::string>& FieldKeys() const { return fFieldKeys; }
  bool Headerless() const { return fHeaderless; }
  int64_t FieldErrorCount() const { return fFieldErrorCount; }

 private:
  TPlotFile() = default;
  friend class TPlotFileCollector;

  std::string fFileName;
  std::unique_ptr<TAttributeCollectionRef> fHeader;
  std::vector<std::unique_ptr<TAttributeCollectionRef>> fReceptors;
  std::vector<double> fX, fY;
  int32_t fStatedCount = -1;
  TplotcolumnArray fColumns;
  std::vector<std::string> fColumnNames;
  std::vector<std::string> fFieldKeys;
  bool fHeaderless = false;
  int64_t fFieldErrorCount = 0;
};

}  // namespace zorvik
