#pragma once
// A cheap look at the first bytes of a file given as a PLOTFILE, so that a binary file (a POSTFILE given where
// the PLOTFILE belongs, say) is refused with a message saying what it is, not with a puzzling line error.
#include <string>

namespace zorvik {

// What the file looks like when it is not text: "a binary file (it looks like a POSTFILE)" or "a binary file";
// empty for text, and for a file that cannot be opened (the reader then says why).
std::string DescribeBinaryPlotInput(const std::string& fileName);

}  // namespace zorvik
