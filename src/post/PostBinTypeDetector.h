#pragma once
// TPostBinTypeDetector decides from a POSTFILE's first record (and the receptor count of the same run) its
// framing, its output types and its precision. A standard record does not state them: only the record length,
// the receptor count and the precision together fix them.
//
// Two bytes per value pair fit either reading: 8 bytes per receptor are one double or two singles, 16 bytes two
// doubles or four singles. The caller's presumed precision decides unless the file says otherwise: the values of
// the first records are read both ways (a double read as two singles gives negative or enormous numbers; singles
// read as doubles give subnormal ones), and the PLOTFILE of the run tells how many output types it holds. When
// that evidence contradicts the presumed precision the file is refused with a message naming its precision.
#include <array>
#include <cstdint>
#include <string>

#include "post/PostFraming.h"
#include "post/PostTypes.h"

namespace zorvik {

class TPostBinTypeDetector {
 public:
  // Does the whole detection; afterwards PostOutTypes and DoublePrecision hold the result. An empty
  // PostOutTypes means the record length fits no layout for this receptor count. `plotTypeCount` is the number of
  // output-type value columns of the run's PLOTFILE (concentration, deposition ...), 0 when unknown.
  TPostBinTypeDetector(const std::string& postFile, int receptorCount, bool doublePrecision, int plotTypeCount = 0);

  bool IsTarvo() const { return fIsTarvo; }
  bool IsLahey() const { return fIsLahey; }
  int ReceptorCount() const { return fReceptorCount; }
  const std::string& PostFile() const { return fPostFile; }
  TPostOutTypes PostOutTypes() const { return fPostOutTypes; }
  bool DoublePrecision() const { return fDoublePrecision; }
  int32_t AveragePeriod() const { return fAveragePeriod; }
  int32_t BlockSize() const { return fBlockSize; }
  int32_t DateBlock() const { return fDateBlock; }
  std::string GroupName() const { return std::string(fGroupName.data(), 8); }
  TPostFraming Framing() const { return fFraming; }

 private:
  void DefineOutputTypes(TStream& stream);
  bool WeighPrecision(TStream& stream, int bytesPerReceptor);
  void DefineLaheyOutputTypes();
  void SetOutputTypes(bool doublePrecision, int n);
  int BytesPerReceptor() const;

  int32_t fBlockSize = 0;
  std::array<char, 8> fGroupName{};
  int32_t fAveragePeriod = 0;
  int fReceptorCount = 0;
  bool fIsLahey = false;
  std::string fPostFile;
  bool fDoublePrecision = false;
  bool fIsTarvo = false;
  TPostOutTypes fPostOutTypes;
  int64_t fFirstBlockPos = 0;
  int32_t fDateBlock = 0;
  TPostFraming fFraming = TPostFraming::pfStandard;
  int fPlotTypeCount = 0;
};

}  // namespace zorvik
