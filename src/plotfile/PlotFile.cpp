#include "plotfile/PlotFile.h"

#include <fmt/format.h>

#include <filesystem>

#include "plotfile/ISCPlotReader.h"
#include "util/ExceptionLog.h"

namespace zorvik {

// Keeps a copy of every receptor record and of the completed header.
class TPlotFileCollector : public base_AttributeWriter {
 public:
  TPlotFileCollector(TPlotFile& plot, const TISCPlotReader& reader) : fPlot(plot), fReader(reader) {}

  void ProcessBegin(TAttributeCollectionRef& /*header*/, TAttributeCollectionRef& fields) override {
    fXID = fields.IndexOfName("xloc");
    fYID = fields.IndexOfName("yloc");
  }

  void ProcessRecord(TAttributeCollectionRef& record) override {
    const base_Attribute& x = record.ByIndex(fXID);
    const base_Attribute& y = record.ByIndex(fYID);
    if (x.IsNull() || y.IsNull()) MissingCoordinate(x.IsNull() ? "X" : "Y");
    fPlot.fX.push_back(x.asFloat());
    fPlot.fY.push_back(y.asFloat());
    fPlot.fReceptors.push_back(CloneAs(record));
  }

  void ProcessError(attributeReaderStatus /*error*/) override {}

  void ProcessFinish(TAttributeCollectionRef& footer) override {
    fPlot.fHeader = CloneAs(footer);
    fFinished = true;
  }

  bool Finished() const { return fFinished; }

 private:
  [[noreturn]] void MissingCoordinate(const char* which) {
    const int32_t line = fReader.RecordLineNumber();
    std::string found;
    for (const auto& e : fReader.FieldErrors())
      if (e.Line == line && e.Heading == which) found = fmt::format(" (\"{}\")", e.Text);
    throw EFormatError(fmt::format("{}, line {}: the receptor has no {} coordinate{}", fReader.DataSetName(), line,
                                   which, found));
  }

  TPlotFile& fPlot;
  const TISCPlotReader& fReader;
  int fXID = -1, fYID = -1;
  bool fFinished = false;
};

TPlotFile TPlotFile::Read(const std::string& fileName) {
  return traced("TPlotFile.Read", [&] {
    std::error_code ec;
    if (!std::filesystem::exists(fileName, ec)) throw EFileNotFound("The file does not exist: " + fileName);
    TPlotFile plot;
    plot.fFileName = fileName;
    TISCPlotReader reader(fileName);
    TPlotFileCollector collector(plot, reader);
    reader.WriterSubscribe(collector);
    reader.Process();
    if (reader.readerStatus() != attributeReaderStatus::arsOK || !collector.Finished())
      throw EFormatError(reader.StatusMessage().empty()
                             ? fmt::format("{}: the file cannot be read as a PLOTFILE", fileName)
                             : reader.StatusMessage());

    plot.fHeaderless = reader.Headerless();
    plot.fFieldErrorCount = reader.FieldErrorCount();
    for (size_t i = 0; i < reader.ValueOrder().size(); ++i) {
      if (reader.ValueOrder()[i] == Tplotcolumn::pltnullcolumn) continue;
      plot.fColumns.push_back(reader.ValueOrder()[i]);
      plot.fColumnNames.push_back(reader.GetPlotColumnNameByID(static_cast<int>(i)));
      plot.fFieldKeys.push_back(reader.FieldNames()[i]);
    }
    const base_Attribute* stated = plot.fHeader->ByName("mumreceptors");
    if (stated && !stated->IsNull()) {
      plot.fStatedCount = stated->asInteger();
      if (plot.fStatedCount != plot.ReceptorCount())
        throw EFormatError(fmt::format("{}: the header states {} receptors, but the file holds {} receptor lines",
                                       fileName, plot.fStatedCount, plot.ReceptorCount()));
    }
    return plot;
  });
}

std::string TPlotFile::SourceGroup() const {
  std::string group = fHeader->GetAttributeValue("group");
  return group.empty() ? "Unknown" : group;
}
std::string TPlotFile::AveragingPeriod() const { return fHeader->GetAttributeValue("hour"); }
std::string TPlotFile::HighValue() const { return fHeader->GetAttributeValue("high"); }

}  // namespace zorvik
