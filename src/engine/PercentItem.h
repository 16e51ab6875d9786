#pragma once
// The description of one output PLOTFILE: which averaging period is ranked, at which percentile or n-th
// highest value, the file name and the source group named in its title.
#include <string>

#include "post/PostTypes.h"

namespace zorvik {

struct TPercentItem {
  TAverageValue AvgPeriod = TAverageValue::hr_1;
  double Percent = 0.0;  // used when HighValue <= 0
  int HighValue = 0;     // the n of the n-th highest value; 0 or less selects the percentile
  std::string PlotName;  // file name without folder
  std::string GroupName;
  bool Block = false;    // the values are non-overlapping blocks, not rolling windows (the title says so)
};

}  // namespace zorvik
