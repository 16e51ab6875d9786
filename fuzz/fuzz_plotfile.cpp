// Any text as a PLOTFILE: read or rejected with a message, never a crash.
#include <exception>

#include "FuzzSupport.h"
#include "plotfile/PlotFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = zorvik::fuzz::InputFile(data, size, ".plt");
  try {
    zorvik::TPlotFile plot = zorvik::TPlotFile::Read(file);
    for (int i = 0; i < plot.ReceptorCount(); ++i) plot.ReceptorRecord(i);
  } catch (const std::exception&) {
  }
  return 0;
}
