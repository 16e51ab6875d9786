#pragma once
// TISCPlotFileWriterBase: writes a PLOTFILE in the layout of the EPA dispersion models from a header record and
// one record per receptor. It is a record writer: ProcessBegin(header, fields) writes the header block and
// decides the columns (every column of the column table whose key names an attribute of `fields`),
// ProcessRecord(record) writes one receptor line, ProcessFinish closes the file.
//
// The file is written as a TOutputFile: it takes the name FileName only when ProcessFinish completes; a writer
// destroyed before that (a failed or cancelled run) drops it, so no half-written PLOTFILE ever carries the
// chosen name and an older file of that name stays as it was.
//
// Header record keys: "header1" (title), "plot options" (comma-separated option words), "optionaddon"
// (optional text after the options), "header2" (what the file holds), "mumreceptors" (receptor count).
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "plotfile/PlotColumns.h"
#include "records/AttributeCollection.h"
#include "records/RecordIO.h"

namespace zorvik {

class TStringFile;
class TOutputFile;

class TISCPlotFileWriterBase : public base_AttributeWriter {
 public:
  explicit TISCPlotFileWriterBase(std::string fileName = {}, std::string appName = {});
  // Closes an open file and deletes it: a file that was not finished never takes the target's name.
  ~TISCPlotFileWriterBase() override;
  TISCPlotFileWriterBase(const TISCPlotFileWriterBase&) = delete;
  TISCPlotFileWriterBase& operator=(const TISCPlotFileWriterBase&) = delete;

  const std::string& FileName() const { return fFileName; }
  void SetFileName(std::string fileName) { fFileName = std::move(fileName); }
  // Optional product label of the title line ("* AppName:  header1").
  const std::string& AppName() const { return fAppName; }
  void SetAppName(std::string appName) { fAppName = std::move(appName); }
  // True between ProcessBegin and ProcessFinish.
  bool IsOpen() const { return fFile != nullptr; }

  // Writes one receptor line with the declared columns (blank where the record has no value); a record whose
  // columns beyond X and Y are all absent or null gives none.
  void ProcessRecord(TAttributeCollectionRef& newRecord) override;
  // Reader errors are ignored.
  void ProcessError(attributeReaderStatus /*error*/) override {}
  // Closes the file and gives it its name; writes nothing.
  void ProcessFinish(TAttributeCollectionRef& footer) override;
  // Creates the file and writes the header block; nothing when the file is already open.
  void ProcessBegin(TAttributeCollectionRef& header, TAttributeCollectionRef& fields) override;

  // The heading above a column (the column table's title).
  virtual std::string ColumnTitle(Tplotcolumn column) const;
  // Significant digits of the result columns (AVERAGE CONC and the three deposition columns).
  virtual int SignificantDigits() const { return 4; }
  // Appends a result value's text (FormatPlotValue with SignificantDigits), right-aligned in its 13 characters.
  void AppendValue(std::string& line, double value) const;
  virtual void WriteOptionsTitle(TStringFile& file);
  virtual void WriteOptionsLine(TStringFile& file, TAttributeCollectionRef& header, TAttributeCollectionRef& fields);

  // The columns chosen by the last ProcessBegin, in column order.
  const TplotcolumnArray& Columns() const { return fColumns; }

  // For callers that compose lines themselves (the same text ProcessRecord writes): appends one column, a
  // space and the value of `a` in its format (blank when `a` is absent or null), and sets hasValue when the
  // column is neither X nor Y and holds a value. False when the value does not fit the column's format.
  bool AppendColumn(std::string& line, Tplotcolumn column, const base_Attribute* a, bool& hasValue) const;
  // AppendColumn by the kind of value, without an attribute: a null one, a number (of a float attribute), a
  // text (of a text attribute) and a whole number (of a count attribute). A result column takes no infinite
  // number.
  static void AppendBlankColumn(std::string& line, Tplotcolumn column);
  bool AppendNumberColumn(std::string& line, Tplotcolumn column, double value, bool& hasValue) const;
  static bool AppendTextColumn(std::string& line, Tplotcolumn column, std::string_view text, bool& hasValue);
  static bool AppendWholeColumn(std::string& line, Tplotcolumn column, int64_t value, bool& hasValue);
  // Raises the error ProcessRecord raises for a value of `column` that AppendColumn could not write, naming
  // the line it would have had.
  [[noreturn]] void RaiseUnwritable(Tplotcolumn column, const base_Attribute& a) const;
  // Writes a line composed with AppendColumn (one that has a value) as the next receptor line.
  void WriteLine(std::string_view line);
  // Writes `count` such lines at once, each followed by the file's line end (TStringFile::kLineEnd).
  void WriteLines(std::string_view text, int count);

 private:
  // A column other than X and Y that holds a value makes its line one to write.
  static void MarkValue(Tplotcolumn column, bool& hasValue);
  // Deletes the temporary file of an unfinished write.
  void Discard() noexcept;
  void WriteHeaderBlock(TAttributeCollectionRef& header, TAttributeCollectionRef& fields);
  // The index in `record` of the attribute of each column, -1 when it has none.
  const std::array<int, kPlotColumnCount>& ColumnSlots(TAttributeCollectionRef& record);

  std::string fFileName;
  std::unique_ptr<TStringFile> fFile;
  std::string fAppName;
  std::unique_ptr<TOutputFile> fOutput;  // the file being written, named fFileName when finished
  TplotcolumnArray fColumns;
  std::vector<std::string> fSlotNames;  // attribute names of the record that fSlots was found for
  std::array<int, kPlotColumnCount> fSlots{};
};

}  // namespace zorvik
