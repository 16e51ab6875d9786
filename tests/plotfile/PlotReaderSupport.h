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
