#pragma once
// What the percentile viewer shows for one receptor: the chart's title lines, the bar to mark at the
// percentile and the value shown for it. Plain data, so the window and the command line draw the same thing.
#include <string>

namespace zorvik {

class TPercentBlocks;

struct TPercentView {
  std::string Title1;  // "Series Plot for Receptor # 7"
  std::string Title2;  // "Located at: x,y" (two decimals)
  std::string Title3;  // empty
  int Hours = 0;         // N: every hour of the POSTFILE, calm and missing included
  int MarkedBar = 0;     // k = Trunc(N * (100 - P) / 100), at least 0; red only when it is a bar
  int NonZeroHours = 0;  // bars with a value
  float Value = 0.0f;    // the value at bar k (0 past the kept values)
};

// Loads the receptor's record (index from 0) and describes its chart at percentile P.
TPercentView BuildPercentView(TPercentBlocks& blocks, int index, double percent);
// Delphi-style general text of a value: up to 15 significant digits ("12.5", "0.100000001490116").
std::string GeneralFloatText(double value);
// "98th Percentile", "21st Percentile", "99.5 Percentile".
std::string FormatPercentLabel(double percent);

}  // namespace zorvik
