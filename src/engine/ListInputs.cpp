#include "engine/ListInputs.h"

#include <fmt/format.h>

#include "engine/ReceptorItem.h"
#include "meteo/MeteoData.h"
#include "post/PostBinTypeDetector.h"
#include "plotfile/PlotFile.h"
#include "records/AttributeCollection.h"
#include "util/Exceptions.h"

namespace zorvik {

TPostContents DetectPostContents(const std::string& postFile, const std::string& plotFile,
                                 const TAttributeCollectionRef* fields, int receptorCount, bool doublePrecision) {
  int plotTypes = 0;
  for (TPostOutType t : kAllPostOutTypes) plotTypes += fields && fields->ByName(OutputFieldName(t)) != nullptr;
  TPostBinTypeDetector detector(postFile, receptorCount, doublePrecision, plotTypes);
  if (detector.PostOutTypes().Empty())
    throw EFormatError(fmt::format(
        "The POSTFILE {} does not fit the {} receptors of the PLOTFILE {}: its record length {} holds no whole "
        "number of single or double values per receptor for 1 to 4 output types",
        postFile, receptorCount, plotFile, detector.BlockSize()));
  if (detector.IsTarvo() && detector.ReceptorCount() != receptorCount)
    throw EFormatError(fmt::format("The POSTFILE {} holds {} receptors, the PLOTFILE {} {}", postFile,
                                   detector.ReceptorCount(), plotFile, receptorCount));
  return {detector.PostOutTypes(), detector.DoublePrecision()};
}

std::unique_ptr<TMeteoHours> LoadMeteoHours(const std::string& meteoFile, int& usableHours) {
  auto met = std::make_unique<TMeteoData>();
  met->SetAermodVersion(av_11103);
  met->LoadDataFromFile(meteoFile);
  usableHours = met->UsableHourCount();
  return met;
}

}  // namespace zorvik
