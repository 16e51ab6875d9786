#include "controls/RealRangeCheck.h"

#include <stdexcept>

namespace zorvik {

TRealRangeCheck::TRealRangeCheck() : fRangeErrorStr(std::make_unique<TRealRangeErrorStr>()) {}

void TRealRangeCheck::RegisterErrorStr(std::unique_ptr<TRealRangeErrorStr> errorStr) {
  if (!errorStr) throw std::invalid_argument("TRealRangeCheck.RegisterErrorStr: no texts given");
  fRangeErrorStr = std::move(errorStr);
}

bool TRealRangeCheck::inRange(double v) const {
  const double l = fLowerVal, u = fUpperVal;
  switch (fBoundRange) {
    case TRealInterval::tbrNone: return true;
    case TRealInterval::tbrClosedUpperLower: return l <= v && v <= u;
    case TRealInterval::tbrOpenUpper: return l <= v && v < u;
    case TRealInterval::tbrOpenLower: return l < v && v <= u;
    case TRealInterval::tbrOpenUpperLower: return l < v && v < u;
    case TRealInterval::tbrOnlyCloseLower: return v >= l;
    case TRealInterval::tbrOnlyClosedUpper: return v <= u;
    case TRealInterval::tbrOnlyOpenLower: return v > l;
    case TRealInterval::tbrOnlyOpenUpper: return v < u;
    case TRealInterval::tbrClosedUpperOpenLower: return l < v && v <= u;
    case TRealInterval::tbrOpenUpperClosedLower: return l <= v && v < u;
  }
  return false;
}

std::string TRealRangeCheck::RangeString() const {
  return fRangeErrorStr->RangeString(fBoundRange, fLowerVal, fUpperVal);
}

std::string TRealRangeCheck::hintString() const {
  return fRangeErrorStr->hintString(fBoundRange, fLowerVal, fUpperVal);
}

std::string TRealRangeCheck::errorString() const {
  return fRangeErrorStr->errorString(fvalue, fBoundRange, fLowerVal, fUpperVal);
}

void TRealRangeCheck::ShowRangeError(const TShowMessage& show) const {
  if (show) show(errorString());
}

}  // namespace zorvik
