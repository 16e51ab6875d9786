#include "post/PostBinTypeDetector.h"

#include <cstring>

#include "util/ExceptionLog.h"
#include "util/FileStream.h"

namespace zorvik {

TPostBinTypeDetector::TPostBinTypeDetector(const std::string& postFile, int receptorCount, bool doublePrecision)
    : fReceptorCount(receptorCount), fPostFile(postFile), fDoublePrecision(doublePrecision) {
  TFileStream stream(postFile);
  const TPostLayout layout = DetectPostLayout(stream, postFile, "TPostBinTypeDetector");
  fFraming = layout.Framing;
  if (layout.Framing == TPostFraming::pfTarvo) {
    traced("TPostBinTypeDetector.ReadTarvoHeader", [&] {
      fIsTarvo = true;
      fPostOutTypes = PostOutTypesFromMask(layout.Tarvo.TypeMask);
      fDoublePrecision = layout.Tarvo.DoublePrecision;
      fReceptorCount = layout.Tarvo.ReceptorCount;
    });
    return;
  }
  fBlockSize = layout.RecordLength;
  fFirstBlockPos = layout.FirstBlockPos;
  // The record header follows the length (4 bytes) or the Lahey marker (1..4 bytes).
  int64_t headerPos = fFirstBlockPos + 4;
  if (layout.Framing == TPostFraming::pfLahey) {
    uint8_t b0 = 0;
    ReadAt(stream, fFirstBlockPos, &b0, 1);
    headerPos = fFirstBlockPos + 1 + (b0 & 3);
  }
  uint8_t h[16];
  ReadAt(stream, headerPos, h, 16);
  std::memcpy(&fDateBlock, h, 4);
  std::memcpy(&fAveragePeriod, h + 4, 4);
  std::memcpy(fGroupName.data(), h + 8, 8);
  if (layout.Framing == TPostFraming::pfLahey) {
    fIsLahey = true;
    fDoublePrecision = false;
    DefineLaheyOutputTypes();
  } else {
    DefineOutputTypes();
  }
}

int TPostBinTypeDetector::BytesPerReceptor() const {
  if (fReceptorCount == 0) throw EDivByZero("Division by zero");
  return (fBlockSize - kPostRecordHeader) / fReceptorCount;
}

void TPostBinTypeDetector::DefineOutputTypes() {
  traced("TPostBinTypeDetector.DefineOutputTypes", [&] {
    const bool hintDouble = fDoublePrecision;
    switch (BytesPerReceptor()) {
      case 4: SetOutputTypes(false, 1); break;
      case 8: hintDouble ? SetOutputTypes(true, 1) : SetOutputTypes(false, 2); break;
      case 12: SetOutputTypes(false, 3); break;
      case 16: hintDouble ? SetOutputTypes(true, 2) : SetOutputTypes(false, 4); break;
      case 24: SetOutputTypes(true, 3); break;
      case 32: SetOutputTypes(true, 4); break;
      default: break;  // no layout fits: the types stay empty
    }
  });
}

void TPostBinTypeDetector::DefineLaheyOutputTypes() {
  traced("TPostBinTypeDetector.DefineLaheyOutputTypes", [&] { SetOutputTypes(false, BytesPerReceptor() / 4); });
}

void TPostBinTypeDetector::SetOutputTypes(bool doublePrecision, int n) {
  traced("TPostBinTypeDetector.SetOutputTypes", [&] {
    fDoublePrecision = doublePrecision;
    fPostOutTypes = FirstPostOutTypes(n);
  });
}

}  // namespace zorvik
