#pragma once
// The inputs a receptor list reads besides the POSTFILE: the PLOTFILE's receptors and the met file's usable
// hours.
#include <memory>
#include <string>
#include <vector>

#include "post/PostTypes.h"

namespace zorvik {

class TAttributeCollectionRef;
class TMeteoHours;

// What the POSTFILE holds for the receptors of its PLOTFILE: its output types and precision, detected from its
// first records with `doublePrecision` as the presumed precision and the PLOTFILE's value columns (`fields`) as
// evidence of how many output types the run wrote. Raises EFormatError naming both files when the record length
// fits no layout for that many receptors, or a POSTFILE that states its receptors states another number.
struct TPostContents {
  TPostOutTypes Types;
  bool DoublePrecision = true;
};
TPostContents DetectPostContents(const std::string& postFile, const std::string& plotFile,
                                 const TAttributeCollectionRef* fields, int receptorCount, bool doublePrecision);

// Loads a met file as AERMOD data; `usableHours` receives the hours that are neither calm nor missing.
std::unique_ptr<TMeteoHours> LoadMeteoHours(const std::string& meteoFile, int& usableHours);

}  // namespace zorvik
