#pragma once
// The inputs a receptor list reads besides the POSTFILE: the PLOTFILE's receptors and the met file's usable
// hours.
#include <memory>
#include <string>
#include <vector>

namespace zorvik {

class TAttributeCollectionRef;
class TMeteoHours;

struct TPlotInput {
  std::unique_ptr<TAttributeCollectionRef> Header;
  std::unique_ptr<TAttributeCollectionRef> Fields;
  std::vector<std::unique_ptr<TAttributeCollectionRef>> Records;  // one per receptor, in file order
};

// Reads the PLOTFILE; raises a clear error naming the file (and line) when it cannot.
TPlotInput ReadPlotInput(const std::string& plotFile);

// Loads a met file as AERMOD data; `usableHours` receives the hours that are neither calm nor missing.
std::unique_ptr<TMeteoHours> LoadMeteoHours(const std::string& meteoFile, int& usableHours);

}  // namespace zorvik
