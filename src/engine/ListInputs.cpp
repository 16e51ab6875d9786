#include "engine/ListInputs.h"

#include "meteo/MeteoData.h"
#include "plotfile/PlotFile.h"
#include "records/AttributeCollection.h"

namespace zorvik {

std::unique_ptr<TMeteoHours> LoadMeteoHours(const std::string& meteoFile, int& usableHours) {
  auto met = std::make_unique<TMeteoData>();
  met->SetAermodVersion(av_11103);
  met->LoadDataFromFile(meteoFile);
  usableHours = met->UsableHourCount();
  return met;
}

}  // namespace zorvik
