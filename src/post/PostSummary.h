#pragma once
// A whole-file description of a POSTFILE: its layout and the hours it holds. Walking every record also proves
// the file whole (every record complete, of the first record's length) and its record headers sound (calendar
// hours in order, one averaging period and source group).
#include <cstdint>
#include <functional>
#include <string>

#include "post/PostFraming.h"
#include "post/PostTypes.h"

namespace zorvik {

struct TPostSummary {
  TPostFraming Framing = TPostFraming::pfStandard;
  bool DoublePrecision = false;
  TPostOutTypes Types;
  int Receptors = 0;
  int64_t Hours = 0;
  int32_t FirstDate = 0;
  int32_t LastDate = 0;
  int32_t AveragePeriod = 0;
  std::string GroupName;  // 8 characters, blanks kept
  int32_t RecordLength = 0;
  int64_t MissingHours = 0;  // hours missing between records (a run over selected days)
  std::string GapWarning;    // about them, for the caller to show; "" without a gap
};

// receptorCount <= 0: only a Tarvo header can tell the receptor count; other files raise an error saying that
// the count is needed. `progress`, when given, is called with the bytes walked so far and the file size.
TPostSummary SummarizePostFile(const std::string& postFile, int receptorCount, bool doublePrecision,
                               const std::function<void(int64_t, int64_t)>& progress = {});

// "conc, depos" for the types of the set, in their order.
std::string PostOutTypesText(TPostOutTypes types);

}  // namespace zorvik
