#include "engine/ListInputs.h"

#include <fmt/format.h>

#include "meteo/MeteoData.h"
#include "plotfile/ISCPlotReader.h"
#include "records/AttributeCollection.h"
#include "records/RecordIO.h"
#include "util/ExceptionLog.h"

namespace zorvik {

namespace {

// Receives the PLOTFILE: copies of its header and fields, and a copy of every receptor record.
class TPlotReceptorBuffer : public base_AttributeWriter {
 public:
  explicit TPlotReceptorBuffer(TPlotInput& input) : rInput(input) {}
  void ProcessBegin(TAttributeCollectionRef& header, TAttributeCollectionRef& fields) override {
    traced("TPlotReceptorBuffer.ProcessBegin", [&] {
      rInput.Header = CloneAs(header);
      rInput.Fields = CloneAs(fields);
    });
  }
  void ProcessRecord(TAttributeCollectionRef& newRecord) override {
    traced("TPlotReceptorBuffer.ProcessRecord", [&] { rInput.Records.push_back(CloneAs(newRecord)); });
  }
  void ProcessError(attributeReaderStatus) override {}
  void ProcessFinish(TAttributeCollectionRef&) override {}

 private:
  TPlotInput& rInput;
};

}  // namespace

TPlotInput ReadPlotInput(const std::string& plotFile) {
  TPlotInput input;
  TISCPlotReader reader(plotFile);
  TPlotReceptorBuffer buffer(input);
  reader.WriterSubscribe(buffer);
  reader.Process();
  reader.WriterUnsubscribe(buffer);
  if (reader.readerStatus() != attributeReaderStatus::arsOK && !reader.StatusMessage().empty())
    throw EFormatError("Cannot read the PLOTFILE " + reader.StatusMessage());
  if (!reader.FieldErrors().empty()) {
    const auto& e = reader.FieldErrors().front();
    throw EFormatError(fmt::format("Cannot read the PLOTFILE {}, line {}: the field {} holds \"{}\", not a value of "
                                   "its column ({} such fields)",
                                   plotFile, e.Line, e.Heading, e.Text, reader.FieldErrorCount()));
  }
  if (!input.Header || !input.Fields) throw EFormatError("Cannot read the PLOTFILE " + plotFile + ": no header found");
  if (const base_Attribute* stated = input.Header->ByName("mumreceptors"); stated && !stated->IsNull()) {
    const int32_t count = stated->asInteger();
    if (count > 0 && count != static_cast<int32_t>(input.Records.size()))
      throw EFormatError(fmt::format("The PLOTFILE {} states {} receptors but lists {}", plotFile, count,
                                     input.Records.size()));
  }
  return input;
}

std::unique_ptr<TMeteoHours> LoadMeteoHours(const std::string& meteoFile, int& usableHours) {
  auto met = std::make_unique<TMeteoData>();
  met->SetAermodVersion(av_11103);
  met->LoadDataFromFile(meteoFile);
  usableHours = met->UsableHourCount();
  return met;
}

}  // namespace zorvik
