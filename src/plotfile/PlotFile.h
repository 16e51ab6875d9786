#pragma once
// TPlotFile: a whole PLOTFILE read in one call, for callers that want its receptors rather than a stream of
// records (the command line's `info --plot`, the percentile engine).
//
//   TPlotFile plot = TPlotFile::Read("run.plt");    // throws when the file cannot be used (see Read)
//   for (int i = 0; i < plot.ReceptorCount(); ++i)
//     use(plot.X(i), plot.Y(i));                    // receptor 0 is the first receptor line of the file
//   plot.SourceGroup();                             // "ALL"
//   plot.AveragingPeriod();                         // "1-HR"
//   plot.ColumnNames();                             // {"X", "Y", "AVERAGE CONC", "ZELEV", ...}
//   plot.AsString(i, f);                            // field f of receptor i, as its record would give it
//   auto record = plot.ReceptorRecord(i);           // receptor i as a record ("xloc", "yloc", "conc", ...)
//
// The values are kept per field in flat arrays (a PLOTFILE of 100,000 receptors takes a few megabytes);
// ReceptorRecord builds a record with the keys and kinds of TISCPlotReader's data record on each call.
// Header() is the header record as completed at the end of the reading (extents, group), and with the true
// receptor count when the file states none (a file without header): what a PLOTFILE written from these
// receptors declares.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "plotfile/PlotColumns.h"
#include "records/AttributeCollection.h"

namespace zorvik {

class TPlotFile {
 public:
  // Reads fileName. Raises EFileNotFound ("The file does not exist: <path>") when it does not exist,
  // EFOpenError when it cannot be opened, and EFormatError naming the file (and the line) when
  //  - it is a binary file,
  //  - the header cannot be understood (empty file, no FORMAT statement, a FORMAT statement that cannot be
  //    cut, missing headings, a receptor count that is no whole number or more than the file can hold, a first
  //    line of a file without header that does not qualify),
  //  - a receptor line is damaged (see TISCPlotReader) or has no X or Y coordinate,
  //  - the header states a receptor count that differs from the number of receptor lines.
  static TPlotFile Read(const std::string& fileName);

  const std::string& FileName() const { return fFileName; }
  const TAttributeCollectionRef& Header() const { return *fHeader; }

  int ReceptorCount() const { return static_cast<int>(fX.size()); }
  // Coordinates of receptor i (from 0, file order).
  double X(int i) const { return fX.at(static_cast<size_t>(i)); }
  double Y(int i) const { return fY.at(static_cast<size_t>(i)); }

  // The receptor count the header states ("FOR A TOTAL OF n RECEPTORS"); -1 when it states none.
  int32_t StatedReceptorCount() const { return fStatedCount; }
  // Header texts: source group ("ALL"; "Unknown" when neither the header nor the first receptor line names
  // one), averaging period ("1-HR", "ANNUAL", ...; "" when none is named) and high value ("1ST", or "OTHERS").
  std::string SourceGroup() const;
  std::string AveragingPeriod() const;
  std::string HighValue() const;

  // The fields of a receptor line: one per record key, in file order (X and Y included), with their column,
  // heading (the column title when the file has none) and key.
  int FieldCount() const { return static_cast<int>(fFields.size()); }
  const TplotcolumnArray& Columns() const { return fColumns; }
  const std::vector<std::string>& ColumnNames() const { return fColumnNames; }
  const std::vector<std::string>& FieldKeys() const { return fFieldKeys; }
  // The field of a key (ASCII case ignored), -1 when absent.
  int FieldIndex(std::string_view key) const;
  // Field `field` of receptor i: null when the line left a text or count field empty; as a number (float and integer fields; NaN when null or text) and as the record's text.
  bool IsNull(int i, int field) const;
  double AsFloat(int i, int field) const;
  std::string AsString(int i, int field) const;
  // The kind of a field, and receptor i's value of a count or text field as it is kept (0 or "" when null).
  AttrType FieldKind(int field) const { return fFields.at(static_cast<size_t>(field)).Kind; }
  int32_t WholeValue(int i, int field) const;
  std::string_view TextValue(int i, int field) const;
  // Receptor i as a record: one attribute per field, under its key and of its kind.
  std::unique_ptr<TAttributeCollectionRef> ReceptorRecord(int i) const;
  // Sets the first FieldCount() attributes of a record that ReceptorRecord made (for any receptor; attributes
  // added after them stay as they are) to the fields of receptor i.
  void FillRecord(int i, TAttributeCollectionRef& record) const;

  bool Headerless() const { return fHeaderless; }
  // The reader's field definitions (one attribute per record key), as a PLOTFILE writer's ProcessBegin takes
  // them.
  const TAttributeCollectionRef& Fields() const { return *fFieldsRecord; }

 private:
  TPlotFile() = default;
  friend class TPlotFileCollector;

  struct TField {
    AttrType Kind = AttrType::atString;
    std::vector<double> Floats;     // float fields
    std::vector<int32_t> Integers;  // integer fields
    std::string Chars;              // text fields: the texts one after the other,
    std::vector<uint32_t> Ends;     // and where each ends in Chars
    std::vector<uint8_t> Null;      // 1 for a null value
    std::string_view Text(size_t r) const {
      const uint32_t begin = r ? Ends[r - 1] : 0;
      return std::string_view(Chars).substr(begin, Ends[r] - begin);
    }
  };

  std::string fFileName;
  std::unique_ptr<TAttributeCollectionRef> fHeader;
  std::vector<double> fX, fY;
  std::vector<TField> fFields;
  int32_t fStatedCount = -1;
  TplotcolumnArray fColumns;
  std::vector<std::string> fColumnNames;
  std::vector<std::string> fFieldKeys;
  bool fHeaderless = false;
  std::unique_ptr<TAttributeCollectionRef> fFieldsRecord;
};

}  // namespace zorvik
