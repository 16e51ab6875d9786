#pragma once
// Test helpers for PLOTFILE reading: a writer that records every call it gets, and a one-call read of a
// text written to a temporary file.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plotfile/ISCPlotReader.h"
#include "support/TestSupport.h"

namespace zorvik::test {

class TRecordingWriter : public base_AttributeWriter {
 public:
  void ProcessBegin(TAttributeCollectionRef& header, TAttributeCollectionRef& fields) override {
    ++begins;
    beginHeader = CloneAs(header);
    fieldNames.clear();
    for (base_Attribute& a : fields.Items()) fieldNames.push_back(a.FieldName());
  }
  void ProcessRecord(TAttributeCollectionRef& record) override { records.push_back(CloneAs(record)); }
  void ProcessError(attributeReaderStatus) override {}
  void ProcessFinish(TAttributeCollectionRef& footer) override {
    ++finishes;
    finalHeader = CloneAs(footer);
  }

  // The text of attribute `key` of record i; "<null>" for a null one, "<none>" when absent.
  std::string Value(size_t i, const std::string& key) const {
    base_Attribute* a = records.at(i)->ByName(key);
    return !a ? "<none>" : a->IsNull() ? "<null>" : a->asString();
  }
  std::string HeaderValue(const std::string& key) const {
    base_Attribute* a = finalHeader->ByName(key);
    return !a ? "<none>" : a->IsNull() ? "<null>" : a->asString();
  }

  int begins = 0;
  int finishes = 0;
  std::unique_ptr<TAttributeCollectionRef> beginHeader, finalHeader;
  std::vector<std::string> fieldNames;
  std::vector<std::unique_ptr<TAttributeCollectionRef>> records;
};

struct TReadResult {
  std::unique_ptr<TISCPlotReader> reader;
  TRecordingWriter writer;
  std::string file;
};

// The worked example of the PLOTFILE layout: what the writer writes and the reader reads back.
inline const std::vector<std::string> kExample = {
    "* HOURLY RUN 2016",
    "* MODELING OPTIONS USED:",
    "*  CONC  ELEV  RURAL",
    "*                  PLOT FILE OF 98.00TH PERCENTILE 1-HR VALUES FOR SOURCE GROUP: ALL",
    "*         FOR A TOTAL OF 4 RECEPTORS.",
    "*         FORMAT: (1X,F13.5,1X,F13.5,1X,F13.5,1X,F8.2,1X,F8.2,1X,F8.2,1X,A6,1X,A8,1X,A8,1X,A8)",
    "*      X             Y        AVERAGE CONC   ZELEV    ZHILL    ZFLAG    AVE     GRP    NET ID    DATE  ",
    "*_____________ _____________ _____________ ________ ________ ________ ______ ________ ________ ________",
    "  500000.00000 4100000.00000      12.34568   100.50   120.00     0.00 1-HR   ALL               16070815",
    "  500100.00000 4100000.00000    0.00012346   101.25   120.00     0.00 1-HR   ALL               16011003",
    "  500200.00000 4100000.00000             0   102.00   120.00     0.00 1-HR   ALL               16030524",
    "  500300.00000 4100000.00000   1.23457E+05    99.75   120.00     1.50 1-HR   ALL      GRID1    16121201",
};

// Lines joined with CR LF.
inline std::string PlotText(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

// Reads the file through a fresh reader; `configure` may set its properties first.
inline std::unique_ptr<TReadResult> ReadPlot(const std::string& file,
                                             const std::function<void(TISCPlotReader&)>& configure = {}) {
  auto r = std::make_unique<TReadResult>();
  r->file = file;
  r->reader = std::make_unique<TISCPlotReader>(file);
  if (configure) configure(*r->reader);
  r->reader->WriterSubscribe(r->writer);
  r->reader->Process();
  return r;
}

}  // namespace zorvik::test
