#pragma once
// Writes binary POSTFILEs in any framing (standard, Tarvo header, Lahey markers), single or double precision,
// with one to four output types. Tests and benchmarks build their inputs with it.
#include <cstdint>
#include <fstream>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "post/PostFraming.h"
#include "post/PostTypes.h"

namespace zorvik {

struct TPostFileLayout {
  TPostFraming Framing = TPostFraming::pfStandard;
  bool DoublePrecision = true;  // Lahey files are always single precision
  TPostOutTypes Types{TPostOutType::poConc};
  int Receptors = 1;
  std::string Group = "ALL";  // blank-padded to 8 bytes
  int32_t AveragePeriod = 1;
  std::vector<std::pair<double, double>> Coordinates;  // Tarvo header; zeros when empty
  int RecordLength() const;                              // 16 + T * N * S
};

class TPostFileWriter {
 public:
  TPostFileWriter(const std::string& fileName, TPostFileLayout layout);
  ~TPostFileWriter();
  // One hour: Types.Count() x Receptors values, type-major (all receptors of the first type, then the next).
  void WriteHour(int32_t dateKey, std::span<const double> values);
  void Close();

 private:
  void Put(const void* data, size_t size);
  std::string fFileName;
  TPostFileLayout fLayout;
  std::ofstream fOut;
  std::vector<char> fStreamBuffer;
  std::vector<char> fRecord;
};

// Writes `hours` records from `firstDate` (one hour apart on the calendar, AdvanceDateOneHour: a `firstDate` that
// names no valid hour gives later records the date 0); value(hour, typeIndex, receptor) gives each value.
void WritePostFile(const std::string& fileName, const TPostFileLayout& layout, int32_t firstDate, int hours,
                   const std::function<double(int hour, int typeIndex, int receptor)>& value);

}  // namespace zorvik
