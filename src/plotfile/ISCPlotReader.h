#pragma once
// TISCPlotReader: reads a PLOTFILE of the EPA dispersion models (or one written by TISCPlotFileWriterBase)
// through the record reader protocol. The header block ("*" lines: title, options, the line naming what the
// file holds, the receptor count, the FORMAT statement and the column headings) becomes the header record;
// every receptor line becomes the data record handed to the subscribed writers:
//
//   TISCPlotReader reader(fileName);
//   reader.WriterSubscribe(writer);   // ProcessBegin(header, record), ProcessRecord per line, ProcessFinish
//   reader.Process();                 // EFileNotFound for a missing file
//   if (reader.readerStatus() == attributeReaderStatus::arsBadFormat) ... reader.StatusMessage() ...
//
// Header record: "header1", "header2" (text), "minimum x", "maximum x", "minimum y", "mayimum y" (float,
// set when the pass closes), "mumreceptors" (integer), "plot options", "format", "group", "hour", "high"
// (text), "datatype" (integer: 1 plot file, 2 exceedance, 3 maxi, 4 maxdcont, 5 mxdybyyr, 6 maxdaily,
// 7 rank file, 8 annual post/plot file).
// Data record: "xloc", "maxofxloc", "yloc", "maxofyloc", then one attribute per recognised field under its
// column key ("conc", "elev", "sgroup", "date", ...), each float field followed by its running maximum
// "maxof" + key.
//
// A file without header lines is read too: its columns are inferred from the tokens of the first line.
// A header that cannot be understood ends the pass with arsBadFormat before any writer is called;
// StatusMessage then names the file, the line and the problem. So does a damaged receptor line: a number field
// (coordinates, results, elevations) that is empty or holds no number, a count field that holds no whole number,
// a line that does not follow the layout (text outside the fields of the FORMAT statement, a line that ends
// before a number field, or in a file without header another number of fields than the first line). The
// writers then get no record of that line and no ProcessFinish. Binary files are refused before any line is
// read, with a message saying what they look like.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "plotfile/PlotColumns.h"
#include "records/RecordIO.h"

namespace zorvik {

class TStringFile;

class TISCPlotReader : public TBaseDataSetReader {
 public:
  explicit TISCPlotReader(std::string NameOfDataSet = {});
  ~TISCPlotReader() override;
  std::string_view ClassName() const override { return "TISCPlotReader"; }

  // Why the last pass ended with a status other than arsOK: "<file>, line <n>: <problem>"; empty otherwise.
  const std::string& StatusMessage() const { return fStatusMessage; }
  // The file line of the record read last (during ProcessRecord of a consumer: the record at hand).
  int32_t RecordLineNumber() const { return fRecordLineNumber; }

  const std::string& concunit() const { return fconcunit; }
  const std::string& depunit() const { return fdepunit; }
  const std::string& ChemName() const { return fChemName; }
  TPlotOptions PlotOptions() const { return fPlotOptions; }
  TPltAverageKeyword PltAverageKeyword() const { return fPltAverageKeyword; }
  bool PreserveModelVersion() const { return fPreserveModelVersion; }
  void SetPreserveModelVersion(bool preserve) { fPreserveModelVersion = preserve; }
  // Which header block of a multi-block file (MAXDCONT, annual post/plot) is read; negative: all records of
  // all blocks under the first block's header.
  int LayerID() const { return fLayerID; }
  void SetLayerID(int layerID) { fLayerID = layerID; }
  int LayerCount() const { return static_cast<int>(fLayerNames.size()); }
  bool Headerless() const { return fHeaderless; }

  // Per field of a line, in file order: its column (pltnullcolumn when unrecognised), record key, heading as
  // found in the file, and its first character (from 1) and width.
  const TplotcolumnArray& ValueOrder() const { return fValueOrder; }
  const std::vector<std::string>& FieldNames() const { return fFieldNames; }
  const std::vector<std::string>& PlotColumnNames() const { return fPlotColumnNames; }
  const std::vector<std::pair<int, int>>& Columns() const { return fColumns; }

  // The records of the current pass (none outside a pass).
  TAttributeCollectionRef* Record_Data() const { return RecordData.get(); }
  TAttributeCollectionRef* Header_Data() const { return MetaData.get(); }

  // The fields of the receptor line read last, one per data record attribute, with direct fields (below).
  struct TLineField {
    double number = 0.0;          // float fields
    int32_t whole = 0;            // count fields
    uint32_t from = 0, size = 0;  // text fields: where the text lies in the line
    bool null = true;
    bool changed = false;  // whether the attribute would have taken a value yet (base_Attribute::AcceptChange)
  };
  // With direct fields on, the receptor lines of a file with a header are parsed into LineField instead of into
  // the data record, whose field attributes then stay unset: for a single subscriber that copies every line's
  // values, without the cost of an attribute per field. The values are those the attributes would hold.
  void SetDirectFields(bool direct) { fDirect = direct; }
  bool DirectFields() const { return fDirect && !fHeaderless; }
  // During ProcessRecord of a subscriber: field `id` of the data record, and a text field's text.
  const TLineField& LineField(int id) const { return fLineFields[static_cast<size_t>(id)]; }
  std::string_view LineText(const TLineField& field) const {
    return std::string_view(fRecordLine).substr(field.from, field.size);
  }
  // Reads the header (and the first record when the header names no source group) into AMetaData.
  void ProcessHeader(TAttributeCollectionRef& AMetaData);
  // Parses ALine into the data record of the current pass; raises EFormatError for a damaged line.
  void ProcessRecord(std::string_view ALine);
  std::string GetLayerName(int i) const;
  std::string GetFieldNameByID(int i) const;
  // The heading of field i, or its column's title when the heading is empty.
  std::string GetPlotColumnNameByID(int i) const;
  // "Rank" for a MAXDCONT file (datatype 4), else "Layer".
  std::string GetLayerTitle(TAttributeCollectionRef& AMetaData) const;

 protected:
  void OpenDataHandle() override;
  void CloseDataHandle() override;
  bool EndOfData() override;
  void ReadHeader(TAttributeCollectionRef& metadata, TAttributeCollectionRef& record) override;
  void ReadRecord(TAttributeCollectionRef& record) override;
  void ReadFooter(TAttributeCollectionRef& metadata) override;

 private:
  std::string NextLine(int32_t& lineNumber);
  [[noreturn]] void BadFormat(int32_t line, const std::string& problem) const;
  void ParseHeader(TAttributeCollectionRef& header);
  bool ParseHeaderBlock(TAttributeCollectionRef& header);
  void ParseReceptorCount(TAttributeCollectionRef& header, const std::string& body, int32_t line);
  void ParseKindLine(TAttributeCollectionRef& header, const std::string& body, int kind);
  void ParseOptionsLine(TAttributeCollectionRef& header, const std::string& body);
  void ParseFormat(TAttributeCollectionRef& header, const std::string& body, int32_t line);
  void DeriveOptionsFromFields();
  void InferColumns(TAttributeCollectionRef& header);
  void DefineRecord(TAttributeCollectionRef& record);
  // With `direct` (a file with a header only), into LineField instead of the record.
  void ParseLine(TAttributeCollectionRef& record, std::string_view line, bool direct = false);
  void StoreField(base_Attribute& attribute, std::string_view text, int field);
  void StoreLineField(int id, std::string_view line, std::string_view text, int field);
  void CheckFixedLayout(std::string_view line);
  void SetMonthDate(base_Attribute& date, int month, int year);
  void ParseRemark(std::string_view line);
  void AdvanceLine();
  void ResetFields();

  double fMinX = 1e30, fMaxX = -1e30, fMinY = 1e30, fMaxY = -1e30;
  std::unique_ptr<TStringFile> fStringFile;
  TplotcolumnArray fValueOrder;
  std::vector<std::string> fFieldNames;
  std::vector<std::string> fPlotColumnNames;
  std::vector<std::pair<int, int>> fColumns;
  std::vector<bool> fInField;  // per character of a line (from 0): inside a field of the FORMAT statement
  std::vector<std::pair<size_t, size_t>> fGaps;  // the runs of characters outside every field, before the last one
  std::string fCurrentLine;
  bool fDirect = false;
  std::vector<TLineField> fLineFields;  // with direct fields: per data record attribute
  std::vector<AttrType> fLineKinds;     // and its kind
  std::string fRecordLine;              // the line they were parsed from
  bool fEOF = true;
  std::string fconcunit, fdepunit;
  TPlotOptions fPlotOptions;
  TPltAverageKeyword fPltAverageKeyword = TPltAverageKeyword::kwNoAvg;
  bool fGroupDefined = false;
  bool fPreserveModelVersion = false;
  bool fHeaderless = false;
  int fDateLeadColumn1 = -1, fDateLeadColumn2 = -1;
  int fLayerID = 0;
  std::vector<std::string> fLayerNames;
  std::vector<int> fFieldNameIDs, fMaxFieldNameIDs;
  int fXID = -1, fYID = -1;
  std::string fChemName;

  int32_t fCurrentLineNumber = 0;  // file line of fCurrentLine
  int32_t fRecordLineNumber = 0;
  bool fFirstRecord = true;
  bool fExplicitOptions = false;  // options came from a "MODELING OPTIONS USED:" line
  std::string fStatusMessage;
};

}  // namespace zorvik
