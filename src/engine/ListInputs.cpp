#include "engine/ListInputs.h"

#include "meteo/MeteoHours.h"
#include "records/AttributeCollection.h"
#include "util/Exceptions.h"

namespace zorvik {

TPlotInput ReadPlotInput(const std::string& plotFile) {
  throw Exception("PLOTFILE reading is not available yet: " + plotFile);
}

std::unique_ptr<TMeteoHours> LoadMeteoHours(const std::string& meteoFile, int& usableHours) {
  usableHours = 0;
  throw Exception("met file reading is not available yet: " + meteoFile);
}

}  // namespace zorvik
