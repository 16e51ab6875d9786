// Any bytes as a POSTFILE: the reader and the detector either describe it or raise, never crash or hang.
#include <exception>

#include "FuzzSupport.h"
#include "post/PostBinTypeDetector.h"
#include "post/PostSummary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int receptors = 1 + data[0] % 16;  // the receptor count a PLOTFILE would give
  const bool doublePrecision = data[0] & 0x80;
  const std::string file = zorvik::fuzz::InputFile(data + 1, size - 1, ".pos");
  try {
    zorvik::TPostBinTypeDetector detector(file, receptors, doublePrecision);
  } catch (const std::exception&) {
  }
  try {
    zorvik::SummarizePostFile(file, receptors, doublePrecision);
  } catch (const std::exception&) {
  }
  return 0;
}
