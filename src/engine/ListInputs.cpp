#include "engine/ListInputs.h"

#include "meteo/MeteoData.h"
#include "plotfile/PlotFile.h"
#include "records/AttributeCollection.h"

namespace zorvik {

TPlotInput ReadPlotInput(const std::string& plotFile) {
  TPlotFile plot = TPlotFile::Read(plotFile);
  TPlotInput input;
  input.Header = CloneAs(plot.Header());
  input.Fields = CloneAs(plot.Fields());
  input.Records.reserve(static_cast<size_t>(plot.ReceptorCount()));
  for (int i = 0; i < plot.ReceptorCount(); ++i) input.Records.push_back(plot.ReceptorRecord(i));
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
