#include "plotfile/PlotSniff.h"

#include "util/Exceptions.h"
#include "util/FileSniff.h"

namespace zorvik {

std::string DescribeBinaryPlotInput(const std::string& fileName) {
  TFileSniff sniff;
  try {
    sniff = SniffFile(fileName);
  } catch (const Exception&) {
    return {};  // the reader says why it cannot open the file
  }
  // A stray control byte in a text file is a damaged line, which the reader reports with its line; a binary
  // file is full of them (zero bytes of small integers and of the values).
  if (sniff.ControlBytes == 0 || sniff.ControlBytes * 20 < sniff.Length) return {};
  return sniff.LooksLikePostFile ? "a binary file (it looks like a POSTFILE)" : "a binary file";
}

}  // namespace zorvik
