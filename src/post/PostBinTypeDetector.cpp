#include "post/PostBinTypeDetector.h"

#include <fmt/format.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <vector>

#include "util/ExceptionLog.h"
#include "util/FileStream.h"

namespace zorvik {

TPostBinTypeDetector::TPostBinTypeDetector(const std::string& postFile, int receptorCount, bool doublePrecision,
                                           int plotTypeCount)
    : fReceptorCount(receptorCount), fPostFile(postFile), fDoublePrecision(doublePrecision),
      fPlotTypeCount(plotTypeCount) {
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
    DefineOutputTypes(stream);
  }
}

int TPostBinTypeDetector::BytesPerReceptor() const {
  if (fReceptorCount == 0) throw EDivByZero("Division by zero");
  return (fBlockSize - kPostRecordHeader) / fReceptorCount;
}

void TPostBinTypeDetector::DefineOutputTypes(TStream& stream) {
  traced("TPostBinTypeDetector.DefineOutputTypes", [&] {
    const int perReceptor = BytesPerReceptor();
    switch (perReceptor) {
      case 4: SetOutputTypes(false, 1); break;
      case 8: WeighPrecision(stream, 8) ? SetOutputTypes(true, 1) : SetOutputTypes(false, 2); break;
      case 12: SetOutputTypes(false, 3); break;
      case 16: WeighPrecision(stream, 16) ? SetOutputTypes(true, 2) : SetOutputTypes(false, 4); break;
      case 24: SetOutputTypes(true, 3); break;
      case 32: SetOutputTypes(true, 4); break;
      default: break;  // no layout fits: the types stay empty
    }
  });
}

namespace {

// The first value that cannot be a result read this way (not a number, negative, 1e30 or more; read as double
// also a subnormal, which no model writes), or -1.
int FirstImplausible(const uint8_t* bytes, int64_t count, bool doublePrecision) {
  for (int64_t i = 0; i < count; ++i) {
    double v;
    if (doublePrecision) {
      std::memcpy(&v, bytes + 8 * i, 8);
      if (v != 0.0 && std::fabs(v) < DBL_MIN) return static_cast<int>(i);
    } else {
      float f;
      std::memcpy(&f, bytes + 4 * i, 4);
      v = f;
    }
    if (!(v >= 0.0 && v < 1e30)) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

// Whether the values are double precision, for a record length that fits both readings.
bool TPostBinTypeDetector::WeighPrecision(TStream& stream, int bytesPerReceptor) {
  constexpr int kRecords = 24;               // the first day of hours: some of them are not all zero
  constexpr int64_t kBytesPerRecord = 1 << 16;
  const bool presumed = fDoublePrecision;
  const int64_t valueBytes = int64_t{fBlockSize} - kPostRecordHeader;
  const int64_t take = std::min(valueBytes, kBytesPerRecord) / 8 * 8;
  const int64_t size = stream.Size();
  std::vector<uint8_t> bytes(static_cast<size_t>(take));
  bool singleOk = true, doubleOk = true;
  int64_t badOffset = 0;
  double badValue = 0.0;
  for (int r = 0; r < kRecords && singleOk && doubleOk; ++r) {
    const int64_t at = fFirstBlockPos + r * (int64_t{fBlockSize} + 8) + 4 + kPostRecordHeader;
    if (at + take > size || !ReadAt(stream, at, bytes.data(), take)) break;
    // Only the reading that is not presumed needs its first implausible value for the message.
    for (bool asDouble : {false, true}) {
      const int bad = FirstImplausible(bytes.data(), take / (asDouble ? 8 : 4), asDouble);
      if (bad < 0) continue;
      (asDouble ? doubleOk : singleOk) = false;
      if (asDouble == presumed) {
        badOffset = at + int64_t{bad} * (asDouble ? 8 : 4);
        if (asDouble) {
          std::memcpy(&badValue, bytes.data() + 8 * bad, 8);
        } else {
          float f;
          std::memcpy(&f, bytes.data() + 4 * bad, 4);
          badValue = f;
        }
      }
    }
  }
  const int doubleTypes = bytesPerReceptor / 8, singleTypes = bytesPerReceptor / 4;
  bool isDouble = presumed;
  std::string why;
  if (singleOk != doubleOk) {
    isDouble = doubleOk;
    why = fmt::format("read as {} precision its values are not plausible ({:g} at byte offset {})",
                      presumed ? "double" : "single", badValue, badOffset);
  } else if (fPlotTypeCount == doubleTypes || fPlotTypeCount == singleTypes) {
    isDouble = fPlotTypeCount == doubleTypes;
    why = fmt::format("its record length fits the {} output type{} of the PLOTFILE of the run only in {} precision",
                      fPlotTypeCount, fPlotTypeCount == 1 ? "" : "s", isDouble ? "double" : "single");
  }
  if (isDouble != presumed)
    throw EFormatError(fmt::format("The POSTFILE {} holds {}-precision values, not {} precision: {}", fPostFile,
                                   isDouble ? "double" : "single", presumed ? "double" : "single", why));
  return isDouble;
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
