#pragma once
// The inputs a receptor list reads besides the POSTFILE: the PLOTFILE's receptors and the met file's usable
// hours.
#include <memory>
#include <string>
#include <vector>

namespace zorvik {

class TAttributeCollectionRef;
class TMeteoHours;

// Loads a met file as AERMOD data; `usableHours` receives the hours that are neither calm nor missing.
std::unique_ptr<TMeteoHours> LoadMeteoHours(const std::string& meteoFile, int& usableHours);

}  // namespace zorvik
