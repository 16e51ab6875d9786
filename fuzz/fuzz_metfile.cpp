// Any text as a met file: loaded or rejected with a message, never a crash.
#include <exception>

#include "FuzzSupport.h"
#include "meteo/MeteoData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = zorvik::fuzz::InputFile(data, size, ".sfc");
  try {
    zorvik::TMeteoData met;
    met.SetAermodVersion(zorvik::av_11103);
    met.LoadDataFromFile(file);
    met.IsExist(96010101);
  } catch (const std::exception&) {
  }
  return 0;
}
